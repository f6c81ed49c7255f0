/* The single copy: one source file into one target file. */
#include "transfer/drivers.h"

status_t transfer_drive_single(const transfer_request *req)
{
    transfer_job job;
    status_t rc;

    rc = transfer_job_setup(&job, req);
    if (rc != STATUS_OK)
        goto done;
    rc = transfer_open_source(&job, req->source);
    if (rc != STATUS_OK)
        goto done;
    (void)transfer_prepare_target(&job, req->source, req->target);
    rc = transfer_open_target(&job, req->target);
    if (rc != STATUS_OK)
        goto done;
    rc = transfer_loop(&job, TRANSFER_NO_LIMIT, req->progress, req->cancel, req->user);
    if (rc != STATUS_OK)
        goto done;
    (void)transfer_close_source(&job);
    rc = transfer_finish(&job, req->source, req->target, req->progress, req->user);

done:
    transfer_teardown(&job);
    return rc;
}
