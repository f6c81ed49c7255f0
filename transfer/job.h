/* The transfer job: one copy's open files and mode state, and the operations the drivers
 * build a copy from. Each operation hands the mode's own step to the mode's record. */
#ifndef TRANSFER_JOB_H
#define TRANSFER_JOB_H

#include <stdint.h>
#include <stdio.h>

#include "platform/status.h"
#include "transfer/mode.h"
#include "transfer/request.h"

/* Set the job up for req's mode: every field is written first, so transfer_teardown may
 * follow any result. STATUS_OK, or the mode's refusal (STATUS_FAILED for compressing) or
 * STATUS_NO_MEMORY when its state cannot be had. */
status_t transfer_job_setup(transfer_job *job, const transfer_request *req);
/* Open path for reading as the job's source (the expanding mode reads its compressed name
 * beside it): STATUS_OK, or STATUS_NOT_FOUND when it cannot be opened. */
status_t transfer_open_source(transfer_job *job, const char *path);
/* Open path as the job's target, afresh or for appending as set up, and restart the running
 * total: STATUS_OK, or STATUS_WRITE_ERROR when it cannot be opened. */
status_t transfer_open_target(transfer_job *job, const char *path);
/* Clear the read-only attribute of the target path so that an existing read-only target can be
 * overwritten; a target that does not exist yet is no error. Always STATUS_OK. */
status_t transfer_prepare_target(transfer_job *job, const char *source, const char *target);
/* Move at most budget bytes (in the sense of the mode) from the source to the target, reporting
 * each step to progress and asking cancel after each one (both may be null). STATUS_OK when the
 * budget is spent or the source has ended; the mode's failure; or cancel's non-zero result
 * unchanged. */
status_t transfer_loop(transfer_job *job, uint32_t budget, transfer_progress_fn progress,
                       transfer_cancel_fn cancel, int32_t user);
/* Close the source; the close of a file that was only read reports nothing. Always
 * STATUS_OK. */
status_t transfer_close_source(transfer_job *job);
/* Close the target. STATUS_OK, or STATUS_WRITE_ERROR when its last buffered bytes could not be
 * written or the close failed: a target that lost its end is not a copy. The target is closed
 * either way. final marks the last close of a target. */
status_t transfer_close_target(transfer_job *job, truth_t final);
/* Copy the time stamps of the file read onto the file written: file_copy_times' status. */
status_t transfer_copy_times(transfer_job *job, const char *source, const char *target);
/* Whether the job's source has nothing more to give, without losing what it has: *ended
 * [out]. STATUS_OK, or STATUS_READ_ERROR when the source reports a read error. */
status_t transfer_source_ended(transfer_job *job, truth_t *ended);
/* Before the loop reads a source that continues a stream begun in another (a join's piece):
 * *ready [out] 0 when the source ended before the loop could run on it. STATUS_OK, or
 * STATUS_READ_ERROR. */
status_t transfer_begin_source(transfer_job *job, truth_t *ready);
/* The end of a copy into one target, after its last source was closed: STATUS_READ_ERROR when the
 * stream ended cut (a pending token, a stream that never began); otherwise the target is closed as
 * final (STATUS_WRITE_ERROR when that fails), the stamps of source_read (the file actually read
 * last) are copied onto target, and progress, when given, receives the slack up to whole clusters
 * of the target drive. */
status_t transfer_finish(transfer_job *job, const char *source_read, const char *target,
                         transfer_progress_fn progress, int32_t user);
/* Close whatever is open (a target without its final flag, its status ignored: teardown
 * follows a failure or a close already checked) and release the mode state. */
void transfer_teardown(transfer_job *job);

#endif
