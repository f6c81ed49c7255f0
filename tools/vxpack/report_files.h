/* The pass reports of a folder, each file read and judged: a client's report, or a damaged or
 * foreign file that is listed as such. Users write these files, so nothing in them is
 * trusted: sizes, lines and bytes are bounded before anything is shown. */
#ifndef TOOLS_VXPACK_REPORT_FILES_H
#define TOOLS_VXPACK_REPORT_FILES_H

#include <stdint.h>

#include <string>
#include <vector>

namespace vxpack {

/* A report larger than this is not read: the agent writes a few hundred bytes. */
const uint64_t REPORT_FILE_MAX = 65536;
/* A line longer than this was not written by the agent, whose values fit 1024 bytes. */
const size_t REPORT_LINE_MAX = 1100;

/* One section of a report, [Last pass] or [Last failure]: its values as the profile
 * functions read them (a missing key reads empty). */
struct report_pass {
    bool present;
    std::string time, mode, result, status, message, stamp, server_stamp, computer, agent;
    int64_t when; /* time in seconds (report_time_parse), when present */
};

/* One entry of the folder. */
struct report_file {
    std::string name;    /* the entry's name in the folder */
    std::string shown;   /* the folder and the name, as the user sees them */
    std::string client;  /* the client the name speaks for (NAME of NAME.INI), or empty */
    std::string problem; /* why it is damaged or foreign, in words; empty for a sound report */
    report_pass last, failure;
};

/* Read every entry of the folder, shown as folder_shown and listed as win_folder (Windows);
 * false with *error when it cannot be listed. Each entry is judged, never skipped. */
bool report_read_folder(const std::string &folder_shown, const std::string &win_folder,
                        std::vector<report_file> *files, std::string *error);

/* Judge the bytes of a report called name [in] (client and problem of *f). */
void report_judge(const std::string &bytes, report_file *f);

/* The client a file name speaks for: NAME for NAME.INI (letter case aside), where NAME is a
 * name the agent writes a report for; empty otherwise. */
std::string report_client_of(const std::string &file_name);

/* Whether the result [in] is one of the agent's: current, installer started, message, failed. */
bool report_result_known(const std::string &result);

} // namespace vxpack

#endif
