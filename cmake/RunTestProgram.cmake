# Runs one test program for ctest and decides whether it passed:
#   cmake -DEMULATOR=wine -DPROGRAM=path -DARGUMENTS=a|b -DREPORT=name.xml
#         [-DEXPECT=regex] [-DEXPECT_FILE=path] [-DNATIVE_PROGRAM=path]
#         -P RunTestProgram.cmake
# A program passes only when it exits with 0 AND shows that it really ran.
# A GoogleTest program (none of EXPECT, EXPECT_FILE, NATIVE_PROGRAM) shows it
# by its XML report, which must count at least one test, no failure and no
# error. Any other program shows it by its output, which must not be empty:
# it must match the regular expression EXPECT; each of its "<name> <value>"
# lines must equal the line of the same name in EXPECT_FILE (lines starting
# with # are comments); and it must equal the output of NATIVE_PROGRAM, the
# same program built for the host, run with the same arguments. (A 64-bit Wine that cannot start a
# 32-bit program exits with 0 and prints nothing; so does a missing runtime.)
foreach(option IN ITEMS EMULATOR ARGUMENTS EXPECT EXPECT_FILE NATIVE_PROGRAM REPORT)
  if(NOT DEFINED ${option})
    set(${option} "")
  endif()
endforeach()
if(REPORT STREQUAL "")
  set(REPORT test-report.xml)
endif()
string(REPLACE "|" ";" emulator "${EMULATOR}")
string(REPLACE "|" ";" arguments "${ARGUMENTS}")
if("${EXPECT}${EXPECT_FILE}${NATIVE_PROGRAM}" STREQUAL "")
  set(googletest TRUE)
else()
  set(googletest FALSE)
endif()

if(googletest)
  file(REMOVE ${REPORT})
  list(APPEND arguments "--gtest_output=xml:${REPORT}")
  execute_process(COMMAND ${emulator} ${PROGRAM} ${arguments} RESULT_VARIABLE status)
else()
  execute_process(COMMAND ${emulator} ${PROGRAM} ${arguments}
                  RESULT_VARIABLE status OUTPUT_VARIABLE output)
  # Windows programs end their lines with CR LF.
  string(REPLACE "\r" "" output "${output}")
  message("${output}")
endif()

if(NOT status STREQUAL "0")
  message(FATAL_ERROR "${PROGRAM} exited with ${status}")
endif()

if(googletest)
  if(NOT EXISTS ${REPORT})
    message(FATAL_ERROR "${PROGRAM} did not run: it wrote no test report")
  endif()
  file(READ ${REPORT} report LIMIT 4096)
  if(NOT report MATCHES "<testsuites tests=\"([0-9]+)\" failures=\"([0-9]+)\" disabled=\"[0-9]+\" errors=\"([0-9]+)\"")
    message(FATAL_ERROR "${PROGRAM}: its test report has no totals")
  endif()
  set(ran ${CMAKE_MATCH_1})
  set(failed ${CMAKE_MATCH_2})
  set(errors ${CMAKE_MATCH_3})
  if(ran EQUAL 0)
    message(FATAL_ERROR "${PROGRAM} ran no test")
  endif()
  if(NOT failed EQUAL 0 OR NOT errors EQUAL 0)
    message(FATAL_ERROR "${PROGRAM}: ${failed} of ${ran} tests failed, ${errors} errors")
  endif()
  message("${ran} tests ran and passed")
  return()
endif()

if(output STREQUAL "")
  message(FATAL_ERROR "${PROGRAM} did not run: it printed nothing")
endif()
if(NOT EXPECT STREQUAL "" AND NOT output MATCHES "${EXPECT}")
  message(FATAL_ERROR "${PROGRAM} did not show that it ran (no line matching \"${EXPECT}\")")
endif()
if(NOT EXPECT_FILE STREQUAL "")
  # Line by line: "<name> <value>" must equal the file's line of the same
  # name. The file may hold lines for names this build does not print.
  file(STRINGS ${EXPECT_FILE} expected_lines REGEX "^[^#]")
  string(REGEX REPLACE "\n+$" "" actual "${output}")
  string(REPLACE "\n" ";" actual_lines "${actual}")
  set(mismatches "")
  foreach(line IN LISTS actual_lines)
    string(REGEX REPLACE " .*$" "" name "${line}")
    set(found "")
    foreach(expected IN LISTS expected_lines)
      if(expected MATCHES "^${name} ")
        set(found "${expected}")
      endif()
    endforeach()
    if(found STREQUAL "")
      string(APPEND mismatches "\n  no line for ${name}: add \"${line}\" if this result is meant")
    elseif(NOT found STREQUAL line)
      string(APPEND mismatches "\n  printed \"${line}\", checked in \"${found}\"")
    endif()
  endforeach()
  if(NOT mismatches STREQUAL "")
    message(FATAL_ERROR "${PROGRAM}: the output differs from ${EXPECT_FILE}:${mismatches}")
  endif()
endif()
if(NOT NATIVE_PROGRAM STREQUAL "")
  execute_process(COMMAND ${NATIVE_PROGRAM} ${arguments}
                  RESULT_VARIABLE native_status OUTPUT_VARIABLE native_output)
  if(NOT native_status STREQUAL "0")
    message(FATAL_ERROR "${NATIVE_PROGRAM} exited with ${native_status}")
  endif()
  if(NOT output STREQUAL native_output)
    message(FATAL_ERROR "${PROGRAM} and ${NATIVE_PROGRAM} differ; the native build printed\n${native_output}")
  endif()
  message("Same output as ${NATIVE_PROGRAM}")
endif()
