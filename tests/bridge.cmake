# The bridge and the conversion against a fake JVM and a scripted agent.
add_executable(bridge_test
  bridge_test.cpp convert_test.cpp utf8_test.cpp fake_jni.cpp scripted_agent.cpp
  $<TARGET_OBJECTS:jxel_bridge> $<TARGET_OBJECTS:jxel_convert>)
target_include_directories(bridge_test PRIVATE
  ${PROJECT_SOURCE_DIR}/bridge ${PROJECT_SOURCE_DIR}/convert ${PROJECT_SOURCE_DIR}/agentapi)
target_link_libraries(bridge_test PRIVATE GTest::gtest_main jxel_jni_headers)
gtest_discover_tests(bridge_test DISCOVERY_TIMEOUT 60)

# The library exports its natives and the two conversion functions, nothing else.
add_test(NAME exported_symbols
  COMMAND ${CMAKE_COMMAND} -DLIBRARY=$<TARGET_FILE:JXelAgtbase>
          -DEXPECTED=${CMAKE_CURRENT_SOURCE_DIR}/exported_symbols.txt
          -P ${CMAKE_CURRENT_SOURCE_DIR}/check_exports.cmake)
