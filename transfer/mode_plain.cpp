/* The plain mode: bytes unchanged, a block at a time. */
#include "platform/mem.h"
#include "transfer/mode.h"

/* The block buffer, as large as memory allows up to TRANSFER_BLOCK_MAX. */
typedef struct transfer_plain_state {
    uint8_t *block;
    uint32_t size;
} transfer_plain_state;

static status_t transfer_plain_setup(transfer_job *job, const transfer_request *req)
{
    transfer_plain_state *st;
    uint32_t size = TRANSFER_BLOCK_MAX;

    (void)req;
    /* Under memory pressure a smaller block only slows the copy down. */
    for (;;) {
        st = (transfer_plain_state *)mem_alloc(sizeof *st + size);
        if (st != NULL)
            break;
        size /= 2;
        if (size < TRANSFER_BLOCK_MIN)
            return STATUS_NO_MEMORY;
    }
    st->block = (uint8_t *)(st + 1);
    st->size = size;
    job->mode_state = st;
    return STATUS_OK;
}

status_t transfer_copy_block(FILE *source, FILE *target, void *buf, uint32_t *count)
{
    size_t got;
    size_t put;

    got = fread(buf, 1, *count, source);
    if (ferror(source))
        return STATUS_READ_ERROR;
    if (got > 0) {
        put = fwrite(buf, 1, got, target);
        if (put != got || ferror(target))
            return STATUS_WRITE_ERROR;
    }
    *count = (uint32_t)got;
    return STATUS_OK;
}

static status_t transfer_plain_step(transfer_job *job, uint32_t budget, uint32_t *moved,
                                    truth_t *done)
{
    transfer_plain_state *st = (transfer_plain_state *)job->mode_state;
    uint32_t asked = st->size < budget ? st->size : budget;
    uint32_t count = asked;
    status_t rc;

    rc = transfer_copy_block(job->source, job->target, st->block, &count);
    if (rc != STATUS_OK)
        return rc;
    *moved = count;
    *done = count < asked;
    return STATUS_OK;
}

static status_t transfer_plain_check_end(transfer_job *job)
{
    (void)job;
    return STATUS_OK;
}

const transfer_mode TRANSFER_MODE_PLAIN = {
    transfer_plain_setup,
    transfer_stream_open_source,
    transfer_stream_open_target,
    transfer_plain_step,
    transfer_stream_source_ended,
    transfer_stream_begin_source,
    transfer_plain_check_end,
    transfer_stream_close_source,
    transfer_stream_close_target,
    transfer_stream_stamp_source,
    transfer_stream_release,
    0,
};
