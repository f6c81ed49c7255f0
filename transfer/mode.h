/* The transfer modes: one record of operations each, chosen once when a copy is set up. The
 * job's operations (job.h) call them; a driver never asks which mode it runs. A new mode is a
 * new record. */
#ifndef TRANSFER_MODE_H
#define TRANSFER_MODE_H

#include <stdint.h>
#include <stdio.h>

#include "lzw/bitfile.h"
#include "platform/status.h"
#include "transfer/request.h"

/* The transfer loop's budget that means "until the source ends". */
#define TRANSFER_NO_LIMIT 0xFFFFFFFFu

/* One copy's working record. A copy owns its job from transfer_job_setup to
 * transfer_teardown. The byte stream modes use source and target, the codec modes the bit
 * stream files; null means no file is open. */
typedef struct transfer_job {
    const struct transfer_mode *mode;
    FILE *source;
    FILE *target;
    bitfile *source_bits;
    bitfile *target_bits;
    void *mode_state;       /* the mode's own, null before set-up */
    uint32_t running_total; /* bytes reported to progress for the current target */
    truth_t append;         /* open the target for appending instead of afresh */
} transfer_job;

typedef struct transfer_mode {
    /* Make the mode's state in job->mode_state from the request: STATUS_OK, STATUS_FAILED
     * (refused) or STATUS_NO_MEMORY. */
    status_t (*setup)(transfer_job *job, const transfer_request *req);
    /* Open path as the source: STATUS_OK or STATUS_NOT_FOUND. */
    status_t (*open_source)(transfer_job *job, const char *path);
    /* Open path as the target (job->append as set up): STATUS_OK or
     * STATUS_WRITE_ERROR. */
    status_t (*open_target)(transfer_job *job, const char *path);
    /* One step of the loop: move at most budget bytes in the sense of the mode. *moved [out]:
     * the bytes to report to progress (the running total is kept by the loop); *done [out]:
     * 1 when the loop ends after this step (the source ended, or a budget that is a target
     * position was reached). */
    status_t (*step)(transfer_job *job, uint32_t budget, uint32_t *moved, truth_t *done);
    /* As transfer_source_ended. */
    status_t (*source_ended)(transfer_job *job, truth_t *ended);
    /* As transfer_begin_source. */
    status_t (*begin_source)(transfer_job *job, truth_t *ready);
    /* STATUS_OK when what was read forms a whole stream, STATUS_READ_ERROR when it ended
     * cut. */
    status_t (*check_end)(transfer_job *job);
    /* Close the source, or the target (final: its last close). STATUS_OK or
     * STATUS_WRITE_ERROR. */
    void (*close_source)(transfer_job *job);
    status_t (*close_target)(transfer_job *job, truth_t final);
    /* The file whose stamps a copy of path carries: path, or the compressed name beside it
     * (out: PATH_CAP bytes). Null when it does not fit. */
    const char *(*stamp_source)(const char *path, char *out);
    /* Release job->mode_state and whatever it holds; null is ignored. */
    void (*release)(transfer_job *job);
    /* The pieces of a set read in this mode carry the compressed names
     * (volume_next_compressed_piece_name). */
    truth_t compressed_pieces;
} transfer_mode;

/* The plain mode's block: 48 KiB when memory allows, halved down to 384 bytes when it does
 * not. */
#define TRANSFER_BLOCK_MAX 49152u
#define TRANSFER_BLOCK_MIN 384u

/* One block: a single read of up to *count bytes into buf, a single write of what was read.
 * STATUS_OK with *count the bytes moved (fewer than asked: the source has ended);
 * STATUS_READ_ERROR when the read set the source's error indicator; STATUS_WRITE_ERROR when the
 * write was short or set the target's. *count is untouched on failure. */
status_t transfer_copy_block(FILE *source, FILE *target, void *buf, uint32_t *count);

/* Bytes unchanged through a block buffer. */
extern const transfer_mode TRANSFER_MODE_PLAIN;
/* The source's compressed name (_SETUP.EXE for SETUP.EXE) expanded by the LZW decoder. */
extern const transfer_mode TRANSFER_MODE_EXPANDING;
/* %NAME% tokens expanded through the request's resolver. */
extern const transfer_mode TRANSFER_MODE_SUBSTITUTING;
/* Refused at set-up: no path of the system compresses (the encoder has its own functions). */
extern const transfer_mode TRANSFER_MODE_COMPRESSING;

/* The byte stream modes' shared steps (mode_stream.cpp). */
status_t transfer_stream_open_source(transfer_job *job, const char *path);
status_t transfer_stream_open_target(transfer_job *job, const char *path);
status_t transfer_stream_source_ended(transfer_job *job, truth_t *ended);
status_t transfer_stream_begin_source(transfer_job *job, truth_t *ready);
void transfer_stream_close_source(transfer_job *job);
status_t transfer_stream_close_target(transfer_job *job, truth_t final);
const char *transfer_stream_stamp_source(const char *path, char *out);
/* Release the mode's state: one block, which it holds no other resource through. */
void transfer_stream_release(transfer_job *job);

/* The codec modes' shared steps (mode_codec.cpp). */
void transfer_bits_close_source(transfer_job *job);
status_t transfer_bits_close_target(transfer_job *job, truth_t final);

#endif
