/* The move: a rename where one is possible, otherwise a copy between ordinary files and the
 * delete of the source. It reaches only the single copy, so a caller of the plain move links
 * neither volumes nor codec. */
#include "platform/disk.h"
#include "platform/file.h"
#include "platform/os.h"
#include "transfer/drivers.h"
#include "transfer/transfer.h"

/* The C runtime's error after a rename that failed, read as the cause. */
static const struct {
    int error;
    status_t status;
} TRANSFER_RENAME_ERRORS[] = {
    {ENOENT, STATUS_NOT_FOUND},
    {ENOTDIR, STATUS_NOT_FOUND},
    {EIO, STATUS_WRITE_ERROR},
    {EBUSY, STATUS_WRITE_ERROR},
    {EINVAL, STATUS_WRITE_ERROR},
    {EROFS, STATUS_WRITE_ERROR},
    {EACCES, STATUS_ACCESS_DENIED},
    {0, STATUS_FAILED},
};

static status_t transfer_status_from_errno(int error)
{
    size_t i;

    for (i = 0; TRANSFER_RENAME_ERRORS[i].error != 0; i++)
        if (TRANSFER_RENAME_ERRORS[i].error == error)
            return TRANSFER_RENAME_ERRORS[i].status;
    return STATUS_FAILED;
}

static status_t transfer_move_copy(const char *source, const char *target,
                                   const transfer_mode *mode, transfer_progress_fn progress,
                                   transfer_cancel_fn cancel, int32_t user)
{
    transfer_request req = transfer_request_make(source, target, mode);

    req.progress = progress;
    req.cancel = cancel;
    req.user = user;
    return transfer_drive_single(&req);
}

status_t transfer_move(const char *source, const char *target, const transfer_mode *mode,
                       uint32_t size, transfer_progress_fn progress, transfer_cancel_fn cancel,
                       int32_t user)
{
    truth_t exists = 1;
    int error;
    status_t rc;

    /* A failed existence test proves nothing: the rename below decides. */
    if (file_exists(source, &exists) == STATUS_OK && !exists)
        return STATUS_NOT_FOUND;

    if (crt_rename(source, target) == 0) {
        if (progress != NULL)
            progress(user, disk_allocation_size(target, size));
        return STATUS_OK;
    }
    /* The delete below may change errno; the rename's error is the one that tells. */
    error = errno;

    if (file_delete(target) == STATUS_OK) {
        if (crt_rename(source, target) == 0)
            return STATUS_OK;
        /* A copy that failed says best why: a cancel's result must reach the caller, and
         * errno after it names whatever call touched it last. */
        rc = transfer_move_copy(source, target, mode, progress, cancel, user);
        if (rc != STATUS_OK)
            return rc;
        (void)file_delete(source);
        return STATUS_OK;
    }

    if (error == EXDEV) {
        rc = transfer_move_copy(source, target, mode, progress, cancel, user);
        if (rc != STATUS_OK)
            return rc;
        return file_delete(source);
    }
    return transfer_status_from_errno(error);
}
