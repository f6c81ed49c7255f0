/* vxpack report: the pass reports of a clients directory's report folder, set against the
 * clients the lists register. */
#include <cstdio>

#include "home_lists.h"
#include "pack_host.h"
#include "pack_report.h"
#include "report_clients.h"
#include "report_files.h"
#include "report_print.h"
#include "report_time.h"
#include "report_view.h"
#include "vxpack.h"

namespace vxpack {

namespace {

/* The folder [Reports] Folder names, as the agent takes it; false, the failure told, when
 * reports are off for the home or its settings cannot be read. */
bool report_folder_of_home(const std::string &home_given, std::string *folder)
{
    std::string home, error;
    if (!host_folder(home_given, &home, &error)) {
        report_failure(home_given, error);
        return false;
    }
    list_file vcsm;
    const std::string sep(1, host_separator());
    load_list(shown_folder(home_given) + sep + "vxinst", home + "\\vxinst", "VCSM.ini", &vcsm);
    if (!vcsm.refused.empty()) {
        report_failure(vcsm.shown, vcsm.refused);
        return false;
    }
    if (!vcsm.present) {
        report_failure(vcsm.shown, "does not exist: is " + home_given + " a shared home?");
        return false;
    }
    if (!agent_reads(vcsm, "Reports", "Folder", folder) || folder->empty()) {
        report_failure(vcsm.shown, "has no [Reports] Folder=, so the agents write no reports "
                                   "for this home: switch them on there (docs/reports.md), "
                                   "or give the folder with --folder");
        return false;
    }
    /* The agent writes nowhere else: only a folder inside the clients directory. */
    if (folder->find(':') != std::string::npos || (*folder)[0] == '\\' ||
        (*folder)[0] == '/' || folder->find("..") != std::string::npos) {
        report_failure(vcsm.shown, "[Reports] Folder=" + *folder + " is not a folder inside "
                                   "the clients directory, so the agents write no reports");
        return false;
    }
    return true;
}

} // namespace

int cmd_report(const pack_global &g, const report_options &o)
{
    (void)g;
    int64_t now = 0;
    report_context ctx{};
    std::string error;
    if (!report_now(&now, &ctx.now, &error)) {
        fprintf(stderr, "vxpack: %s\n", error.c_str());
        return EXIT_FAILED;
    }
    ctx.stale_days = o.stale_days;

    std::string clients_dir;
    if (!host_folder(o.clients_dir, &clients_dir, &error)) {
        report_failure(o.clients_dir, error);
        return EXIT_FAILED;
    }
    std::string folder_given = o.folder;
    if (!o.home.empty()) {
        std::string relative;
        if (!report_folder_of_home(o.home, &relative))
            return EXIT_FAILED;
        std::string shown = shown_folder(o.clients_dir) + host_separator() + relative;
        if (!host_subfolder(o.clients_dir, relative, &folder_given, &error)) {
            report_failure(shown, error + " (the home's [Reports] Folder=" + relative +
                                      "; the administrator makes it, the agent never does)");
            return EXIT_FAILED;
        }
    }
    std::string folder;
    if (!host_folder(folder_given, &folder, &error)) {
        report_failure(folder_given, error);
        return EXIT_FAILED;
    }
    ctx.folder_shown = shown_folder(folder_given);

    list_file clients{}, new_clients{};
    const std::string sep(1, host_separator());
    if (!o.home.empty()) {
        std::string home;
        if (!host_folder(o.home, &home, &error)) {
            report_failure(o.home, error);
            return EXIT_FAILED;
        }
        load_list(shown_folder(o.home) + sep + "vxinst", home + "\\vxinst", "clients.ini",
                  &clients);
    }
    load_list(o.clients_dir, clients_dir, "newclnts.ini", &new_clients);
    for (const list_file *f : {&clients, &new_clients}) {
        if (!f->refused.empty()) {
            report_failure(f->shown, f->refused);
            return EXIT_FAILED;
        }
        if (f->present)
            ctx.lists_read.push_back(f->shown);
    }

    std::vector<report_file> files;
    if (!report_read_folder(ctx.folder_shown, folder, &files, &error)) {
        report_failure(ctx.folder_shown, error);
        return EXIT_FAILED;
    }
    registered_clients registered = report_registered(clients, new_clients);
    report_view view = report_group(&files, registered, now, o.stale_days);
    if (o.csv)
        report_print_csv(stdout, ctx, files, registered, view);
    else
        report_print_text(stdout, ctx, files, registered, view);
    return view.all_current ? EXIT_DONE : EXIT_FAILED;
}

} // namespace vxpack
