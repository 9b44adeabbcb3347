// codeset_iconv.cpp - text conversion with iconv.
#include <iconv.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <mutex>
#include <new>

#include "codeset.h"
#include "standin.h"

namespace xelagt {

namespace {

const iconv_t kNoDescriptor = reinterpret_cast<iconv_t>(-1);

// iconv names to try, best first; CP932 is the Shift_JIS variant Windows uses for 932.
const char* const* iconv_names(int32_t codeset) noexcept {
    static const char* const kUtf8[] = {"UTF-8", nullptr};
    static const char* const kLatin1[] = {"ISO-8859-1", nullptr};
    static const char* const kWindows1252[] = {"WINDOWS-1252", "CP1252", nullptr};
    static const char* const kShiftJis[] = {"CP932", "SHIFT_JIS", nullptr};
    switch (codeset) {
        case XELAGT_CODESET_UTF8:
            return kUtf8;
        case XELAGT_CODESET_ISO_8859_1:
            return kLatin1;
        case XELAGT_CODESET_WINDOWS_1252:
            return kWindows1252;
        case XELAGT_CODESET_SHIFT_JIS:
            return kShiftJis;
        default:
            return nullptr;
    }
}

iconv_t open_descriptor(int32_t target, int32_t source) noexcept {
    const char* const* targets = iconv_names(target);
    const char* const* sources = iconv_names(source);
    if (targets == nullptr || sources == nullptr) return kNoDescriptor;
    for (const char* const* to = targets; *to != nullptr; ++to) {
        for (const char* const* from = sources; *from != nullptr; ++from) {
            iconv_t cd = iconv_open(*to, *from);
            if (cd != kNoDescriptor) return cd;
        }
    }
    return kNoDescriptor;
}

// Descriptors opened by one thread, one per (target, source) pair. Opening one is costly
// and a descriptor may not be shared between threads while in use.
class DescriptorCache {
  public:
    DescriptorCache() = default;
    DescriptorCache(const DescriptorCache&) = delete;
    DescriptorCache& operator=(const DescriptorCache&) = delete;
    ~DescriptorCache() {
        for (size_t i = 0; i < count_; ++i) iconv_close(entries_[i].cd);
        if (spare_.cd != kNoDescriptor) iconv_close(spare_.cd);
    }

    struct Entry {
        int32_t target;
        int32_t source;
        iconv_t cd;
        bool dirty;  // a conversion stopped half-way: reset before the next
    };

    // The descriptor for the pair, or nullptr when iconv has none.
    Entry* get(int32_t target, int32_t source) noexcept {
        for (size_t i = 0; i < count_; ++i) {
            if (entries_[i].target == target && entries_[i].source == source) {
                return &entries_[i];
            }
        }
        iconv_t cd = open_descriptor(target, source);
        if (cd == kNoDescriptor) return nullptr;
        if (count_ == kCapacity) {
            // Not for the four known code sets; a pair beyond them gets one spare entry.
            if (spare_.cd != kNoDescriptor) iconv_close(spare_.cd);
            spare_ = {target, source, cd, false};
            return &spare_;
        }
        entries_[count_] = {target, source, cd, false};
        return &entries_[count_++];
    }

  private:
    static constexpr size_t kCapacity = 12;  // every ordered pair of the four code sets
    Entry entries_[kCapacity] = {};
    size_t count_ = 0;
    Entry spare_ = {0, 0, kNoDescriptor, false};
};

thread_local DescriptorCache t_descriptors;

// Code set of a locale name such as "ja_JP.SJIS@euro": the part between '.' and '@'.
int32_t codeset_of_locale(const char* locale) noexcept {
    const char* dot = std::strchr(locale, '.');
    if (dot == nullptr) return 0;
    char name[32];
    size_t n = 0;
    for (const char* p = dot + 1; *p != '\0' && *p != '@'; ++p) {
        if (n + 1 == sizeof(name)) return 0;
        name[n++] = *p;
    }
    name[n] = '\0';
    return codeset_from_name(name);
}

}  // namespace

// Reads the locale variables rather than asking the C library, whose answer depends on
// setlocale: loading the agent must not change the process's locale.
int32_t platform_locale_codeset() noexcept {
    for (const char* variable : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const char* locale = std::getenv(variable);
        if (locale != nullptr && *locale != '\0') return codeset_of_locale(locale);
    }
    return 0;
}

// The four code sets have no shift states: nothing is pending after the last character.
bool stateless(int32_t codeset) noexcept {
    return codeset == XELAGT_CODESET_UTF8 || codeset == XELAGT_CODESET_ISO_8859_1 ||
           codeset == XELAGT_CODESET_WINDOWS_1252 || codeset == XELAGT_CODESET_SHIFT_JIS;
}

// The characters of the BMP that iconv converts from UTF-8 into one code set but not back
// to themselves (for CP932: nine, such as U+00A5 and U+2212; for ISO-8859-1 and
// Windows-1252: none). iconv converts these code sets character by character, so a text
// of other BMP characters that converts comes back unchanged, and needs no conversion
// back to prove it.
class OneWayCharacters {
  public:
    // Converts every BMP character there and back, once: a few milliseconds.
    explicit OneWayCharacters(int32_t codeset) noexcept {
        iconv_t there = open_descriptor(codeset, XELAGT_CODESET_UTF8);
        iconv_t back = open_descriptor(XELAGT_CODESET_UTF8, codeset);
        usable_ = there != kNoDescriptor && back != kNoDescriptor;
        for (uint32_t c = 1; usable_ && c < 0x10000; ++c) {
            if (c >= 0xD800 && c <= 0xDFFF) continue;
            char utf8[3];
            const size_t n = encode(c, utf8);
            char local[16];
            char* in = utf8;
            size_t in_left = n;
            char* out = local;
            size_t out_left = sizeof local;
            if (iconv(there, &in, &in_left, &out, &out_left) == static_cast<size_t>(-1)) {
                iconv(there, nullptr, nullptr, nullptr, nullptr);
                continue;  // not in the code set: converting it fails anyway
            }
            char again[16];
            in = local;
            in_left = sizeof local - out_left;
            out = again;
            out_left = sizeof again;
            const bool same =
                iconv(back, &in, &in_left, &out, &out_left) != static_cast<size_t>(-1) &&
                sizeof again - out_left == n && std::memcmp(again, utf8, n) == 0;
            if (!same) {
                iconv(back, nullptr, nullptr, nullptr, nullptr);
                bits_[c / 64] |= uint64_t{1} << (c % 64);
                all_round_trip_ = false;
                if (c < 0x80) ascii_round_trips_ = false;
            }
        }
        if (there != kNoDescriptor) iconv_close(there);
        if (back != kNoDescriptor) iconv_close(back);
    }

    // True when every character of input (valid UTF-8) comes back unchanged; false also
    // for whatever this cannot tell (characters beyond the BMP, among them the tag
    // characters iconv drops), which then go the whole way back.
    bool round_trips(const char* input, size_t length) const noexcept {
        if (!usable_) return false;
        const auto* s = reinterpret_cast<const unsigned char*>(input);
        if (all_round_trip_) return !has_four_byte_lead(s, length);
        const bool skip_ascii = ascii_round_trips_;
        for (size_t i = 0; i < length;) {
            uint32_t c = s[i];
            if (c < 0x80) {
                if (!skip_ascii) {
                    if (one_way(c)) return false;
                    ++i;
                    continue;
                }
                // Eight ASCII bytes at a time: most text is mostly ASCII.
                for (uint64_t word; i + 8 <= length; i += 8) {
                    std::memcpy(&word, s + i, sizeof word);
                    if ((word & 0x8080808080808080ULL) != 0) break;
                }
                while (i < length && s[i] < 0x80) ++i;
                continue;
            }
            // iconv took the text as UTF-8, so the continuation bytes are there.
            if (c >= 0xC2 && c <= 0xDF && i + 1 < length) {
                c = ((c & 0x1Fu) << 6) | (s[i + 1] & 0x3Fu);
                i += 2;
            } else if (c >= 0xE0 && c <= 0xEF && i + 2 < length) {
                c = ((c & 0x0Fu) << 12) | ((s[i + 1] & 0x3Fu) << 6) | (s[i + 2] & 0x3Fu);
                i += 3;
            } else {
                return false;
            }
            if (one_way(c)) return false;
        }
        return true;
    }

  private:
    // Any byte F0..FF, eight bytes at a time: one whose four top bits are all set.
    static bool has_four_byte_lead(const unsigned char* s, size_t length) noexcept {
        size_t i = 0;
        for (uint64_t w; i + 8 <= length; i += 8) {
            std::memcpy(&w, s + i, sizeof w);
            if ((w & (w << 1) & (w << 2) & (w << 3) & 0x8080808080808080ULL) != 0) return true;
        }
        for (; i < length; ++i) {
            if (s[i] >= 0xF0) return true;
        }
        return false;
    }

    static size_t encode(uint32_t c, char* out) noexcept {
        if (c < 0x80) {
            out[0] = static_cast<char>(c);
            return 1;
        }
        if (c < 0x800) {
            out[0] = static_cast<char>(0xC0 | (c >> 6));
            out[1] = static_cast<char>(0x80 | (c & 0x3F));
            return 2;
        }
        out[0] = static_cast<char>(0xE0 | (c >> 12));
        out[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out[2] = static_cast<char>(0x80 | (c & 0x3F));
        return 3;
    }

    bool one_way(uint32_t c) const noexcept { return (bits_[c / 64] >> (c % 64)) & 1; }

    uint64_t bits_[0x10000 / 64] = {};
    bool all_round_trip_ = true;
    bool ascii_round_trips_ = true;
    bool usable_ = false;
};

// The table of a code set the stand-in converts into, built on first use.
const OneWayCharacters* one_way_characters(int32_t codeset) noexcept {
    static std::once_flag once[3];
    static const OneWayCharacters* tables[3];
    int index;
    switch (codeset) {
        case XELAGT_CODESET_ISO_8859_1:
            index = 0;
            break;
        case XELAGT_CODESET_WINDOWS_1252:
            index = 1;
            break;
        case XELAGT_CODESET_SHIFT_JIS:
            index = 2;
            break;
        default:
            return nullptr;
    }
    try {
        std::call_once(once[index], [&] {
            tables[index] = new (std::nothrow) OneWayCharacters(codeset);  // kept for good
        });
    } catch (...) {
        return nullptr;
    }
    return tables[index];
}

// Whether text converted out of UTF-8 must be converted back to prove nothing was lost.
bool needs_round_trip(int32_t target, const char* input, size_t length) noexcept {
    const OneWayCharacters* table = one_way_characters(target);
    return table == nullptr || !table->round_trips(input, length);
}

int32_t platform_convert(int32_t target, int32_t source, const char* input,
                         char** output) noexcept {
    DescriptorCache::Entry* entry = t_descriptors.get(target, source);
    if (entry == nullptr) return XELAGT_ERR_UNKNOWN_CODESET;
    iconv_t cd = entry->cd;
    if (entry->dirty) {
        // The last call stopped half-way through a conversion.
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    entry->dirty = true;  // until this conversion has run to its end

    const size_t input_length = std::strlen(input);
    size_t capacity = input_length * 2 + 16;
    char* buffer = static_cast<char*>(std::malloc(capacity));
    if (buffer == nullptr) return XELAGT_ERR_OUT_OF_MEMORY;

    char* in = const_cast<char*>(input);
    size_t in_left = input_length;
    char* out = buffer;
    size_t out_left = capacity - 1;  // room for the terminating NUL
    // After the input, a call without input writes whatever shift state is pending.
    bool flushing = false;
    const bool flush = !stateless(target);
    for (;;) {
        size_t result = flushing ? iconv(cd, nullptr, nullptr, &out, &out_left)
                                 : iconv(cd, &in, &in_left, &out, &out_left);
        if (result != static_cast<size_t>(-1)) {
            if (flushing || !flush) break;
            flushing = true;
            continue;
        }
        if (errno != E2BIG) {
            std::free(buffer);
            return XELAGT_ERR_CONVERSION;
        }
        const size_t used = static_cast<size_t>(out - buffer);
        if (capacity > SIZE_MAX / 2) {
            std::free(buffer);
            return XELAGT_ERR_OUT_OF_MEMORY;
        }
        capacity *= 2;
        char* grown = static_cast<char*>(std::realloc(buffer, capacity));
        if (grown == nullptr) {
            std::free(buffer);
            return XELAGT_ERR_OUT_OF_MEMORY;
        }
        buffer = grown;
        out = buffer + used;
        out_left = capacity - 1 - used;
    }
    entry->dirty = false;
    *out = '\0';
    // iconv drops Unicode tag characters and maps a few characters one way (CP932 writes
    // U+00A5 as 5C) without an error: text out of UTF-8 that does not come back unchanged
    // was not representable.
    if (source == XELAGT_CODESET_UTF8 && needs_round_trip(target, input, input_length)) {
        char* back = nullptr;
        const int32_t status = platform_convert(source, target, buffer, &back);
        const bool same = status == XELAGT_OK && std::strcmp(back, input) == 0;
        std::free(back);
        if (!same) {
            std::free(buffer);
            return status == XELAGT_ERR_OUT_OF_MEMORY ? status : XELAGT_ERR_CONVERSION;
        }
    }
    *output = buffer;
    return XELAGT_OK;
}

}  // namespace xelagt
