/* The join: one target file read from removable volumes, whole or piece by piece. */
#include "platform/path.h"
#include "platform/text.h"
#include "transfer/drivers.h"
#include "transfer/mode.h"

/* The next piece's name in the job's own copy of the source name. A set read in a codec mode
 * is the set of the compressed file, whose names keep the piece character where the
 * compressed name leaves it. */
static void transfer_join_step(const transfer_job *job, char *name, truth_t first, truth_t last)
{
    if (job->mode->compressed_pieces)
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

/* Ask for the volume of that number, for reading. */
static status_t transfer_join_prompt(const transfer_request *req, int32_t volume)
{
    return volume_prompt(req->label_base, req->prompt_context, volume, 0, req->prompt, req->user,
                         0);
}

/* Read the open source to its end into the target, and close it. A piece may end before the
 * mode can run on it (the start of a stream cut short): the next piece goes on from there. */
static status_t transfer_join_piece(transfer_job *job, const transfer_request *req)
{
    truth_t ready;
    status_t rc;

    rc = transfer_begin_source(job, &ready);
    if (rc == STATUS_OK && ready)
        rc = transfer_loop(job, TRANSFER_NO_LIMIT, req->progress, req->cancel, req->user);
    if (rc != STATUS_OK)
        return rc;
    return transfer_close_source(job);
}

status_t transfer_drive_join(const transfer_request *req)
{
    transfer_job job;
    char name[PATH_CAP];      /* the source's name, stepped to each piece's */
    char on_volume[PATH_CAP]; /* the file read: its name on the volume in the drive */
    int32_t volume = req->first_volume;
    truth_t pieces = 0;
    status_t rc;

    rc = transfer_job_setup(&job, req);
    if (rc != STATUS_OK)
        goto done;
    /* A name too long to be a path names no file on any volume. */
    rc = text_copy_fit(name, PATH_CAP, req->source) ? STATUS_OK : STATUS_NOT_FOUND;
    if (rc != STATUS_OK)
        goto done;
    rc = transfer_join_prompt(req, volume);
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
    (void)transfer_prepare_target(&job, on_volume, req->target);
    rc = transfer_open_target(&job, req->target);
    if (rc != STATUS_OK)
        goto done;
    rc = transfer_join_piece(&job, req);
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
        rc = transfer_join_prompt(req, volume);
        if (rc != STATUS_OK)
            goto done;
        if (transfer_join_open(&job, name, on_volume) != STATUS_OK) {
            /* No further numbered piece (after 9 comes a character no name may hold): this
             * volume holds the last piece. */
            transfer_join_step(&job, name, 0, 1);
            rc = transfer_join_prompt(req, volume);
            if (rc != STATUS_OK)
                goto done;
            rc = transfer_join_open(&job, name, on_volume);
            if (rc != STATUS_OK)
                goto done;
            pieces = 0;
        }
        rc = transfer_join_piece(&job, req);
        if (rc != STATUS_OK)
            goto done;
    }
    rc = transfer_finish(&job, on_volume, req->target, req->progress, req->user);

done:
    transfer_teardown(&job);
    return rc;
}
