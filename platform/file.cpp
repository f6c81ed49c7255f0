/* File operations: existence, time stamps, delete; each with its own error table. */
#include "platform/file.h"

#include "platform/os.h"

struct file_errno_row {
    int error;
    status_t status;
};

/* The file table: one row per platform error, one column per kind of call. */
enum file_column {
    FILE_COL_DELETE,
    FILE_COL_OPEN,
    FILE_COL_READ_TIMES,
    FILE_COL_WRITE_TIMES,
    FILE_COL_COLUMNS
};

struct file_error_row {
    DWORD error;
    status_t status[FILE_COL_COLUMNS]; /* delete, open, read stamps, write stamps */
};

/* In every table the last row is the default for any error not listed above it. */

/* The access test: an absent path is an answer (false), not a failure. */
static const struct file_errno_row FILE_EXISTS_ERRORS[] = {
    {ENOENT, STATUS_OK},
    {ENOTDIR, STATUS_OK},
    {EACCES, STATUS_ACCESS_DENIED},
    {0, STATUS_FAILED}, /* any other */
};

/* DeleteFileA: a file that is not there, or whose directory is not there, counts as deleted.
 * _lopen, GetFileTime and SetFileTime report with the other columns. */
static const struct file_error_row FILE_ERRORS[] = {
    /*                           delete                    open                      read stamps           write stamps */
    {ERROR_FILE_NOT_FOUND,      {STATUS_OK,                STATUS_FAILED,            STATUS_FAILED,        STATUS_FAILED}},
    {ERROR_PATH_NOT_FOUND,      {STATUS_OK,                STATUS_FAILED,            STATUS_FAILED,        STATUS_FAILED}},
    {ERROR_TOO_MANY_OPEN_FILES, {STATUS_TOO_MANY_FILES,    STATUS_TOO_MANY_FILES,    STATUS_FAILED,        STATUS_FAILED}},
    {ERROR_ACCESS_DENIED,       {STATUS_ACCESS_DENIED,     STATUS_ACCESS_DENIED,     STATUS_ACCESS_DENIED, STATUS_ACCESS_DENIED}},
    {ERROR_WRITE_PROTECT,       {STATUS_WRITE_ERROR,       STATUS_WRITE_ERROR,       STATUS_FAILED,        STATUS_WRITE_ERROR}},
    {ERROR_SHARING_VIOLATION,   {STATUS_SHARING_VIOLATION, STATUS_SHARING_VIOLATION, STATUS_FAILED,        STATUS_FAILED}},
    {ERROR_LOCK_VIOLATION,      {STATUS_LOCK_VIOLATION,    STATUS_LOCK_VIOLATION,    STATUS_FAILED,        STATUS_FAILED}},
    {ERROR_HANDLE_EOF,          {STATUS_END_OF_FILE,       STATUS_END_OF_FILE,       STATUS_END_OF_FILE,   STATUS_END_OF_FILE}},
    {ERROR_INVALID_NAME,        {STATUS_INVALID_NAME,      STATUS_INVALID_NAME,      STATUS_FAILED,        STATUS_FAILED}},
    {ERROR_FILE_CORRUPT,        {STATUS_FILE_CORRUPT,      STATUS_FILE_CORRUPT,      STATUS_FAILED,        STATUS_FAILED}},
    {0,                         {STATUS_FAILED,            STATUS_FAILED,            STATUS_FAILED,        STATUS_FAILED}}, /* any other */
};

#define FILE_ROWS(table) (sizeof(table) / sizeof((table)[0]))

static status_t file_map_errno(const struct file_errno_row *rows, size_t n, int error)
{
    size_t i;

    for (i = 0; i + 1 < n; i++)
        if (rows[i].error == error)
            return rows[i].status;
    return rows[n - 1].status;
}

static status_t file_map_error(enum file_column column, DWORD error)
{
    size_t i;

    for (i = 0; i + 1 < FILE_ROWS(FILE_ERRORS); i++)
        if (FILE_ERRORS[i].error == error)
            return FILE_ERRORS[i].status[column];
    return FILE_ERRORS[FILE_ROWS(FILE_ERRORS) - 1].status[column];
}

status_t file_exists(const char *path, truth_t *exists)
{
    status_t rc;

    if (path == NULL || exists == NULL)
        return STATUS_FAILED;
    if (crt_access(path, 0) == 0) {
        *exists = 1;
        return STATUS_OK;
    }
    rc = file_map_errno(FILE_EXISTS_ERRORS, FILE_ROWS(FILE_EXISTS_ERRORS), errno);
    if (rc == STATUS_OK)
        *exists = 0;
    return rc;
}

/* _lopen's HFILE is the file's handle. */
static HANDLE file_handle(HFILE file)
{
    return (HANDLE)(intptr_t)file;
}

status_t file_copy_times(const char *source, const char *target)
{
    status_t rc = STATUS_OK;
    HFILE from = HFILE_ERROR;
    HFILE to = HFILE_ERROR;
    FILETIME created;
    FILETIME accessed;
    FILETIME written;

    if (source == NULL || target == NULL)
        return STATUS_FAILED;
    from = _lopen(source, OF_READ);
    if (from == HFILE_ERROR) {
        rc = file_map_error(FILE_COL_OPEN, GetLastError());
        goto done;
    }
    to = _lopen(target, OF_READWRITE);
    if (to == HFILE_ERROR) {
        rc = file_map_error(FILE_COL_OPEN, GetLastError());
        goto done;
    }
    if (!GetFileTime(file_handle(from), &created, &accessed, &written)) {
        rc = file_map_error(FILE_COL_READ_TIMES, GetLastError());
        goto done;
    }
    if (!SetFileTime(file_handle(to), &created, &accessed, &written)) {
        rc = file_map_error(FILE_COL_WRITE_TIMES, GetLastError());
        goto done;
    }

done:
    if (to != HFILE_ERROR)
        _lclose(to);
    if (from != HFILE_ERROR)
        _lclose(from);
    return rc;
}

status_t file_delete(const char *path)
{
    status_t rc = STATUS_OK;
    truth_t was_read_only;

    if (path == NULL)
        return STATUS_FAILED;
    /* Only a read-only file refuses the write test with EACCES. */
    was_read_only = crt_access(path, 2) != 0 && errno == EACCES;
    /* A failure here is left to DeleteFileA to report. */
    crt_chmod(path, CRT_S_IREAD | CRT_S_IWRITE);
    if (!DeleteFileA(path)) {
        rc = file_map_error(FILE_COL_DELETE, GetLastError());
        /* A file that stays keeps the protection it had. */
        if (rc != STATUS_OK && was_read_only)
            crt_chmod(path, CRT_S_IREAD);
    }
    return rc;
}
