/* The join: one target file read from removable volumes, whole or piece by piece. */
#include "lzw/lzw_decoder.h"
#include "lzw/lzw_format.h"
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

/* The bytes that hold a compressed stream's header and first code. */
#define TRANSFER_JOIN_START_BYTES ((LZW_HEADER_BITS + LZW_MIN_WIDTH + 7) / 8)

/* The start of a compressed stream, gathered from pieces that hold less of it. */
typedef struct transfer_join_start {
    bitfile_bits bits; /* the bytes gathered, pending at the top of the accumulator */
    uint32_t count;    /* how many */
} transfer_join_start;

/* Whether a decompressing join still has to begin its stream. */
static truth_t transfer_join_unbegun(const transfer_job *job)
{
    return job->decompress &&
           ((const lzw_decoder_state *)job->mode_state)->phase == LZW_DECODE_NEW;
}

/* The decoder reads the stream's header and first code from the one input it is given, and
 * a piece that ends inside them would make it fail; a set may begin with such pieces (a first
 * volume that had no room). Their bytes are gathered here and handed to the decoder as bits
 * pending in the piece that completes them. *ready [out]: the decoder can run on the open
 * source; 0 when it ended first. 20 when it broke off. */
static status_t transfer_join_gather(transfer_job *job, transfer_join_start *start,
                                     truth_t *ready)
{
    uint8_t byte;

    *ready = 1;
    if (!transfer_join_unbegun(job))
        return STATUS_OK;
    while (start->count < TRANSFER_JOIN_START_BYTES) {
        if (!bitfile_read_byte(job->source_bits, &byte)) {
            *ready = 0;
            return bitfile_read_failed(job->source_bits) ? STATUS_READ_ERROR : STATUS_OK;
        }
        start->bits.accumulator |= (uint32_t)byte << (start->bits.fill_position - 7);
        start->bits.fill_position -= 8;
        start->count++;
    }
    bitfile_load_bits(job->source_bits, &start->bits);
    return STATUS_OK;
}

/* Read the open source to its end into the target, and close it. */
static status_t transfer_join_piece(transfer_job *job, transfer_join_start *start,
                                    transfer_progress_fn progress, transfer_cancel_fn cancel,
                                    int32_t user)
{
    truth_t ready;
    status_t rc;

    rc = transfer_join_gather(job, start, &ready);
    if (rc == STATUS_OK && ready)
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
    transfer_join_start start = {{31, 31, 0}, 0};
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
    rc = transfer_join_piece(&job, &start, progress, cancel, user);
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
        rc = transfer_join_piece(&job, &start, progress, cancel, user);
        if (rc != STATUS_OK)
            goto done;
    }
    /* Too short to hold the stream's first code: what the decoder says of such a file. */
    if (transfer_join_unbegun(&job)) {
        rc = STATUS_READ_ERROR;
        goto done;
    }
    rc = transfer_finish(&job, on_volume, target, progress, user);

done:
    transfer_teardown(&job);
    return rc;
}
