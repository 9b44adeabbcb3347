// codeset_iconv.cpp - text conversion with iconv.
#include <iconv.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

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
    Entry entries_[kCapacity];
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

// Whether text converted out of UTF-8 must be converted back to prove nothing was lost.
// iconv maps every character of ISO-8859-1 both ways and fails on every other one, bar the
// tag characters (U+E0000..U+E007F) it drops; those start with F3, as few others do.
bool needs_round_trip(int32_t target, const char* input, size_t length) noexcept {
    if (target != XELAGT_CODESET_ISO_8859_1) return true;
    return std::memchr(input, 0xF3, length) != nullptr;
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
