/* The substituting mode: %NAME% tokens expanded through the caller's resolver. */
#include "transfer/mode.h"

static status_t transfer_substituting_setup(transfer_job *job, const transfer_request *req)
{
    job->mode_state = substitute_state_create(req->context1, req->context2, req->resolver);
    return job->mode_state != NULL ? STATUS_OK : STATUS_NO_MEMORY;
}

static status_t transfer_substituting_step(transfer_job *job, uint32_t budget, uint32_t *moved,
                                           truth_t *done)
{
    uint32_t count = budget;
    status_t rc;

    /* The filter runs the whole source (or the budget) in one call. */
    rc = substitute_variables(job->source, job->target, (substitute_state *)job->mode_state,
                              &count);
    if (rc != STATUS_OK)
        return rc;
    *moved = count;
    *done = count < budget;
    return STATUS_OK;
}

static status_t transfer_substituting_check_end(transfer_job *job)
{
    /* A stream that ended inside a token would lose the token's text without a word. */
    return ((substitute_state *)job->mode_state)->pending ? STATUS_READ_ERROR : STATUS_OK;
}

const transfer_mode TRANSFER_MODE_SUBSTITUTING = {
    transfer_substituting_setup,
    transfer_stream_open_source,
    transfer_stream_open_target,
    transfer_substituting_step,
    transfer_stream_source_ended,
    transfer_stream_begin_source,
    transfer_substituting_check_end,
    transfer_stream_close_source,
    transfer_stream_close_target,
    transfer_stream_stamp_source,
    transfer_stream_release,
    0,
};
