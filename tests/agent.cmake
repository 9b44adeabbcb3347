# Tests of the stand-in agent, against the shared library itself.
find_package(Threads REQUIRED)
add_executable(standin_agent_test standin_agent_test.cpp)
target_link_libraries(standin_agent_test PRIVATE xelagtapi jxel_warnings GTest::gtest_main
                                                 Threads::Threads)
if(WIN32)
  # The start-up code set comes from the ANSI code page there, not from the locale
  # variables: windows_load_test covers it. setenv comes from windows_posix.h.
  target_compile_options(standin_agent_test PRIVATE
    "SHELL:-include ${CMAKE_CURRENT_SOURCE_DIR}/windows_posix.h")
  gtest_discover_tests(standin_agent_test DISCOVERY_MODE PRE_TEST TEST_FILTER -AgentStartupTest.*)
else()
  gtest_discover_tests(standin_agent_test DISCOVERY_MODE PRE_TEST)
endif()
