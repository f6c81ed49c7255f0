/* One file made from another: written under a temporary name, put in place when whole, and
 * every failure told as one line naming the file it concerns. */
#ifndef TOOLS_VXPACK_PACK_JOB_H
#define TOOLS_VXPACK_PACK_JOB_H

#include <functional>
#include <string>

#include "pack_names.h"
#include "platform/status.h"

namespace vxpack {

/* How a failed status is told: the default names the source for read failures and the target
 * for write failures, in report_words' words; a command with statuses of its own words
 * returns them here (file and words), or false to keep the default. */
using job_explain_fn = std::function<bool(status_t rc, std::string *file, std::string *words)>;

/* What is said of an input that changed while it was read. */
#define JOB_CHANGED_WORDS "the file changed while it was read; nothing was written"

/* Watches the inputs of a job that reads more than its source (a join reads pieces): called
 * after the work, it returns the name (as shown) of an input whose size or write time is not
 * what it was before the work, or "". */
using job_inputs_fn = std::function<std::string()>;

/* Make target from source: work(temporary path) writes the file; then it replaces any file
 * under the target's name. The progress bar (what, total bytes; 0 when not known) runs while
 * work does. A source whose size or write time changed meanwhile fails the job ("the file
 * changed while it was read"); so does an input that inputs names, when given. True when the
 * target is in place; false after the failure was reported, with nothing left under the
 * target's name or the temporary one. */
bool job_write(const pack_file &source, const pack_file &target, const std::string &what,
               uint64_t total, bool bar, const std::function<status_t(const char *temp)> &work,
               const job_explain_fn &explain = job_explain_fn(),
               const job_inputs_fn &inputs = job_inputs_fn());

} // namespace vxpack

#endif
