# Cross build for 64-bit Windows with Debian's mingw-w64 (package g++-mingw-w64-x86-64-posix);
# programs built for Windows run under Wine.
#   cmake --preset windows    or    cmake -DCMAKE_TOOLCHAIN_FILE=cmake/windows/toolchain-mingw64.cmake ...
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(JXEL_MINGW_TRIPLET x86_64-w64-mingw32)
# The -posix compilers: std::thread and std::mutex need the winpthread threading model.
set(CMAKE_C_COMPILER ${JXEL_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${JXEL_MINGW_TRIPLET}-g++-posix)
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

# The DLLs and programs need nothing beside them but Windows' own DLLs: the GCC
# runtime, libstdc++ and winpthread are linked in. The C runtime stays the shared
# msvcrt.dll, the one the compiler targets by default, which every DLL of the
# build then shares (the agent frees what the bridge allocates).
# No time stamp and a fixed image base: the same sources give the same DLL.
set(_jxel_link_flags "-static -Wl,--no-insert-timestamp -Wl,--disable-auto-image-base")
set(CMAKE_EXE_LINKER_FLAGS_INIT "${_jxel_link_flags}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${_jxel_link_flags}")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "${_jxel_link_flags}")

# Test programs list their tests when CTest runs, not during the build, so that
# building needs no Wine.
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)
# Debian ships GoogleTest for mingw only as source; this package builds it.
set(GTest_DIR ${CMAKE_CURRENT_LIST_DIR}/gtest CACHE PATH "GoogleTest for the cross build")
