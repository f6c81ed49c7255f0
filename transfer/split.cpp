/* The split: one source file spread over pieces on consecutive removable volumes. */
#include "platform/path.h"
#include "platform/text.h"
#include "transfer/drivers.h"

/* What can be refused before a volume is asked for or a byte written. */
static status_t transfer_split_check(const char *target, int32_t first_volume, uint32_t count)
{
    /* Pieces beside an ordinary target would carry names that no join looks for. */
    if (first_volume == 0 && count > 1)
        return STATUS_FAILED;
    if (first_volume > 0 && count > 1 && count - 1 > (uint32_t)(INT32_MAX - first_volume))
        return STATUS_FAILED;
    /* Refused now rather than after nine volumes, when the tenth piece's name would hold a
     * colon; and no count of 0, which would hold nothing of the source. */
    if (target == NULL || text_length(target) >= PATH_CAP || !volume_pieces_fit(target, count))
        return STATUS_WRITE_ERROR;
    return STATUS_OK;
}

uint32_t transfer_split_budget(const uint32_t *limits, uint32_t index, uint32_t free_bytes,
                              uint32_t reserve)
{
    uint32_t budget;

    if (limits != NULL)
        budget = limits[index];
    else
        /* A volume that holds less than the reserve takes nothing, rather than a budget that
         * wraps round to four gigabytes. */
        budget = free_bytes > reserve ? free_bytes - reserve : 0;
    /* The loop reads its largest budget as "to the end of the source": a piece limited to
     * 4 GiB - 1 bytes (or a volume whose free space saturated there) would take the whole rest
     * of a larger source, past what its volume holds. One byte less keeps it a limit. */
    return budget == TRANSFER_NO_LIMIT ? TRANSFER_NO_LIMIT - 1 : budget;
}

/* Ask for the volume of that number, for writing (a blank disk gets the label). */
static status_t transfer_split_prompt(const transfer_request *req, int32_t volume)
{
    return volume_prompt(req->label_base, req->prompt_context, volume, 1, req->prompt, req->user,
                         0);
}

status_t transfer_drive_split(const transfer_request *req, char *target)
{
    transfer_job job;
    char on_volume[PATH_CAP]; /* the piece written: its name on the volume in the drive */
    const char *piece;        /* on_volume, or without volumes the target itself */
    uint32_t counter = 0;
    uint32_t *pieces_done = req->piece_counter != NULL ? req->piece_counter : &counter;
    uint32_t remaining = req->piece_count;
    int32_t volume = req->first_volume;
    uint32_t free_bytes;
    uint32_t budget;
    truth_t ended;
    status_t rc;

    rc = transfer_job_setup(&job, req);
    if (rc != STATUS_OK)
        goto done;
    rc = transfer_split_check(target, req->first_volume, req->piece_count);
    if (rc != STATUS_OK)
        goto done;
    if (volume != 0) {
        rc = transfer_split_prompt(req, volume);
        if (rc != STATUS_OK)
            goto done;
    }
    rc = transfer_open_source(&job, req->source);
    if (rc != STATUS_OK)
        goto done;
    piece = target;
    if (volume != 0) {
        if (req->piece_count > 1)
            volume_next_piece_name(target, 1, 0);
        if (!volume_name_on_volume(target, on_volume)) {
            rc = STATUS_WRITE_ERROR;
            goto done;
        }
        piece = on_volume;
    }

    for (;;) {
        (void)transfer_prepare_target(&job, req->source, piece);
        rc = transfer_open_target(&job, piece);
        if (rc != STATUS_OK)
            goto done;
        free_bytes = TRANSFER_NO_LIMIT;
        if (volume != 0) {
            rc = volume_free_bytes(piece, &free_bytes);
            if (rc != STATUS_OK)
                goto done;
        }
        budget = transfer_split_budget(req->limits, *pieces_done, free_bytes, req->reserve);
        /* Without volumes and a table, the one piece takes the whole source. */
        if (volume == 0 && req->limits == NULL && req->reserve == 0)
            budget = TRANSFER_NO_LIMIT;
        rc = transfer_loop(&job, budget, req->progress, req->cancel, req->user);
        if (rc != STATUS_OK)
            goto done;
        rc = transfer_close_target(&job, remaining <= 1);
        if (rc != STATUS_OK)
            goto done;
        rc = transfer_copy_times(&job, req->source, piece);
        if (rc != STATUS_OK)
            goto done;
        remaining--;
        (*pieces_done)++;
        if (remaining == 0)
            break;
        volume++;
        volume_next_piece_name(target, 0, remaining == 1);
        rc = transfer_split_prompt(req, volume);
        if (rc != STATUS_OK)
            goto done;
        if (!volume_name_on_volume(target, on_volume)) {
            rc = STATUS_WRITE_ERROR;
            goto done;
        }
    }

    /* A set whose last piece ends before the source does would pass for whole. */
    rc = transfer_source_ended(&job, &ended);
    if (rc == STATUS_OK && !ended)
        rc = STATUS_WRITE_ERROR;
    if (rc != STATUS_OK)
        goto done;
    (void)transfer_close_source(&job);

done:
    transfer_teardown(&job);
    return rc;
}
