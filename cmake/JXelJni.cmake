# Locates the JDK: JAVA_HOME, else the JDK of the javac on PATH (JXelJavaHome.cmake).
include(JXelJavaHome)
jxel_default_java_home(REQUIRED)  # says what is missing when there is no JDK at all

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
