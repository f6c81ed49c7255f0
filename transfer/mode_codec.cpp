/* The codec modes: expanding an LZW stream, and compressing, which is refused. Both read and
 * write bit stream files. */
#include "lzw/lzw_decoder.h"
#include "lzw/lzw_stream_start.h"
#include "platform/mem.h"
#include "platform/os.h"
#include "platform/path.h"
#include "transfer/mode.h"

/* The decoder's place in the stream, and the start of a stream gathered from pieces that
 * hold less of it. */
typedef struct transfer_expanding_state {
    lzw_decoder_state decoder;
    lzw_stream_start start;
} transfer_expanding_state;

static transfer_expanding_state *transfer_expanding(const transfer_job *job)
{
    return (transfer_expanding_state *)job->mode_state;
}

/* The path of the file that holds path's LZW stream: the same directory, the base name
 * marked as compressed. out: PATH_CAP bytes. Null when it does not fit. */
static const char *transfer_compressed_path(const char *path, char *out)
{
    char root[PATH_CAP];
    char dir[PATH_CAP];
    char base[PATH_CAP];
    char ext[PATH_CAP];

    path_split(path, root, dir, base, ext);
    path_compressed_name(base);
    return path_compose(out, root, dir, base, ext) ? out : NULL;
}

static status_t transfer_expanding_setup(transfer_job *job, const transfer_request *req)
{
    transfer_expanding_state *st = (transfer_expanding_state *)mem_alloc(sizeof *st);

    (void)req;
    if (st == NULL)
        return STATUS_NO_MEMORY;
    /* Null table, phase 0: the decoder begins a stream and makes its table. */
    memset(st, 0, sizeof *st);
    lzw_stream_start_init(&st->start);
    job->mode_state = st;
    return STATUS_OK;
}

static status_t transfer_expanding_open_source(transfer_job *job, const char *path)
{
    char compressed[PATH_CAP];

    job->source_bits = transfer_compressed_path(path, compressed) != NULL
                           ? bitfile_open_read(compressed, "", "", "", 1)
                           : NULL;
    return job->source_bits != NULL ? STATUS_OK : STATUS_NOT_FOUND;
}

static status_t transfer_expanding_open_target(transfer_job *job, const char *path)
{
    /* Always afresh: an expansion never appends. */
    job->target_bits = bitfile_open_write(path, "", "", "", 0);
    return job->target_bits != NULL ? STATUS_OK : STATUS_WRITE_ERROR;
}

/* The decoder's budget is a value of the target's 32-bit byte counter. A copy without a limit
 * runs past 4 GiB by bringing the counter (and the running total kept beside it) down by half
 * its range whenever it has passed it, and asking for at most a quarter more per call, so a
 * budget never wraps. Only differences of the two are used, so the shift loses nothing. */
#define TRANSFER_COUNTER_SHIFT 0x80000000u
#define TRANSFER_DECODE_STEP 0x40000000u

static uint32_t transfer_unlimited_stop(transfer_job *job)
{
    bitfile *out = job->target_bits;

    if (out->byte_counter >= TRANSFER_COUNTER_SHIFT) {
        out->byte_counter -= TRANSFER_COUNTER_SHIFT;
        job->running_total -= TRANSFER_COUNTER_SHIFT;
    }
    return out->byte_counter + TRANSFER_DECODE_STEP;
}

static status_t transfer_expanding_step(transfer_job *job, uint32_t budget, uint32_t *moved,
                                        truth_t *done)
{
    const truth_t unlimited = budget == TRANSFER_NO_LIMIT;
    /* The decoder counts every byte written since the target was opened. */
    uint32_t asked = unlimited ? transfer_unlimited_stop(job) : budget;
    uint32_t count = asked;
    status_t rc;

    rc = lzw_decode(job->source_bits, job->target_bits, &transfer_expanding(job)->decoder,
                    &count);
    if (rc != STATUS_OK)
        return rc;
    *moved = count - job->running_total;
    /* A limited budget is a position of the target: one call reaches it. */
    *done = count < asked || !unlimited;
    return STATUS_OK;
}

static status_t transfer_expanding_source_ended(transfer_job *job, truth_t *ended)
{
    /* The decoder pauses for input only at the end of its source (a read error fails the
     * call); paused for room in the target, it has more to write. */
    int32_t phase = transfer_expanding(job)->decoder.phase;

    *ended = phase == LZW_DECODE_INPUT || phase == LZW_DECODE_INPUT_RESET;
    return STATUS_OK;
}

static status_t transfer_expanding_begin_source(transfer_job *job, truth_t *ready)
{
    transfer_expanding_state *st = transfer_expanding(job);

    return lzw_stream_start_gather(&st->start, &st->decoder, job->source_bits, ready);
}

static status_t transfer_expanding_check_end(transfer_job *job)
{
    /* Too short to hold the stream's first code: what the decoder says of such a file. */
    return lzw_stream_unbegun(&transfer_expanding(job)->decoder) ? STATUS_READ_ERROR
                                                                 : STATUS_OK;
}

void transfer_bits_close_source(transfer_job *job)
{
    if (job->source_bits != NULL)
        (void)bitfile_close(job->source_bits, 0);
    job->source_bits = NULL;
}

status_t transfer_bits_close_target(transfer_job *job, truth_t final)
{
    truth_t ok;

    /* Only the last close of a compressed target writes its pending bits. */
    if (job->target_bits == NULL)
        return STATUS_OK;
    ok = bitfile_close(job->target_bits, final);
    job->target_bits = NULL;
    return ok ? STATUS_OK : STATUS_WRITE_ERROR;
}

static void transfer_expanding_release(transfer_job *job)
{
    transfer_expanding_state *st = transfer_expanding(job);

    if (st != NULL)
        lzw_decoder_table_free(st->decoder.table);
    mem_free(st);
}

const transfer_mode TRANSFER_MODE_EXPANDING = {
    transfer_expanding_setup,
    transfer_expanding_open_source,
    transfer_expanding_open_target,
    transfer_expanding_step,
    transfer_expanding_source_ended,
    transfer_expanding_begin_source,
    transfer_expanding_check_end,
    transfer_bits_close_source,
    transfer_bits_close_target,
    transfer_compressed_path,
    transfer_expanding_release,
    1,
};

static status_t transfer_compressing_setup(transfer_job *job, const transfer_request *req)
{
    (void)job;
    (void)req;
    /* No path of the system compresses: the encoder is reached through its own functions. */
    return STATUS_FAILED;
}

/* Refused at set-up, so only teardown's steps ever run: the bit stream files' closes (nothing
 * is open) and the release (no state). No step between is ever reached. */
const transfer_mode TRANSFER_MODE_COMPRESSING = {
    transfer_compressing_setup,
    NULL,
    NULL,
    NULL,
    NULL,
    NULL,
    NULL,
    transfer_bits_close_source,
    transfer_bits_close_target,
    NULL,
    transfer_expanding_release,
    0,
};
