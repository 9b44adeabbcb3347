# jxel_default_java_home([REQUIRED]): when JAVA_HOME is set neither as a variable nor in
# the environment, sets it to the JDK whose javac is on PATH, for FindJNI to use. Debian 12
# has no default-java link for FindJNI to follow. REQUIRED: no javac is an error. Used by
# the build and by the installed CMake package alike.
macro(jxel_default_java_home)
  if(NOT DEFINED ENV{JAVA_HOME} AND NOT JAVA_HOME)
    find_program(JXEL_JAVAC javac ${ARGN})
    if(JXEL_JAVAC)
      file(REAL_PATH "${JXEL_JAVAC}" _jxel_javac_real)
      get_filename_component(_jxel_jdk_bin "${_jxel_javac_real}" DIRECTORY)
      get_filename_component(JAVA_HOME "${_jxel_jdk_bin}" DIRECTORY)
      set(ENV{JAVA_HOME} "${JAVA_HOME}")
    endif()
  endif()
endmacro()
