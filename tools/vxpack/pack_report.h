/* What vxpack tells its user: a failure as one line that names the file and says in words what
 * went wrong, and the progress bar of long work. */
#ifndef TOOLS_VXPACK_PACK_REPORT_H
#define TOOLS_VXPACK_PACK_REPORT_H

#include <stdint.h>

#include <string>

#include "platform/status.h"

namespace vxpack {

/* Which side of a copy a status speaks of. */
enum report_side {
    REPORT_SOURCE, /* the file being read */
    REPORT_TARGET  /* the file being written */
};

/* Words for a status of the library, as said of a file on the given side ("does not exist",
 * "cannot be written: the disk is full or write-protected", ...); the number follows in
 * brackets for statuses without words of their own. */
std::string report_words(status_t rc, report_side side);

/* The side a copy's status speaks of: the target for write failures, the source otherwise. */
report_side report_side_of(status_t rc);

/* "vxpack: FILE: WHAT" on standard error. */
void report_failure(const std::string &file, const std::string &what);

/* Sizes for people: 1234 bytes, 12.1 KB, 3.4 MB (1 KB = 1024 bytes). */
std::string report_size(uint64_t bytes);

/* A size as people write it: 1457664, 20K, 1.5M (K = 1024 bytes, M = 1024 K), where the
 * floppy sizes 360K, 720K, 1.2M, 1.44M and 2.88M mean what such a disk holds (1.44M is
 * 1457664). False when it is not one, or not above 0. */
bool parse_size(const std::string &text, uint64_t *bytes);

/* The progress bar, on standard error while enabled: bytes done of the total (0: not known),
 * rate and time left, redrawn at most ten times a second and wiped at the end. */
void progress_begin(const std::string &what, uint64_t total, bool enabled);
void progress_set(uint64_t done);
/* The engine's progress callback: adds bytes to what is done. */
void progress_callback(int32_t user, uint32_t bytes);
void progress_end(void);

/* The bar's text for done of total bytes after seconds, in width columns. */
std::string progress_line(const std::string &what, uint64_t done, uint64_t total,
                          double seconds, int width);

} // namespace vxpack

#endif
