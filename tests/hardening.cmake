# Hardening: the bridge on many threads against the real stand-in agent.
find_package(Threads REQUIRED)
add_executable(hardening_concurrency_test
  hardening_concurrency_test.cpp fake_jni.cpp
  $<TARGET_OBJECTS:jxel_bridge> $<TARGET_OBJECTS:jxel_convert>)
target_include_directories(hardening_concurrency_test PRIVATE
  ${PROJECT_SOURCE_DIR}/bridge ${PROJECT_SOURCE_DIR}/convert)
target_link_libraries(hardening_concurrency_test PRIVATE
  xelagtapi jxel_jni_headers GTest::gtest_main Threads::Threads)
gtest_discover_tests(hardening_concurrency_test DISCOVERY_MODE PRE_TEST
  PROPERTIES ENVIRONMENT XELAGT_CODESET=UTF-8 LABELS hardening)

# The stand-in's conversions out of UTF-8 against the characters iconv treats quietly.
add_executable(hardening_codeset_test hardening_codeset_test.cpp)
target_link_libraries(hardening_codeset_test PRIVATE xelagtapi GTest::gtest_main)
gtest_discover_tests(hardening_codeset_test DISCOVERY_MODE PRE_TEST PROPERTIES LABELS hardening)
