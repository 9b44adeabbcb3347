# The JDKs the Java tests run on: every JDK of version 17 and up under JXEL_JDK_ROOT
# (/usr/lib/jvm), one per feature version, plus the one the build compiles with.
#
#   jxel_find_test_jdks()
# sets JXEL_TEST_JDKS (feature versions, e.g. "17;25") and, for each, JXEL_TEST_JDK_<version>_JAVA
# (its java) and JXEL_TEST_JDK_<version>_FLAGS (--enable-native-access=ALL-UNNAMED where that
# JDK accepts it: JDK 22 and later warn about System.loadLibrary without it).
set(JXEL_JDK_ROOT /usr/lib/jvm CACHE PATH "Folder searched for JDKs to run the Java tests on")

# The feature version of the JDK at HOME from its release file, or "" when it has none.
function(_jxel_jdk_feature_version home out)
  set(${out} "" PARENT_SCOPE)
  if(NOT EXISTS ${home}/release OR NOT EXISTS ${home}/bin/java)
    return()
  endif()
  file(STRINGS ${home}/release _line REGEX "^JAVA_VERSION=")
  if(_line MATCHES "^JAVA_VERSION=\"1\\.([0-9]+)")  # 1.8.0 and older
    set(${out} ${CMAKE_MATCH_1} PARENT_SCOPE)
  elseif(_line MATCHES "^JAVA_VERSION=\"([0-9]+)")
    set(${out} ${CMAKE_MATCH_1} PARENT_SCOPE)
  endif()
endfunction()

function(jxel_find_test_jdks)
  file(GLOB _candidates LIST_DIRECTORIES true ${JXEL_JDK_ROOT}/*)
  list(SORT _candidates)
  # The build's own JDK first, so its feature version runs on it.
  get_filename_component(_own_bin "${Java_JAVA_EXECUTABLE}" REALPATH)
  get_filename_component(_own_bin "${_own_bin}" DIRECTORY)
  get_filename_component(_own_home "${_own_bin}" DIRECTORY)
  set(_seen "")
  set(_versions "")
  list(PREPEND _candidates ${_own_home})
  foreach(_home IN LISTS _candidates)
    get_filename_component(_real "${_home}" REALPATH)
    if(_real IN_LIST _seen)
      continue()
    endif()
    list(APPEND _seen "${_real}")
    _jxel_jdk_feature_version("${_real}" _version)
    if(NOT _version OR _version LESS 17 OR _version IN_LIST _versions)
      continue()
    endif()
    list(APPEND _versions ${_version})
    set(_java ${_real}/bin/java)
    execute_process(COMMAND ${_java} --enable-native-access=ALL-UNNAMED -version
      RESULT_VARIABLE _result OUTPUT_QUIET ERROR_QUIET)
    set(_flags "")
    if(_result EQUAL 0)
      set(_flags --enable-native-access=ALL-UNNAMED)
    endif()
    set(JXEL_TEST_JDK_${_version}_JAVA ${_java} PARENT_SCOPE)
    set(JXEL_TEST_JDK_${_version}_FLAGS ${_flags} PARENT_SCOPE)
  endforeach()
  list(SORT _versions COMPARE NATURAL)
  set(JXEL_TEST_JDKS ${_versions} PARENT_SCOPE)
endfunction()
