/* Conformance markers: which side applies where the tests run, and the report of those met. */
#include "support/conformance.h"

#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>

#include <vector>

#include "support/workstation.h"

const ws_difference WS_LIST_CUT_SHORT = {
    "a profile list cut short", WS_WINDOWS,
    "documented: a key or section list that does not fit ends in two NULs, the second in the "
    "buffer's last byte; Wine writes only the first"};

const ws_difference WS_EMPTY_DRIVE = {
    "a removable drive without medium", WS_WINDOWS,
    "documented: such a drive is not ready (ERROR_NOT_READY); Wine reads it as a volume with an "
    "empty label and refuses a label with ERROR_FILE_NOT_FOUND"};

namespace {

struct met_difference {
    const ws_difference *d;
    unsigned times;
};

std::vector<met_difference> &ws_met(void)
{
    static std::vector<met_difference> met;
    return met;
}

/* Printed after the last test, so that every run says how many marked differences it met. */
class ws_difference_report : public ::testing::Environment {
public:
    void TearDown() override
    {
        if (!ws_met().empty())
            printf("%s", ws_differences_report().c_str());
    }
};

const bool ws_report_registered =
    ::testing::AddGlobalTestEnvironment(new ws_difference_report) != NULL;

} // namespace

void ws_difference_met(const ws_difference &d)
{
    (void)ws_report_registered;
    for (met_difference &m : ws_met())
        if (m.d == &d || strcmp(m.d->name, d.name) == 0) {
            m.times++;
            return;
        }
    ws_met().push_back(met_difference{&d, 1});
}

ws_side ws_side_here(const ws_difference &d)
{
    ws_difference_met(d);
    if (ws_on_simulation())
        return d.simulation_follows;
    return ws_on_wine() ? WS_WINE : WS_WINDOWS;
}

std::string ws_differences_report(void)
{
    std::string out;
    char line[64];
    snprintf(line, sizeof line, "%u marked difference(s) between Wine and Windows met:\n",
             (unsigned)ws_met().size());
    out = line;
    for (const met_difference &m : ws_met()) {
        out += std::string("  ") + m.d->name + " (the simulation answers as " +
               (m.d->simulation_follows == WS_WINDOWS ? "Windows" : "Wine") + "; " + m.d->why +
               ")";
        snprintf(line, sizeof line, " x%u\n", m.times);
        out += line;
    }
    return out;
}
