# GoogleTest for the Windows cross build: there is no mingw build of it in Debian,
# so it is built here from the sources of the package googletest.
if(NOT TARGET GTest::gtest_main)
  set(JXEL_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources")
  if(NOT EXISTS ${JXEL_GTEST_SOURCE_DIR}/CMakeLists.txt)
    set(GTest_FOUND FALSE)
    set(GTest_NOT_FOUND_MESSAGE "no GoogleTest sources in ${JXEL_GTEST_SOURCE_DIR} (apt install googletest)")
    return()
  endif()
  set(BUILD_GMOCK OFF CACHE BOOL "")
  set(INSTALL_GTEST OFF CACHE BOOL "")
  # Our custom port header (include/gtest/internal/custom/) before the sources' own, for
  # GoogleTest itself (the folder's include path, which add_subdirectory inherits) and for
  # the tests (an -I comes before the -isystem of GoogleTest's headers).
  set(jxel_gtest_custom_dir ${CMAKE_CURRENT_LIST_DIR}/include)
  include_directories(BEFORE ${jxel_gtest_custom_dir})
  add_subdirectory(${JXEL_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
  target_include_directories(gtest BEFORE INTERFACE ${jxel_gtest_custom_dir})
endif()
set(GTest_FOUND TRUE)
