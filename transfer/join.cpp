/* The join: one target file read from removable volumes, whole or piece by piece. */
#include "platform/path.h"
#include "platform/text.h"
#include "transfer/transfer_internal.h"

/* The next piece's name in the job's own copy of the source name. A decompressing join reads
 * the pieces of the compressed file, whose names keep the piece character where the
 * compressed name leaves it. */
static void transfer_join_step(const transfer_job *job, char *name, truth_t first, truth_t last)
{
    if (job->decompress)
        volume_next_compressed_piece_name(name, first, last);
    else
        volume_next_piece_name(name, first, last);
}

/* Open the file name names, under its name on the volume in the drive (on_volume [out]). */
static status_t transfer_join_open(transfer_job *job, const char *name, char *on_volume)
{
    if (!volume_name_on_volume(name, on_volume))
        return STATUS_NOT_FOUND;
    return transfer_open_source(job, on_volume);
}

/* Read the open source to its end into the target, and close it. */
static status_t transfer_join_piece(transfer_job *job, transfer_progress_fn progress,
                                    transfer_cancel_fn cancel, int32_t user)
{
    status_t rc;

    rc = transfer_loop(job, TRANSFER_NO_LIMIT, progress, cancel, user);
    if (rc != STATUS_OK)
        return rc;
    return transfer_close_source(job);
}

status_t transfer_join(const char *source, const char *target, int32_t first_volume,
                       truth_t append, truth_t decompress, truth_t substitute, char *label_base,
                       const void *prompt_context, transfer_prompt_fn prompt,
                       transfer_progress_fn progress, transfer_cancel_fn cancel, int32_t user,
                       int32_t context1, int32_t context2, transfer_resolver_fn resolver)
{
    transfer_job job;
    char name[PATH_CAP];      /* the source's name, stepped to each piece's */
    char on_volume[PATH_CAP]; /* the file read: its name on the volume in the drive */
    int32_t volume = first_volume;
    truth_t pieces = 0;
    status_t rc;

    rc = transfer_setup(&job, append, 0, decompress, substitute, context1, context2, resolver);
    if (rc != STATUS_OK)
        goto done;
    /* A name too long to be a path names no file on any volume. */
    rc = text_copy_fit(name, PATH_CAP, source) ? STATUS_OK : STATUS_NOT_FOUND;
    if (rc != STATUS_OK)
        goto done;
    rc = volume_prompt(label_base, prompt_context, volume, 0, prompt, user, 0);
    if (rc != STATUS_OK)
        goto done;
    if (transfer_join_open(&job, name, on_volume) != STATUS_OK) {
        /* Not there under its own name: the first volume holds the first of its pieces. */
        pieces = 1;
        transfer_join_step(&job, name, 1, 0);
        rc = transfer_join_open(&job, name, on_volume);
        if (rc != STATUS_OK)
            goto done;
    }
    (void)transfer_prepare_target(&job, on_volume, target);
    rc = transfer_open_target(&job, target);
    if (rc != STATUS_OK)
        goto done;
    rc = transfer_join_piece(&job, progress, cancel, user);
    if (rc != STATUS_OK)
        goto done;

    while (pieces) {
        /* The volume numbers end here: no further piece can be asked for. */
        if (volume == INT32_MAX) {
            rc = STATUS_NOT_FOUND;
            goto done;
        }
        volume++;
        transfer_join_step(&job, name, 0, 0);
        rc = volume_prompt(label_base, prompt_context, volume, 0, prompt, user, 0);
        if (rc != STATUS_OK)
            goto done;
        if (transfer_join_open(&job, name, on_volume) != STATUS_OK) {
            /* No further numbered piece (after 9 comes a character no name may hold): this
             * volume holds the last piece. */
            transfer_join_step(&job, name, 0, 1);
            rc = volume_prompt(label_base, prompt_context, volume, 0, prompt, user, 0);
            if (rc != STATUS_OK)
                goto done;
            rc = transfer_join_open(&job, name, on_volume);
            if (rc != STATUS_OK)
                goto done;
            pieces = 0;
        }
        rc = transfer_join_piece(&job, progress, cancel, user);
        if (rc != STATUS_OK)
            goto done;
    }
    rc = transfer_finish(&job, on_volume, target, progress, user);

done:
    transfer_teardown(&job);
    return rc;
}
