# The fuzzers' checks: built into the fuzz targets and into the test suite's
# corpus replay.
set(KORU32_FUZZ_CHECK_SOURCES ${CMAKE_CURRENT_LIST_DIR}/targets.cpp)
