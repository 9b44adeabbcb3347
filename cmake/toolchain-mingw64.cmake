# Cross build for 64-bit Windows with Debian's mingw-w64 (package g++-mingw-w64-x86-64-win32);
# programs built for Windows run under Wine.
#   cmake --preset windows    or    cmake -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw64.cmake ...
# JXEL_WINDOWS_CRT picks the C runtime of every binary (cmake/JXelWindowsCrt.cmake): ucrt,
# the default, or msvcrt (cmake --preset windows-msvcrt), msvcr120, msvcr110, msvcr100.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(JXEL_MINGW_TRIPLET x86_64-w64-mingw32)
# The win32 thread model. The -posix compilers' libstdc++ needs winpthread, and Debian's
# static winpthread is built for msvcrt.dll: it calls msvcrt's _setjmp, which the UCRT
# does not export. Nothing here needs POSIX threads: the bridge uses none, the stand-in
# locks with Windows' own locks (agent/lock.h), the tests start C runtime threads.
set(CMAKE_C_COMPILER ${JXEL_MINGW_TRIPLET}-gcc-win32)
set(CMAKE_CXX_COMPILER ${JXEL_MINGW_TRIPLET}-g++-win32)
set(CMAKE_RC_COMPILER ${JXEL_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${JXEL_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

find_program(JXEL_WINE wine)
if(JXEL_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${JXEL_WINE})
endif()

# The C runtime, the one DLL every binary of the build shares with the agent, which frees
# what the bridge allocates. The flags go with every compile and link, the test programs'
# and GoogleTest's too; try_compile gets the same.
set(JXEL_WINDOWS_CRT ucrt CACHE STRING "C runtime of the Windows binaries: ucrt, msvcrt, msvcr120, msvcr110 or msvcr100")
set_property(CACHE JXEL_WINDOWS_CRT PROPERTY STRINGS ucrt msvcrt msvcr120 msvcr110 msvcr100)
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES JXEL_WINDOWS_CRT)
# The flags are set once, when a build folder is first configured.
if(DEFINED CACHE{JXEL_WINDOWS_CRT_OF_FOLDER} AND NOT JXEL_WINDOWS_CRT STREQUAL JXEL_WINDOWS_CRT_OF_FOLDER)
  message(FATAL_ERROR "This folder was configured for ${JXEL_WINDOWS_CRT_OF_FOLDER}: configure "
    "${JXEL_WINDOWS_CRT} in a folder of its own, or again with --fresh")
endif()
set(JXEL_WINDOWS_CRT_OF_FOLDER ${JXEL_WINDOWS_CRT} CACHE INTERNAL "")
include(${CMAKE_CURRENT_LIST_DIR}/JXelWindowsCrt.cmake)
jxel_windows_crt_flags(${JXEL_WINDOWS_CRT} _jxel_crt_flags)
list(JOIN _jxel_crt_flags " " _jxel_crt_flags)
set(CMAKE_C_FLAGS_INIT "${_jxel_crt_flags}")
set(CMAKE_CXX_FLAGS_INIT "${_jxel_crt_flags}")

# The DLLs and programs need nothing beside them but Windows' own DLLs and the C
# runtime: the GCC runtime and libstdc++ are linked in.
# No time stamp and a fixed image base: the same sources give the same DLL.
set(_jxel_link_flags "-static -Wl,--no-insert-timestamp -Wl,--disable-auto-image-base")
set(CMAKE_EXE_LINKER_FLAGS_INIT "${_jxel_link_flags}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${_jxel_link_flags}")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "${_jxel_link_flags}")

# Test programs list their tests when CTest runs, not during the build, so that
# building needs no Wine.
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)
# Debian ships GoogleTest for mingw only as source; this package builds it.
set(GTest_DIR ${CMAKE_CURRENT_LIST_DIR}/windows-gtest CACHE PATH "GoogleTest for the cross build")
