/* Disk measurements: free space and cluster size of the drive a path begins with. */
#ifndef PLATFORM_DISK_H
#define PLATFORM_DISK_H

#include <stdint.h>

#include "platform/status.h"

/* Each measures the drive whose root is the first character of path [in], a colon and a
 * backslash (C:\apps\x.dat and C: both measure C:\; the rest of the path is not looked at).
 * Statuses, for a drive that cannot be measured: STATUS_INVALID_NAME not a DOS disk,
 * STATUS_DRIVE_LOCKED drive locked, STATUS_DISK_FAILED disk recalibration failed,
 * STATUS_FILE_CORRUPT corrupt file, STATUS_FAILED for a null or empty path, a disk operation
 * failure and any other error (a missing drive, a drive without medium, a path that begins
 * with a backslash). The count is untouched after a failure. */

/* count [out]: free clusters x sectors per cluster x bytes per sector; 4294967295 when the
 * free space does not fit 32 bits. STATUS_FAILED also for a null count. */
status_t disk_free_bytes(const char *path, uint32_t *count);

/* count [out]: sectors per cluster x bytes per sector. STATUS_FAILED also for a null count,
 * and for a drive that reports an empty cluster or one that does not fit 32 bits. */
status_t disk_cluster_bytes(const char *path, uint32_t *count);

/* The space a file of size [in] bytes occupies on the drive: size raised to whole clusters
 * (4096-byte clusters: 0 -> 0, 1 -> 4096, 4096 -> 4096, 4097 -> 8192), at most 4294967295.
 * Never fails: a drive that cannot be measured leaves the size unchanged. */
uint32_t disk_allocation_size(const char *path, uint32_t size);

#endif
