/* The transfer job's operations: the same for every mode, each mode's own step taken from its
 * record. */
#include "transfer/job.h"

#include "platform/disk.h"
#include "platform/file.h"
#include "platform/mem.h"
#include "platform/os.h"
#include "platform/path.h"
#include "transfer/mode.h"

transfer_request transfer_request_make(const char *source, const char *target,
                                       const transfer_mode *mode)
{
    transfer_request req;

    memset(&req, 0, sizeof req);
    req.source = source;
    req.target = target;
    req.mode = mode;
    return req;
}

status_t transfer_job_setup(transfer_job *job, const transfer_request *req)
{
    job->mode = req->mode;
    job->source = NULL;
    job->target = NULL;
    job->source_bits = NULL;
    job->target_bits = NULL;
    job->mode_state = NULL;
    job->running_total = 0;
    job->append = req->append;
    return job->mode->setup(job, req);
}

status_t transfer_open_source(transfer_job *job, const char *path)
{
    return job->mode->open_source(job, path);
}

status_t transfer_open_target(transfer_job *job, const char *path)
{
    status_t rc = job->mode->open_target(job, path);

    if (rc == STATUS_OK)
        job->running_total = 0;
    return rc;
}

status_t transfer_prepare_target(transfer_job *job, const char *source, const char *target)
{
    (void)job;
    (void)source;
    /* A target that does not exist yet fails here harmlessly. */
    (void)crt_chmod(target, CRT_S_IREAD | CRT_S_IWRITE);
    return STATUS_OK;
}

status_t transfer_loop(transfer_job *job, uint32_t budget, transfer_progress_fn progress,
                       transfer_cancel_fn cancel, int32_t user)
{
    /* No limit means the end of the source, at any size: the budget is then never spent. */
    const truth_t unlimited = budget == TRANSFER_NO_LIMIT;
    uint32_t moved;
    truth_t done;
    status_t rc;

    while (budget != 0) {
        rc = job->mode->step(job, budget, &moved, &done);
        if (rc != STATUS_OK)
            return rc;
        if (progress != NULL)
            progress(user, moved);
        job->running_total += moved;
        if (cancel != NULL) {
            rc = cancel(user);
            if (rc != STATUS_OK)
                return rc;
        }
        if (done)
            return STATUS_OK;
        if (!unlimited)
            budget -= moved;
    }
    return STATUS_OK;
}

status_t transfer_close_source(transfer_job *job)
{
    job->mode->close_source(job);
    return STATUS_OK;
}

status_t transfer_close_target(transfer_job *job, truth_t final)
{
    /* The close writes the last buffered bytes: a full disk shows up here, and a copy that
     * lost its end must not pass for a copy (a move would then delete its source). */
    return job->mode->close_target(job, final);
}

status_t transfer_copy_times(transfer_job *job, const char *source, const char *target)
{
    char stamped[PATH_CAP];
    const char *read = job->mode->stamp_source(source, stamped);

    /* The stamps of the file actually read. */
    if (read == NULL)
        return STATUS_NOT_FOUND;
    return file_copy_times(read, target);
}

status_t transfer_source_ended(transfer_job *job, truth_t *ended)
{
    return job->mode->source_ended(job, ended);
}

status_t transfer_begin_source(transfer_job *job, truth_t *ready)
{
    return job->mode->begin_source(job, ready);
}

status_t transfer_finish(transfer_job *job, const char *source_read, const char *target,
                         transfer_progress_fn progress, int32_t user)
{
    status_t rc;

    rc = job->mode->check_end(job);
    if (rc != STATUS_OK)
        return rc;
    rc = transfer_close_target(job, 1);
    if (rc != STATUS_OK)
        return rc;
    rc = transfer_copy_times(job, source_read, target);
    if (rc != STATUS_OK)
        return rc;
    /* The calls of one file add up to the space it takes on the target drive. */
    if (progress != NULL)
        progress(user, disk_allocation_size(target, job->running_total) - job->running_total);
    return STATUS_OK;
}

void transfer_teardown(transfer_job *job)
{
    (void)transfer_close_source(job);
    (void)transfer_close_target(job, 0);
    job->mode->release(job);
    job->mode_state = NULL;
}
