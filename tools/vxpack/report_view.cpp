/* Sorting the reports into rows and groups. */
#include "report_view.h"

#include <algorithm>

#include "pack_names.h"
#include "platform/text.h"

namespace vxpack {

/* Whether the failure section tells more than the last pass: the pass that wrote it came
 * after the last success, or is the last pass itself. */
static bool report_failure_shown(const report_file &f)
{
    if (!f.failure.present)
        return false;
    bool last_failed = f.last.result == "message" || f.last.result == "failed";
    return last_failed || f.failure.when > f.last.when;
}

/* Of two sound reports of one client, the one to keep out of sight. */
static void report_drop_duplicates(std::vector<report_file> *files)
{
    for (size_t i = 0; i < files->size(); i++) {
        report_file &a = (*files)[i];
        if (!a.problem.empty())
            continue;
        for (size_t j = i + 1; j < files->size(); j++) {
            report_file &b = (*files)[j];
            if (!b.problem.empty() || !names_same(a.client, b.client))
                continue;
            report_file &older = b.last.when > a.last.when ? a : b;
            const report_file &newer = &older == &a ? b : a;
            older.problem = "is a second report of " + newer.client + ", whose name differs "
                            "only in letter case (Windows sees one of them): the newer one, " +
                            newer.name + ", is shown";
            if (&older == &a)
                break;
        }
    }
}

report_view report_group(std::vector<report_file> *files, const registered_clients &clients,
                         int64_t now, uint32_t stale_days)
{
    report_view view{};
    report_drop_duplicates(files);
    std::vector<bool> reported(clients.all.size(), false);
    const int64_t limit = (int64_t)stale_days * 86400;
    for (size_t i = 0; i < files->size(); i++) {
        const report_file &f = (*files)[i];
        if (!f.problem.empty()) {
            view.damaged.push_back(i);
            continue;
        }
        report_row row{};
        row.file = i;
        const registered_client *c = report_find_client(clients, f.client);
        row.registered = c == NULL ? -1 : (int)(c - &clients.all[0]);
        row.age = now - f.last.when;
        row.stale = row.age > limit;
        row.current = f.last.result == "current" && !row.stale;
        row.failure_shown = report_failure_shown(f);
        row.stamp_matches = c != NULL && text_versions_equal(f.last.stamp.c_str(),
                                                             c->stamp.c_str(), 1024);
        if (c != NULL) {
            reported[row.registered] = true;
            if (row.current)
                view.current++;
        }
        view.rows.push_back(row);
    }
    std::stable_sort(view.rows.begin(), view.rows.end(),
                     [&](const report_row &a, const report_row &b) {
                         /* By name as Windows compares names. */
                         return names_folded((*files)[a.file].client) <
                                names_folded((*files)[b.file].client);
                     });
    for (size_t r = 0; r < view.rows.size(); r++) {
        if (view.rows[r].registered < 0)
            view.unregistered.push_back(r);
        if (view.rows[r].stale)
            view.stale.push_back(r);
    }
    for (size_t c = 0; c < clients.all.size(); c++)
        if (!reported[c])
            view.never.push_back(c);
    view.all_current = !clients.all.empty() && view.current == clients.all.size();
    return view;
}

} // namespace vxpack
