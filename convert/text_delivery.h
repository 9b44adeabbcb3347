// Text between the natives and the agent: Java text handed to the agent,
// and delivery of agent text into Java String fields.
#ifndef JXEL_CONVERT_TEXT_DELIVERY_H
#define JXEL_CONVERT_TEXT_DELIVERY_H

#include <jni.h>

#include <cstddef>

namespace jxel {

// convertStringFromUTF for a text whose length (`length` bytes before the
// NUL) the caller already has.
char* agentTextFromJava(const char* text, std::size_t length);

// Makes a Java string from standard UTF-8, whatever its bytes: 4-byte
// sequences become surrogate pairs and invalid sequences U+FFFD, so the JVM
// never sees bytes it would misread. Null, with an exception pending, when
// the string cannot be made: OutOfMemoryError when the memory for its
// modified UTF-8 cannot be had, or what NewStringUTF left when it failed,
// which `newStringUtfFailed` (when given) then tells.
jstring newJavaString(JNIEnv* env, const char* utf8, bool* newStringUtfFailed = nullptr);

// Stores agent text (not null) into an instance field of `object`: the
// converted text, or the unconverted text when the conversion fails. When
// the string cannot be made, the field keeps its value and the exception
// stays pending.
void deliverText(JNIEnv* env, jobject object, jfieldID field, const char* agentText);

// The same for a static field of `clazz`.
void deliverStaticText(JNIEnv* env, jclass clazz, jfieldID field, const char* agentText);

}  // namespace jxel

#endif  // JXEL_CONVERT_TEXT_DELIVERY_H
