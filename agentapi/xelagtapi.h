/*
 * xelagtapi.h - the operations of the agent library libxelagtapi that the
 * JXelAgtbase bridge calls.
 *
 * Any library that exports these 21 functions with the behaviour described
 * here can stand in for the agent: on Linux it is found by name, on Windows
 * the bridge imports every operation by ordinal (agentapi/operations.txt in
 * the source tree lists them).
 *
 * Conventions:
 *  - handles are 64-bit opaque values, 0 means "no object";
 *  - types, attributes, selectors and status codes are 32-bit signed;
 *    0 is success, other status codes belong to the agent;
 *  - texts are NUL-terminated 8-bit strings in the agent's local code set
 *    unless said otherwise; texts the agent returns stay owned by the agent;
 *  - code-set identifiers use the agent's numbering, 69 is UTF-8.
 */
#ifndef XELAGTAPI_H
#define XELAGTAPI_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef int64_t xelagt_handle;

/* Opaque record filled by xelagt_prepare_status and used by xelagt_convert_text. */
typedef struct {
    unsigned char opaque[16];
} xelagt_status;

/* The agent's locale record; an agent may add fields after codeset. */
typedef struct {
    int32_t size;    /* size of the record in bytes */
    int32_t codeset; /* the local code set, in the agent's numbering */
} xelagt_locale;

#define XELAGT_CODESET_UTF8 69

/* Create a data object of the given type. 0 = *handle written. */
int32_t xelagt_create_data_object(int32_t type, xelagt_handle* handle);
/* Copy a data object. 0 = *copy written; source is untouched. */
int32_t xelagt_copy_data_object(xelagt_handle source, xelagt_handle* copy);
/* Free the data object *handle names. 0 = freed. */
int32_t xelagt_free_data_object(xelagt_handle* handle);
/* The type of a data object. */
int32_t xelagt_data_object_type(xelagt_handle handle);

/* Text of a string attribute, or NULL; the agent keeps it. */
char* xelagt_get_string_attribute(xelagt_handle handle, int32_t attribute);
/* Set a string attribute; text may be NULL; the agent copies it. */
int32_t xelagt_set_string_attribute(xelagt_handle handle, int32_t attribute, const char* text);
/* Value of an integer attribute. */
int32_t xelagt_get_integer_attribute(xelagt_handle handle, int32_t attribute);
/* Set an integer attribute. */
int32_t xelagt_set_integer_attribute(xelagt_handle handle, int32_t attribute, int32_t value);
/* Set a floating-point attribute. */
int32_t xelagt_set_double_attribute(xelagt_handle handle, int32_t attribute, double value);

/* Number of elements of a list attribute. */
int32_t xelagt_list_length(xelagt_handle handle, int32_t attribute);
/* Append an element to a list attribute. */
int32_t xelagt_add_list_element(xelagt_handle handle, int32_t attribute);
/* Delete the element of a list attribute that selector names. */
int32_t xelagt_delete_list_element(xelagt_handle handle, int32_t attribute, int32_t selector);
/* Text of a list element field, or NULL; the agent keeps it. */
char* xelagt_get_list_string(xelagt_handle handle, int32_t attribute, int32_t first,
                             int32_t second);
/* Set the text of a list element field; text may be NULL. */
int32_t xelagt_set_list_string(xelagt_handle handle, int32_t attribute, int32_t first,
                               int32_t second, const char* text);

/* The text for a status code, or NULL; the agent keeps it. */
char* xelagt_error_text(int32_t status);
/* The agent's version text, or NULL; the agent keeps it. */
char* xelagt_version_text(void);

/* Prepare a status record for xelagt_convert_text. */
void xelagt_prepare_status(xelagt_status* status);
/* Announce the calling component. */
int32_t xelagt_component_setup(int32_t reserved, const char* component, int32_t flags);
/* Point *locale at the agent's locale record (or NULL). */
int32_t xelagt_get_locale(const xelagt_locale** locale);
/*
 * Convert input from the source code set to the target code set.
 * 0 = success; *output then holds a new text to be released with
 * xelagt_release_buffer, or stays NULL when no conversion was needed.
 */
int32_t xelagt_convert_text(int32_t target, int32_t source, char** output, const char* input,
                            xelagt_status* status);
/* Release a converted text; accepts NULL and any malloc'd buffer. */
void xelagt_release_buffer(void* buffer);

#ifdef __cplusplus
}
#endif

#endif /* XELAGTAPI_H */
