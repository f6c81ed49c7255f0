/* Windows paths composed from and split into root, directory, base name and extension. */
#ifndef PLATFORM_PATH_H
#define PLATFORM_PATH_H

#include "platform/status.h"

/* A path buffer: 260 bytes, terminator included. Every output of these operations fits it. */
#define PATH_CAP 260

/* Compose out (PATH_CAP bytes) from the four components (empty texts for absent ones; a null
 * root is empty). False, with out emptied, when the path would not fit: a cut path would name
 * another file, so callers fail (23 for a file name, 29 otherwise). */
truth_t path_compose(char *out, const char *root, const char *dir, const char *base,
                     const char *ext);
/* Split path into the four components, each a PATH_CAP buffer; all four are always written. A
 * rooted path delivers its whole directory as the root component. */
void path_split(const char *path, char *root, char *dir, char *base, char *ext);
/* The stored name of a compressed file: an underscore over the first character of a base of 8
 * or more characters, or in front of a shorter one (base: a buffer of PATH_CAP bytes). */
void path_compressed_name(char *base);
/* Clean up a typed drive root in place: slashes become backslashes, trailing spaces, TABs and
 * LFs are cut. */
void path_trim_root(char *text);

#endif
