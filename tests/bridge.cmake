# The bridge and the conversion against a fake JVM and a scripted agent.
add_executable(bridge_test
  bridge_test.cpp convert_test.cpp utf8_test.cpp utf8_table_test.cpp fake_jni.cpp
  scripted_agent.cpp $<TARGET_OBJECTS:jxel_bridge> $<TARGET_OBJECTS:jxel_convert>)
target_include_directories(bridge_test PRIVATE
  ${PROJECT_SOURCE_DIR}/bridge ${PROJECT_SOURCE_DIR}/convert ${PROJECT_SOURCE_DIR}/agentapi)
target_link_libraries(bridge_test PRIVATE GTest::gtest_main jxel_jni_headers)
gtest_discover_tests(bridge_test DISCOVERY_TIMEOUT 60)

if(WIN32)
  # Windows checks its DLLs with objdump and loads them in a program of its own;
  # the nm check and the installed-tree consumer up to endif() are for Linux.
  include(${CMAKE_CURRENT_SOURCE_DIR}/windows.cmake)
else()

# The library exports its natives and the two conversion functions, nothing else.
add_test(NAME exported_symbols
  COMMAND ${CMAKE_COMMAND} -DLIBRARY=$<TARGET_FILE:JXelAgtbase>
          -DEXPECTED=${CMAKE_CURRENT_SOURCE_DIR}/exported_symbols.txt
          -P ${CMAKE_CURRENT_SOURCE_DIR}/check_exports.cmake)

# Install the tree, then build and run a program against what was installed.
set(JXEL_TEST_PREFIX ${CMAKE_BINARY_DIR}/test-install)
add_test(NAME consumer_install
  COMMAND ${CMAKE_COMMAND} --install ${CMAKE_BINARY_DIR} --prefix ${JXEL_TEST_PREFIX}
          --config $<CONFIG>)
set_tests_properties(consumer_install PROPERTIES FIXTURES_SETUP installed_tree)
add_test(NAME consumer_program
  COMMAND ${CMAKE_CTEST_COMMAND} --build-and-test ${CMAKE_CURRENT_SOURCE_DIR}/consumer
          ${CMAKE_BINARY_DIR}/consumer --build-generator ${CMAKE_GENERATOR}
          --build-options --fresh -DCMAKE_PREFIX_PATH=${JXEL_TEST_PREFIX}
          --test-command consumer)
# Without JAVA_HOME, as on a Debian 12 machine: the package finds the JDK itself.
set_tests_properties(consumer_program PROPERTIES FIXTURES_REQUIRED installed_tree
  ENVIRONMENT "XELAGT_CODESET=ISO-8859-1" ENVIRONMENT_MODIFICATION "JAVA_HOME=unset:"
  PASS_REGULAR_EXPRESSION "4 passed, 0 failed")

# jxel_convert.h declares C++ functions: a C compiler stops at it, not the linker.
add_test(NAME convert_header_stops_c
  COMMAND ${CMAKE_C_COMPILER} -fsyntax-only -x c ${PROJECT_SOURCE_DIR}/convert/jxel_convert.h)
set_tests_properties(convert_header_stops_c PROPERTIES
  PASS_REGULAR_EXPRESSION "error: #error \"jxel_convert.h declares C\\+\\+ functions")

# The vector path of the UTF-8 code against its byte-wise path (the Windows
# build has no vector path).
add_library(jxel_utf8_bytewise OBJECT ${PROJECT_SOURCE_DIR}/convert/utf8.cpp)
target_compile_definitions(jxel_utf8_bytewise PRIVATE JXEL_UTF8_NO_VECTOR jxel=jxel_scalar)
target_include_directories(jxel_utf8_bytewise PRIVATE ${PROJECT_SOURCE_DIR}/convert)
add_executable(utf8_vector_check utf8_vector_check.cpp ${PROJECT_SOURCE_DIR}/convert/utf8.cpp
                                 $<TARGET_OBJECTS:jxel_utf8_bytewise>)
target_include_directories(utf8_vector_check PRIVATE ${PROJECT_SOURCE_DIR}/convert)
add_test(NAME utf8_vector_check COMMAND utf8_vector_check --no-timing)

# A setter in a real JVM whose C heap fails it once: the JVM gives no
# characters and raises nothing. The malloc it preloads would not be the one
# a sanitizer's runtime puts first.
if(TARGET jxel AND NOT CMAKE_CXX_FLAGS MATCHES "-fsanitize")
  find_package(Java 17 REQUIRED COMPONENTS Runtime Development)
  include(UseJava)
  add_library(fail_malloc_once SHARED jvm/fail_malloc_once.c)
  add_jar(jxel_setter_without_memory SOURCES jvm/SetterWithoutMemory.java INCLUDE_JARS jxel
    OUTPUT_NAME setter-without-memory)
  add_dependencies(jxel_setter_without_memory JXelAgtbase xelagtapi)
  get_target_property(_jxel_jar jxel JAR_FILE)
  get_target_property(_jxel_setter_jar jxel_setter_without_memory JAR_FILE)
  add_test(NAME java.setter_without_memory
    COMMAND ${CMAKE_COMMAND} -P ${PROJECT_SOURCE_DIR}/java/cmake/RunCheckedJvm.cmake --
            ${Java_JAVA_EXECUTABLE} -Xcheck:jni -Djava.library.path=${CMAKE_BINARY_DIR}/lib
            -cp ${_jxel_jar}:${_jxel_setter_jar} SetterWithoutMemory)
  # "é" and 1,000,000 letters: 1,000,003 bytes of modified UTF-8 with the NUL.
  set_tests_properties(java.setter_without_memory PROPERTIES LABELS java TIMEOUT 120
    ENVIRONMENT "XELAGT_CODESET=ISO-8859-1;JXEL_FAIL_MALLOC_SIZE=1000003;LD_PRELOAD=$<TARGET_FILE:fail_malloc_once>")
endif()
endif()  # WIN32
# Sixteen million sequences: the model is compiled to run fast in every build.
set_source_files_properties(utf8_table_test.cpp PROPERTIES COMPILE_OPTIONS -O2)
