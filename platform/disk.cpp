/* Disk measurements: free space and cluster size of the drive a path begins with. */
#include "platform/disk.h"

#include "platform/os.h"
#include "platform/path.h"

struct disk_error_row {
    DWORD error;
    status_t status;
};

/* GetDiskFreeSpaceA; the last row is the default for any error not listed above it. */
static const struct disk_error_row DISK_ERRORS[] = {
    {ERROR_NOT_DOS_DISK, STATUS_INVALID_NAME},
    {ERROR_DRIVE_LOCKED, STATUS_DRIVE_LOCKED},
    {ERROR_DISK_RECALIBRATE_FAILED, STATUS_DISK_FAILED},
    {ERROR_DISK_OPERATION_FAILED, STATUS_FAILED},
    {ERROR_FILE_CORRUPT, STATUS_FILE_CORRUPT},
    {0, STATUS_FAILED}, /* any other */
};

/* The largest count a 32-bit byte count can say. */
#define DISK_COUNT_MAX 0xFFFFFFFFu

static status_t disk_map_error(DWORD error)
{
    size_t n = sizeof DISK_ERRORS / sizeof DISK_ERRORS[0];
    size_t i;

    for (i = 0; i + 1 < n; i++)
        if (DISK_ERRORS[i].error == error)
            return DISK_ERRORS[i].status;
    return DISK_ERRORS[n - 1].status;
}

/* The geometry of the drive the path's first character names. */
static status_t disk_measure(const char *path, uint64_t *cluster, uint64_t *free_clusters)
{
    char root[PATH_DRIVE_ROOT_CAP];
    DWORD sectors_per_cluster = 0;
    DWORD bytes_per_sector = 0;
    DWORD free_count = 0;
    DWORD total_count = 0;

    if (path == NULL || path[0] == '\0')
        return STATUS_FAILED;
    path_drive_root(root, path[0]);
    if (!GetDiskFreeSpaceA(root, &sectors_per_cluster, &bytes_per_sector, &free_count,
                           &total_count))
        return disk_map_error(GetLastError());
    *cluster = (uint64_t)sectors_per_cluster * bytes_per_sector;
    *free_clusters = free_count;
    return STATUS_OK;
}

status_t disk_free_bytes(const char *path, uint32_t *count)
{
    status_t rc;
    uint64_t cluster = 0;
    uint64_t free_clusters = 0;

    if (count == NULL)
        return STATUS_FAILED;
    rc = disk_measure(path, &cluster, &free_clusters);
    if (rc != STATUS_OK)
        return rc;
    /* More free space than 32 bits can say is reported as the most they can: a wrapped
     * product would call a roomy drive full. Both factors are below 2^32, so the product
     * is exact in 64 bits once the cluster size fits 32. */
    if (free_clusters != 0 && cluster > DISK_COUNT_MAX)
        *count = DISK_COUNT_MAX;
    else if (cluster * free_clusters > DISK_COUNT_MAX)
        *count = DISK_COUNT_MAX;
    else
        *count = (uint32_t)(cluster * free_clusters);
    return STATUS_OK;
}

status_t disk_cluster_bytes(const char *path, uint32_t *count)
{
    status_t rc;
    uint64_t cluster = 0;
    uint64_t free_clusters = 0;

    if (count == NULL)
        return STATUS_FAILED;
    rc = disk_measure(path, &cluster, &free_clusters);
    if (rc != STATUS_OK)
        return rc;
    /* No drive has empty or 4 GiB clusters: such an answer measures nothing. */
    if (cluster == 0 || cluster > DISK_COUNT_MAX)
        return STATUS_FAILED;
    *count = (uint32_t)cluster;
    return STATUS_OK;
}

uint32_t disk_allocation_size(const char *path, uint32_t size)
{
    uint32_t cluster = 0;
    uint64_t raised;

    if (disk_cluster_bytes(path, &cluster) != STATUS_OK || size % cluster == 0)
        return size;
    raised = ((uint64_t)(size / cluster) + 1) * cluster;
    /* The last cluster of a file near 4 GiB ends past what 32 bits can say. */
    return raised > DISK_COUNT_MAX ? DISK_COUNT_MAX : (uint32_t)raised;
}
