/*
 * jni_md.h - the machine-dependent JNI definitions for 64-bit Windows, used
 * with the host JDK's jni.h in the cross build (the Linux one would make
 * JNIEXPORT a visibility attribute, which mingw ignores: no native would be
 * exported).
 */
#ifndef JXEL_JNI_MD_H
#define JXEL_JNI_MD_H

#if !defined(_WIN32)
#error "this jni_md.h is for Windows builds only"
#endif

#define JNIEXPORT __declspec(dllexport)
#define JNIIMPORT __declspec(dllimport)
/* No decoration on x64: there is only one calling convention. */
#define JNICALL __stdcall

typedef int jint;
typedef long long jlong; /* __int64 */
typedef signed char jbyte;

#endif /* JXEL_JNI_MD_H */
