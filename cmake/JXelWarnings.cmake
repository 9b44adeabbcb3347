# Warning flags shared by every target of the project.
add_library(jxel_warnings INTERFACE)
if(MSVC)
  target_compile_options(jxel_warnings INTERFACE /W4)
else()
  target_compile_options(jxel_warnings INTERFACE -Wall -Wextra -Wpedantic -Wshadow -Wconversion
                                                 -Wno-sign-conversion)
endif()
