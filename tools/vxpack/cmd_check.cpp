/* vxpack check: a shared home read as the agent reads it, and what would make a client fail or
 * surprise its administrator, each finding pointed at its file, section and line. */
#include <algorithm>
#include <cstdio>

#include "check_ini.h"
#include "home_lists.h"
#include "pack_host.h"
#include "pack_names.h"
#include "pack_report.h"
#include "vxpack.h"
#include "agent/agent.h"
#include "platform/status.h"

namespace vxpack {

namespace {

/* A client list this long is read over the network at every log-on, by profile calls that
 * each scan it from the top. */
const size_t CHECK_LARGE_LIST = 65536;

struct finding {
    std::string file;
    int line;            /* 0: the file as a whole */
    std::string section; /* empty: none */
    std::string text;
};

void say(std::vector<finding> *out, const list_file &f, int line, const std::string &section,
         const std::string &text)
{
    out->push_back(finding{f.shown, line, section, text});
}

std::string quoted(const std::string &s)
{
    return "\"" + s + "\"";
}

/* The message box a status gives a client started from its own disk. */
std::string message_of(status_t rc)
{
    return quoted(agent_status_text(rc));
}

void check_stamp(std::vector<finding> *out, const list_file &f, const ini_section &s,
                 const ini_key &k)
{
    size_t length = stamp_compared_length(k.value);
    if (k.value.empty() || length == std::string::npos)
        return;
    std::string prefix = k.value.substr(0, length);
    say(out, f, k.line, s.name,
        "TIMESTAMP " + quoted(k.value) + " is compared only as far as " + quoted(prefix) +
            ": the agent compares numbers separated by full stops or commas, so every stamp "
            "that begins " + quoted(prefix) + " counts as equal to it (write it as 3.2.2 or "
            "2024.3.1)");
}

/* The client sections of one list: twice listed, without a stamp, stamps that compare
 * otherwise than they read. */
void check_list(std::vector<finding> *out, const list_file &f, const list_file *earlier)
{
    if (f.size > CHECK_LARGE_LIST)
        say(out, f, 0, "",
            "is " + report_size(f.size) + ": every client reads it from the server at each "
                "log-on, so a list this long slows log-on; remove clients that are gone");
    for (size_t i = 0; i < f.sections.size(); i++) {
        const ini_section &s = f.sections[i];
        size_t first = ini_find(f.index, s.name);
        if (first != i) {
            say(out, f, s.line, s.name,
                "the client is listed a second time (first at line " +
                    std::to_string(f.sections[first].line) +
                    "): the agent reads only the first section");
            continue;
        }
        const ini_key *stamp = NULL;
        for (const ini_key &k : s.keys) {
            if (!k.has_value || !ini_same(k.name, "TIMESTAMP"))
                continue;
            if (stamp != NULL) {
                say(out, f, k.line, s.name,
                    "TIMESTAMP is given a second time (first at line " +
                        std::to_string(stamp->line) + "): the agent reads only the first");
                continue;
            }
            stamp = &k;
            check_stamp(out, f, s, k);
        }
        std::string value;
        bool registered_here = agent_reads_stamp(f, s.name, &value);
        if (!registered_here)
            say(out, f, s.line, s.name,
                stamp == NULL ? "the client's section has no TIMESTAMP: it is not registered "
                                "by this list"
                              : "the client's TIMESTAMP is empty: it is not registered by "
                                "this list");
        if (earlier == NULL || !registered_here)
            continue;
        size_t at = ini_find(earlier->index, s.name);
        std::string stamp_there;
        if (at != std::string::npos && agent_reads_stamp(*earlier, s.name, &stamp_there))
            say(out, f, s.line, s.name,
                "the client is also in " + earlier->shown + " (line " +
                    std::to_string(earlier->sections[at].line) + ", TIMESTAMP " +
                    quoted(stamp_there) + "), which the agent asks first: this entry is never "
                    "read");
    }
}

void check_settings(std::vector<finding> *out, const list_file &vcsm)
{
    if (!vcsm.present) {
        say(out, vcsm, 0, "",
            "is missing: every client fails before it is checked, and one started from its "
            "own disk shows " + message_of(STATUS_VALUE_ABSENT));
        return;
    }
    int line = 0;
    for (const ini_section &s : vcsm.sections)
        if (line == 0 && ini_same(s.name, "Vornex"))
            line = s.line;
    for (const char *key : {"HOST_MACHINE", "BACKUP"}) {
        std::string value;
        if (agent_reads(vcsm, "Vornex", key, &value))
            continue;
        say(out, vcsm, line, "Vornex",
            std::string(key) + (line == 0 ? " is missing: the file has no [Vornex] section"
                                          : " is missing or empty") +
                "; every client fails before it is checked, and one started from its own disk "
                "shows " + message_of(STATUS_VALUE_ABSENT));
    }
}

void print_findings(std::vector<finding> found)
{
    /* Within a file, top to bottom. */
    std::vector<std::string> files;
    for (const finding &f : found)
        if (std::find(files.begin(), files.end(), f.file) == files.end())
            files.push_back(f.file);
    auto rank = [&](const finding &f) {
        return std::make_pair(std::find(files.begin(), files.end(), f.file) - files.begin(),
                              f.line);
    };
    std::stable_sort(found.begin(), found.end(),
                     [&](const finding &a, const finding &b) { return rank(a) < rank(b); });
    for (const finding &f : found) {
        std::string where = f.file;
        if (f.line > 0)
            where += ":" + std::to_string(f.line);
        if (!f.section.empty())
            where += ": [" + f.section + "]";
        printf("%s: %s\n", where.c_str(), f.text.c_str());
    }
}

} // namespace

int cmd_check(const pack_global &g, const check_options &o)
{
    (void)g;
    std::string home, error;
    if (!host_folder(o.home, &home, &error)) {
        report_failure(o.home, error);
        return EXIT_FAILED;
    }
    std::string shown = shown_folder(o.home);
    std::vector<finding> found;

    list_file vcsm, clients, newclients;
    const std::string sep(1, host_separator());
    load_list(shown + sep + "vxinst", home + "\\vxinst", "VCSM.ini", &vcsm);
    load_list(shown + sep + "vxinst", home + "\\vxinst", "clients.ini", &clients);
    for (const list_file *f : {&vcsm, &clients})
        if (!f->refused.empty()) {
            report_failure(f->shown, f->refused);
            return EXIT_FAILED;
        }
    check_settings(&found, vcsm);

    if (clients.present)
        check_list(&found, clients, NULL);
    else
        say(&found, clients, 0, "",
            "is missing: a client is registered only by the new-client list newclnts.ini");

    if (!o.clients_dir.empty()) {
        std::string dir;
        if (!host_folder(o.clients_dir, &dir, &error)) {
            report_failure(o.clients_dir, error);
            return EXIT_FAILED;
        }
        if (load_list(o.clients_dir, dir, "newclnts.ini", &newclients))
            check_list(&found, newclients, clients.present ? &clients : NULL);
        if (!newclients.refused.empty()) {
            report_failure(newclients.shown, newclients.refused);
            return EXIT_FAILED;
        }
    }

    list_file installer;
    installer.shown = shown + sep + "bin" + sep + "vxinst.exe";
    installer.path = home + "\\bin\\vxinst.exe";
    if (!names_exists(installer.path))
        say(&found, installer, 0, "",
            "is missing: a client that is not current cannot start the installer, and one "
            "started from its own disk shows " + quoted(agent_launch_failure_text(2)));

    print_findings(found);
    if (found.empty()) {
        printf("%s: nothing found that would make a client fail\n", shown.c_str());
        return EXIT_DONE;
    }
    printf("%zu finding%s\n", found.size(), found.size() == 1 ? "" : "s");
    return EXIT_FAILED;
}

} // namespace vxpack
