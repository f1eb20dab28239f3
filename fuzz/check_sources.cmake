# The fuzzers' checks: built into the fuzz targets and into the test suite's
# corpus replay.
set(KORU32_FUZZ_CHECK_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/engine_invariants.cpp
  ${CMAKE_CURRENT_LIST_DIR}/net_probe.cpp
  ${CMAKE_CURRENT_LIST_DIR}/network_file_target.cpp
  ${CMAKE_CURRENT_LIST_DIR}/shell_file_target.cpp
  ${CMAKE_CURRENT_LIST_DIR}/export_program.cpp)
