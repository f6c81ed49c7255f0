/* Printing report's rows and groups, as text and as CSV. */
#include "report_print.h"

#include <algorithm>

#include "pack_names.h"
#include "report_time.h"

namespace vxpack {

std::string report_printable(const std::string &text)
{
    std::string shown(text);
    for (char &c : shown)
        if ((unsigned char)c < 0x20 || c == 0x7f)
            c = '?';
    return shown;
}

std::string report_csv_field(const std::string &text)
{
    std::string field = report_printable(text);
    if (!field.empty() && std::string("=+-@").find(field[0]) != std::string::npos)
        field = "'" + field;
    bool quote = field.find_first_of(",\"\r\n") != std::string::npos ||
                 (!field.empty() && (field[0] == ' ' || field.back() == ' '));
    if (!quote)
        return field;
    std::string quoted = "\"";
    for (char c : field)
        quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

namespace {

/* "message at TIME, status 27, shown message 27" */
std::string failure_cell(const report_pass &p)
{
    std::string s = p.result + " at " + p.time;
    if (!p.status.empty())
        s += ", status " + p.status;
    if (!p.message.empty())
        s += ", shown message " + p.message;
    return s;
}

std::string stamp_cell(const report_row &row, const report_file &f,
                       const registered_clients &clients)
{
    std::string mine = f.last.stamp.empty() ? "(none)" : f.last.stamp;
    if (row.registered < 0)
        return mine + ", not registered";
    if (row.stamp_matches)
        return mine + " = server";
    return mine + ", server " + clients.all[row.registered].stamp;
}

/* A workstation's name: as the lists spell it when they register it. */
std::string row_name(const report_row &row, const report_file &f,
                     const registered_clients &clients)
{
    return row.registered >= 0 ? clients.all[row.registered].name : f.client;
}

/* The file that names a registered client but is not a sound report, or NULL. */
const report_file *damaged_report_of(const std::vector<report_file> &files,
                                     const report_view &view, const std::string &client)
{
    for (size_t i : view.damaged)
        if (!files[i].client.empty() && names_same(files[i].client, client))
            return &files[i];
    return NULL;
}

void print_table(FILE *out, const std::vector<std::vector<std::string>> &table)
{
    std::vector<size_t> width;
    for (const auto &line : table)
        for (size_t c = 0; c < line.size(); c++) {
            if (width.size() <= c)
                width.push_back(0);
            width[c] = std::max(width[c], line[c].size());
        }
    for (const auto &line : table) {
        std::string text;
        for (size_t c = 0; c < line.size(); c++)
            text += c + 1 == line.size() ? line[c]
                                         : line[c] + std::string(width[c] - line[c].size() + 2, ' ');
        while (!text.empty() && text.back() == ' ')
            text.pop_back();
        fprintf(out, "%s\n", text.c_str());
    }
}

void print_group(FILE *out, const std::string &title, const std::vector<std::string> &lines)
{
    if (lines.empty()) {
        fprintf(out, "%s: none\n", title.c_str());
        return;
    }
    fprintf(out, "%s (%zu):\n", title.c_str(), lines.size());
    for (const std::string &line : lines)
        fprintf(out, "  %s\n", line.c_str());
}

} // namespace

void report_print_text(FILE *out, const report_context &ctx,
                       const std::vector<report_file> &files, const registered_clients &clients,
                       const report_view &view)
{
    fprintf(out, "Pass reports in %s, as of %s\n", report_printable(ctx.folder_shown).c_str(),
            ctx.now.c_str());
    std::string lists;
    for (const std::string &l : ctx.lists_read)
        lists += (lists.empty() ? "" : " and ") + report_printable(l);
    fprintf(out, "Registered clients: %zu, from %s\n\n", clients.all.size(),
            lists.empty() ? "no client list" : lists.c_str());

    if (view.rows.empty()) {
        fprintf(out, "No workstation has left a report.\n");
    } else {
        std::vector<std::vector<std::string>> table;
        table.push_back({"CLIENT", "LAST PASS", "RESULT", "STAMP", "LAST FAILURE"});
        for (const report_row &row : view.rows) {
            const report_file &f = files[row.file];
            std::string failure;
            if (row.failure_shown)
                failure = failure_cell(f.failure);
            table.push_back({row_name(row, f, clients), f.last.time + " (" + report_ago(row.age) + ")",
                             f.last.result, stamp_cell(row, f, clients), failure});
        }
        for (auto &line : table)
            for (std::string &cell : line)
                cell = report_printable(cell);
        print_table(out, table);
    }
    fprintf(out, "\n");

    std::vector<std::string> lines;
    for (size_t c : view.never) {
        const report_file *damaged = damaged_report_of(files, view, clients.all[c].name);
        lines.push_back(report_printable(clients.all[c].name) +
                        (damaged ? " (its report " + report_printable(damaged->name) +
                                       " is damaged: see below)"
                                 : ""));
    }
    print_group(out, "Registered clients that never reported", lines);
    lines.clear();
    for (size_t r : view.unregistered)
        lines.push_back(report_printable(files[view.rows[r].file].client));
    print_group(out, "Reports from names that are not registered", lines);
    lines.clear();
    for (size_t r : view.stale)
        lines.push_back(report_printable(files[view.rows[r].file].client) + ", last pass " +
                        report_ago(view.rows[r].age));
    print_group(out, "Last pass older than " + std::to_string(ctx.stale_days) + " days", lines);
    lines.clear();
    for (size_t i : view.damaged)
        lines.push_back(report_printable(files[i].shown) + ": " +
                        report_printable(files[i].problem));
    print_group(out, "Damaged or foreign files in the folder", lines);

    fprintf(out, "\n%zu of %zu registered client%s reported a current pass within %u days.\n",
            view.current, clients.all.size(), clients.all.size() == 1 ? "" : "s",
            ctx.stale_days);
}

void report_print_csv(FILE *out, const report_context &ctx,
                      const std::vector<report_file> &files, const registered_clients &clients,
                      const report_view &view)
{
    (void)ctx;
    static const char *const header[] = {
        "Client",        "Registered",   "Report",         "Last pass",     "Days ago",
        "Result",        "Mode",         "Status",         "Message",       "Stamp",
        "Server stamp",  "Stamp current", "Computer",      "Agent",         "Last failure",
        "Failure result", "Failure status", "Failure message", "Stale",      "Problem"};
    const size_t columns = sizeof header / sizeof header[0];
    auto put = [&](const std::vector<std::string> &fields) {
        std::string line;
        for (size_t c = 0; c < columns; c++)
            line += (c ? "," : "") + report_csv_field(c < fields.size() ? fields[c] : "");
        fprintf(out, "%s\n", line.c_str());
    };
    put(std::vector<std::string>(header, header + columns));
    for (const report_row &row : view.rows) {
        const report_file &f = files[row.file];
        const report_pass &l = f.last, &x = f.failure;
        bool registered = row.registered >= 0;
        bool failure = row.failure_shown;
        put({row_name(row, f, clients), registered ? "yes" : "no", f.shown, l.time,
             row.age < 0 ? "" : std::to_string(row.age / 86400), l.result, l.mode, l.status,
             l.message, l.stamp, registered ? clients.all[row.registered].stamp : "",
             registered ? (row.stamp_matches ? "yes" : "no") : "", l.computer, l.agent,
             failure ? x.time : "", failure ? x.result : "", failure ? x.status : "",
             failure ? x.message : "", row.stale ? "yes" : "no",
             registered ? "" : "not registered"});
    }
    for (size_t c : view.never) {
        const report_file *damaged = damaged_report_of(files, view, clients.all[c].name);
        put({clients.all[c].name, "yes", damaged ? damaged->shown : "", "", "", "", "", "", "",
             "", clients.all[c].stamp, "", "", "", "", "", "", "", "",
             damaged ? "never reported: its report " + damaged->problem : "never reported"});
    }
    for (size_t i : view.damaged) {
        const report_file &f = files[i];
        const registered_client *c = f.client.empty() ? NULL : report_find_client(clients, f.client);
        put({f.client, f.client.empty() ? "" : c ? "yes" : "no", f.shown, "", "", "", "", "",
             "", "", c ? c->stamp : "", "", "", "", "", "", "", "", "", f.problem});
    }
}

} // namespace vxpack
