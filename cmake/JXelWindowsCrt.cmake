# The C runtime of the Windows binaries: JXEL_WINDOWS_CRT, read by the toolchain file.
#
#   ucrt       the Universal C runtime (ucrtbase.dll through the api-ms-win-crt-* DLLs):
#              agents built with Visual Studio 2015 or later and /MD
#   msvcrt     msvcrt.dll, the runtime that mingw-w64 targets by default
#   msvcr120, msvcr110, msvcr100
#              the runtimes of Visual Studio 2013, 2012 and 2010 (/MD)
#
# mingw-w64 ships an import library for each; the rules of the compiler driver (what
# -dumpspecs prints) name the one it links, -lmsvcrt. Each flavour gets a copy of those
# rules that links its own library, and the macros that make the mingw-w64 headers declare
# that runtime's functions.
include_guard(GLOBAL)

set(JXEL_WINDOWS_CRTS ucrt msvcrt msvcr120 msvcr110 msvcr100)

# jxel_windows_crt_flags(<crt> <out>)
# Sets <out> to the list of flags that put a compile and a link on <crt>. They override
# flags for another runtime given before them, so a target can take another flavour
# than the build's.
function(jxel_windows_crt_flags crt out)
  if(NOT crt IN_LIST JXEL_WINDOWS_CRTS)
    message(FATAL_ERROR "JXEL_WINDOWS_CRT is \"${crt}\"; one of ${JXEL_WINDOWS_CRTS} is expected")
  endif()
  execute_process(COMMAND ${CMAKE_C_COMPILER} -dumpspecs
    OUTPUT_VARIABLE rules RESULT_VARIABLE failed ERROR_VARIABLE error)
  if(failed OR NOT rules MATCHES "-lmsvcrt ")
    message(FATAL_ERROR "${CMAKE_C_COMPILER} gave no driver rules that link -lmsvcrt: ${error}")
  endif()
  string(REPLACE "-lmsvcrt " "-l${crt} " rules "${rules}")
  set(file ${CMAKE_BINARY_DIR}/jxel-crt/${crt}.rules)
  file(WRITE ${file}.new "${rules}")
  file(COPY_FILE ${file}.new ${file} ONLY_IF_DIFFERENT)
  file(REMOVE ${file}.new)
  # The headers take _UCRT for the UCRT and __MSVCRT_VERSION__ for the numbered runtimes.
  if(crt STREQUAL "ucrt")
    set(macros -U__MSVCRT_VERSION__ -D_UCRT)
  elseif(crt STREQUAL "msvcrt")
    set(macros -U__MSVCRT_VERSION__ -U_UCRT)
  else()
    string(REGEX REPLACE "^msvcr([0-9]+)0$" "0x\\100" version ${crt})
    set(macros -U_UCRT -U__MSVCRT_VERSION__ -D__MSVCRT_VERSION__=${version})
  endif()
  set(${out} -specs=${file} ${macros} PARENT_SCOPE)
endfunction()

# jxel_windows_other_crt(<out>)
# The runtime that an agent of a mismatched pair uses: msvcrt.dll when the build is on
# another runtime, the UCRT when it is on msvcrt.dll.
function(jxel_windows_other_crt out)
  if(JXEL_WINDOWS_CRT STREQUAL "msvcrt")
    set(${out} ucrt PARENT_SCOPE)
  else()
    set(${out} msvcrt PARENT_SCOPE)
  endif()
endfunction()
