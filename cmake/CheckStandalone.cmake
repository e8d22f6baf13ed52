# Fails when a Windows executable imports a MinGW runtime DLL (libstdc++, libgcc, winpthread):
# such a program would not start on a machine without those DLLs beside it.
# Usage: cmake -DOBJDUMP=<objdump> -DPROGRAM=<file.exe> -P CheckStandalone.cmake
execute_process(COMMAND ${OBJDUMP} -p ${PROGRAM}
  OUTPUT_VARIABLE dump RESULT_VARIABLE rc ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cannot read the imports of ${PROGRAM}: ${err}")
endif()
string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${dump}")
if(NOT imports)
  message(FATAL_ERROR "no imports found in ${PROGRAM}: not a PE executable?")
endif()
foreach(line ${imports})
  string(TOLOWER "${line}" lower)
  if(lower MATCHES "libstdc\\+\\+|libgcc|libwinpthread|libz|zlib1")
    message(FATAL_ERROR "${PROGRAM} needs a DLL it does not carry: ${line}")
  endif()
endforeach()
message(STATUS "${PROGRAM}: ${imports}")
