/* One copy described once: what the engine's drivers and entries are given. */
#ifndef TRANSFER_REQUEST_H
#define TRANSFER_REQUEST_H

#include <stdint.h>

#include "platform/status.h"
#include "transfer/substitute.h"
#include "transfer/volume.h"

/* Callbacks; each receives the caller's user value first. The disk prompt (transfer_prompt_fn)
 * is volume.h's, the variable resolver (transfer_resolver_fn) substitute.h's. */
typedef void (*transfer_progress_fn)(int32_t user, uint32_t bytes);
typedef status_t (*transfer_cancel_fn)(int32_t user);

struct transfer_mode;

/* A copy: its files, its mode, its volumes, its callbacks. Fields a copy does not use are
 * ignored (the volume plan without volumes, the resolver outside the substituting mode). */
typedef struct transfer_request {
    const char *source;
    const char *target;
    const struct transfer_mode *mode; /* the mode's record (transfer/mode.h) */
    truth_t append;                   /* open the target for appending instead of afresh */

    /* The volume plan. split: the target is spread over pieces (transfer_split); otherwise
     * one target is written, read from ordinary files (first_volume 0) or joined from
     * removable volumes from first_volume on (transfer_single). */
    truth_t split;
    int32_t first_volume;
    uint32_t piece_count;       /* split: the pieces to write */
    uint32_t reserve;           /* split: bytes each volume keeps free */
    const uint32_t *limits;     /* split: each piece's byte limit, or null */
    uint32_t *piece_counter;    /* split [in,out]: pieces written, indexing limits; or null */
    char *label_base;           /* the volumes' label word (volume_prompt) */
    const void *prompt_context;
    transfer_prompt_fn prompt;

    transfer_progress_fn progress; /* may be null */
    transfer_cancel_fn cancel;     /* may be null */
    int32_t user;

    /* The substituting mode's resolver and its two contexts. */
    int32_t context1;
    int32_t context2;
    transfer_resolver_fn resolver;
} transfer_request;

/* The common case: a copy from source to target in mode, between ordinary files, afresh,
 * without callbacks; the caller sets whatever else its copy needs. */
transfer_request transfer_request_make(const char *source, const char *target,
                                       const struct transfer_mode *mode);

#endif
