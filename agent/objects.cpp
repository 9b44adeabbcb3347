// objects.cpp - data objects, and the table that maps handles to them.
#include <climits>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

#include "agent.h"
#include "lock.h"

namespace xelagt {
namespace {

using Element = std::map<int32_t, std::string>;  // field number -> text

struct Object {
    int32_t type = 0;
    std::map<int32_t, std::string> strings;
    std::map<int32_t, int32_t> integers;
    std::map<int32_t, double> doubles;
    std::map<int32_t, std::vector<Element>> lists;
};

// Handle = (generation << 32) | (slot index + 1). A freed slot gets the next generation,
// so the handles of its earlier objects stay invalid when it is reused.
struct Slot {
    uint32_t generation = 1;  // 1..2^31-1: no handle is 0 or negative
    std::unique_ptr<Object> object;
};

struct Table {
    Mutex mutex;  // guards everything here and in the objects
    std::vector<Slot> slots;
    std::vector<uint32_t> free_slots;  // the last freed is reused first
    int64_t live = 0;
};

// Never destroyed: threads may still call in while the process exits.
Table& table() {
    static Table* const instance = new Table();
    return *instance;
}

Object* find(Table& t, xelagt_handle handle) {
    const auto bits = static_cast<uint64_t>(handle);
    const uint32_t index = static_cast<uint32_t>(bits) - 1;
    if (handle <= 0 || index >= t.slots.size()) return nullptr;
    Slot& slot = t.slots[index];
    return slot.generation == static_cast<uint32_t>(bits >> 32) ? slot.object.get() : nullptr;
}

xelagt_handle insert(Table& t, std::unique_ptr<Object> object) {
    if (t.free_slots.empty()) {
        if (t.slots.size() >= UINT32_MAX - 1) throw std::bad_alloc();
        t.slots.emplace_back();
        t.free_slots.reserve(t.slots.capacity());  // so that free_slot never allocates
        t.free_slots.push_back(static_cast<uint32_t>(t.slots.size() - 1));
    }
    const uint32_t index = t.free_slots.back();
    t.free_slots.pop_back();
    Slot& slot = t.slots[index];
    slot.object = std::move(object);
    ++t.live;
    return static_cast<xelagt_handle>((uint64_t{slot.generation} << 32) | (index + 1));
}

void free_slot(Table& t, uint32_t index) {
    Slot& slot = t.slots[index];
    slot.object.reset();
    slot.generation = slot.generation >= 0x7fffffffu ? 1 : slot.generation + 1;
    t.free_slots.push_back(index);
    --t.live;
}

// Runs body(table) with the table locked, unless a failure is injected for op.
template <typename Body>
int32_t with_table(int32_t op, Body body) noexcept {
    int32_t status;
    if (take_failure(op, &status)) return status;
    try {
        Table& t = table();
        std::lock_guard<Mutex> lock(t.mutex);
        return body(t);
    } catch (...) {
        return XELAGT_ERR_OUT_OF_MEMORY;
    }
}

// As with_table, for body(object) on the object a handle names.
template <typename Body>
int32_t with_object(int32_t op, xelagt_handle handle, Body body) noexcept {
    return with_table(op, [&](Table& t) {
        Object* object = find(t, handle);
        return object == nullptr ? XELAGT_ERR_INVALID_HANDLE : body(*object);
    });
}

// The text body(object) points at, handed out; NULL for none.
template <typename Body>
char* text_of(int32_t op, xelagt_handle handle, Body body) noexcept {
    char* text = nullptr;
    with_object(op, handle, [&](Object& object) {
        if (const std::string* found = body(object)) text = hand_out(*found);
        return XELAGT_OK;
    });
    return text;
}

template <typename Map>
auto* value_of(Map& map, int32_t key) {
    auto it = map.find(key);
    return it == map.end() ? nullptr : &it->second;
}

// The element `index` of a list, or nullptr when there is none.
Element* element_of(std::vector<Element>& list, int32_t index) {
    return index < 0 || static_cast<size_t>(index) >= list.size()
               ? nullptr
               : &list[static_cast<size_t>(index)];
}

}  // namespace
}  // namespace xelagt

using namespace xelagt;

extern "C" {

XELAGT_EXPORT int32_t xelagt_create_data_object(int32_t type, xelagt_handle* handle) {
    if (handle != nullptr) *handle = 0;
    return with_table(XELAGT_OP_CREATE_DATA_OBJECT, [&](Table& t) {
        if (handle == nullptr) return XELAGT_ERR_BAD_ARGUMENT;
        if (type < XELAGT_TYPE_MIN || type > XELAGT_TYPE_MAX) return XELAGT_ERR_INVALID_TYPE;
        auto object = std::make_unique<Object>();
        object->type = type;
        *handle = insert(t, std::move(object));
        return XELAGT_OK;
    });
}

XELAGT_EXPORT int32_t xelagt_copy_data_object(xelagt_handle source, xelagt_handle* copy) {
    if (copy != nullptr) *copy = 0;
    return with_table(XELAGT_OP_COPY_DATA_OBJECT, [&](Table& t) {
        if (copy == nullptr) return XELAGT_ERR_BAD_ARGUMENT;
        Object* object = find(t, source);
        if (object == nullptr) return XELAGT_ERR_INVALID_HANDLE;
        *copy = insert(t, std::make_unique<Object>(*object));
        return XELAGT_OK;
    });
}

XELAGT_EXPORT int32_t xelagt_free_data_object(xelagt_handle* handle) {
    return with_table(XELAGT_OP_FREE_DATA_OBJECT, [&](Table& t) {
        if (handle == nullptr) return XELAGT_ERR_BAD_ARGUMENT;
        if (find(t, *handle) == nullptr) return XELAGT_ERR_INVALID_HANDLE;
        free_slot(t, static_cast<uint32_t>(*handle) - 1);
        *handle = 0;
        return XELAGT_OK;
    });
}

XELAGT_EXPORT int32_t xelagt_data_object_type(xelagt_handle handle) {
    return with_object(XELAGT_OP_DATA_OBJECT_TYPE, handle,
                       [](Object& object) { return object.type; });
}

XELAGT_EXPORT char* xelagt_get_string_attribute(xelagt_handle handle, int32_t attribute) {
    return text_of(XELAGT_OP_GET_STRING_ATTRIBUTE, handle,
                   [&](Object& object) { return value_of(object.strings, attribute); });
}

XELAGT_EXPORT int32_t xelagt_set_string_attribute(xelagt_handle handle, int32_t attribute,
                                                  const char* text) {
    return with_object(XELAGT_OP_SET_STRING_ATTRIBUTE, handle, [&](Object& object) {
        if (text == nullptr) return XELAGT_ERR_NULL_TEXT;
        object.strings[attribute] = text;
        return XELAGT_OK;
    });
}

XELAGT_EXPORT int32_t xelagt_get_integer_attribute(xelagt_handle handle, int32_t attribute) {
    return with_object(XELAGT_OP_GET_INTEGER_ATTRIBUTE, handle, [&](Object& object) {
        const int32_t* value = value_of(object.integers, attribute);
        return value == nullptr ? 0 : *value;
    });
}

XELAGT_EXPORT int32_t xelagt_set_integer_attribute(xelagt_handle handle, int32_t attribute,
                                                   int32_t value) {
    return with_object(XELAGT_OP_SET_INTEGER_ATTRIBUTE, handle, [&](Object& object) {
        object.integers[attribute] = value;
        return XELAGT_OK;
    });
}

XELAGT_EXPORT int32_t xelagt_set_double_attribute(xelagt_handle handle, int32_t attribute,
                                                  double value) {
    return with_object(XELAGT_OP_SET_DOUBLE_ATTRIBUTE, handle, [&](Object& object) {
        object.doubles[attribute] = value;
        return XELAGT_OK;
    });
}

XELAGT_EXPORT int32_t xelagt_list_length(xelagt_handle handle, int32_t attribute) {
    return with_object(XELAGT_OP_LIST_LENGTH, handle, [&](Object& object) {
        const std::vector<Element>* list = value_of(object.lists, attribute);
        return list == nullptr ? XELAGT_ERR_INVALID_HANDLE : static_cast<int32_t>(list->size());
    });
}

XELAGT_EXPORT int32_t xelagt_add_list_element(xelagt_handle handle, int32_t attribute) {
    return with_object(XELAGT_OP_ADD_LIST_ELEMENT, handle, [&](Object& object) -> int32_t {
        std::vector<Element>& list = object.lists[attribute];
        if (list.size() >= static_cast<size_t>(INT32_MAX)) return XELAGT_ERR_OUT_OF_MEMORY;
        list.emplace_back();
        return static_cast<int32_t>(list.size() - 1);
    });
}

XELAGT_EXPORT int32_t xelagt_delete_list_element(xelagt_handle handle, int32_t attribute,
                                                 int32_t selector) {
    return with_object(XELAGT_OP_DELETE_LIST_ELEMENT, handle, [&](Object& object) -> int32_t {
        std::vector<Element>* list = value_of(object.lists, attribute);
        if (list == nullptr) return XELAGT_ERR_NOT_A_LIST;
        if (element_of(*list, selector) == nullptr) return XELAGT_ERR_NO_ELEMENT;
        list->erase(list->begin() + selector);
        return static_cast<int32_t>(list->size());
    });
}

XELAGT_EXPORT char* xelagt_get_list_string(xelagt_handle handle, int32_t attribute, int32_t first,
                                           int32_t second) {
    return text_of(XELAGT_OP_GET_LIST_STRING, handle, [&](Object& object) -> std::string* {
        std::vector<Element>* list = value_of(object.lists, attribute);
        Element* element = list == nullptr ? nullptr : element_of(*list, first);
        return element == nullptr ? nullptr : value_of(*element, second);
    });
}

XELAGT_EXPORT int32_t xelagt_set_list_string(xelagt_handle handle, int32_t attribute, int32_t first,
                                             int32_t second, const char* text) {
    return with_object(XELAGT_OP_SET_LIST_STRING, handle, [&](Object& object) {
        std::vector<Element>* list = value_of(object.lists, attribute);
        if (list == nullptr) return XELAGT_ERR_NOT_A_LIST;
        Element* element = element_of(*list, first);
        if (element == nullptr) return XELAGT_ERR_NO_ELEMENT;
        if (text == nullptr) return XELAGT_ERR_NULL_TEXT;
        (*element)[second] = text;
        return XELAGT_OK;
    });
}

XELAGT_EXPORT_NAMED int64_t xelagt_test_live_objects(void) {
    std::lock_guard<Mutex> lock(table().mutex);
    return table().live;
}

XELAGT_EXPORT_NAMED void xelagt_test_free_all(void) {
    Table& t = table();
    std::lock_guard<Mutex> lock(t.mutex);
    for (size_t i = 0; i < t.slots.size(); ++i) {
        if (t.slots[i].object) free_slot(t, static_cast<uint32_t>(i));
    }
}

}  // extern "C"
