# Fails when the download grows past its budget: the installer may be at most its payload
# archive plus INSTALLER_ALLOWANCE bytes (its own code and resources), and the payload's
# uninstaller entry at most UNINSTALLER_BUDGET bytes as stored (packed). The payload holds the
# three shipped files and nothing else (no symbol files). Stored sizes come from `qxarc list -v`.
# Usage: cmake -DQXARC=<qxarc> -DINSTALLER=<exe> -DPAYLOAD=<archive> -DUNINSTALLER_ENTRY=<name>
#              -DINSTALLER_ALLOWANCE=<bytes> -DUNINSTALLER_BUDGET=<bytes> -P CheckSizeBudget.cmake
execute_process(COMMAND ${QXARC} list -v ${PAYLOAD}
  OUTPUT_VARIABLE listing RESULT_VARIABLE rc ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cannot list ${PAYLOAD}: ${err}")
endif()
file(SIZE ${INSTALLER} installer_size)
file(SIZE ${PAYLOAD} payload_size)
math(EXPR installer_budget "${payload_size} + ${INSTALLER_ALLOWANCE}")

set(problems "")
if(installer_size GREATER installer_budget)
  math(EXPR over "${installer_size} - ${installer_budget}")
  string(APPEND problems "  ${INSTALLER}: ${installer_size} bytes, ${over} over its budget of "
                         "${installer_budget} (payload ${payload_size} + ${INSTALLER_ALLOWANCE})\n")
endif()

# Entry lines: content size, stored size, share saved, name; the last line holds the totals.
string(REPLACE "\\" "\\\\" entry_pattern "${UNINSTALLER_ENTRY}")
set(entries 0)
set(stored "")
string(REGEX MATCHALL "\n *[0-9]+ +[0-9]+ +[0-9.]+% +[^\n]+" lines "${listing}")
list(LENGTH lines count)
if(count GREATER 0)
  list(REMOVE_AT lines -1)
endif()
foreach(line ${lines})
  math(EXPR entries "${entries} + 1")
  string(REGEX MATCH "^\n *[0-9]+ +([0-9]+) +[0-9.]+% +(.+)$" fields "${line}")
  if(CMAKE_MATCH_2 STREQUAL UNINSTALLER_ENTRY)
    set(stored ${CMAKE_MATCH_1})
  endif()
  if(CMAKE_MATCH_2 MATCHES "\\.debug$")
    string(APPEND problems "  ${PAYLOAD}: packs the symbol file ${CMAKE_MATCH_2}\n")
  endif()
endforeach()
if(NOT entries EQUAL 3)
  string(APPEND problems "  ${PAYLOAD}: ${entries} entries, expected the 3 shipped files\n")
endif()
if(stored STREQUAL "")
  string(APPEND problems "  ${PAYLOAD}: no entry ${UNINSTALLER_ENTRY}\n")
elseif(stored GREATER UNINSTALLER_BUDGET)
  math(EXPR over "${stored} - ${UNINSTALLER_BUDGET}")
  string(APPEND problems "  ${UNINSTALLER_ENTRY}: ${stored} bytes packed, ${over} over its "
                         "budget of ${UNINSTALLER_BUDGET}\n")
endif()
if(problems)
  message(FATAL_ERROR "over budget:\n${problems}")
endif()
math(EXPR spare "${installer_budget} - ${installer_size}")
message(STATUS "${INSTALLER}: ${installer_size} bytes (payload ${payload_size}, ${spare} to spare); "
               "${UNINSTALLER_ENTRY}: ${stored} bytes packed (budget ${UNINSTALLER_BUDGET})")
