# Locates the JDK. Debian 12 has no default-java link, so FindJNI needs help:
# JAVA_HOME is derived from the real path of javac when it is not set.
if(NOT DEFINED ENV{JAVA_HOME} AND NOT JAVA_HOME)
  find_program(JXEL_JAVAC javac REQUIRED)
  file(REAL_PATH "${JXEL_JAVAC}" _jxel_javac_real)
  get_filename_component(_jxel_jdk_bin "${_jxel_javac_real}" DIRECTORY)
  get_filename_component(JAVA_HOME "${_jxel_jdk_bin}" DIRECTORY)
  set(ENV{JAVA_HOME} "${JAVA_HOME}")
endif()

if(CMAKE_CROSSCOMPILING AND WIN32)
  # The Windows build uses jni.h from the host JDK and a jni_md.h of our own.
  include(JXelWindowsJni OPTIONAL)
else()
  # Only the headers and libjvm: AWT (libjawt) is absent from a headless JDK.
  find_package(JNI REQUIRED COMPONENTS JVM)
  if(NOT TARGET jxel_jni_headers)
    add_library(jxel_jni_headers INTERFACE)
    target_include_directories(jxel_jni_headers SYSTEM INTERFACE ${JNI_INCLUDE_DIRS})
  endif()
endif()
