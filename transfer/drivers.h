/* The engine's drivers: each runs one kind of copy through a job, in whatever mode the
 * request names. They stand on the job (job.h) and are called by the entries (transfer.h). */
#ifndef TRANSFER_DRIVERS_H
#define TRANSFER_DRIVERS_H

#include "transfer/job.h"

/* One source file into one target file, no volume involved (req->first_volume is not
 * read). Statuses as transfer_single's. */
status_t transfer_drive_single(const transfer_request *req);

/* One target file read from removable volumes from req->first_volume on, whole or piece by
 * piece: transfer_single with a first volume other than 0. */
status_t transfer_drive_join(const transfer_request *req);

/* req->source spread over req->piece_count pieces: transfer_split, with name [in,out] its
 * target buffer (PATH_CAP bytes, rewritten to each piece's name); req->target is not read. */
status_t transfer_drive_split(const transfer_request *req, char *name);

/* A split piece's budget: limits[index] when a limits table is given, otherwise the volume's
 * free_bytes less reserve (0 when it has less). Always below TRANSFER_NO_LIMIT, which the
 * loop would take for "no limit". */
uint32_t transfer_split_budget(const uint32_t *limits, uint32_t index, uint32_t free_bytes,
                               uint32_t reserve);

#endif
