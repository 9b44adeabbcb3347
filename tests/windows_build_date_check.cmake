# Runs the build-date script (SCRIPT) for OUT and compares the date it wrote
# with EXPECTED; SOURCE_DATE_EPOCH comes from the environment.
#   cmake -DSCRIPT=... -DOUT=... -DEXPECTED=... -P windows_build_date_check.cmake
include(${SCRIPT})
file(READ ${OUT} header)
if(NOT header MATCHES "#define JXEL_BUILD_DATE \"([^\"]*)\"")
  message(FATAL_ERROR "no JXEL_BUILD_DATE in ${OUT}:\n${header}")
endif()
if(NOT CMAKE_MATCH_1 STREQUAL EXPECTED)
  message(FATAL_ERROR "BuildDate is '${CMAKE_MATCH_1}', expected '${EXPECTED}'")
endif()
message(STATUS "BuildDate '${CMAKE_MATCH_1}'")
