/*
 * standin.h - what the stand-in agent (libxelagtapi built from agent/) does
 * beyond xelagtapi.h: its status codes, its code sets, the meaning it gives
 * to types, attributes and selectors, and its test control.
 *
 * The stand-in is a real, thread-safe, in-memory agent:
 *  - a data object has a type (XELAGT_TYPE_MIN..XELAGT_TYPE_MAX) and four
 *    independent maps keyed by attribute number: string, integer and
 *    floating-point attributes, and list attributes;
 *  - a list attribute is a sequence of elements; an element is a map from a
 *    field number to a text. A list comes into being with its first
 *    xelagt_add_list_element and stays (perhaps empty) until its object dies.
 *
 * What each operation returns:
 *  create / copy / free   0, or INVALID_TYPE, INVALID_HANDLE, BAD_ARGUMENT
 *                         (NULL out pointer), OUT_OF_MEMORY
 *  data object type       the type, or INVALID_HANDLE
 *  get string attribute   the text (valid until the calling thread's next
 *                         text-returning call), NULL when the handle is
 *                         invalid or the attribute was never set or set NULL
 *  set string attribute   0, INVALID_HANDLE, or NULL_TEXT (text NULL: the
 *                         attribute is left as it was)
 *  get integer attribute  the value (0 when never set), INVALID_HANDLE
 *  set integer / double   0 or INVALID_HANDLE
 *  list length            the number of elements; -1 (INVALID_HANDLE) for a
 *                         bad handle or an attribute that is not a list
 *  add list element       the new element's index (0-based), INVALID_HANDLE
 *  delete list element    the remaining number of elements, INVALID_HANDLE,
 *                         NOT_A_LIST, NO_ELEMENT (selector = element index)
 *  get list string        first = element index, second = field number;
 *                         the text (as for get string attribute) or NULL
 *  set list string        0, INVALID_HANDLE, NOT_A_LIST, NO_ELEMENT, NULL_TEXT
 *  error text             a text for 0 and every code below, NULL otherwise
 *  version text           XELAGT_STANDIN_VERSION_TEXT
 *  prepare status         zeroes the record
 *  component setup        0
 *  get locale             0 and *locale set, or BAD_ARGUMENT (locale NULL)
 *  convert text           0 with *output NULL when target == source; 0 with
 *                         a new text; BAD_ARGUMENT (NULL input or output
 *                         slot), UNKNOWN_CODESET, CONVERSION (the input is
 *                         not valid in the source or not representable in
 *                         the target code set, see below)
 *  release buffer         frees converted texts, NULL and any malloc'd buffer;
 *                         on Windows a block that the stand-in's C runtime did
 *                         not allocate is counted and left alone (see
 *                         xelagt_test_foreign_buffers)
 */
#ifndef XELAGT_STANDIN_H
#define XELAGT_STANDIN_H

#include "xelagtapi.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Status codes of the stand-in. -20 is left free: the bridge uses it. */
enum {
    XELAGT_OK = 0,
    XELAGT_ERR_INVALID_HANDLE = -1,  /* "invalid data object handle" */
    XELAGT_ERR_INVALID_TYPE = -2,    /* "unknown data object type" */
    XELAGT_ERR_NULL_TEXT = -3,       /* "no text given" */
    XELAGT_ERR_NOT_A_LIST = -4,      /* "attribute is not a list" */
    XELAGT_ERR_NO_ELEMENT = -5,      /* "no such list element" */
    XELAGT_ERR_CONVERSION = -6,      /* "text cannot be converted" */
    XELAGT_ERR_UNKNOWN_CODESET = -7, /* "unknown code set" */
    XELAGT_ERR_BAD_ARGUMENT = -8,    /* "invalid argument" */
    XELAGT_ERR_OUT_OF_MEMORY = -9,   /* "out of memory" */
    XELAGT_ERR_INJECTED = -10        /* "failure injected by test control" */
};

/* Valid data object types. */
#define XELAGT_TYPE_MIN 1
#define XELAGT_TYPE_MAX 99

/*
 * Code sets the stand-in knows (agent numbering), besides XELAGT_CODESET_UTF8.
 * The local code set at start-up comes from the environment variable
 * XELAGT_CODESET (a number, or one of UTF-8, ISO-8859-1, WINDOWS-1252,
 * SHIFT_JIS, case and '-'/'_' insensitive), else from the process's locale
 * variables (Linux) or ANSI code page (Windows), else it is UTF-8. A setting
 * that names no code set above is reported in one line on standard error and
 * otherwise ignored.
 *
 * A conversion into a code set other than UTF-8 succeeds only when its result
 * converts back to the input unchanged.
 */
#define XELAGT_CODESET_ISO_8859_1 819
#define XELAGT_CODESET_WINDOWS_1252 1252
#define XELAGT_CODESET_SHIFT_JIS 932

#define XELAGT_STANDIN_VERSION_TEXT "xelagtapi stand-in 1.0"

/*
 * ---- Test control: exported by name, not part of the agent's operations. ----
 * An operation is named by its ordinal (agentapi/operations.txt; the build
 * generates xelagt_operations.h with XELAGT_OP_<NAME> for each).
 */

/* Change the local code set; returns 0 or XELAGT_ERR_UNKNOWN_CODESET. */
int32_t xelagt_test_set_codeset(int32_t codeset);
/* The current local code set. */
int32_t xelagt_test_codeset(void);
/*
 * Make the next `count` calls of operation `op` fail, process-wide: status
 * operations return `status`; text operations return NULL; get locale leaves
 * *locale NULL and returns `status`; convert text returns `status` without
 * output. count 0 cancels. Prepare status and release buffer cannot fail:
 * XELAGT_ERR_BAD_ARGUMENT, as for an unknown op or a negative count.
 */
int32_t xelagt_test_fail_next(int32_t op, int32_t count, int32_t status);
/* Make the next `count` successful convert-text calls give no output. */
int32_t xelagt_test_no_output_next(int32_t count);
/* Cancel every injected failure. */
void xelagt_test_reset_failures(void);
/* Number of live data objects. */
int64_t xelagt_test_live_objects(void);
/* Number of converted texts handed out and not yet released. */
int64_t xelagt_test_live_buffers(void);
/*
 * Number of blocks given to release buffer that were not the stand-in's C
 * runtime's (Windows: not of its heap; always 0 elsewhere). Each was left
 * alone: a DLL on another C runtime handed them over.
 */
int64_t xelagt_test_foreign_buffers(void);
/* Free every live data object (between tests). */
void xelagt_test_free_all(void);
/*
 * Back to the state at start-up: every live data object freed, every injected
 * failure cancelled, the start-up code set restored. Texts handed out stay
 * valid until released; xelagt_test_live_buffers keeps counting them.
 */
void xelagt_test_reset(void);

#ifdef __cplusplus
}
#endif

#endif /* XELAGT_STANDIN_H */
