# Runs a command (a JVM started with -Xcheck:jni) and fails when it fails or
# when the JNI checker complained: -Xcheck:jni only warns on most misuse and the
# program may still exit 0.
#
#   cmake -P RunCheckedJvm.cmake -- <program> <arguments>...
set(_command "")
set(_take OFF)
math(EXPR _last "${CMAKE_ARGC} - 1")
foreach(_i RANGE ${_last})
  if(_take)
    list(APPEND _command "${CMAKE_ARGV${_i}}")
  elseif("${CMAKE_ARGV${_i}}" STREQUAL "--")
    set(_take ON)
  endif()
endforeach()
if(NOT _command)
  message(FATAL_ERROR "usage: cmake -P RunCheckedJvm.cmake -- <program> <arguments>...")
endif()

execute_process(COMMAND ${_command}
  RESULT_VARIABLE _result
  OUTPUT_VARIABLE _output ERROR_VARIABLE _output
  ECHO_OUTPUT_VARIABLE ECHO_ERROR_VARIABLE)

# "WARNING in native method: ...", "WARNING: JNI local refs: ...", "FATAL ERROR in native method: ...",
# and JDK 22+'s "WARNING: A restricted method in java.lang.System has been called" for a JVM
# started without --enable-native-access.
string(REGEX MATCHALL "(^|\n)(WARNING[^\n]*|FATAL ERROR in native method[^\n]*)" _complaints "${_output}")
if(_complaints)
  string(REPLACE "\n" "" _complaints "${_complaints}")
  list(JOIN _complaints "\n  " _text)
  message(FATAL_ERROR "the JVM reported:\n  ${_text}")
endif()
if(NOT _result STREQUAL "0")
  message(FATAL_ERROR "exit status: ${_result}")
endif()
