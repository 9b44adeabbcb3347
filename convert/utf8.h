// Text forms at the JVM boundary. The JNI string functions speak "modified UTF-8": U+0000 is
// C0 80 and a character above U+FFFF is two 3-byte surrogate sequences. The agent's UTF-8 (code
// set 69) is standard UTF-8, where such a character is one 4-byte sequence. These functions move
// text between the two forms; they make no JNI call and allocate nothing, so they can be tested
// and fuzzed on their own.
#ifndef JXEL_CONVERT_UTF8_H
#define JXEL_CONVERT_UTF8_H

#include <cstddef>

namespace jxel {

// How a text from Java reads as standard UTF-8.
enum class JavaTextForm {
    kStandard,        // already standard UTF-8: use it as it is
    kSurrogatePairs,  // has surrogate pairs to join into 4-byte sequences
    kUnrepresentable  // U+0000, an unpaired surrogate or an invalid byte
};

// Classifies `text` (NUL-terminated, `length` bytes before the NUL).
JavaTextForm classifyJavaText(const char* text, std::size_t length);

// Writes the standard UTF-8 form of a text classified kSurrogatePairs into
// `out`, which needs room for `length` + 1 bytes; returns the bytes written
// before the terminating NUL.
std::size_t joinSurrogatePairs(const char* text, std::size_t length, char* out);

// classifyJavaText and, unless the text is kUnrepresentable, its standard UTF-8
// form written into `out` (room for `length` + 1 bytes, NUL-terminated): joined
// for kSurrogatePairs, a copy for kStandard. Long texts are read once.
JavaTextForm standardFromJavaText(const char* text, std::size_t length, char* out);

// The length of the longest prefix of standard UTF-8 `text` (whole characters)
// that is already in the modified form: `length` when the whole text can go to
// the JVM as it is. Reads no further than the first bytes that must change.
std::size_t modifiedUtf8Unchanged(const char* text, std::size_t length);

// The room writeModifiedUtf8 may need: every byte may become U+FFFD.
constexpr std::size_t modifiedUtf8Room(std::size_t length) { return 3 * length + 1; }

// The size, terminating NUL included, of the modified UTF-8 form of
// `text`, read as standard UTF-8 with every maximal invalid subpart
// replaced by U+FFFD; 0 when `text` can go to the JVM as it is.
std::size_t modifiedUtf8Size(const char* text, std::size_t length);

// Writes that form into `out`, NUL-terminated (room for modifiedUtf8Size
// bytes, or modifiedUtf8Room when the size is not known): one pass.
void writeModifiedUtf8(const char* text, std::size_t length, char* out);

}  // namespace jxel

#endif  // JXEL_CONVERT_UTF8_H
