/* The transfer engine: the job, the plain, decompressing and substituting single-volume copy,
 * the move. */
#include "transfer/transfer.h"

#include "lzw/lzw_decoder.h"
#include "platform/disk.h"
#include "platform/file.h"
#include "platform/mem.h"
#include "platform/os.h"
#include "platform/path.h"
#include "platform/text.h"
#include "transfer/transfer_internal.h"

/* The codec modes read and write bit stream files. */
static truth_t transfer_uses_bitfiles(const transfer_job *job)
{
    return job->compress || job->decompress;
}

/* The path of the file that holds path's LZW stream: the same directory, the base name
 * marked as compressed. out: PATH_CAP bytes. False when it does not fit. */
static truth_t transfer_compressed_path(const char *path, char *out)
{
    char root[PATH_CAP];
    char dir[PATH_CAP];
    char base[PATH_CAP];
    char ext[PATH_CAP];

    path_split(path, root, dir, base, ext);
    path_compressed_name(base);
    return path_compose(out, root, dir, base, ext);
}

status_t transfer_setup(transfer_job *job, truth_t append, truth_t compress, truth_t decompress,
                        truth_t substitute, int32_t context1, int32_t context2,
                        transfer_resolver_fn resolver)
{
    uint32_t size;
    void *buf;

    job->source = NULL;
    job->target = NULL;
    job->mode_state = NULL;
    job->running_total = 0;
    job->append = append;
    job->compress = compress;
    job->decompress = substitute ? 0 : decompress;
    job->substitute = substitute;
    job->block_size = 0;

    /* No path of the system compresses: the encoder is reached through its own functions. */
    if (job->compress)
        return STATUS_FAILED;

    if (job->decompress) {
        lzw_decoder_state *st = (lzw_decoder_state *)mem_alloc(sizeof *st);
        if (st == NULL)
            return STATUS_NO_MEMORY;
        /* Null table, phase 0: the decoder begins a stream and makes its table. */
        memset(st, 0, sizeof *st);
        job->mode_state = st;
        return STATUS_OK;
    }

    if (job->substitute) {
        job->mode_state = substitute_state_create(context1, context2, resolver);
        return job->mode_state != NULL ? STATUS_OK : STATUS_NO_MEMORY;
    }

    /* Under memory pressure a smaller block only slows the copy down. */
    size = TRANSFER_BLOCK_MAX;
    for (;;) {
        buf = mem_alloc(size);
        if (buf != NULL)
            break;
        size /= 2;
        if (size < TRANSFER_BLOCK_MIN)
            return STATUS_NO_MEMORY;
    }
    job->mode_state = buf;
    job->block_size = size;
    return STATUS_OK;
}

status_t transfer_open_source(transfer_job *job, const char *path)
{
    char compressed[PATH_CAP];

    if (job->decompress) {
        job->source_bits = transfer_compressed_path(path, compressed)
                               ? bitfile_open_read(compressed, "", "", "", 1)
                               : NULL;
        return job->source_bits != NULL ? STATUS_OK : STATUS_NOT_FOUND;
    }
    job->source = crt_fopen(path, "rb");
    return job->source != NULL ? STATUS_OK : STATUS_NOT_FOUND;
}

status_t transfer_open_target(transfer_job *job, const char *path)
{
    if (job->decompress)
        job->target_bits = bitfile_open_write(path, "", "", "", 0);
    else
        job->target = crt_fopen(path, job->append ? "ab+" : "wb");
    if (job->target == NULL)
        return STATUS_WRITE_ERROR;
    job->running_total = 0;
    return STATUS_OK;
}

status_t transfer_prepare_target(transfer_job *job, const char *source, const char *target)
{
    (void)job;
    (void)source;
    /* A target that does not exist yet fails here harmlessly. */
    (void)crt_chmod(target, CRT_S_IREAD | CRT_S_IWRITE);
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

status_t transfer_loop(transfer_job *job, uint32_t budget, transfer_progress_fn progress,
                       transfer_cancel_fn cancel, int32_t user)
{
    /* No limit means the end of the source, at any size: the budget is then never spent. */
    const truth_t unlimited = budget == TRANSFER_NO_LIMIT;
    status_t rc;
    uint32_t asked;
    uint32_t count;

    while (budget != 0) {
        if (job->decompress) {
            /* The decoder counts every byte written since the target was opened. */
            asked = unlimited ? transfer_unlimited_stop(job) : budget;
            count = asked;
            rc = lzw_decode(job->source_bits, job->target_bits,
                            (lzw_decoder_state *)job->mode_state, &count);
        } else if (job->substitute) {
            asked = budget;
            count = budget;
            rc = substitute_variables(job->source, job->target,
                                      (substitute_state *)job->mode_state, &count);
        } else {
            asked = job->block_size < budget ? job->block_size : budget;
            count = asked;
            rc = transfer_copy_block(job->source, job->target, job->mode_state, &count);
        }
        if (rc != STATUS_OK)
            return rc;
        /* Kept with or without progress: the counter's shift above moves it too. */
        if (job->decompress) {
            if (progress != NULL)
                progress(user, count - job->running_total);
            job->running_total = count;
        } else {
            if (progress != NULL)
                progress(user, count);
            job->running_total += count;
        }
        if (cancel != NULL) {
            rc = cancel(user);
            if (rc != STATUS_OK)
                return rc;
        }
        if (count < asked)
            return STATUS_OK;
        if (job->decompress && !unlimited)
            return STATUS_OK; /* the target's counter reached the budget */
        if (!unlimited)
            budget -= count;
    }
    return STATUS_OK;
}

status_t transfer_close_source(transfer_job *job)
{
    if (job->source == NULL)
        return STATUS_OK;
    if (transfer_uses_bitfiles(job))
        (void)bitfile_close(job->source_bits, 0);
    else
        (void)fclose(job->source);
    job->source = NULL;
    return STATUS_OK;
}

status_t transfer_close_target(transfer_job *job, truth_t final)
{
    truth_t ok = 1;

    /* The close writes the last buffered bytes: a full disk shows up here, and a copy that
     * lost its end must not pass for a copy (a move would then delete its source). */
    if (job->target == NULL)
        return STATUS_OK;
    if (transfer_uses_bitfiles(job))
        ok = bitfile_close(job->target_bits, final);
    else
        ok = fclose(job->target) == 0;
    job->target = NULL;
    return ok ? STATUS_OK : STATUS_WRITE_ERROR;
}

status_t transfer_copy_times(transfer_job *job, const char *source, const char *target)
{
    char compressed[PATH_CAP];

    /* The stamps of the file actually read. */
    if (job->decompress) {
        if (!transfer_compressed_path(source, compressed))
            return STATUS_NOT_FOUND;
        source = compressed;
    }
    return file_copy_times(source, target);
}

void transfer_teardown(transfer_job *job)
{
    lzw_decoder_state *st;

    if (job->decompress && job->mode_state != NULL) {
        st = (lzw_decoder_state *)job->mode_state;
        lzw_decoder_table_free(st->table);
        st->table = NULL;
    }
    (void)transfer_close_source(job);
    (void)transfer_close_target(job, 0);
    mem_free(job->mode_state);
    job->mode_state = NULL;
}

status_t transfer_finish(transfer_job *job, const char *source_read, const char *target,
                         transfer_progress_fn progress, int32_t user)
{
    status_t rc;

    /* A stream that ended inside a token would lose the token's text without a word. */
    if (job->substitute && ((substitute_state *)job->mode_state)->pending)
        return STATUS_READ_ERROR;
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

status_t transfer_source_ended(transfer_job *job, truth_t *ended)
{
    int32_t phase;
    int c;

    if (job->decompress) {
        /* The decoder pauses for input only at the end of its source (a read error fails the
         * call); paused for room in the target, it has more to write. */
        phase = ((lzw_decoder_state *)job->mode_state)->phase;
        *ended = phase == LZW_DECODE_INPUT || phase == LZW_DECODE_INPUT_RESET;
        return STATUS_OK;
    }
    c = fgetc(job->source);
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

status_t transfer_single(const char *source, const char *target, int32_t first_volume,
                         truth_t append, truth_t compress, truth_t decompress,
                         truth_t substitute, char *label_base, const void *prompt_context,
                         transfer_prompt_fn prompt, transfer_progress_fn progress,
                         transfer_cancel_fn cancel, int32_t user, int32_t context1,
                         int32_t context2, transfer_resolver_fn resolver)
{
    transfer_job job;
    status_t rc;

    if (compress)
        return STATUS_FAILED;
    if (first_volume != 0)
        return transfer_join(source, target, first_volume, append, decompress, substitute,
                             label_base, prompt_context, prompt, progress, cancel, user,
                             context1, context2, resolver);

    rc = transfer_setup(&job, append, 0, decompress, substitute, context1, context2, resolver);
    if (rc != STATUS_OK)
        goto done;
    rc = transfer_open_source(&job, source);
    if (rc != STATUS_OK)
        goto done;
    (void)transfer_prepare_target(&job, source, target);
    rc = transfer_open_target(&job, target);
    if (rc != STATUS_OK)
        goto done;
    rc = transfer_loop(&job, TRANSFER_NO_LIMIT, progress, cancel, user);
    if (rc != STATUS_OK)
        goto done;
    (void)transfer_close_source(&job);
    rc = transfer_finish(&job, source, target, progress, user);

done:
    transfer_teardown(&job);
    return rc;
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

/* The C runtime's error after a rename that failed, read as the cause. */
static const struct {
    int error;
    status_t status;
} TRANSFER_RENAME_ERRORS[] = {
    {ENOENT, STATUS_NOT_FOUND},
    {ENOTDIR, STATUS_NOT_FOUND},
    {EIO, STATUS_WRITE_ERROR},
    {EBUSY, STATUS_WRITE_ERROR},
    {EINVAL, STATUS_WRITE_ERROR},
    {EROFS, STATUS_WRITE_ERROR},
    {EACCES, STATUS_ACCESS_DENIED},
    {0, STATUS_FAILED},
};

static status_t transfer_status_from_errno(int error)
{
    size_t i;

    for (i = 0; TRANSFER_RENAME_ERRORS[i].error != 0; i++)
        if (TRANSFER_RENAME_ERRORS[i].error == error)
            return TRANSFER_RENAME_ERRORS[i].status;
    return STATUS_FAILED;
}

static status_t transfer_move_copy(const char *source, const char *target, truth_t codec,
                                   transfer_progress_fn progress, transfer_cancel_fn cancel,
                                   int32_t user)
{
    char label_base[1] = "";

    return transfer_file(source, target, 0, codec, 0, 0, 0, 0, 0, label_base, "", NULL,
                         progress, cancel, user, 0, 0, NULL, NULL);
}

status_t file_move_or_copy(const char *source, const char *target, truth_t codec, uint32_t size,
                           transfer_progress_fn progress, transfer_cancel_fn cancel,
                           int32_t user)
{
    truth_t exists = 1;
    int error;
    status_t rc;

    /* A failed existence test proves nothing: the rename below decides. */
    if (file_exists(source, &exists) == STATUS_OK && !exists)
        return STATUS_NOT_FOUND;

    if (crt_rename(source, target) == 0) {
        if (progress != NULL)
            progress(user, disk_allocation_size(target, size));
        return STATUS_OK;
    }
    /* The delete below may change errno; the rename's error is the one that tells. */
    error = errno;

    if (file_delete(target) == STATUS_OK) {
        if (crt_rename(source, target) == 0)
            return STATUS_OK;
        /* A copy that failed says best why: a cancel's result must reach the caller, and
         * errno after it names whatever call touched it last. */
        rc = transfer_move_copy(source, target, codec, progress, cancel, user);
        if (rc != STATUS_OK)
            return rc;
        (void)file_delete(source);
        return STATUS_OK;
    }

    if (error == EXDEV) {
        rc = transfer_move_copy(source, target, codec, progress, cancel, user);
        if (rc != STATUS_OK)
            return rc;
        return file_delete(source);
    }
    return transfer_status_from_errno(error);
}
