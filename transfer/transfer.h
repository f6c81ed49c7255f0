/* The file transfer engine's entries: the copy of one file, the split, the move. Each is a thin
 * wrapper that describes its copy in a request (request.h) for a driver (drivers.h); the
 * drivers run a job (job.h) in one of the modes (mode.h). */
#ifndef TRANSFER_TRANSFER_H
#define TRANSFER_TRANSFER_H

#include <stdint.h>

#include "platform/status.h"
#include "transfer/job.h"
#include "transfer/mode.h"
#include "transfer/request.h"

/* The mode the flags name: compressing when compress is set, else substituting when
 * substitute is, else expanding when decompress is, else plain. */
const transfer_mode *transfer_mode_for(truth_t compress, truth_t decompress, truth_t substitute);

/* Set the job up for one copy in the mode the flags name (transfer_mode_for), with the
 * resolver and its two contexts for a substituting one. Every field is written first, so
 * transfer_teardown may follow any result. Statuses: STATUS_OK; STATUS_FAILED for compress
 * mode (the encoder is reached through its own functions); STATUS_NO_MEMORY when not even a
 * 384-byte block buffer, or no decoder or substitution state, can be had. */
status_t transfer_setup(transfer_job *job, truth_t append, truth_t compress, truth_t decompress,
                        truth_t substitute, int32_t context1, int32_t context2,
                        transfer_resolver_fn resolver);

/* Run the copy req describes: a split when req->split is set (transfer_split's contract, a
 * piece counter of its own unless req gives one, pieces named in a copy of req->target, so
 * target is never written), otherwise transfer_single's contract in req->mode (a join from
 * req->first_volume on, or between ordinary files). A plain copy is
 *     transfer_request req = transfer_request_make(from, to, &TRANSFER_MODE_PLAIN);
 *     status_t rc = transfer_run(&req); */
status_t transfer_run(const transfer_request *req);

/* Copy one file to one target path; with decompress, expand the LZW stream of the source's
 * compressed name (_SETUP.EXE for SETUP.EXE) into the target; with substitute, expand its
 * %NAME% tokens through resolver. first_volume 0 copies between ordinary files. Otherwise the
 * source is read from removable volumes, starting with the one of that number: source names
 * the file, which is looked for under its name on the volume (volume_name_on_volume); when it
 * is not there, the file is a set of pieces (volume_next_piece_name; a decompressing join
 * reads the pieces of the compressed file, volume_next_compressed_piece_name), the first on
 * this volume, each further one on the next volume, the last (piece character 0) on the
 * volume after the last numbered piece, all joined into the one target; each volume is asked
 * for through volume_prompt with label_base, prompt_context and prompt. The decoder and the
 * filter go on from piece to piece, so a code or a token cut by the end of a piece continues
 * in the next. source itself is never written: the piece names are formed in a copy of it.
 * Compress is refused with STATUS_FAILED before anything else. Progress receives each block
 * (a decompressing copy: the bytes written), then the slack up to whole clusters of the
 * target drive, so that one file's calls add up to the space it occupies there. Statuses:
 * STATUS_OK; STATUS_FAILED; STATUS_NO_MEMORY (no block buffer, no decoder or substitution
 * state, no decoder table); STATUS_NOT_FOUND (the source, or in a set the last piece, cannot
 * be opened); STATUS_WRITE_ERROR (target cannot be opened, written or closed);
 * STATUS_READ_ERROR (source cannot be read; a compressed source shorter than three bytes; a
 * substituted stream that ends inside a token or after a single %); STATUS_FILE_CORRUPT (a
 * compressed source that holds no LZW stream); STATUS_CANCELLED (the user cancelled a disk
 * prompt); without a prompt callback, a volume check's STATUS_NOT_FOUND or STATUS_FAILED;
 * the filter's and the resolver's failures; cancel's non-zero result; file_copy_times'
 * failure. A target that was opened keeps what was written to it; the source is never
 * changed. */
status_t transfer_single(const char *source, const char *target, int32_t first_volume,
                         truth_t append, truth_t compress, truth_t decompress,
                         truth_t substitute, char *label_base, const void *prompt_context,
                         transfer_prompt_fn prompt, transfer_progress_fn progress,
                         transfer_cancel_fn cancel, int32_t user, int32_t context1,
                         int32_t context2, transfer_resolver_fn resolver);

/* Spread source over piece_count pieces on removable volumes first_volume, first_volume + 1,
 * ... (each asked for with volume_prompt, writing: a blank disk gets the label). target
 * [in,out] is a PATH_CAP buffer with the file's name; it is rewritten in place to each
 * piece's name (volume_next_piece_name) and holds the last one's afterwards. One piece keeps
 * the file's own name. Each piece takes at most its budget: limits[*piece_counter] when a
 * limits table is given, otherwise the volume's free bytes less reserve (none when the volume
 * has less free than the reserve). *piece_counter [in,out] counts the pieces written (null:
 * counted from 0 and not passed back).
 * first_volume 0 writes one piece to target itself, no volume involved, with no limit but the
 * table's. The last piece must take the rest of the source: a source that has not ended after
 * it fails with STATUS_WRITE_ERROR, since the set would lack its end; a piece that begins
 * after the end of the source is written empty.
 * decompress: the pieces hold the expansion of the source's compressed name.
 * Refused before anything is written: compress (STATUS_FAILED, at set-up), more than one piece
 * from volume 0 (STATUS_FAILED: no join could read them back), a piece count of 0 or more than
 * the piece characters allow (STATUS_WRITE_ERROR, see volume_pieces_fit), a target name
 * longer than PATH_CAP - 1 (STATUS_WRITE_ERROR).
 * Statuses otherwise: STATUS_OK; STATUS_NO_MEMORY; STATUS_NOT_FOUND (source cannot be
 * opened); STATUS_WRITE_ERROR (a piece cannot be opened, written or closed, or the source
 * outlasts the last piece); STATUS_READ_ERROR; STATUS_FILE_CORRUPT (decompress: no LZW
 * stream); STATUS_CANCELLED (the user cancelled); without a prompt callback, a volume check's
 * STATUS_NOT_FOUND or STATUS_FAILED; volume_free_bytes' failures; cancel's non-zero result;
 * file_copy_times' failure. The pieces written stay on their volumes; the source is never
 * changed. No progress call for cluster slack. */
status_t transfer_split(const char *source, char *target, int32_t first_volume,
                        uint32_t piece_count, uint32_t reserve, truth_t append, truth_t compress,
                        truth_t decompress, char *label_base, const void *prompt_context,
                        transfer_prompt_fn prompt, transfer_progress_fn progress,
                        transfer_cancel_fn cancel, int32_t user, const uint32_t *limits,
                        uint32_t *piece_counter);

/* The engine's entry with every option in one list: transfer_run, in the mode of
 * codec (split 0: expanding; split 1: compressing, refused with STATUS_FAILED) or
 * substitute. */
status_t transfer_file(const char *source, const char *target, truth_t append, truth_t codec,
                       truth_t split, truth_t substitute, int32_t first_volume,
                       uint32_t piece_count, uint32_t reserve, char *label_base,
                       const void *prompt_context, transfer_prompt_fn prompt,
                       transfer_progress_fn progress, transfer_cancel_fn cancel, int32_t user,
                       int32_t context1, int32_t context2, transfer_resolver_fn resolver,
                       const uint32_t *limits);

/* Move source onto target (replacing it), by rename or else by a copy in mode (plain or
 * expanding) and a delete. size: the file's size, for progress on a first-attempt rename
 * (the only progress a rename reports; a copy reports its blocks).
 * Order: a rename; when the target exists, its delete and a second rename; when that rename
 * fails too, a copy between ordinary files and the delete of the source.
 * Statuses: STATUS_OK; STATUS_NOT_FOUND when the source is absent (the target untouched); a
 * failed copy's own status (a cancel's result included); when the target cannot be deleted,
 * by the C runtime's error of the failed rename: STATUS_NOT_FOUND (ENOENT, ENOTDIR),
 * STATUS_WRITE_ERROR (EIO, EBUSY, EINVAL, EROFS), STATUS_ACCESS_DENIED (EACCES), across
 * devices (EXDEV) a copy's status or else the delete's of the source, STATUS_FAILED
 * otherwise. The source is deleted only after a copy that succeeded, end included. */
status_t transfer_move(const char *source, const char *target, const transfer_mode *mode,
                       uint32_t size, transfer_progress_fn progress, transfer_cancel_fn cancel,
                       int32_t user);

/* transfer_move with codec naming the fallback copy's mode (1: expanding). Inline, so that a
 * caller that passes a constant 0 (the stores) links only the plain mode. */
static inline status_t file_move_or_copy(const char *source, const char *target, truth_t codec,
                                         uint32_t size, transfer_progress_fn progress,
                                         transfer_cancel_fn cancel, int32_t user)
{
    return transfer_move(source, target, codec ? &TRANSFER_MODE_EXPANDING : &TRANSFER_MODE_PLAIN,
                         size, progress, cancel, user);
}

#endif
