// The stand-in agent driven by a fuzzed sequence of operations, checked
// against a model of what it should hold: objects, their strings, integers
// and lists, made-up and freed handles, injected failures, code set
// switches and conversions. After each operation the live object count
// matches the model and no converted text is left unreleased; after
// xelagt_test_free_all nothing is alive.
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "fuzz_text.h"
#include "standin.h"
#include "xelagt_operations.h"

using jxel::fuzz::fail;

namespace {

class Reader {
  public:
    Reader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool empty() const { return pos_ >= size_; }
    std::uint8_t u8() { return pos_ < size_ ? data_[pos_++] : 0; }
    std::int32_t i32() {
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v = (v << 8) | u8();
        return static_cast<std::int32_t>(v);
    }
    std::int64_t i64() {
        std::uint64_t v = 0;
        for (int i = 0; i < 8; ++i) v = (v << 8) | u8();
        return static_cast<std::int64_t>(v);
    }
    // Up to 255 bytes; a NUL ends the text early, as it would in C.
    std::string text() {
        const std::size_t length = u8();
        std::string s;
        for (std::size_t i = 0; i < length && !empty(); ++i) s += static_cast<char>(u8());
        return s.substr(0, std::strlen(s.c_str()));
    }

  private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

using Element = std::map<std::int32_t, std::string>;

struct Object {
    std::int32_t type = 0;
    std::map<std::int32_t, std::string> strings;
    std::map<std::int32_t, std::int32_t> integers;
    std::map<std::int32_t, std::vector<Element>> lists;
};

struct Injection {
    std::int32_t count = 0;
    std::int32_t status = 0;
};

// The operations table; those of kind "none" have no way to report a failure.
struct Operation {
    std::int32_t ordinal;
    bool failable;
};
#define JXEL_OPERATION(ordinal, name, constant, kind) {ordinal, XELAGT_CAN_FAIL(kind) != 0},
constexpr Operation kOperations[] = {XELAGT_OPERATIONS(JXEL_OPERATION)};
#undef JXEL_OPERATION
constexpr std::size_t kOperationCount = sizeof kOperations / sizeof kOperations[0];
constexpr std::int32_t kCodesets[] = {XELAGT_CODESET_UTF8, XELAGT_CODESET_ISO_8859_1,
                                      XELAGT_CODESET_WINDOWS_1252, XELAGT_CODESET_SHIFT_JIS};

class Run {
  public:
    explicit Run(Reader& in) : in_(in) {}

    void step() {
        const std::uint8_t op = in_.u8();
        switch (op % 26) {
            case 0:
                create();
                break;
            case 1:
                copy();
                break;
            case 2:
                freeObject();
                break;
            case 3:
                type();
                break;
            case 4:
                setString();
                break;
            case 5:
                getString();
                break;
            case 6:
                setInteger();
                break;
            case 7:
                getInteger();
                break;
            case 8:
                setDouble();
                break;
            case 9:
                listLength();
                break;
            case 10:
                addList();
                break;
            case 11:
                deleteList();
                break;
            case 12:
                getListString();
                break;
            case 13:
                setListString();
                break;
            case 14:
                errorText();
                break;
            case 15:
                versionText();
                break;
            case 16:
                switchCodeset();
                break;
            case 17:
                convert();
                break;
            case 18:
                injectFailure();
                break;
            case 19:
                noOutput();
                break;
            case 20:
                resetFailures();
                break;
            case 21:
                getLocale();
                break;
            case 22:
                componentSetup();
                break;
            case 23:
                prepareStatus();
                break;
            case 24:
                releaseForeignBuffer();
                break;
            default:
                freeAll();
                break;
        }
        if (xelagt_test_live_objects() != static_cast<std::int64_t>(live_.size())) {
            fail("live objects differ from the model", std::to_string(op % 26));
        }
        if (xelagt_test_live_buffers() != 0) fail("converted text not released");
    }

  private:
    // ---- choices ----

    xelagt_handle handle() {
        const std::uint8_t pick = in_.u8();
        switch (pick % 8) {
            case 0:
            case 1:
            case 2:
                if (!live_.empty()) {
                    auto it = live_.begin();
                    std::advance(it, in_.u8() % live_.size());
                    return it->first;
                }
                return 0;
            case 3:
                return dead_.empty() ? 0 : dead_[in_.u8() % dead_.size()];
            case 4: {
                constexpr xelagt_handle kOdd[] = {0, -1, INT64_MIN, INT64_MAX, 1, 0x100000001};
                return kOdd[in_.u8() % 6];
            }
            default:
                return in_.i64();  // made up
        }
    }

    std::int32_t attribute() {
        const std::uint8_t pick = in_.u8();
        if (pick < 240) return pick % 4;
        constexpr std::int32_t kOdd[] = {INT32_MIN, INT32_MAX, -1, 1000000};
        return kOdd[pick % 4];
    }

    std::int32_t selector() {
        const std::uint8_t pick = in_.u8();
        if (pick < 240) return pick % 6 - 1;
        return pick % 2 == 0 ? INT32_MIN : INT32_MAX;
    }

    Object* find(xelagt_handle h) {
        auto it = live_.find(h);
        return it == live_.end() ? nullptr : &it->second;
    }

    // True (with the injected status) when the model says op is to fail now.
    bool injected(std::int32_t op, std::int32_t* status) {
        Injection& inj = injections_[op];
        if (inj.count == 0) return false;
        --inj.count;
        *status = inj.status;
        return true;
    }

    template <typename T>
    void expect(T actual, T expected, const char* what) {
        if (actual != expected) {
            fail(what, "got " + std::to_string(actual) + ", expected " + std::to_string(expected));
        }
    }
    void expectText(const char* actual, const std::optional<std::string>& expected,
                    const char* what) {
        if ((actual != nullptr) != expected.has_value() ||
            (actual != nullptr && *expected != actual)) {
            fail(what, std::string("got ") + (actual ? actual : "NULL") + ", expected " +
                           (expected ? *expected : "NULL"));
        }
    }

    // ---- operations ----

    void create() {
        const std::uint8_t pick = in_.u8();
        constexpr std::int32_t kOdd[] = {0, 100, -1, INT32_MIN, INT32_MAX};
        const std::int32_t type = pick < 200 ? 1 + pick % 99 : kOdd[pick % 5];
        const bool noSlot = in_.u8() == 0xFF;
        xelagt_handle h = 0x7777;
        const std::int32_t status = xelagt_create_data_object(type, noSlot ? nullptr : &h);
        std::int32_t injectedStatus;
        if (injected(XELAGT_OP_CREATE_DATA_OBJECT, &injectedStatus)) {
            expect(status, injectedStatus, "create: injected");
            if (!noSlot) expect<xelagt_handle>(h, 0, "create: injected handle");
            return;
        }
        if (noSlot) return expect(status, std::int32_t{XELAGT_ERR_BAD_ARGUMENT}, "create: no slot");
        if (type < XELAGT_TYPE_MIN || type > XELAGT_TYPE_MAX) {
            expect(status, std::int32_t{XELAGT_ERR_INVALID_TYPE}, "create: type");
            return expect<xelagt_handle>(h, 0, "create: handle of refused");
        }
        expect(status, std::int32_t{0}, "create");
        if (h <= 0 || live_.count(h) != 0) fail("create: handle", std::to_string(h));
        live_[h].type = type;
    }

    void copy() {
        const xelagt_handle source = handle();
        xelagt_handle h = 0x7777;
        const std::int32_t status = xelagt_copy_data_object(source, &h);
        std::int32_t injectedStatus;
        if (injected(XELAGT_OP_COPY_DATA_OBJECT, &injectedStatus)) {
            expect(status, injectedStatus, "copy: injected");
            return expect<xelagt_handle>(h, 0, "copy: injected handle");
        }
        Object* object = find(source);
        if (object == nullptr) {
            expect(status, std::int32_t{XELAGT_ERR_INVALID_HANDLE}, "copy: handle");
            return expect<xelagt_handle>(h, 0, "copy: handle of refused");
        }
        expect(status, std::int32_t{0}, "copy");
        if (h <= 0 || h == source || live_.count(h) != 0) fail("copy: handle");
        const Object duplicate = *object;
        live_[h] = duplicate;
    }

    void freeObject() {
        xelagt_handle h = handle();
        const xelagt_handle given = h;
        const std::int32_t status = xelagt_free_data_object(&h);
        std::int32_t injectedStatus;
        if (injected(XELAGT_OP_FREE_DATA_OBJECT, &injectedStatus)) {
            return expect(status, injectedStatus, "free: injected");
        }
        if (find(given) == nullptr) {
            expect(status, std::int32_t{XELAGT_ERR_INVALID_HANDLE}, "free: handle");
            return expect(h, given, "free: refused handle changed");
        }
        expect(status, std::int32_t{0}, "free");
        expect<xelagt_handle>(h, 0, "free: handle left");
        live_.erase(given);
        dead_.push_back(given);
    }

    void type() {
        const xelagt_handle h = handle();
        const std::int32_t result = xelagt_data_object_type(h);
        std::int32_t injectedStatus;
        if (injected(XELAGT_OP_DATA_OBJECT_TYPE, &injectedStatus))
            return expect(result, injectedStatus, "type: injected");
        const Object* object = find(h);
        expect(result, object ? object->type : std::int32_t{XELAGT_ERR_INVALID_HANDLE}, "type");
    }

    void setString() {
        const xelagt_handle h = handle();
        const std::int32_t attr = attribute();
        const bool null = in_.u8() == 0xFF;
        const std::string text = in_.text();
        const std::int32_t status =
            xelagt_set_string_attribute(h, attr, null ? nullptr : text.c_str());
        std::int32_t injectedStatus;
        if (injected(XELAGT_OP_SET_STRING_ATTRIBUTE, &injectedStatus)) {
            return expect(status, injectedStatus, "set string: injected");
        }
        Object* object = find(h);
        if (object == nullptr)
            return expect(status, std::int32_t{XELAGT_ERR_INVALID_HANDLE}, "set string: handle");
        if (null) return expect(status, std::int32_t{XELAGT_ERR_NULL_TEXT}, "set string: null");
        expect(status, std::int32_t{0}, "set string");
        object->strings[attr] = text;
    }

    void getString() {
        const xelagt_handle h = handle();
        const std::int32_t attr = attribute();
        const char* text = xelagt_get_string_attribute(h, attr);
        std::int32_t injectedStatus;
        if (injected(XELAGT_OP_GET_STRING_ATTRIBUTE, &injectedStatus)) {
            return expectText(text, std::nullopt, "get string: injected");
        }
        const Object* object = find(h);
        std::optional<std::string> expected;
        if (object != nullptr && object->strings.count(attr) != 0)
            expected = object->strings.at(attr);
        expectText(text, expected, "get string");
    }

    void setInteger() {
        const xelagt_handle h = handle();
        const std::int32_t attr = attribute();
        const std::int32_t value = in_.i32();
        const std::int32_t status = xelagt_set_integer_attribute(h, attr, value);
        std::int32_t injectedStatus;
        if (injected(XELAGT_OP_SET_INTEGER_ATTRIBUTE, &injectedStatus)) {
            return expect(status, injectedStatus, "set integer: injected");
        }
        Object* object = find(h);
        if (object == nullptr)
            return expect(status, std::int32_t{XELAGT_ERR_INVALID_HANDLE}, "set integer: handle");
        expect(status, std::int32_t{0}, "set integer");
        object->integers[attr] = value;
    }

    void getInteger() {
        const xelagt_handle h = handle();
        const std::int32_t attr = attribute();
        const std::int32_t value = xelagt_get_integer_attribute(h, attr);
        std::int32_t injectedStatus;
        if (injected(XELAGT_OP_GET_INTEGER_ATTRIBUTE, &injectedStatus)) {
            return expect(value, injectedStatus, "get integer: injected");
        }
        const Object* object = find(h);
        if (object == nullptr)
            return expect(value, std::int32_t{XELAGT_ERR_INVALID_HANDLE}, "get integer: handle");
        auto it = object->integers.find(attr);
        expect(value, it == object->integers.end() ? 0 : it->second, "get integer");
    }

    void setDouble() {
        const xelagt_handle h = handle();
        const std::int32_t attr = attribute();
        double value;
        const std::int64_t bits = in_.i64();
        std::memcpy(&value, &bits, sizeof value);  // NaNs and infinities too
        const std::int32_t status = xelagt_set_double_attribute(h, attr, value);
        std::int32_t injectedStatus;
        if (injected(XELAGT_OP_SET_DOUBLE_ATTRIBUTE, &injectedStatus)) {
            return expect(status, injectedStatus, "set double: injected");
        }
        expect(status, find(h) ? 0 : std::int32_t{XELAGT_ERR_INVALID_HANDLE}, "set double");
    }

    void listLength() {
        const xelagt_handle h = handle();
        const std::int32_t attr = attribute();
        const std::int32_t length = xelagt_list_length(h, attr);
        std::int32_t injectedStatus;
        if (injected(XELAGT_OP_LIST_LENGTH, &injectedStatus)) {
            return expect(length, injectedStatus, "list length: injected");
        }
        const Object* object = find(h);
        std::int32_t expected = XELAGT_ERR_INVALID_HANDLE;
        if (object != nullptr && object->lists.count(attr) != 0) {
            expected = static_cast<std::int32_t>(object->lists.at(attr).size());
        }
        expect(length, expected, "list length");
    }

    void addList() {
        const xelagt_handle h = handle();
        const std::int32_t attr = attribute();
        const std::int32_t index = xelagt_add_list_element(h, attr);
        std::int32_t injectedStatus;
        if (injected(XELAGT_OP_ADD_LIST_ELEMENT, &injectedStatus))
            return expect(index, injectedStatus, "add: injected");
        Object* object = find(h);
        if (object == nullptr)
            return expect(index, std::int32_t{XELAGT_ERR_INVALID_HANDLE}, "add: handle");
        std::vector<Element>& list = object->lists[attr];
        expect(index, static_cast<std::int32_t>(list.size()), "add: index");
        list.emplace_back();
    }

    void deleteList() {
        const xelagt_handle h = handle();
        const std::int32_t attr = attribute();
        const std::int32_t sel = selector();
        const std::int32_t result = xelagt_delete_list_element(h, attr, sel);
        std::int32_t injectedStatus;
        if (injected(XELAGT_OP_DELETE_LIST_ELEMENT, &injectedStatus)) {
            return expect(result, injectedStatus, "delete: injected");
        }
        Object* object = find(h);
        if (object == nullptr)
            return expect(result, std::int32_t{XELAGT_ERR_INVALID_HANDLE}, "delete: handle");
        auto it = object->lists.find(attr);
        if (it == object->lists.end())
            return expect(result, std::int32_t{XELAGT_ERR_NOT_A_LIST}, "delete: list");
        std::vector<Element>& list = it->second;
        if (sel < 0 || static_cast<std::size_t>(sel) >= list.size()) {
            return expect(result, std::int32_t{XELAGT_ERR_NO_ELEMENT}, "delete: selector");
        }
        list.erase(list.begin() + sel);
        expect(result, static_cast<std::int32_t>(list.size()), "delete: remaining");
    }

    void getListString() {
        const xelagt_handle h = handle();
        const std::int32_t attr = attribute();
        const std::int32_t first = selector();
        const std::int32_t second = attribute();
        const char* text = xelagt_get_list_string(h, attr, first, second);
        std::int32_t injectedStatus;
        if (injected(XELAGT_OP_GET_LIST_STRING, &injectedStatus)) {
            return expectText(text, std::nullopt, "get list string: injected");
        }
        std::optional<std::string> expected;
        const Object* object = find(h);
        if (object != nullptr && object->lists.count(attr) != 0) {
            const std::vector<Element>& list = object->lists.at(attr);
            if (first >= 0 && static_cast<std::size_t>(first) < list.size() &&
                list[static_cast<std::size_t>(first)].count(second) != 0) {
                expected = list[static_cast<std::size_t>(first)].at(second);
            }
        }
        expectText(text, expected, "get list string");
    }

    void setListString() {
        const xelagt_handle h = handle();
        const std::int32_t attr = attribute();
        const std::int32_t first = selector();
        const std::int32_t second = attribute();
        const bool null = in_.u8() == 0xFF;
        const std::string text = in_.text();
        const std::int32_t status =
            xelagt_set_list_string(h, attr, first, second, null ? nullptr : text.c_str());
        std::int32_t injectedStatus;
        if (injected(XELAGT_OP_SET_LIST_STRING, &injectedStatus)) {
            return expect(status, injectedStatus, "set list string: injected");
        }
        Object* object = find(h);
        if (object == nullptr)
            return expect(status, std::int32_t{XELAGT_ERR_INVALID_HANDLE},
                          "set list string: handle");
        auto it = object->lists.find(attr);
        if (it == object->lists.end())
            return expect(status, std::int32_t{XELAGT_ERR_NOT_A_LIST}, "set list string: list");
        if (first < 0 || static_cast<std::size_t>(first) >= it->second.size()) {
            return expect(status, std::int32_t{XELAGT_ERR_NO_ELEMENT}, "set list string: element");
        }
        if (null)
            return expect(status, std::int32_t{XELAGT_ERR_NULL_TEXT}, "set list string: null");
        expect(status, std::int32_t{0}, "set list string");
        it->second[static_cast<std::size_t>(first)][second] = text;
    }

    void errorText() {
        const std::uint8_t pick = in_.u8();
        const std::int32_t code =
            pick < 200 ? -static_cast<std::int32_t>(pick % 13) + 1 : in_.i32();
        const char* text = xelagt_error_text(code);
        std::int32_t injectedStatus;
        if (injected(XELAGT_OP_ERROR_TEXT, &injectedStatus)) {
            return expectText(text, std::nullopt, "error text: injected");
        }
        const bool known = code <= 0 && code >= XELAGT_ERR_INJECTED;
        if ((text != nullptr) != known || (text != nullptr && *text == '\0')) {
            fail("error text", std::to_string(code));
        }
    }

    void versionText() {
        const char* text = xelagt_version_text();
        std::int32_t injectedStatus;
        if (injected(XELAGT_OP_VERSION_TEXT, &injectedStatus)) {
            return expectText(text, std::nullopt, "version: injected");
        }
        expectText(text, std::string(XELAGT_STANDIN_VERSION_TEXT), "version");
    }

    std::int32_t codeset() {
        const std::uint8_t pick = in_.u8();
        return pick < 240 ? kCodesets[pick % 4] : in_.i32();
    }

    static bool known(std::int32_t codeset) {
        for (std::int32_t c : kCodesets) {
            if (c == codeset) return true;
        }
        return false;
    }

    void switchCodeset() {
        const std::int32_t wanted = codeset();
        const std::int32_t status = xelagt_test_set_codeset(wanted);
        if (known(wanted)) {
            expect(status, std::int32_t{0}, "set code set");
            codeset_ = wanted;
        } else {
            expect(status, std::int32_t{XELAGT_ERR_UNKNOWN_CODESET}, "set code set: unknown");
        }
        expect(xelagt_test_codeset(), codeset_, "code set");
    }

    // One conversion as the model predicts it; returns the output (released) when there is one.
    // *predicted: the outcome was neither injected nor a refused argument.
    std::optional<std::string> convertOnce(std::int32_t target, std::int32_t source,
                                           const char* input, bool noSlot, std::int32_t* status,
                                           bool* predicted) {
        *predicted = false;
        char* output = reinterpret_cast<char*>(0x1);  // must be overwritten
        xelagt_status record;
        std::memset(&record, 0xAB, sizeof record);
        *status = xelagt_convert_text(target, source, noSlot ? nullptr : &output, input, &record);
        std::int32_t recorded;
        std::memcpy(&recorded, record.opaque, sizeof recorded);
        expect(recorded, *status, "convert: status record");

        std::int32_t injectedStatus;
        if (injected(XELAGT_OP_CONVERT_TEXT, &injectedStatus)) {
            expect(*status, injectedStatus, "convert: injected");
            if (!noSlot && output != nullptr) fail("convert: injected failure gave output");
            return std::nullopt;
        }
        if (noSlot || input == nullptr) {
            expect(*status, std::int32_t{XELAGT_ERR_BAD_ARGUMENT}, "convert: bad argument");
            if (!noSlot && output != nullptr) fail("convert: output on bad argument");
            return std::nullopt;
        }
        *predicted = true;
        if (target == source) {
            expect(*status, std::int32_t{0}, "convert: same code set");
            if (output != nullptr) fail("convert: output for the same code set");
            return std::nullopt;
        }
        if (!known(target) || !known(source)) {
            expect(*status, std::int32_t{XELAGT_ERR_UNKNOWN_CODESET}, "convert: unknown");
            return std::nullopt;
        }
        if (*status != 0) {
            expect(*status, std::int32_t{XELAGT_ERR_CONVERSION}, "convert: failure");
            if (output != nullptr) fail("convert: output on failure");
            return std::nullopt;
        }
        if (noOutput_ > 0) {
            --noOutput_;
            if (output != nullptr) fail("convert: output though none was asked for");
            return std::nullopt;
        }
        if (output == nullptr || output == reinterpret_cast<char*>(0x1)) fail("convert: no output");
        if (xelagt_test_live_buffers() != 1) fail("convert: buffer not counted");
        std::string result = output;
        xelagt_release_buffer(output);
        return result;
    }

    void convert() {
        const std::int32_t target = codeset();
        const std::int32_t source = codeset();
        const std::uint8_t flags = in_.u8();
        const std::string text = in_.text();
        const bool noSlot = flags == 0xFF;
        const bool nullInput = flags == 0xFE;
        std::int32_t status;
        bool predicted;
        const std::optional<std::string> output = convertOnce(
            target, source, nullInput ? nullptr : text.c_str(), noSlot, &status, &predicted);
        // Latin-1 gives every byte a character, so from it a conversion cannot fail.
        if (predicted && source == XELAGT_CODESET_ISO_8859_1 && target == XELAGT_CODESET_UTF8 &&
            status != 0) {
            fail("convert: Latin-1 to UTF-8 failed", text);
        }
        // What went one way comes back the other, unless test control would interfere.
        if (!output || injections_[XELAGT_OP_CONVERT_TEXT].count != 0 || noOutput_ != 0) return;
        if (target == XELAGT_CODESET_UTF8 && !jxel::fuzz::isStandardUtf8(*output)) {
            fail("convert: invalid UTF-8 made", text);
        }
        if (target == XELAGT_CODESET_SHIFT_JIS || source == XELAGT_CODESET_SHIFT_JIS) return;
        std::int32_t back;
        const std::optional<std::string> again =
            convertOnce(source, target, output->c_str(), false, &back, &predicted);
        if (!again || *again != text) fail("convert: no round trip", text);
    }

    void injectFailure() {
        const std::uint8_t pick = in_.u8();
        const std::int32_t op =
            pick < 240 ? kOperations[pick % kOperationCount].ordinal : in_.i32();
        const std::int32_t count = static_cast<std::int32_t>(in_.u8() % 4) - (pick == 199 ? 2 : 0);
        const std::uint8_t statusPick = in_.u8();
        const std::int32_t status =
            statusPick < 200 ? -static_cast<std::int32_t>(statusPick % 12) : in_.i32();
        const std::int32_t result = xelagt_test_fail_next(op, count, status);
        bool failable = false;
        for (const Operation& o : kOperations)
            failable = failable || (o.ordinal == op && o.failable);
        if (!failable || count < 0)
            return expect(result, std::int32_t{XELAGT_ERR_BAD_ARGUMENT}, "fail next: refused");
        expect(result, std::int32_t{0}, "fail next");
        injections_[op] = Injection{count, status};
    }

    void noOutput() {
        const std::int32_t count = in_.u8() % 3;
        expect(xelagt_test_no_output_next(count), std::int32_t{0}, "no output next");
        noOutput_ = count;
    }

    void resetFailures() {
        xelagt_test_reset_failures();
        injections_.clear();
        noOutput_ = 0;
    }

    void getLocale() {
        const xelagt_locale* locale = reinterpret_cast<const xelagt_locale*>(0x1);
        const bool noSlot = in_.u8() == 0xFF;
        const std::int32_t status = xelagt_get_locale(noSlot ? nullptr : &locale);
        std::int32_t injectedStatus;
        if (injected(XELAGT_OP_GET_LOCALE, &injectedStatus)) {
            expect(status, injectedStatus, "locale: injected");
            if (!noSlot && locale != nullptr) fail("locale: injected failure gave a record");
            return;
        }
        if (noSlot) return expect(status, std::int32_t{XELAGT_ERR_BAD_ARGUMENT}, "locale: no slot");
        expect(status, std::int32_t{0}, "locale");
        if (locale == nullptr || locale->size < static_cast<std::int32_t>(sizeof *locale))
            fail("locale: record");
        expect(locale->codeset, codeset_, "locale: code set");
    }

    void componentSetup() {
        const bool null = in_.u8() == 0xFF;
        const std::string name = in_.text() + std::string(in_.u8() == 0xFF ? 300 : 0, 'n');
        const std::int32_t status =
            xelagt_component_setup(in_.i32(), null ? nullptr : name.c_str(), in_.i32());
        std::int32_t injectedStatus;
        if (injected(XELAGT_OP_COMPONENT_SETUP, &injectedStatus)) {
            return expect(status, injectedStatus, "component: injected");
        }
        expect(status, std::int32_t{0}, "component");
    }

    void prepareStatus() {
        xelagt_status record;
        std::memset(&record, 0xCD, sizeof record);
        xelagt_prepare_status(&record);
        for (unsigned char b : record.opaque) {
            if (b != 0) fail("prepare status: record not zeroed");
        }
        xelagt_prepare_status(nullptr);
    }

    void releaseForeignBuffer() {
        xelagt_release_buffer(nullptr);
        xelagt_release_buffer(std::malloc(1 + in_.u8()));
    }

    void freeAll() {
        xelagt_test_free_all();
        for (const auto& entry : live_) dead_.push_back(entry.first);
        live_.clear();
    }

    Reader& in_;
    std::map<xelagt_handle, Object> live_;
    std::vector<xelagt_handle> dead_;
    std::map<std::int32_t, Injection> injections_;
    std::int32_t noOutput_ = 0;
    std::int32_t codeset_ = XELAGT_CODESET_UTF8;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    xelagt_test_reset_failures();
    xelagt_test_free_all();
    if (xelagt_test_set_codeset(XELAGT_CODESET_UTF8) != 0) fail("set UTF-8");

    Reader in(data, size);
    Run run(in);
    for (int steps = 0; steps < 500 && !in.empty(); ++steps) run.step();

    xelagt_test_reset_failures();
    xelagt_test_free_all();
    if (xelagt_test_live_objects() != 0) fail("objects alive after free_all");
    if (xelagt_test_live_buffers() != 0) fail("converted texts alive at the end");
    return 0;
}
