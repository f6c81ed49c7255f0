/* Files vxpack makes: written under a temporary name beside the final one and put in place
 * whole, so that a failure never leaves a half-written file under the final name. */
#ifndef TOOLS_VXPACK_PACK_OUTPUT_H
#define TOOLS_VXPACK_PACK_OUTPUT_H

#include <string>

#include "platform/status.h"

namespace vxpack {

struct pack_output {
    std::string final_path; /* the Windows path the file is to have */
    std::string temp_path;  /* where it is written meanwhile; empty once committed */
};

/* Make an empty temporary file beside final_path [in], under the first name that no file has
 * (~VXP0001.TMP, ~VXP0002.TMP, ...), made in one step so that it is this run's alone. False
 * with *error when the folder has no free name or the file cannot be made. */
bool output_begin(const std::string &final_path, pack_output *out, std::string *error);

/* Put the temporary file in the final name's place, replacing a file there: STATUS_OK, or
 * the status of the move (the temporary file is then removed). */
status_t output_commit(pack_output *out);

/* Remove the temporary file after a failure; nothing under the final name is touched. */
void output_abandon(pack_output *out);

} // namespace vxpack

#endif
