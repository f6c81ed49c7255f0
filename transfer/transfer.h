/* The file transfer engine: the transfer job, the copy of one file and the move. */
#ifndef TRANSFER_TRANSFER_H
#define TRANSFER_TRANSFER_H

#include <stdint.h>
#include <stdio.h>

#include "lzw/bitfile.h"
#include "platform/status.h"

#include "transfer/substitute.h"
#include "transfer/volume.h"

/* Callbacks; each receives the caller's user value first. The disk prompt (transfer_prompt_fn)
 * is volume.h's, the variable resolver (transfer_resolver_fn) substitute.h's. */
typedef void (*transfer_progress_fn)(int32_t user, uint32_t bytes);
typedef status_t (*transfer_cancel_fn)(int32_t user);

/* The plain copy's block: 48 KiB when memory allows, halved down to 384 bytes when it does
 * not. */
#define TRANSFER_BLOCK_MAX 49152u
#define TRANSFER_BLOCK_MIN 384u
/* The transfer loop's budget that means "until the source ends". */
#define TRANSFER_NO_LIMIT 0xFFFFFFFFu

/* One copy's working record: the open files, the mode and its working state. A copy owns its
 * job from transfer_setup to transfer_teardown. The codec modes read and write bit stream
 * files, the others buffered streams; either way null means no file is open. */
typedef struct transfer_job {
    union {
        FILE *source;        /* the file being read: plain and substitute modes */
        bitfile *source_bits; /* decompress and compress modes */
    };
    union {
        FILE *target;        /* the file being written: plain and substitute modes */
        bitfile *target_bits; /* decompress and compress modes */
    };
    void *mode_state;       /* plain: the block buffer; decompress: the decoder state
                               (lzw_decoder_state); substitute: the substitute_state; null
                               before set-up */
    uint32_t running_total; /* bytes reported to progress for the current target */
    truth_t append;         /* open the target for appending instead of afresh */
    truth_t compress;       /* compress mode (always refused) */
    truth_t decompress;     /* decompress mode; 0 whenever substitute is set */
    truth_t substitute;     /* substitute mode */
    uint32_t block_size;    /* size of the block buffer in bytes (plain mode) */
} transfer_job;

/* Set the job up for one copy: a block buffer for a plain copy, a decoder state at the start
 * of a stream for a decompressing one, a substitution state with the resolver and its two
 * contexts for a substituting one. Every field is written first, so transfer_teardown may
 * follow any result. Statuses: 0; 29 for compress mode (the encoder is reached through its own
 * functions); 5 when not even a 384-byte block buffer, or no decoder or substitution state,
 * can be had. */
status_t transfer_setup(transfer_job *job, truth_t append, truth_t compress, truth_t decompress,
                        truth_t substitute, int32_t context1, int32_t context2,
                        transfer_resolver_fn resolver);
/* Open path for reading ("rb") as the job's source; in decompress mode the file read is the
 * compressed name beside it (_SETUP.EXE for SETUP.EXE), as a bit stream file. 0, or 22 when
 * it cannot be opened. */
status_t transfer_open_source(transfer_job *job, const char *path);
/* Open path as the job's target, "ab+" in append mode and "wb" otherwise (decompress mode:
 * always "wb", a bit stream file), and restart the running total: 0, or 21 when it cannot be
 * opened. */
status_t transfer_open_target(transfer_job *job, const char *path);
/* Clear the read-only attribute of the target path so that an existing read-only target can be
 * overwritten; a target that does not exist yet is no error. Always 0. */
status_t transfer_prepare_target(transfer_job *job, const char *source, const char *target);
/* One block: a single read of up to *count bytes into buf, a single write of what was read.
 * 0 with *count the bytes moved (fewer than asked: the source has ended); 20 when the read set
 * the source's error indicator; 21 when the write was short or set the target's. *count is
 * untouched on failure. */
status_t transfer_copy_block(FILE *source, FILE *target, void *buf, uint32_t *count);
/* Move at most budget bytes from the source to the target, reporting each block to progress
 * and asking cancel after each one (both may be null). A decompressing loop counts the bytes
 * written since the target was opened: the decoder runs until the source has no bits left
 * for a code or the target's count reaches the budget, and progress receives the target's
 * growth since the last call. A substituting loop filters the whole source in one call and
 * reports the characters it consumed. 0 when the budget is spent or the source has ended; a
 * block's failure (20, 21); the decoder's (5, 20, 21, 50); the filter's and the resolver's;
 * or cancel's non-zero result unchanged. */
status_t transfer_loop(transfer_job *job, uint32_t budget, transfer_progress_fn progress,
                       transfer_cancel_fn cancel, int32_t user);
/* Close the source; the close of a file that was only read reports nothing. Always 0. */
status_t transfer_close_source(transfer_job *job);
/* Close the target. 0, or 21 when its last buffered bytes could not be written or the close
 * failed: a target that lost its end is not a copy. The target is closed either way. final
 * marks the last close of a target: only then does a compressed target get its pending
 * bits. */
status_t transfer_close_target(transfer_job *job, truth_t final);
/* Copy the time stamps of the file read onto the file written (in decompress mode the source's
 * compressed name): file_copy_times' status. */
status_t transfer_copy_times(transfer_job *job, const char *source, const char *target);
/* Close whatever is open (a target without its final flag, its status ignored: teardown
 * follows a failure or a close already checked) and release the mode state, with a decoder's
 * table. */
void transfer_teardown(transfer_job *job);

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
 * Compress is refused with 29 before anything else. Progress receives each block (a
 * decompressing copy: the bytes written), then the slack up to whole clusters of the target
 * drive, so that one file's calls add up to the space it occupies there. Statuses: 0; 29;
 * 5 (no block buffer, no decoder or substitution state, no decoder table); 22 (the source, or
 * in a set the last piece, cannot be opened); 21 (target cannot be opened, written or
 * closed); 20 (source cannot be read; a compressed source shorter than three bytes; a
 * substituted stream that ends inside a token or after a single %); 50 (a compressed source
 * that holds no LZW stream); 8 (the user cancelled a disk prompt); without a prompt callback,
 * a volume check's 22 or 29; the filter's and the resolver's failures; cancel's non-zero
 * result; file_copy_times' failure. A target that was opened keeps what was written to it;
 * the source is never changed. */
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
 * it fails with 21, since the set would lack its end; a piece that begins after the end of the
 * source is written empty.
 * decompress: the pieces hold the expansion of the source's compressed name.
 * Refused before anything is written: compress (29, at set-up), more than one piece from
 * volume 0 (29: no join could read them back), a piece count of 0 or more than the piece
 * characters allow (21, see volume_pieces_fit), a target name longer than PATH_CAP - 1 (21).
 * Statuses otherwise: 0; 5; 22 (source cannot be opened); 21 (a piece cannot be opened,
 * written or closed, or the source outlasts the last piece); 20; 50 (decompress: no LZW
 * stream); 8 (the user cancelled);
 * without a prompt callback, a volume check's 22 or 29; volume_free_bytes' failures; cancel's
 * non-zero result; file_copy_times' failure. The pieces written stay on their volumes; the
 * source is never changed. No progress call for cluster slack. */
status_t transfer_split(const char *source, char *target, int32_t first_volume,
                        uint32_t piece_count, uint32_t reserve, truth_t append, truth_t compress,
                        truth_t decompress, char *label_base, const void *prompt_context,
                        transfer_prompt_fn prompt, transfer_progress_fn progress,
                        transfer_cancel_fn cancel, int32_t user, const uint32_t *limits,
                        uint32_t *piece_counter);

/* The engine's entry: every option in one list. split 0 copies through transfer_single with
 * codec as its decompress flag (codec 1 expands the source's compressed name); split 1
 * through transfer_split with codec as its compress flag (refused with 29), a piece counter of
 * its own starting at 0, and a copy of target, so target is never written. piece_count,
 * reserve and limits belong to the split; substitute and the resolver to transfer_single. */
status_t transfer_file(const char *source, const char *target, truth_t append, truth_t codec,
                       truth_t split, truth_t substitute, int32_t first_volume,
                       uint32_t piece_count, uint32_t reserve, char *label_base,
                       const void *prompt_context, transfer_prompt_fn prompt,
                       transfer_progress_fn progress, transfer_cancel_fn cancel, int32_t user,
                       int32_t context1, int32_t context2, transfer_resolver_fn resolver,
                       const uint32_t *limits);

/* Move source onto target (replacing it), by rename or else by a copy and a delete. codec: the
 * fallback copy decompresses. size: the file's size, for progress on a first-attempt rename
 * (the only progress a rename reports; a copy reports its blocks).
 * Order: a rename; when the target exists, its delete and a second rename; when that rename
 * fails too, a copy through transfer_file and the delete of the source.
 * Statuses: 0; 22 when the source is absent (the target untouched); a failed copy's own
 * status (a cancel's result included); when the target cannot be deleted, by the C runtime's
 * error of the failed rename: 22 (ENOENT, ENOTDIR), 21 (EIO, EBUSY, EINVAL, EROFS), 27
 * (EACCES), across devices (EXDEV) a copy's status or else the delete's of the source, 29
 * otherwise. The source is deleted only after a copy that succeeded, end included. */
status_t file_move_or_copy(const char *source, const char *target, truth_t codec, uint32_t size,
                           transfer_progress_fn progress, transfer_cancel_fn cancel,
                           int32_t user);

#endif
