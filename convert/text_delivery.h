// Delivery of agent text into Java String fields.
#ifndef JXEL_CONVERT_TEXT_DELIVERY_H
#define JXEL_CONVERT_TEXT_DELIVERY_H

#include <jni.h>

namespace jxel {

// Makes a Java string from standard UTF-8, whatever its bytes: 4-byte
// sequences become surrogate pairs and invalid sequences U+FFFD, so the JVM
// never sees bytes it would misread. Null, with the JVM's exception
// pending, when the JVM cannot make the string.
jstring newJavaString(JNIEnv* env, const char* utf8);

// Stores agent text (not null) into an instance field of `object`: the
// converted text, or the unconverted text when the conversion fails. When
// the JVM cannot make the string, the field keeps its value and the JVM's
// exception stays pending.
void deliverText(JNIEnv* env, jobject object, jfieldID field, const char* agentText);

// The same for a static field of `clazz`.
void deliverStaticText(JNIEnv* env, jclass clazz, jfieldID field, const char* agentText);

}  // namespace jxel

#endif  // JXEL_CONVERT_TEXT_DELIVERY_H
