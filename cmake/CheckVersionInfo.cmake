# Fails unless a Windows executable or library carries the product's version resource: the
# 040904E4 strings CompanyName, ProductName, ProductVersion, FileVersion and FileDescription, and
# the same version in the fixed part. The resource is read back from the file itself with the
# resource compiler, so a signed file is checked as shipped.
# Usage: cmake -DWINDRES=<windres> -DPROGRAM=<file> -DVERSION=<a.b.c.d> -DDESCRIPTION=<text>
#              -P CheckVersionInfo.cmake
execute_process(COMMAND ${WINDRES} -J coff -O rc -i ${PROGRAM}
  OUTPUT_VARIABLE rc_text RESULT_VARIABLE rc ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cannot read the resources of ${PROGRAM}: ${err}")
endif()
string(FIND "${rc_text}" "VERSIONINFO" at)
if(at LESS 0)
  message(FATAL_ERROR "${PROGRAM} has no version resource")
endif()
string(REGEX MATCH "BLOCK \"040904E4\"[^\n]*\n[ \t]*BEGIN\n([^E]|E[^N]|EN[^D])*" block "${rc_text}")
if(NOT block)
  message(FATAL_ERROR "${PROGRAM}: no string block 040904E4 in its version resource:\n${rc_text}")
endif()
string(REPLACE "." ", " numbers "${VERSION}")
set(problems "")
foreach(line "FILEVERSION ${numbers}" "PRODUCTVERSION ${numbers}")
  string(FIND "${rc_text}" "${line}\n" at)
  if(at LESS 0)
    string(APPEND problems "  fixed part: no '${line}'\n")
  endif()
endforeach()
foreach(pair "CompanyName=Orvane" "ProductName=Orvane2011" "ProductVersion=${VERSION}"
             "FileVersion=${VERSION}" "FileDescription=${DESCRIPTION}")
  string(FIND "${pair}" "=" eq)
  string(SUBSTRING "${pair}" 0 ${eq} name)
  math(EXPR eq "${eq} + 1")
  string(SUBSTRING "${pair}" ${eq} -1 expected)
  string(REGEX MATCH "VALUE \"${name}\", \"([^\"]*)\"" found "${block}")
  if(NOT found)
    string(APPEND problems "  ${name}: missing\n")
  elseif(NOT CMAKE_MATCH_1 STREQUAL expected)
    string(APPEND problems "  ${name}: '${CMAKE_MATCH_1}', expected '${expected}'\n")
  endif()
endforeach()
if(problems)
  message(FATAL_ERROR "${PROGRAM}: version resource differs:\n${problems}")
endif()
message(STATUS "${PROGRAM}: version ${VERSION}, \"${DESCRIPTION}\"")
