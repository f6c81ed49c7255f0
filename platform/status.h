/* Status codes: the result of every fallible operation of the system. */
#ifndef PLATFORM_STATUS_H
#define PLATFORM_STATUS_H

#include <stdint.h>

/* A status code: 0 for success, a small positive number for a failure. The numbers are fixed:
 * the agent's message table and every caller test them by value. A caller-supplied cancel
 * callback's or variable resolver's non-zero result travels as a status unchanged. */
typedef int32_t status_t;

enum {
    STATUS_OK = 0,
    STATUS_END_OF_FILE = 1,      /* end of input; ERROR_HANDLE_EOF */
    STATUS_LIST_TRUNCATED = 4,   /* a key list did not fit the caller's buffer */
    STATUS_NO_MEMORY = 5,        /* no heap block */
    STATUS_VALUE_ABSENT = 6,     /* not set (profile stores, key-value files); required setting missing */
    STATUS_BAD_FORMAT = 7,       /* malformed separator spec; a field longer than its buffer */
    STATUS_CANCELLED = 8,        /* the user cancelled */
    STATUS_READ_ERROR = 20,      /* a source cannot be opened or read; input ended early */
    STATUS_WRITE_ERROR = 21,     /* a target cannot be created or written; ERROR_WRITE_PROTECT */
    STATUS_NOT_FOUND = 22,       /* file, path, key or value missing; local home incomplete */
    STATUS_INVALID_NAME = 23,    /* malformed name; not a DOS disk; no base name */
    STATUS_ACCESS_DENIED = 27,   /* access denied; privilege not held; client not registered */
    STATUS_FAILED = 29,          /* any other failure: every mapping table's default */
    STATUS_FILE_CORRUPT = 50,
    STATUS_DISK_FAILED = 51,
    STATUS_TOO_MANY_FILES = 52,
    STATUS_SHARING_VIOLATION = 53,
    STATUS_LOCK_VIOLATION = 54,
    STATUS_DRIVE_LOCKED = 56,
    STATUS_BAD_ROOT_KEY = 60     /* a registry root-key name none of the four */
};

/* Truth values of the text utilities and bit-level I/O: 1 true, 0 false. */
typedef int32_t truth_t;

#endif
