/* File operations: existence, time stamps, delete; each with its own error table. */
#ifndef PLATFORM_FILE_H
#define PLATFORM_FILE_H

#include "platform/status.h"

/* Whether path [in] exists: a file (also a read-only one) or a directory.
 * exists [out]: 1 or 0.
 * STATUS_OK with exists 1 for a path whose attributes can be read; STATUS_OK with exists 0
 * for a missing file or a missing directory on the way; STATUS_ACCESS_DENIED when access is
 * denied; STATUS_FAILED for a null argument and any other failure (an invalid name, an
 * unreachable server). exists is untouched after a failure. */
status_t file_exists(const char *path, truth_t *exists);

/* Copy the creation, last access and last write stamps of source [in] onto target [in].
 * STATUS_OK; STATUS_FAILED for a null path, a missing source or target and any unlisted
 * error; STATUS_ACCESS_DENIED when access is denied (a read-only or directory target fails so
 * at its open, its stamps unchanged); STATUS_WRITE_ERROR for a write-protected target;
 * STATUS_TOO_MANY_FILES; STATUS_SHARING_VIOLATION and STATUS_LOCK_VIOLATION at an open;
 * STATUS_INVALID_NAME for an invalid name at an open; STATUS_FILE_CORRUPT for a corrupt file at
 * an open; STATUS_END_OF_FILE for ERROR_HANDLE_EOF. Both files are closed on every path. */
status_t file_copy_times(const char *source, const char *target);

/* Delete path [in], clearing its read-only attribute first.
 * STATUS_OK also when the file, or its directory, is not there; STATUS_ACCESS_DENIED when
 * access is denied (a directory); STATUS_WRITE_ERROR write-protected; STATUS_TOO_MANY_FILES;
 * STATUS_SHARING_VIOLATION when another process holds the file open without delete sharing;
 * STATUS_LOCK_VIOLATION; STATUS_INVALID_NAME invalid name; STATUS_FILE_CORRUPT corrupt file;
 * STATUS_END_OF_FILE for ERROR_HANDLE_EOF; STATUS_FAILED for a null path and any other error.
 * A file that could not be deleted gets its read-only attribute back. */
status_t file_delete(const char *path);

#endif
