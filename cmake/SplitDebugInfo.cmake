# Shipped files without their debug data: users download and install the program, not its
# symbols. qrv2_split_debug_info(<target>...) makes each target, right after it is linked,
#   1. copy its debug data (and symbol table) into <file>.debug beside it,
#   2. strip itself of every symbol and of the debug data,
#   3. carry a debug link naming <file>.debug with that file's CRC, so a debugger started on the
#      file (or on a crash dump of it) finds the symbols beside it.
# The build keeps the .debug files; nothing packs or installs them. Later steps on the target
# (signing) come after this one, so the signature covers the file as shipped.
#
# Off for builds that are debugged in place (Debug, sanitizers, fuzzing): QRV2_SPLIT_DEBUG_INFO.

if(CMAKE_BUILD_TYPE STREQUAL "Debug" OR QRV2_SANITIZE OR QRV2_FUZZ)
  set(qrv2_split_default OFF)
else()
  set(qrv2_split_default ON)
endif()
option(QRV2_SPLIT_DEBUG_INFO "Strip the shipped files; their debug data goes into <file>.debug"
       ${qrv2_split_default})
if(QRV2_SPLIT_DEBUG_INFO AND NOT CMAKE_OBJCOPY)
  message(FATAL_ERROR "QRV2_SPLIT_DEBUG_INFO needs objcopy (binutils), which was not found")
endif()

function(qrv2_split_debug_info)
  if(NOT QRV2_SPLIT_DEBUG_INFO)
    return()
  endif()
  foreach(target ${ARGN})
    set(file $<TARGET_FILE:${target}>)
    # objcopy stamps a PE file it writes with the time, unless SOURCE_DATE_EPOCH names one: 0,
    # as the linker leaves it (--no-insert-timestamp), keeps the output the same on every build.
    set(objcopy ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=0 ${CMAKE_OBJCOPY})
    add_custom_command(TARGET ${target} POST_BUILD
      COMMAND ${objcopy} --only-keep-debug ${file} ${file}.debug
      COMMAND ${objcopy} --strip-all --add-gnu-debuglink=${file}.debug ${file}
      COMMENT "Moving the debug data of ${target} into its .debug file"
      VERBATIM)
  endforeach()
endfunction()
