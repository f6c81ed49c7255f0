/* The engine's entries: each describes its copy in a request and hands it to a driver. */
#include "transfer/transfer.h"

#include "platform/path.h"
#include "platform/text.h"
#include "transfer/drivers.h"

const transfer_mode *transfer_mode_for(truth_t compress, truth_t decompress, truth_t substitute)
{
    if (compress)
        return &TRANSFER_MODE_COMPRESSING;
    if (substitute)
        return &TRANSFER_MODE_SUBSTITUTING;
    return decompress ? &TRANSFER_MODE_EXPANDING : &TRANSFER_MODE_PLAIN;
}

/* What a copy that may expand %NAME% tokens passes on: where it appends, and the resolver with
 * its two context values. */
static void transfer_request_tokens(transfer_request *req, truth_t append, int32_t context1,
                                    int32_t context2, transfer_resolver_fn resolver)
{
    req->append = append;
    req->context1 = context1;
    req->context2 = context2;
    req->resolver = resolver;
}

status_t transfer_setup(transfer_job *job, truth_t append, truth_t compress, truth_t decompress,
                        truth_t substitute, int32_t context1, int32_t context2,
                        transfer_resolver_fn resolver)
{
    transfer_request req =
        transfer_request_make(NULL, NULL, transfer_mode_for(compress, decompress, substitute));

    transfer_request_tokens(&req, append, context1, context2, resolver);
    return transfer_job_setup(job, &req);
}

status_t transfer_run(const transfer_request *req)
{
    char pieces[PATH_CAP];

    if (req->split) {
        /* The split names its pieces in the buffer it is given; the caller's stays as it is. */
        if (!text_copy_fit(pieces, PATH_CAP, req->target))
            return STATUS_WRITE_ERROR;
        return transfer_drive_split(req, pieces);
    }
    /* Refused before a volume is asked for. */
    if (req->mode == &TRANSFER_MODE_COMPRESSING)
        return STATUS_FAILED;
    if (req->first_volume != 0)
        return transfer_drive_join(req);
    return transfer_drive_single(req);
}

/* What every entry passes on alike: the volumes' prompt and the callbacks. */
static void transfer_request_calls(transfer_request *req, char *label_base,
                                   const void *prompt_context, transfer_prompt_fn prompt,
                                   transfer_progress_fn progress, transfer_cancel_fn cancel,
                                   int32_t user)
{
    req->label_base = label_base;
    req->prompt_context = prompt_context;
    req->prompt = prompt;
    req->progress = progress;
    req->cancel = cancel;
    req->user = user;
}

status_t transfer_single(const char *source, const char *target, int32_t first_volume,
                         truth_t append, truth_t compress, truth_t decompress,
                         truth_t substitute, char *label_base, const void *prompt_context,
                         transfer_prompt_fn prompt, transfer_progress_fn progress,
                         transfer_cancel_fn cancel, int32_t user, int32_t context1,
                         int32_t context2, transfer_resolver_fn resolver)
{
    transfer_request req =
        transfer_request_make(source, target, transfer_mode_for(compress, decompress, substitute));

    transfer_request_tokens(&req, append, context1, context2, resolver);
    req.first_volume = first_volume;
    transfer_request_calls(&req, label_base, prompt_context, prompt, progress, cancel, user);
    return transfer_run(&req);
}

status_t transfer_split(const char *source, char *target, int32_t first_volume,
                        uint32_t piece_count, uint32_t reserve, truth_t append, truth_t compress,
                        truth_t decompress, char *label_base, const void *prompt_context,
                        transfer_prompt_fn prompt, transfer_progress_fn progress,
                        transfer_cancel_fn cancel, int32_t user, const uint32_t *limits,
                        uint32_t *piece_counter)
{
    transfer_request req =
        transfer_request_make(source, target, transfer_mode_for(compress, decompress, 0));

    req.split = 1;
    req.append = append;
    req.first_volume = first_volume;
    req.piece_count = piece_count;
    req.reserve = reserve;
    req.limits = limits;
    req.piece_counter = piece_counter;
    transfer_request_calls(&req, label_base, prompt_context, prompt, progress, cancel, user);
    /* The caller's buffer is the one whose names are stepped. */
    return transfer_drive_split(&req, target);
}

status_t transfer_file(const char *source, const char *target, truth_t append, truth_t codec,
                       truth_t split, truth_t substitute, int32_t first_volume,
                       uint32_t piece_count, uint32_t reserve, char *label_base,
                       const void *prompt_context, transfer_prompt_fn prompt,
                       transfer_progress_fn progress, transfer_cancel_fn cancel, int32_t user,
                       int32_t context1, int32_t context2, transfer_resolver_fn resolver,
                       const uint32_t *limits)
{
    char pieces[PATH_CAP];
    uint32_t counter = 0;

    /* The codec flag compresses into a split and expands into a single copy. */
    if (split) {
        /* The split names its pieces in the buffer it is given; the caller's stays as it is. */
        if (!text_copy_fit(pieces, PATH_CAP, target))
            return STATUS_WRITE_ERROR;
        return transfer_split(source, pieces, first_volume, piece_count, reserve, append, codec,
                              0, label_base, prompt_context, prompt, progress, cancel, user,
                              limits, &counter);
    }
    return transfer_single(source, target, first_volume, append, 0, codec, substitute,
                           label_base, prompt_context, prompt, progress, cancel, user, context1,
                           context2, resolver);
}
