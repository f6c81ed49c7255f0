/* Reading the pass reports of a folder, and telling a sound report from anything else. */
#include "report_files.h"

#include <cstdio>

#include "check_ini.h"
#include "pack_host.h"
#include "pack_names.h"
#include "pack_report.h"
#include "report_time.h"
#include "agent/agent.h"
#include "platform/os.h"

namespace vxpack {

static const char *const report_results[] = {"current", "installer started", "message",
                                             "failed"};

bool report_result_known(const std::string &result)
{
    for (const char *known : report_results)
        if (result == known)
            return true;
    return false;
}

std::string report_client_of(const std::string &file_name)
{
    if (file_name.size() <= 4 || !ini_same(file_name.substr(file_name.size() - 4), ".INI"))
        return "";
    std::string client = file_name.substr(0, file_name.size() - 4);
    return agent_report_name_fits(client.c_str()) ? client : "";
}

/* The first line longer than REPORT_LINE_MAX (1-based), or 0. */
static int report_long_line(const std::string &bytes)
{
    int line = 1;
    size_t start = 0;
    for (size_t i = 0; i <= bytes.size(); i++) {
        if (i < bytes.size() && bytes[i] != '\r' && bytes[i] != '\n')
            continue;
        if (i - start > REPORT_LINE_MAX)
            return line;
        if (i + 1 < bytes.size() && bytes[i] == '\r' && bytes[i + 1] == '\n')
            i++;
        start = i + 1;
        line++;
    }
    return 0;
}

/* Whether the bytes are text as the profile functions write it: no NUL and no control
 * character but TAB, the line ends and the Ctrl-Z an old editor leaves at the end. */
static bool report_is_text(const std::string &bytes)
{
    for (unsigned char c : bytes)
        if ((c < 0x20 && c != '\t' && c != '\r' && c != '\n' && c != 0x1a) || c == 0x7f)
            return false;
    return true;
}

static void report_section(const std::vector<ini_section> &sections, const ini_index &index,
                           const char *name, report_pass *pass)
{
    *pass = report_pass{};
    size_t at = ini_find(index, name);
    if (at == std::string::npos)
        return;
    const ini_section &s = sections[at];
    pass->present = true;
    struct {
        const char *key;
        std::string *value;
    } keys[] = {{"Time", &pass->time},         {"Mode", &pass->mode},
                {"Result", &pass->result},     {"Status", &pass->status},
                {"Message", &pass->message},   {"Stamp", &pass->stamp},
                {"Server stamp", &pass->server_stamp}, {"Computer", &pass->computer},
                {"Agent", &pass->agent}};
    for (auto &k : keys)
        if (!ini_value(s, k.key, k.value))
            k.value->clear();
}

/* Why a section read from a report cannot be shown, or empty. */
static std::string report_section_problem(const char *name, report_pass *pass)
{
    std::string where = std::string("[") + name + "] ";
    if (pass->time.empty())
        return where + "has no Time";
    if (!report_time_parse(pass->time, &pass->when))
        return where + "Time \"" + pass->time + "\" is not a time YYYY-MM-DD hh:mm:ss";
    if (!report_result_known(pass->result))
        return where + "Result \"" + pass->result +
               "\" is none the agent writes (current, installer started, message, failed)";
    return "";
}

void report_judge(const std::string &bytes, report_file *f)
{
    f->client = report_client_of(f->name);
    f->last = report_pass{};
    f->failure = report_pass{};
    if (f->client.empty()) {
        f->problem = "is not a report: the agent names its reports CLIENTNAME.INI";
        return;
    }
    if (bytes.size() > REPORT_FILE_MAX) {
        f->problem = "is larger than " + report_size(REPORT_FILE_MAX) +
                     ": the agent writes a few hundred bytes; not read";
        return;
    }
    if (!report_is_text(bytes)) {
        f->problem = "holds binary data, not a report's text";
        return;
    }
    if (int line = report_long_line(bytes)) {
        f->problem = "line " + std::to_string(line) + " is longer than " +
                     std::to_string(REPORT_LINE_MAX) + " bytes: the agent writes no such line";
        return;
    }
    std::vector<ini_section> sections = ini_scan(bytes);
    ini_index index = ini_index_of(sections);
    report_section(sections, index, "Last pass", &f->last);
    report_section(sections, index, "Last failure", &f->failure);
    if (!f->last.present) {
        f->problem = "has no [Last pass] section";
        return;
    }
    f->problem = report_section_problem("Last pass", &f->last);
    if (f->problem.empty() && f->failure.present)
        f->problem = report_section_problem("Last failure", &f->failure);
}

bool report_read_folder(const std::string &folder_shown, const std::string &win_folder,
                        std::vector<report_file> *files, std::string *error)
{
    std::vector<host_entry> entries;
    if (!host_list_entries(win_folder, &entries)) {
        *error = "cannot be listed";
        return false;
    }
    files->clear();
    for (const host_entry &e : entries) {
        report_file f{};
        f.name = e.name;
        f.shown = folder_shown + host_separator() + e.name;
        f.client = report_client_of(e.name);
        if (e.kind == HOST_FOLDER) {
            f.problem = "is a folder, not a report";
        } else if (e.kind == HOST_OTHER) {
            f.problem = "is not a regular file";
        } else if (f.client.empty()) {
            report_judge("", &f);
        } else if (e.size > REPORT_FILE_MAX) {
            f.problem = "is " + report_size(e.size) + ": the agent writes a few hundred "
                        "bytes; not read";
        } else {
            std::string bytes;
            if (!names_read(win_folder + "\\" + e.name, &bytes, REPORT_FILE_MAX))
                f.problem = "cannot be read";
            else
                report_judge(bytes, &f);
        }
        files->push_back(f);
    }
    return true;
}

} // namespace vxpack
