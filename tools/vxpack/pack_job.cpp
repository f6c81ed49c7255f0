/* The write-then-rename of one made file, with its failures told in words. */
#include "pack_job.h"

#include "pack_host.h"
#include "pack_output.h"
#include "pack_report.h"

namespace vxpack {

bool job_write(const pack_file &source, const pack_file &target, const std::string &what,
               uint64_t total, bool bar, const std::function<status_t(const char *temp)> &work,
               const job_explain_fn &explain, const job_inputs_fn &inputs)
{
    pack_output out;
    std::string error;
    if (!output_begin(target.path, &out, &error)) {
        report_failure(target.shown, error);
        return false;
    }
    /* A file written to while it is read gives bytes of neither version: note its state
     * before, and refuse the result when it differs after. */
    host_file_state before, after;
    bool watched = host_file_state_of(source.path, &before);
    progress_begin(what, total, bar);
    status_t rc = work(out.temp_path.c_str());
    progress_end();
    /* Checked whatever work answered: a change explains a failure too (a stream cut short, or
     * damaged, by the writer). */
    std::string changed;
    if (watched &&
        (!host_file_state_of(source.path, &after) || after.size != before.size ||
         after.written != before.written))
        changed = source.shown;
    if (changed.empty() && inputs)
        changed = inputs();
    if (!changed.empty()) {
        output_abandon(&out);
        report_failure(changed, JOB_CHANGED_WORDS);
        return false;
    }
    if (rc == STATUS_OK) {
        rc = output_commit(&out);
        if (rc != STATUS_OK) {
            report_failure(target.shown, report_words(rc, REPORT_TARGET));
            return false;
        }
        return true;
    }
    output_abandon(&out);
    std::string file, words;
    if (!explain || !explain(rc, &file, &words)) {
        report_side side = report_side_of(rc);
        file = side == REPORT_SOURCE ? source.shown : target.shown;
        words = report_words(rc, side);
    }
    report_failure(file, words);
    return false;
}

} // namespace vxpack
