/* report's two printers: aligned text for a person, CSV for a spreadsheet. Both show the same
 * rows and groups; every text that came from a report is made harmless first (users write
 * those files). */
#ifndef TOOLS_VXPACK_REPORT_PRINT_H
#define TOOLS_VXPACK_REPORT_PRINT_H

#include <cstdio>
#include <string>
#include <vector>

#include "report_view.h"

namespace vxpack {

/* What the printers say about the run itself. */
struct report_context {
    std::string folder_shown;            /* the reports' folder as the user sees it */
    std::string now;                     /* the moment looked from, as text */
    uint32_t stale_days;
    std::vector<std::string> lists_read; /* the client lists read, as shown */
};

void report_print_text(FILE *out, const report_context &ctx,
                       const std::vector<report_file> &files, const registered_clients &clients,
                       const report_view &view);

void report_print_csv(FILE *out, const report_context &ctx,
                      const std::vector<report_file> &files, const registered_clients &clients,
                      const report_view &view);

/* One CSV field: quoted when it holds a comma, quote, line end or outer blank (quotes doubled),
 * and led by ' when it begins as a spreadsheet formula would (= + - @), so that opening the
 * file computes nothing a user wrote into a report. */
std::string report_csv_field(const std::string &text);

/* Text for a terminal: every control character shown as ?, so that a report cannot move the
 * cursor or change the terminal's settings. */
std::string report_printable(const std::string &text);

} // namespace vxpack

#endif
