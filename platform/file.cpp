/* File operations: existence, time stamps, delete; each with its own error table. */
#include "platform/file.h"

#include "platform/os.h"

struct file_errno_row {
    int error;
    status_t status;
};

struct file_error_row {
    DWORD error;
    status_t status;
};

/* In every table the last row is the default for any error not listed above it. */

/* The access test: an absent path is an answer (false), not a failure. */
static const struct file_errno_row FILE_EXISTS_ERRORS[] = {
    {ENOENT, STATUS_OK},
    {ENOTDIR, STATUS_OK},
    {EACCES, STATUS_ACCESS_DENIED},
    {0, STATUS_FAILED}, /* any other */
};

/* DeleteFileA: a file that is not there, or whose directory is not there, counts as deleted. */
static const struct file_error_row FILE_DELETE_ERRORS[] = {
    {ERROR_FILE_NOT_FOUND, STATUS_OK},
    {ERROR_PATH_NOT_FOUND, STATUS_OK},
    {ERROR_TOO_MANY_OPEN_FILES, STATUS_TOO_MANY_FILES},
    {ERROR_ACCESS_DENIED, STATUS_ACCESS_DENIED},
    {ERROR_WRITE_PROTECT, STATUS_WRITE_ERROR},
    {ERROR_SHARING_VIOLATION, STATUS_SHARING_VIOLATION},
    {ERROR_LOCK_VIOLATION, STATUS_LOCK_VIOLATION},
    {ERROR_HANDLE_EOF, STATUS_END_OF_FILE},
    {ERROR_INVALID_NAME, STATUS_INVALID_NAME},
    {ERROR_FILE_CORRUPT, STATUS_FILE_CORRUPT},
    {0, STATUS_FAILED}, /* any other */
};

/* _lopen of the source and of the target. */
static const struct file_error_row FILE_OPEN_ERRORS[] = {
    {ERROR_FILE_NOT_FOUND, STATUS_FAILED},
    {ERROR_PATH_NOT_FOUND, STATUS_FAILED},
    {ERROR_TOO_MANY_OPEN_FILES, STATUS_TOO_MANY_FILES},
    {ERROR_ACCESS_DENIED, STATUS_ACCESS_DENIED},
    {ERROR_WRITE_PROTECT, STATUS_WRITE_ERROR},
    {ERROR_SHARING_VIOLATION, STATUS_SHARING_VIOLATION},
    {ERROR_LOCK_VIOLATION, STATUS_LOCK_VIOLATION},
    {ERROR_HANDLE_EOF, STATUS_END_OF_FILE},
    {ERROR_INVALID_NAME, STATUS_INVALID_NAME},
    {ERROR_FILE_CORRUPT, STATUS_FILE_CORRUPT},
    {0, STATUS_FAILED}, /* any other */
};

/* GetFileTime on the source. */
static const struct file_error_row FILE_READ_TIMES_ERRORS[] = {
    {ERROR_FILE_NOT_FOUND, STATUS_FAILED},
    {ERROR_PATH_NOT_FOUND, STATUS_FAILED},
    {ERROR_TOO_MANY_OPEN_FILES, STATUS_FAILED},
    {ERROR_ACCESS_DENIED, STATUS_ACCESS_DENIED},
    {ERROR_WRITE_PROTECT, STATUS_FAILED},
    {ERROR_SHARING_VIOLATION, STATUS_FAILED},
    {ERROR_LOCK_VIOLATION, STATUS_FAILED},
    {ERROR_HANDLE_EOF, STATUS_END_OF_FILE},
    {ERROR_INVALID_NAME, STATUS_FAILED},
    {ERROR_FILE_CORRUPT, STATUS_FAILED},
    {0, STATUS_FAILED}, /* any other */
};

/* SetFileTime on the target. */
static const struct file_error_row FILE_WRITE_TIMES_ERRORS[] = {
    {ERROR_FILE_NOT_FOUND, STATUS_FAILED},
    {ERROR_PATH_NOT_FOUND, STATUS_FAILED},
    {ERROR_TOO_MANY_OPEN_FILES, STATUS_FAILED},
    {ERROR_ACCESS_DENIED, STATUS_ACCESS_DENIED},
    {ERROR_WRITE_PROTECT, STATUS_WRITE_ERROR},
    {ERROR_SHARING_VIOLATION, STATUS_FAILED},
    {ERROR_LOCK_VIOLATION, STATUS_FAILED},
    {ERROR_HANDLE_EOF, STATUS_END_OF_FILE},
    {ERROR_INVALID_NAME, STATUS_FAILED},
    {ERROR_FILE_CORRUPT, STATUS_FAILED},
    {0, STATUS_FAILED}, /* any other */
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

static status_t file_map_error(const struct file_error_row *rows, size_t n, DWORD error)
{
    size_t i;

    for (i = 0; i + 1 < n; i++)
        if (rows[i].error == error)
            return rows[i].status;
    return rows[n - 1].status;
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
        rc = file_map_error(FILE_OPEN_ERRORS, FILE_ROWS(FILE_OPEN_ERRORS), GetLastError());
        goto done;
    }
    to = _lopen(target, OF_READWRITE);
    if (to == HFILE_ERROR) {
        rc = file_map_error(FILE_OPEN_ERRORS, FILE_ROWS(FILE_OPEN_ERRORS), GetLastError());
        goto done;
    }
    if (!GetFileTime(file_handle(from), &created, &accessed, &written)) {
        rc = file_map_error(FILE_READ_TIMES_ERRORS, FILE_ROWS(FILE_READ_TIMES_ERRORS),
                            GetLastError());
        goto done;
    }
    if (!SetFileTime(file_handle(to), &created, &accessed, &written)) {
        rc = file_map_error(FILE_WRITE_TIMES_ERRORS, FILE_ROWS(FILE_WRITE_TIMES_ERRORS),
                            GetLastError());
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
        rc = file_map_error(FILE_DELETE_ERRORS, FILE_ROWS(FILE_DELETE_ERRORS), GetLastError());
        /* A file that stays keeps the protection it had. */
        if (rc != STATUS_OK && was_read_only)
            crt_chmod(path, CRT_S_IREAD);
    }
    return rc;
}
