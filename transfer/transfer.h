/* The file transfer engine: one file copied through a transfer mode, optionally across
 * removable volumes; and the move that falls back on a copy. */
#ifndef TRANSFER_TRANSFER_H
#define TRANSFER_TRANSFER_H

#include <stdint.h>

#include "platform/status.h"

/* Callbacks; each receives the caller's user value first. */
typedef void (*transfer_progress_fn)(int32_t user, uint32_t bytes);
typedef status_t (*transfer_cancel_fn)(int32_t user);
typedef void (*transfer_prompt_fn)(int32_t user, char *drive_root, const void *prompt_context,
                                   int32_t volume, const char *platform, int32_t *cancel,
                                   int32_t wrong_volume);
typedef status_t (*transfer_resolver_fn)(int32_t context1, int32_t context2, const char *token,
                                         char *buf, uint16_t cap, int32_t reserved1,
                                         int32_t reserved2, const char *reserved3,
                                         const char *reserved4);

/* Move source onto target (replacing it), by rename or else by a copy and a delete. codec: the
 * fallback copy decompresses. size: the file's size, for progress on a first-attempt rename. */
status_t file_move_or_copy(const char *source, const char *target, truth_t codec, uint32_t size,
                           transfer_progress_fn progress, transfer_cancel_fn cancel,
                           int32_t user);

#endif
