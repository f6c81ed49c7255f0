/* The steps the byte stream modes (plain, substituting) share: buffered C streams on both
 * sides. */
#include "platform/mem.h"
#include "platform/os.h"
#include "transfer/mode.h"

status_t transfer_stream_open_source(transfer_job *job, const char *path)
{
    job->source = crt_fopen(path, "rb");
    return job->source != NULL ? STATUS_OK : STATUS_NOT_FOUND;
}

status_t transfer_stream_open_target(transfer_job *job, const char *path)
{
    job->target = crt_fopen(path, job->append ? "ab+" : "wb");
    return job->target != NULL ? STATUS_OK : STATUS_WRITE_ERROR;
}

status_t transfer_stream_source_ended(transfer_job *job, truth_t *ended)
{
    int c = fgetc(job->source);

    if (c == EOF) {
        if (ferror(job->source))
            return STATUS_READ_ERROR;
        *ended = 1;
        return STATUS_OK;
    }
    /* Nothing is lost: the character goes back for whoever reads on. */
    if (ungetc(c, job->source) == EOF)
        return STATUS_READ_ERROR;
    *ended = 0;
    return STATUS_OK;
}

status_t transfer_stream_begin_source(transfer_job *job, truth_t *ready)
{
    /* A byte stream goes on from any byte. */
    (void)job;
    *ready = 1;
    return STATUS_OK;
}

void transfer_stream_close_source(transfer_job *job)
{
    if (job->source != NULL)
        (void)fclose(job->source);
    job->source = NULL;
}

status_t transfer_stream_close_target(transfer_job *job, truth_t final)
{
    truth_t ok;

    (void)final;
    if (job->target == NULL)
        return STATUS_OK;
    ok = fclose(job->target) == 0;
    job->target = NULL;
    return ok ? STATUS_OK : STATUS_WRITE_ERROR;
}

const char *transfer_stream_stamp_source(const char *path, char *out)
{
    (void)out;
    return path;
}

void transfer_stream_release(transfer_job *job)
{
    mem_free(job->mode_state);
}
