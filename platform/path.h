/* Windows paths composed from and split into root, directory, base name and extension. */
#ifndef PLATFORM_PATH_H
#define PLATFORM_PATH_H

#include "platform/status.h"

/* A path buffer: 260 bytes, terminator included. Every output of these operations fits it. */
#define PATH_CAP 260

/* Compose out [out] (PATH_CAP bytes) from root, dir, base and ext [in] (empty texts for absent
 * components; null counts as empty). A backslash goes between root and what follows unless the
 * root ends in one, and between dir and the name unless dir ends in a backslash or a colon;
 * a dir of exactly "." adds nothing; a non-empty ext follows a full stop. The components may
 * live in out. True with out holding the path. False, with out emptied, when the path would not
 * fit PATH_CAP (a cut path names another file: callers fail,
 * STATUS_INVALID_NAME for a file name, STATUS_FAILED otherwise),
 * or, out untouched, when out is null. */
truth_t path_compose(char *out, const char *root, const char *dir, const char *base,
                     const char *ext);

/* Split path [in] into root, dir, base and ext [out], each a PATH_CAP buffer; all four are
 * always written. A rooted path (\... or X:\...) delivers its whole directory as the root (X:\
 * for a file at the drive's root), with a backslash kept at its end when the path ends in one;
 * dir is used only by relative paths (X: for X:name). A bare name is all base; the extension
 * follows the last full stop of the last component (not one before another full stop or a
 * backslash). Null, empty, and paths of PATH_CAP characters or more (which cannot be opened and
 * whose parts might not fit) give four empty outputs. */
void path_split(const char *path, char *root, char *dir, char *base, char *ext);

/* The stored name of a compressed file, in place [in,out]: an underscore over the first
 * character of a base of 8 or more characters, or in front of a shorter one (base: a buffer of
 * at least 9 bytes). Null is ignored. */
void path_compressed_name(char *base);

/* A drive's root: the letter, a colon and a backslash. */
#define PATH_DRIVE_ROOT_CAP 4

/* The root X:\ of the drive letter [in] (its case kept) into root [out], PATH_DRIVE_ROOT_CAP
 * bytes. Null is ignored. */
void path_drive_root(char *root, char letter);

/* Clean up a typed drive root in place [in,out]: slashes become backslashes, trailing spaces,
 * TABs and LFs are cut (an all-blank text becomes empty); leading blanks stay. Null is
 * ignored. */
void path_trim_root(char *text);

#endif
