# Archives of an installed tree: linux-x86_64 as .tar.gz, windows-x86_64 (from
# the cross build) as .zip. `cpack` in a build folder makes the one for its platform.
#
# The archive carries a README of its own, for what it holds (the project's README is about
# building from source), at its top and in the doc folder, with the licence and the stand-in's
# documentation (agent/standin.h: statuses, code sets, behaviour).
if(WIN32)
  set(_jxel_archive_readme ${PROJECT_SOURCE_DIR}/cmake/archive/README-windows.md.in)
  # The C runtime the DLLs are built for, as the archive's README names it.
  set(_jxel_crt_texts
    "ucrt|the Universal C runtime (`ucrtbase.dll`, through the `api-ms-win-crt-*` DLLs), the runtime of agents built with Visual Studio 2015 or later and `/MD`"
    "msvcrt|`msvcrt.dll`, the runtime that mingw-w64 builds for by default"
    "msvcr120|`msvcr120.dll`, the runtime of agents built with Visual Studio 2013 and `/MD`"
    "msvcr110|`msvcr110.dll`, the runtime of agents built with Visual Studio 2012 and `/MD`"
    "msvcr100|`msvcr100.dll`, the runtime of agents built with Visual Studio 2010 and `/MD`")
  foreach(_jxel_text IN LISTS _jxel_crt_texts)
    if(_jxel_text MATCHES "^${JXEL_WINDOWS_CRT}\\|(.*)$")
      set(JXEL_ARCHIVE_CRT_TEXT "${CMAKE_MATCH_1}")
    endif()
  endforeach()
else()
  set(_jxel_archive_readme ${PROJECT_SOURCE_DIR}/cmake/archive/README-linux.md.in)
endif()
configure_file(${_jxel_archive_readme} ${CMAKE_CURRENT_BINARY_DIR}/archive/README.md @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/archive/README.md ${PROJECT_SOURCE_DIR}/LICENSE
              ${PROJECT_SOURCE_DIR}/agent/standin.h
  DESTINATION ${CMAKE_INSTALL_DOCDIR})
# Only the archives get the top copy: `cmake --install --prefix /usr/local` must not.
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/archive/README.md
  DESTINATION . COMPONENT archive EXCLUDE_FROM_ALL)

set(CPACK_PACKAGE_NAME ${PROJECT_NAME})
set(CPACK_PACKAGE_VENDOR "Brel Vorlend")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_RESOURCE_FILE_README ${CMAKE_CURRENT_BINARY_DIR}/archive/README.md)
set(CPACK_INSTALL_CMAKE_PROJECTS
  "${CMAKE_BINARY_DIR};${PROJECT_NAME};ALL;/" "${CMAKE_BINARY_DIR};${PROJECT_NAME};archive;/")
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  # The UCRT build is the one shipped; another runtime's zip says which in its name.
  set(CPACK_SYSTEM_NAME windows-x86_64)
  if(NOT JXEL_WINDOWS_CRT STREQUAL "ucrt")
    string(APPEND CPACK_SYSTEM_NAME "-${JXEL_WINDOWS_CRT}")
  endif()
else()
  set(CPACK_GENERATOR TGZ)
  set(CPACK_SYSTEM_NAME linux-${CMAKE_SYSTEM_PROCESSOR})
endif()
set(CPACK_PACKAGE_FILE_NAME ${CPACK_PACKAGE_NAME}-${CPACK_PACKAGE_VERSION}-${CPACK_SYSTEM_NAME})
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR}/packages)
# Archives are reproducible from the same tree.
set(CPACK_ARCHIVE_THREADS 0)
include(CPack)
