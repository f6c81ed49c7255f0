/* vxpack expand: the engine's decompressing copy, from each file's compressed name. */
#include <cstdio>

#include "pack_host.h"
#include "pack_interrupt.h"
#include "pack_job.h"
#include "pack_report.h"
#include "vxpack.h"
#include "platform/path.h"
#include "transfer/transfer.h"

namespace vxpack {

int cmd_expand(const pack_global &g, const std::vector<std::string> &files,
               const std::string &out_dir)
{
    std::vector<names_run> runs;
    for (const std::string &given : files) {
        std::string name = names_last(given);
        runs.push_back(names_run{given, names_beside_shown(given, "", names_compressed(name)),
                                 names_beside_shown(given, out_dir, name)});
    }
    if (!names_outputs_distinct(runs, "expands to"))
        return EXIT_FAILED;
    int code = EXIT_DONE;
    for (const std::string &given : files) {
        pack_file wanted, packed;
        std::string name = names_last(given);
        /* The engine reads the compressed name beside the name it is given. */
        if (!names_beside(given, out_dir, name, &wanted) ||
            !names_beside(given, "", names_compressed(name), &packed)) {
            code = EXIT_FAILED;
            continue;
        }
        if (names_same(wanted.path, packed.path)) {
            report_failure(packed.shown, "is its own expanded name: expand it into another "
                                         "folder with -o DIR");
            code = EXIT_FAILED;
            continue;
        }
        if (!names_exists(packed.path)) {
            std::string words = report_words(STATUS_NOT_FOUND, REPORT_SOURCE);
            if (!name.empty() && name[0] == '_')
                words += " (expand takes the expanded name: for " + name + " give " +
                         name.substr(1) + ")";
            report_failure(packed.shown, words);
            code = EXIT_FAILED;
            continue;
        }
        /* The source's own name, in the compressed file's folder: the engine composes the
         * compressed name from it and never opens it, so whatever holds that name is no
         * concern. */
        pack_file source;
        source.path = packed.path.substr(0, packed.path.rfind('\\') + 1) + name;
        uint64_t packed_size = 0;
        host_file_size(packed.shown, &packed_size);
        bool bar = !g.quiet && host_stderr_is_terminal();
        if (!job_write(packed, wanted, name, 0, bar, [&](const char *temp) {
                char label[PATH_CAP] = "";
                return transfer_file(source.path.c_str(), temp, 0, 1, 0, 0, 0, 0, 0, label, "",
                                     NULL, progress_callback, interrupt_cancel, 0, 0, 0, NULL,
                                     NULL);
            })) {
            code = EXIT_FAILED;
            continue;
        }
        uint64_t size = 0;
        host_file_size(wanted.shown, &size);
        if (!g.quiet)
            printf("%s -> %s: %llu -> %llu bytes\n", packed.shown.c_str(), wanted.shown.c_str(),
                   (unsigned long long)packed_size, (unsigned long long)size);
    }
    return code;
}

} // namespace vxpack
