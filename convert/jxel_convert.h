// Text conversion between Java's UTF-8 and the agent's local code set.
//
// Exported by JXelAgtbase for other native code. Both functions ask the
// agent for its local code set on every call, so a change of the local code
// set takes effect on the next call. They may run on any number of threads.
//
// The exported names are C++ names, mangled by the compiler's ABI. Linux has
// one C++ ABI. On Windows the two compiler families mangle differently, so
// JXelAgtbase.dll exports each function under both names, bound to the same
// code, and its one import library carries both:
//   GNU (mingw-w64 GCC, clang)        MSVC (Microsoft's compiler, clang-cl)
//   _Z20convertStringFromUTFPKc       ?convertStringFromUTF@@YAPEADPEBD@Z
//   _Z18convertStringToUTFPcP7JNIEnv_ ?convertStringToUTF@@YAPEAV_jstring@@PEADPEAUJNIEnv_@@@Z
// One body serves both: on x64 both pass these pointer arguments and results
// alike, and no exception leaves the functions.
#ifndef JXEL_CONVERT_H
#define JXEL_CONVERT_H

#ifndef __cplusplus
#error \
    "jxel_convert.h declares C++ functions (their exported names are C++ names): include it from C++ code; C code calls them through a C++ wrapper"
#endif

#include <jni.h>

#if defined(_WIN32)
#if defined(JXEL_BUILDING_LIBRARY)
#define JXEL_CONVERT_API __declspec(dllexport)
#else
#define JXEL_CONVERT_API __declspec(dllimport)
#endif
#else
#define JXEL_CONVERT_API __attribute__((visibility("default")))
#endif

// Converts `text`, a NUL-terminated UTF-8 text as the JNI string functions
// give it (modified UTF-8; standard 4-byte sequences are accepted too), to
// the agent's local code set.
//
// Returns a new text that the caller owns and releases with the agent's
// xelagt_release_buffer, also when it is null. When the agent needs no
// conversion, the result is a copy of `text` allocated with malloc, which
// xelagt_release_buffer frees as well; it is never `text` itself. On
// Windows that is the bridge's C runtime's malloc (msvcrt.dll when built
// with mingw-w64): the agent has to free with the same C runtime.
//
// Returns null when the conversion fails, when `text` is null, and when
// `text` holds what the local code set cannot express as a NUL-terminated
// text: U+0000 (C0 80), an unpaired surrogate or an invalid sequence.
JXEL_CONVERT_API char* convertStringFromUTF(const char* text);

// Converts `text`, a NUL-terminated text in the agent's local code set, to
// a new Java string, a local reference of the calling native's frame.
// Bytes that are not valid UTF-8 after the conversion become U+FFFD.
//
// Returns null when the conversion fails (nothing is printed; no exception
// is raised), when `text` or `env` is null, and when the string cannot be
// made. Then an exception is pending: OutOfMemoryError, raised here, when
// there is no memory for the string's modified UTF-8; else NewStringUTF's
// own, and one line goes to standard error.
JXEL_CONVERT_API jstring convertStringToUTF(char* text, JNIEnv* env);

#endif  // JXEL_CONVERT_H
