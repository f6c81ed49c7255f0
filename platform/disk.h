/* Disk measurements: free space and cluster size of the drive a path begins with. */
#ifndef PLATFORM_DISK_H
#define PLATFORM_DISK_H

#include <stdint.h>

#include "platform/status.h"

status_t disk_free_bytes(const char *path, uint32_t *count);
status_t disk_cluster_bytes(const char *path, uint32_t *count);
uint32_t disk_allocation_size(const char *path, uint32_t size);

#endif
