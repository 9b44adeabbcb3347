# A caller built in the MSVC ABI (windows_msvc_caller.cpp) links the bridge's
# import library by the MSVC names of the conversion functions and runs under
# Wine against the bridge and the stand-in. Microsoft's tools are not needed:
# clang compiles for x86_64-pc-windows-msvc and lld-link reads the GNU import
# libraries. Included by windows.cmake, for the GNU (mingw-w64) build only.

find_program(JXEL_CLANGXX clang++)
find_program(JXEL_LLD_LINK lld-link)
find_library(JXEL_KERNEL32_IMPORT_LIBRARY kernel32)
if(NOT JXEL_CLANGXX OR NOT JXEL_LLD_LINK OR NOT JXEL_KERNEL32_IMPORT_LIBRARY)
  add_test(NAME windows_msvc_caller
    COMMAND ${CMAKE_COMMAND} -E echo "clang++, lld-link or the kernel32 import library missing (Debian: clang, lld)")
  set_tests_properties(windows_msvc_caller PROPERTIES FAIL_REGULAR_EXPRESSION "missing")
  return()
endif()

set(dir ${CMAKE_CURRENT_BINARY_DIR}/windows_msvc_caller)
set(object ${dir}/windows_msvc_caller.obj)
set(program ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/windows_msvc_caller.exe)  # beside the DLLs
# jni.h includes <stdio.h> and uses nothing of it; the caller has no C runtime headers.
file(CONFIGURE OUTPUT ${dir}/include/stdio.h CONTENT "// Empty: no C runtime in the MSVC-ABI caller.\n")

add_custom_command(OUTPUT ${object}
  COMMAND ${JXEL_CLANGXX} --target=x86_64-pc-windows-msvc -std=c++17 -O1 -fno-exceptions
          -Wall -Wextra -Werror -I${PROJECT_SOURCE_DIR}/convert -I${JXEL_OPERATIONS_DIR}
          -isystem ${PROJECT_SOURCE_DIR}/cmake/windows/include -isystem ${JXEL_HOST_JNI_INCLUDE_DIR}
          -isystem ${dir}/include -c ${CMAKE_CURRENT_SOURCE_DIR}/windows_msvc_caller.cpp -o ${object}
  DEPENDS windows_msvc_caller.cpp ${PROJECT_SOURCE_DIR}/convert/jxel_convert.h
          ${JXEL_OPERATIONS_DIR}/xelagt_operations.h
  COMMENT "Compiling the MSVC-ABI caller with clang" VERBATIM)
add_custom_command(OUTPUT ${program}
  COMMAND ${JXEL_LLD_LINK} /nologo /entry:mainCRTStartup /subsystem:console /nodefaultlib
          /out:${program} ${object} $<TARGET_LINKER_FILE:JXelAgtbase> ${JXEL_KERNEL32_IMPORT_LIBRARY}
  DEPENDS ${object} JXelAgtbase
  COMMENT "Linking the MSVC-ABI caller with lld-link against the bridge's import library" VERBATIM)
add_custom_target(windows_msvc_caller ALL DEPENDS ${program})
add_dependencies(windows_msvc_caller xelagtapi)  # loaded from beside the program

add_test(NAME windows_msvc_caller COMMAND ${CMAKE_CROSSCOMPILING_EMULATOR} ${program})
set_tests_properties(windows_msvc_caller PROPERTIES ENVIRONMENT XELAGT_CODESET=WINDOWS-1252)
