# Tests of the stand-in agent, against the shared library itself.
find_package(Threads REQUIRED)
add_executable(standin_agent_test standin_agent_test.cpp)
target_link_libraries(standin_agent_test PRIVATE xelagtapi jxel_warnings GTest::gtest_main
                                                 Threads::Threads)
gtest_discover_tests(standin_agent_test DISCOVERY_MODE PRE_TEST)
