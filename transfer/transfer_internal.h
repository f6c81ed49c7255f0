/* What the engine's copy procedures share among themselves (not for callers: see transfer.h). */
#ifndef TRANSFER_TRANSFER_INTERNAL_H
#define TRANSFER_TRANSFER_INTERNAL_H

#include "transfer/transfer.h"

/* transfer_single with a first volume other than 0: the join of a file from its volumes
 * (join.cpp). Arguments and statuses as transfer_single's. */
status_t transfer_join(const char *source, const char *target, int32_t first_volume,
                       truth_t append, truth_t decompress, truth_t substitute, char *label_base,
                       const void *prompt_context, transfer_prompt_fn prompt,
                       transfer_progress_fn progress, transfer_cancel_fn cancel, int32_t user,
                       int32_t context1, int32_t context2, transfer_resolver_fn resolver);

/* A split piece's budget: limits[index] when a limits table is given, otherwise the volume's
 * free_bytes less reserve (0 when it has less). Always below TRANSFER_NO_LIMIT, which the
 * loop would take for "no limit". */
uint32_t transfer_split_budget(const uint32_t *limits, uint32_t index, uint32_t free_bytes,
                               uint32_t reserve);

/* The end of a copy into one target, after its last source was closed: 20 when a substituted
 * stream ended inside a token or after a single %; otherwise the target is closed as final
 * (21 when that fails), the stamps of source_read (the file actually read last) are copied
 * onto target, and progress, when given, receives the slack up to whole clusters of the
 * target drive. */
status_t transfer_finish(transfer_job *job, const char *source_read, const char *target,
                         transfer_progress_fn progress, int32_t user);

/* Whether the job's source has nothing more to give, without losing what it has: *ended
 * [out]; in decompress mode, whether the decoder stopped at the end of its input rather than
 * for room in the target. 0, or 20 when the source reports a read error. */
status_t transfer_source_ended(transfer_job *job, truth_t *ended);

#endif
