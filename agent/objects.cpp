// objects.cpp - the data object operations.
#include <climits>
#include <memory>
#include <new>
#include <string>

#include "control.h"
#include "export.h"
#include "handle_table.h"
#include "standin.h"
#include "text_buffer.h"

using namespace xelagt;

namespace {

bool valid_type(int32_t type) { return type >= XELAGT_TYPE_MIN && type <= XELAGT_TYPE_MAX; }

// The list attribute of a locked object, or nullptr when the attribute is not a list.
std::vector<Element>* list_of(const LockedObject& object, int32_t attribute) {
    return object->lists.find(attribute);
}

}  // namespace

extern "C" {

XELAGT_EXPORT int32_t xelagt_create_data_object(int32_t type, xelagt_handle* handle) {
    int32_t status;
    if (take_failure(XELAGT_OP_CREATE, &status)) {
        if (handle != nullptr) *handle = 0;
        return status;
    }
    if (handle == nullptr) return XELAGT_ERR_BAD_ARGUMENT;
    *handle = 0;
    if (!valid_type(type)) return XELAGT_ERR_INVALID_TYPE;
    try {
        auto object = std::make_unique<Object>();
        object->type = type;
        return handle_table().insert(std::move(object), handle) ? XELAGT_OK
                                                                : XELAGT_ERR_OUT_OF_MEMORY;
    } catch (...) {
        return XELAGT_ERR_OUT_OF_MEMORY;
    }
}

XELAGT_EXPORT int32_t xelagt_copy_data_object(xelagt_handle source, xelagt_handle* copy) {
    int32_t status;
    if (take_failure(XELAGT_OP_COPY, &status)) {
        if (copy != nullptr) *copy = 0;
        return status;
    }
    if (copy == nullptr) return XELAGT_ERR_BAD_ARGUMENT;
    *copy = 0;
    try {
        std::unique_ptr<Object> duplicate;
        {
            LockedObject object = handle_table().lock(source);
            if (!object) return XELAGT_ERR_INVALID_HANDLE;
            duplicate = std::make_unique<Object>(*object);
        }
        return handle_table().insert(std::move(duplicate), copy) ? XELAGT_OK
                                                                 : XELAGT_ERR_OUT_OF_MEMORY;
    } catch (...) {
        return XELAGT_ERR_OUT_OF_MEMORY;
    }
}

XELAGT_EXPORT int32_t xelagt_free_data_object(xelagt_handle* handle) {
    int32_t status;
    if (take_failure(XELAGT_OP_FREE, &status)) return status;
    if (handle == nullptr) return XELAGT_ERR_BAD_ARGUMENT;
    std::unique_ptr<Object> object = handle_table().remove(*handle);
    if (!object) return XELAGT_ERR_INVALID_HANDLE;
    *handle = 0;
    return XELAGT_OK;
}

XELAGT_EXPORT int32_t xelagt_data_object_type(xelagt_handle handle) {
    int32_t status;
    if (take_failure(XELAGT_OP_TYPE, &status)) return status;
    LockedObject object = handle_table().lock(handle);
    return object ? object->type : XELAGT_ERR_INVALID_HANDLE;
}

XELAGT_EXPORT char* xelagt_get_string_attribute(xelagt_handle handle, int32_t attribute) {
    int32_t status;
    if (take_failure(XELAGT_OP_GET_STRING, &status)) return nullptr;
    try {
        LockedObject object = handle_table().lock(handle);
        if (!object) return nullptr;
        const std::string* text = object->strings.find(attribute);
        return text == nullptr ? nullptr : hand_out(*text);
    } catch (...) {
        return nullptr;
    }
}

XELAGT_EXPORT int32_t xelagt_set_string_attribute(xelagt_handle handle, int32_t attribute,
                                                  const char* text) {
    int32_t status;
    if (take_failure(XELAGT_OP_SET_STRING, &status)) return status;
    try {
        LockedObject object = handle_table().lock(handle);
        if (!object) return XELAGT_ERR_INVALID_HANDLE;
        if (text == nullptr) return XELAGT_ERR_NULL_TEXT;
        object->strings[attribute] = text;
        return XELAGT_OK;
    } catch (...) {
        return XELAGT_ERR_OUT_OF_MEMORY;
    }
}

XELAGT_EXPORT int32_t xelagt_get_integer_attribute(xelagt_handle handle, int32_t attribute) {
    int32_t status;
    if (take_failure(XELAGT_OP_GET_INTEGER, &status)) return status;
    LockedObject object = handle_table().lock(handle);
    if (!object) return XELAGT_ERR_INVALID_HANDLE;
    const int32_t* value = object->integers.find(attribute);
    return value == nullptr ? 0 : *value;
}

XELAGT_EXPORT int32_t xelagt_set_integer_attribute(xelagt_handle handle, int32_t attribute,
                                                   int32_t value) {
    int32_t status;
    if (take_failure(XELAGT_OP_SET_INTEGER, &status)) return status;
    try {
        LockedObject object = handle_table().lock(handle);
        if (!object) return XELAGT_ERR_INVALID_HANDLE;
        object->integers[attribute] = value;
        return XELAGT_OK;
    } catch (...) {
        return XELAGT_ERR_OUT_OF_MEMORY;
    }
}

XELAGT_EXPORT int32_t xelagt_set_double_attribute(xelagt_handle handle, int32_t attribute,
                                                  double value) {
    int32_t status;
    if (take_failure(XELAGT_OP_SET_DOUBLE, &status)) return status;
    try {
        LockedObject object = handle_table().lock(handle);
        if (!object) return XELAGT_ERR_INVALID_HANDLE;
        object->doubles[attribute] = value;
        return XELAGT_OK;
    } catch (...) {
        return XELAGT_ERR_OUT_OF_MEMORY;
    }
}

XELAGT_EXPORT int32_t xelagt_list_length(xelagt_handle handle, int32_t attribute) {
    int32_t status;
    if (take_failure(XELAGT_OP_LIST_LENGTH, &status)) return status;
    LockedObject object = handle_table().lock(handle);
    if (!object) return XELAGT_ERR_INVALID_HANDLE;
    const std::vector<Element>* list = list_of(object, attribute);
    return list == nullptr ? XELAGT_ERR_INVALID_HANDLE : static_cast<int32_t>(list->size());
}

XELAGT_EXPORT int32_t xelagt_add_list_element(xelagt_handle handle, int32_t attribute) {
    int32_t status;
    if (take_failure(XELAGT_OP_ADD_LIST, &status)) return status;
    try {
        LockedObject object = handle_table().lock(handle);
        if (!object) return XELAGT_ERR_INVALID_HANDLE;
        std::vector<Element>& list = object->lists[attribute];
        if (list.size() >= static_cast<size_t>(INT32_MAX)) return XELAGT_ERR_OUT_OF_MEMORY;
        list.emplace_back();
        return static_cast<int32_t>(list.size() - 1);
    } catch (...) {
        return XELAGT_ERR_OUT_OF_MEMORY;
    }
}

XELAGT_EXPORT int32_t xelagt_delete_list_element(xelagt_handle handle, int32_t attribute,
                                                 int32_t selector) {
    int32_t status;
    if (take_failure(XELAGT_OP_DELETE_LIST, &status)) return status;
    LockedObject object = handle_table().lock(handle);
    if (!object) return XELAGT_ERR_INVALID_HANDLE;
    std::vector<Element>* list = list_of(object, attribute);
    if (list == nullptr) return XELAGT_ERR_NOT_A_LIST;
    if (selector < 0 || static_cast<size_t>(selector) >= list->size()) {
        return XELAGT_ERR_NO_ELEMENT;
    }
    list->erase(list->begin() + selector);
    return static_cast<int32_t>(list->size());
}

XELAGT_EXPORT char* xelagt_get_list_string(xelagt_handle handle, int32_t attribute, int32_t first,
                                           int32_t second) {
    int32_t status;
    if (take_failure(XELAGT_OP_GET_LIST_STRING, &status)) return nullptr;
    try {
        LockedObject object = handle_table().lock(handle);
        if (!object) return nullptr;
        const std::vector<Element>* list = list_of(object, attribute);
        if (list == nullptr || first < 0 || static_cast<size_t>(first) >= list->size()) {
            return nullptr;
        }
        const std::string* text = (*list)[static_cast<size_t>(first)].find(second);
        return text == nullptr ? nullptr : hand_out(*text);
    } catch (...) {
        return nullptr;
    }
}

XELAGT_EXPORT int32_t xelagt_set_list_string(xelagt_handle handle, int32_t attribute, int32_t first,
                                             int32_t second, const char* text) {
    int32_t status;
    if (take_failure(XELAGT_OP_SET_LIST_STRING, &status)) return status;
    try {
        LockedObject object = handle_table().lock(handle);
        if (!object) return XELAGT_ERR_INVALID_HANDLE;
        std::vector<Element>* list = list_of(object, attribute);
        if (list == nullptr) return XELAGT_ERR_NOT_A_LIST;
        if (first < 0 || static_cast<size_t>(first) >= list->size()) return XELAGT_ERR_NO_ELEMENT;
        if (text == nullptr) return XELAGT_ERR_NULL_TEXT;
        (*list)[static_cast<size_t>(first)][second] = text;
        return XELAGT_OK;
    } catch (...) {
        return XELAGT_ERR_OUT_OF_MEMORY;
    }
}

XELAGT_EXPORT_NAMED int64_t xelagt_test_live_objects(void) { return handle_table().live(); }

XELAGT_EXPORT_NAMED void xelagt_test_free_all(void) { handle_table().remove_all(); }

}  // extern "C"
