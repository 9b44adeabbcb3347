// The Java side's names: classes, and the fields the natives write, with
// their JNI signatures. Every native looks its field up afresh on each call.
#ifndef JXEL_BRIDGE_JAVA_FIELDS_H
#define JXEL_BRIDGE_JAVA_FIELDS_H

namespace jxel {

inline constexpr char kObjectClassName[] = "com/brel/vorlend/ib/api/jxel/JXelObject";
inline constexpr char kExceptionClassName[] = "com/brel/vorlend/ib/api/jxel/JXelException";

// JXelObject: the data object's handle (instance).
inline constexpr char kReferenceField[] = "myXelReference";
inline constexpr char kReferenceSignature[] = "J";

// JXelObject and JXelException: the last text fetched (instance).
inline constexpr char kDataStringField[] = "myXelDataString";
// JXelObject: the agent's version text (static).
inline constexpr char kVersionField[] = "ourVersion";

inline constexpr char kStringSignature[] = "Ljava/lang/String;";

}  // namespace jxel

#endif  // JXEL_BRIDGE_JAVA_FIELDS_H
