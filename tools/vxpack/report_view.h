/* What report shows: one row per workstation that left a sound report, and the groups an
 * administrator acts on. */
#ifndef TOOLS_VXPACK_REPORT_VIEW_H
#define TOOLS_VXPACK_REPORT_VIEW_H

#include <stdint.h>

#include <string>
#include <vector>

#include "report_clients.h"
#include "report_files.h"

namespace vxpack {

struct report_row {
    size_t file;         /* index in the files */
    int registered;      /* index in the registered clients, or -1 */
    int64_t age;         /* seconds from the last pass to now (below 0: a clock ahead) */
    bool stale;          /* the last pass is older than the stale limit */
    bool current;        /* a current pass within the stale limit */
    bool failure_shown;  /* [Last failure] is more recent than the last success */
    bool stamp_matches;  /* the report's Stamp equals the server's TIMESTAMP now */
};

struct report_view {
    std::vector<report_row> rows;     /* by client name */
    std::vector<size_t> never;        /* registered clients without a sound report */
    std::vector<size_t> unregistered; /* rows of names no list registers */
    std::vector<size_t> stale;        /* rows whose last pass is older than the limit */
    std::vector<size_t> damaged;      /* files that are not sound reports, in folder order */
    size_t current;                   /* registered clients with a current pass in the limit */
    bool all_current;                 /* every registered client, and at least one */
};

/* Group the files [in,out] against the clients [in], as of now [in] (seconds) with a stale
 * limit of stale_days [in]. Of two sound reports of one client (names that differ in letter
 * case alone), the one with the later pass is shown and the other gets a problem naming it. */
report_view report_group(std::vector<report_file> *files, const registered_clients &clients,
                         int64_t now, uint32_t stale_days);

} // namespace vxpack

#endif
