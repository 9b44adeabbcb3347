# JNI headers for the Windows cross build: jni.h from the host JDK (it is the
# same on every platform) and cmake/windows/include/jni_md.h for 64-bit Windows.
# jni.h includes "jni_md.h", so the folder of our own comes first and the
# JDK's platform folder (include/linux) is left out.
find_path(JXEL_HOST_JNI_INCLUDE_DIR jni.h
  PATHS "${JAVA_HOME}/include" "$ENV{JAVA_HOME}/include"  # JAVA_HOME: set by JXelJni.cmake
  NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH REQUIRED)

add_library(jxel_jni_headers INTERFACE)
target_include_directories(jxel_jni_headers SYSTEM INTERFACE
  ${CMAKE_CURRENT_LIST_DIR}/include ${JXEL_HOST_JNI_INCLUDE_DIR})
