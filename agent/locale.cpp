// locale.cpp - the local code set and the locale record.
#include <atomic>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "codeset.h"
#include "control.h"
#include "export.h"
#include "standin.h"

namespace xelagt {

namespace {

// One immutable record per code set, so a record handed out never changes under a caller
// when the local code set is switched.
constexpr xelagt_locale kLocales[] = {
    {static_cast<int32_t>(sizeof(xelagt_locale)), XELAGT_CODESET_UTF8},
    {static_cast<int32_t>(sizeof(xelagt_locale)), XELAGT_CODESET_ISO_8859_1},
    {static_cast<int32_t>(sizeof(xelagt_locale)), XELAGT_CODESET_WINDOWS_1252},
    {static_cast<int32_t>(sizeof(xelagt_locale)), XELAGT_CODESET_SHIFT_JIS},
};

const xelagt_locale* locale_record(int32_t codeset) noexcept {
    for (const xelagt_locale& record : kLocales) {
        if (record.codeset == codeset) return &record;
    }
    return nullptr;
}

struct Name {
    const char* name;  // upper case, without '-' and '_'
    int32_t codeset;
};

constexpr Name kNames[] = {
    {"UTF8", XELAGT_CODESET_UTF8},           {"ISO88591", XELAGT_CODESET_ISO_8859_1},
    {"LATIN1", XELAGT_CODESET_ISO_8859_1},   {"WINDOWS1252", XELAGT_CODESET_WINDOWS_1252},
    {"CP1252", XELAGT_CODESET_WINDOWS_1252}, {"SHIFTJIS", XELAGT_CODESET_SHIFT_JIS},
    {"SJIS", XELAGT_CODESET_SHIFT_JIS},      {"CP932", XELAGT_CODESET_SHIFT_JIS},
};

int32_t codeset_from_setting(const char* value) noexcept {
    char* end = nullptr;
    long number = std::strtol(value, &end, 10);
    if (end != value && *end == '\0') {
        return number > 0 && number <= INT32_MAX && codeset_known(static_cast<int32_t>(number))
                   ? static_cast<int32_t>(number)
                   : 0;
    }
    return codeset_from_name(value);
}

int32_t startup_codeset() noexcept {
    const char* setting = std::getenv("XELAGT_CODESET");
    if (setting != nullptr && *setting != '\0') {
        if (int32_t codeset = codeset_from_setting(setting)) return codeset;
    }
    int32_t codeset = platform_locale_codeset();
    return codeset != 0 ? codeset : XELAGT_CODESET_UTF8;
}

int32_t startup_codeset_once() noexcept {
    static const int32_t codeset = startup_codeset();
    return codeset;
}

std::atomic<int32_t>& current_codeset() noexcept {
    static std::atomic<int32_t> codeset{startup_codeset_once()};
    return codeset;
}

}  // namespace

bool codeset_known(int32_t codeset) noexcept { return locale_record(codeset) != nullptr; }

int32_t codeset_from_name(const char* name) noexcept {
    char key[32];
    size_t n = 0;
    for (const char* p = name; *p != '\0'; ++p) {
        if (*p == '-' || *p == '_') continue;
        if (n + 1 == sizeof(key)) return 0;
        key[n++] = static_cast<char>(std::toupper(static_cast<unsigned char>(*p)));
    }
    key[n] = '\0';
    for (const Name& entry : kNames) {
        if (std::strcmp(entry.name, key) == 0) return entry.codeset;
    }
    return 0;
}

}  // namespace xelagt

using namespace xelagt;

extern "C" {

XELAGT_EXPORT int32_t xelagt_get_locale(const xelagt_locale** locale) {
    int32_t status;
    if (take_failure(XELAGT_OP_GET_LOCALE, &status)) {
        if (locale != nullptr) *locale = nullptr;
        return status;
    }
    if (locale == nullptr) return XELAGT_ERR_BAD_ARGUMENT;
    *locale = locale_record(current_codeset().load(std::memory_order_acquire));
    return XELAGT_OK;
}

XELAGT_EXPORT_NAMED int32_t xelagt_test_set_codeset(int32_t codeset) {
    if (!codeset_known(codeset)) return XELAGT_ERR_UNKNOWN_CODESET;
    current_codeset().store(codeset, std::memory_order_release);
    return XELAGT_OK;
}

XELAGT_EXPORT_NAMED void xelagt_test_reset(void) {
    xelagt_test_free_all();
    xelagt_test_reset_failures();
    current_codeset().store(startup_codeset_once(), std::memory_order_release);
}

XELAGT_EXPORT_NAMED int32_t xelagt_test_codeset(void) {
    return current_codeset().load(std::memory_order_acquire);
}

}  // extern "C"
