// codesets.cpp - the code sets the stand-in knows, the local code set and the locale record.
#include <atomic>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "agent.h"

namespace xelagt {
namespace {

constexpr Codeset kCodesets[] = {
    {XELAGT_CODESET_UTF8, "UTF-8", 65001},
    {XELAGT_CODESET_ISO_8859_1, "ISO-8859-1", 28591},
    {XELAGT_CODESET_WINDOWS_1252, "CP1252", 1252},
    // CP932 is the Shift_JIS variant Windows uses for 932.
    {XELAGT_CODESET_SHIFT_JIS, "CP932", 932},
};

// One record per code set that never changes, so a record handed out stays true when the
// local code set is switched.
constexpr int32_t kRecordSize = sizeof(xelagt_locale);
constexpr xelagt_locale kLocales[] = {{kRecordSize, XELAGT_CODESET_UTF8},
                                      {kRecordSize, XELAGT_CODESET_ISO_8859_1},
                                      {kRecordSize, XELAGT_CODESET_WINDOWS_1252},
                                      {kRecordSize, XELAGT_CODESET_SHIFT_JIS}};

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

int32_t codeset_from_setting(const char* value) {
    char* end = nullptr;
    const long number = std::strtol(value, &end, 10);
    if (end != value && *end == '\0') {
        return number > 0 && number <= INT32_MAX && find_codeset(static_cast<int32_t>(number))
                   ? static_cast<int32_t>(number)
                   : 0;
    }
    return codeset_from_name(value);
}

int32_t startup_codeset() {
    const char* setting = std::getenv("XELAGT_CODESET");
    const bool set = setting != nullptr && *setting != '\0';
    if (set) {
        if (int32_t codeset = codeset_from_setting(setting)) return codeset;
    }
    const int32_t local = platform_locale_codeset();
    const int32_t codeset = local != 0 ? local : XELAGT_CODESET_UTF8;
    if (set) {
#if defined(_WIN32)
        const char* origin = local != 0 ? "from the ANSI code page" : "(UTF-8), the default,";
#else
        const char* origin = local != 0 ? "from the locale" : "(UTF-8), the default,";
#endif
        report_unknown_codeset("XELAGT_CODESET", setting, codeset, origin);
    }
    return codeset;
}

// Read once, at the first call that needs it.
int32_t startup_codeset_once() {
    static const int32_t codeset = startup_codeset();
    return codeset;
}

std::atomic<int32_t>& current_codeset() {
    static std::atomic<int32_t> codeset{startup_codeset_once()};
    return codeset;
}

}  // namespace

void report_unknown_codeset(const char* variable, const char* value, int32_t instead,
                            const char* origin) noexcept {
    std::fprintf(stderr,
                 "xelagtapi stand-in: %s=%s names no code set it knows (UTF-8 or 69, ISO-8859-1 or "
                 "819, WINDOWS-1252 or 1252, SHIFT_JIS or 932); using code set %d %s instead\n",
                 variable, value, instead, origin);
}

const Codeset* find_codeset(int32_t number) noexcept {
    for (const Codeset& codeset : kCodesets) {
        if (codeset.number == number) return &codeset;
    }
    return nullptr;
}

int32_t codeset_from_name(const char* name) noexcept {
    char key[16] = {};  // longer than any name: a longer name is none of them
    for (size_t n = 0; *name != '\0' && n + 1 < sizeof key; ++name) {
        if (*name != '-' && *name != '_') {
            key[n++] = static_cast<char>(std::toupper(static_cast<unsigned char>(*name)));
        }
    }
    for (const Name& entry : kNames) {
        if (std::strcmp(key, entry.name) == 0) return entry.codeset;
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
    const int32_t codeset = current_codeset().load();
    for (const xelagt_locale& record : kLocales) {
        if (record.codeset == codeset) *locale = &record;
    }
    return XELAGT_OK;
}

XELAGT_EXPORT_NAMED int32_t xelagt_test_set_codeset(int32_t codeset) {
    if (find_codeset(codeset) == nullptr) return XELAGT_ERR_UNKNOWN_CODESET;
    current_codeset().store(codeset);
    return XELAGT_OK;
}

XELAGT_EXPORT_NAMED int32_t xelagt_test_codeset(void) { return current_codeset().load(); }

XELAGT_EXPORT_NAMED void xelagt_test_reset(void) {
    xelagt_test_free_all();
    xelagt_test_reset_failures();
    current_codeset().store(startup_codeset_once());
}

}  // extern "C"
