/* File operations: existence, time stamps, delete; each with its own error table. */
#ifndef PLATFORM_FILE_H
#define PLATFORM_FILE_H

#include "platform/status.h"

status_t file_exists(const char *path, truth_t *exists);
status_t file_copy_times(const char *source, const char *target);
status_t file_delete(const char *path);

#endif
