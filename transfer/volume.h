/* Removable volumes: the drive they are read from, their labels, the disk prompt, piece names. */
#ifndef TRANSFER_VOLUME_H
#define TRANSFER_VOLUME_H

#include <stdint.h>

#include "platform/status.h"

/* The disk prompt, called as (user, drive root, prompt context, volume, "Windows 32", cancel,
 * wrong volume) when the volume with that number is wanted in the drive. drive_root [in,out]
 * is the drive root buffer (PATH_CAP bytes): the callback may write the root of another drive
 * into it (b:/ is taken as B:\). *cancel [out] starts at 0; set it to non-zero to cancel.
 * wrong_volume is 1 when the callback is called again because the drive holds a readable
 * volume with another label; 0 on the first call for a volume and when no volume could be
 * read. */
typedef void (*transfer_prompt_fn)(int32_t user, char *drive_root, const void *prompt_context,
                                   int32_t volume, const char *platform, int32_t *cancel,
                                   int32_t wrong_volume);

/* A volume label: the label base, a blank and the volume number ("%s %ld"). */
#define VOLUME_LABEL_CAP 264u
/* The text a disk prompt receives for the platform. */
#define VOLUME_PLATFORM "Windows 32"
/* Pieces per set: the digits 1 to 9, then the last piece 0. */
#define VOLUME_PIECES_MAX 10u

/* The drive root buffer (PATH_CAP bytes), the one buffer of the program that outlives a copy:
 * "A:\" at the start, then whatever root the last disk prompt left in it, trimmed and in upper
 * case. Every volume operation works on the drive it names. Two copies must not run at once. */
char *volume_drive_root(void);

/* Whether the volume in the drive is the one wanted, by its label.
 * label_base [in,out]: the word of the labels. When it is empty, every readable volume is
 * accepted and its label supplies the word (label_base then needs room for it: PATH_CAP bytes
 * always suffice) and, when the label has a number after the word, *volume [in,out]; what the
 * label does not supply stays as it was. Otherwise the label must equal "label_base volume",
 * case-blind over A-Z.
 * Statuses: STATUS_OK the wanted volume (or any, with an empty base); STATUS_NOT_FOUND a
 * readable volume with another label (also when "label_base volume" does not fit
 * VOLUME_LABEL_CAP); STATUS_FAILED when no volume can be read (no medium, no drive). */
status_t volume_check_label(char *label_base, int32_t *volume);

/* Label the volume in the drive "label_base volume" [in]. STATUS_OK, or STATUS_NOT_FOUND when
 * the platform refuses it or the label does not fit VOLUME_LABEL_CAP. */
status_t volume_set_label(const char *label_base, int32_t volume);

/* Make sure the volume with the given number is in the drive: check its label and, until it
 * passes, ask the user through prompt (write: label the volume after each answer, so that a
 * blank disk becomes the wanted one). No prompt when the right volume is already there.
 * label_base [in,out] as in volume_check_label: a base learned from a label stays; a number
 * learned applies to this prompt only. wrong_volume: the flag of the first prompt (0).
 * Statuses: STATUS_OK the volume is in the drive; STATUS_CANCELLED the user cancelled;
 * without a prompt callback (null), the check's STATUS_NOT_FOUND or STATUS_FAILED at once,
 * since nobody can change the disk. */
status_t volume_prompt(char *label_base, const void *prompt_context, int32_t volume, truth_t write,
                       transfer_prompt_fn prompt, int32_t user, int32_t wrong_volume);

/* The next piece's name, in place: path [in,out] is a PATH_CAP buffer holding a file name;
 * one character of its base name, the piece position, becomes the piece character. The
 * position is the base's first character, its second when the base has exactly 8 characters,
 * one further when the character there is an underscore. first: the first piece (1, or 2 when
 * the file's own character is 1); last: the last piece (0); neither: the character after the
 * previous piece's. A name without a character at the piece position stays as it was. */
void volume_next_piece_name(char *path, truth_t first, truth_t last);

/* The same for the pieces of a compressed file that a decompressing join reads under their
 * compressed names (an underscore over the first character of a base of 8 or more characters,
 * in front of a shorter one): for a base longer than 8 characters the piece character goes
 * to the second position, which the compressed name keeps, so that the names read are the
 * pieces of the compressed file as a plain split of it writes them. Otherwise as
 * volume_next_piece_name. */
void volume_next_compressed_piece_name(char *path, truth_t first, truth_t last);

/* Whether the set of a file named path [in] can be named in count pieces: 1 always; more when
 * the name has a piece position and the characters from the first piece's up to 9 suffice
 * (10 pieces at most, 9 when the file's own character there is 1). */
truth_t volume_pieces_fit(const char *path, uint32_t count);

/* A file's name on the volume: path [in] split, and composed again under the drive root, into
 * out [out] (PATH_CAP bytes). A rooted path keeps only its file name (C:\KIT\SETUP.EXE becomes
 * A:\SETUP.EXE), a relative one its directory (KIT\SETUP.EXE becomes A:\KIT\SETUP.EXE). False,
 * out emptied, when the name does not fit. */
truth_t volume_name_on_volume(const char *path, char *out);

/* Free bytes of the volume that path [in] is on: disk_free_bytes' statuses and count. */
status_t volume_free_bytes(const char *path, uint32_t *count);

#endif
