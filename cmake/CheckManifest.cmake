# Fails unless a Windows program's embedded manifest (resource 1 of type 24) asks for what the
# installer and the uninstaller need on the systems people run: the invoking user's rights
# without UI access, every system from Vista to 10/11 named as supported (so the true version
# is reported and no compatibility shims apply), per-monitor DPI awareness, long paths, UTF-8 as
# the code page of the 8-bit entry points, and the version 6 common controls. The manifest is
# read back from the file itself with the resource compiler, comments left out.
# Usage: cmake -DWINDRES=<windres> -DPROGRAM=<file.exe> -P CheckManifest.cmake
execute_process(COMMAND ${WINDRES} -J coff -O rc -i ${PROGRAM}
  OUTPUT_VARIABLE rc_text RESULT_VARIABLE rc ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cannot read the resources of ${PROGRAM}: ${err}")
endif()
# windres writes the manifest as a block of string lines: "1 24 /* RT_MANIFEST */", BEGIN, one
# quoted line per manifest line (quotes doubled, line ends as \n), END.
string(REGEX MATCH "\n1 24[^\n]*\nBEGIN\n(([ \t]+\"[^\n]*\n)+)END" block "${rc_text}")
if(NOT block)
  message(FATAL_ERROR "${PROGRAM} has no manifest (resource 1 of type 24)")
endif()
set(manifest "${CMAKE_MATCH_1}")
string(REGEX REPLACE "(^|\n)[ \t]+\"" "\\1" manifest "${manifest}")
string(REGEX REPLACE "\"\n" "" manifest "${manifest}")
string(REPLACE "\"\"" "\"" manifest "${manifest}")
string(REPLACE "\\n" " " manifest "${manifest}")
string(REGEX REPLACE "[ \t]+" " " manifest "${manifest}")
# A commented-out element counts for nothing.
string(REGEX REPLACE "<!--([^-]|-[^-])*-->" "" manifest "${manifest}")

set(problems "")
# expect(<what> <regular expression>)
macro(expect what pattern)
  if(NOT manifest MATCHES "${pattern}")
    string(APPEND problems "  ${what}: missing\n")
  endif()
endmacro()
expect("execution level asInvoker, no UI access"
       "<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\" ?/>")
foreach(os "Windows Vista|e2011457-1546-43c5-a5fe-008deee3d3f0"
           "Windows 7|35138b9a-5d96-4fbd-8e2d-a2440225f93a"
           "Windows 8|4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38"
           "Windows 8.1|1f676c76-80e1-4239-95bb-83d0f6d0da78"
           "Windows 10 and 11|8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a")
  string(REPLACE "|" ";" os "${os}")
  list(GET os 0 name)
  list(GET os 1 id)
  # Inside <compatibility><application>: nothing on the way closes an element named a...
  expect("supportedOS ${name}"
         "<compatibility xmlns=\"urn:schemas-microsoft-com:compatibility.v1\"> ?<application>([^<]|<[^/]|</[^a])*<supportedOS Id=\"{${id}}\" ?/>")
endforeach()
# Inside <windowsSettings>: nothing on the way closes an element named w...
set(settings "<application xmlns=\"urn:schemas-microsoft-com:asm.v3\"> ?<windowsSettings>([^<]|<[^/]|</[^w])*")
expect("dpiAware true/pm"
       "${settings}<dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">true/pm</dpiAware>")
expect("dpiAwareness PerMonitorV2"
       "${settings}<dpiAwareness xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\">PerMonitorV2</dpiAwareness>")
expect("longPathAware true"
       "${settings}<longPathAware xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\">true</longPathAware>")
expect("activeCodePage UTF-8"
       "${settings}<activeCodePage xmlns=\"http://schemas.microsoft.com/SMI/2019/WindowsSettings\">UTF-8</activeCodePage>")
expect("the version 6 common controls"
       "<dependentAssembly> ?<assemblyIdentity type=\"win32\" name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"")
if(manifest MATCHES "requireAdministrator|highestAvailable|uiAccess=\"true\"")
  string(APPEND problems "  asks for more rights than the invoking user's\n")
endif()
if(problems)
  message(FATAL_ERROR "${PROGRAM}: its manifest lacks what it needs:\n${problems}--- manifest\n${manifest}")
endif()
message(STATUS "${PROGRAM}: manifest complete")
