/*
 * export.h - how the stand-in marks what leaves libxelagtapi.
 *
 * The project builds with hidden visibility, so every exported function is
 * marked on its definition. On Windows the 21 operations are exported by
 * ordinal only through xelagtapi.def; marking them dllexport as well would
 * add them to the name table, so there XELAGT_EXPORT is empty. Test control
 * is exported by name on every platform.
 */
#ifndef XELAGT_EXPORT_H
#define XELAGT_EXPORT_H

#if defined(_WIN32)
#define XELAGT_EXPORT
#define XELAGT_EXPORT_NAMED __declspec(dllexport)
#elif defined(__GNUC__) || defined(__clang__)
#define XELAGT_EXPORT __attribute__((visibility("default")))
#define XELAGT_EXPORT_NAMED __attribute__((visibility("default")))
#else
#define XELAGT_EXPORT
#define XELAGT_EXPORT_NAMED
#endif

#endif /* XELAGT_EXPORT_H */
