/* File operations: existence, time stamps, delete; each with its own error table. */
#ifndef PLATFORM_FILE_H
#define PLATFORM_FILE_H

#include "platform/status.h"

/* Whether path [in] exists: a file (also a read-only one) or a directory.
 * exists [out]: 1 or 0.
 * 0 with exists 1 for a path whose attributes can be read; 0 with exists 0 for a missing
 * file or a missing directory on the way; 27 when access is denied; 29 for a null argument
 * and any other failure (an invalid name, an unreachable server). exists is untouched after
 * a failure. */
status_t file_exists(const char *path, truth_t *exists);

/* Copy the creation, last access and last write stamps of source [in] onto target [in].
 * 0; 29 for a null path, a missing source or target and any unlisted error; 27 when access is
 * denied (a read-only or directory target fails so at its open, its stamps unchanged); 21 for
 * a write-protected target; 52 too many open files; 53 sharing and 54 lock violation at an
 * open; 23 for an invalid name at an open; 50 for a corrupt file at an open; 1 for
 * ERROR_HANDLE_EOF. Both files are closed on every path. */
status_t file_copy_times(const char *source, const char *target);

/* Delete path [in], clearing its read-only attribute first.
 * 0 also when the file, or its directory, is not there; 27 when access is denied (a
 * directory); 21 write-protected; 52 too many open files; 53 when another process holds the
 * file open without delete sharing; 54 lock violation; 23 invalid name; 50 corrupt file;
 * 1 ERROR_HANDLE_EOF; 29 for a null path and any other error. A file that could not be
 * deleted gets its read-only attribute back. */
status_t file_delete(const char *path);

#endif
