# Test registration helpers shared by tests/, tests/e2e/ and fuzz/.
#
# qrv2_add_gtest(NAME <name> COMMAND <program> [arguments...] [WORKING_DIRECTORY <dir>])
#   Adds a GoogleTest program to ctest. Its per-case results are written to
#   <build>/test-results/<name>.xml, which scripts/test.sh counts for its summary; ctest runs
#   Windows programs through CMAKE_CROSSCOMPILING_EMULATOR (Wine), so the path is given to
#   the program as Wine sees the host's file system (drive Z: is the root).
# qrv2_record_gtest(<test>...) does the same for tests already added with add_test().
# Any other add_test() is counted as one test by its ctest result.

set(QRV2_TEST_RESULTS_DIR ${CMAKE_BINARY_DIR}/test-results)

# qrv2_record_gtest(<test>...) makes already added ctest tests that run GoogleTest programs
# leave their per-case results there too.
function(qrv2_record_gtest)
  foreach(test ${ARGN})
    set(results ${QRV2_TEST_RESULTS_DIR}/${test}.xml)
    if(WIN32 AND CMAKE_CROSSCOMPILING)
      set(results "Z:${results}")
    endif()
    set_property(TEST ${test} APPEND PROPERTY LABELS gtest)
    set_property(TEST ${test} APPEND PROPERTY ENVIRONMENT "GTEST_OUTPUT=xml:${results}")
  endforeach()
endfunction()

function(qrv2_add_gtest)
  cmake_parse_arguments(arg "" "NAME;WORKING_DIRECTORY" "COMMAND" ${ARGN})
  if(NOT arg_NAME OR NOT arg_COMMAND)
    message(FATAL_ERROR "qrv2_add_gtest: NAME and COMMAND are required")
  endif()
  if(arg_WORKING_DIRECTORY)
    add_test(NAME ${arg_NAME} COMMAND ${arg_COMMAND} WORKING_DIRECTORY ${arg_WORKING_DIRECTORY})
  else()
    add_test(NAME ${arg_NAME} COMMAND ${arg_COMMAND})
  endif()
  qrv2_record_gtest(${arg_NAME})
endfunction()

# qrv2_check_standalone(<target>...) adds, on the Windows build, one test per executable target
# that fails when the program imports a MinGW runtime or zlib DLL instead of carrying it.
function(qrv2_check_standalone)
  if(NOT (WIN32 AND CMAKE_OBJDUMP))
    return()
  endif()
  foreach(target ${ARGN})
    if(TARGET ${target})
      add_test(NAME standalone_${target}
        COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${CMAKE_OBJDUMP} -DPROGRAM=$<TARGET_FILE:${target}>
                -P ${CMAKE_SOURCE_DIR}/cmake/CheckStandalone.cmake)
    endif()
  endforeach()
endfunction()
