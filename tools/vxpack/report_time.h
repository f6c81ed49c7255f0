/* The times of the pass reports: the agent's local "YYYY-MM-DD hh:mm:ss", the moment report
 * looks from, and how long ago a pass was, in words. */
#ifndef TOOLS_VXPACK_REPORT_TIME_H
#define TOOLS_VXPACK_REPORT_TIME_H

#include <stdint.h>

#include <string>

namespace vxpack {

/* The environment variable that fixes "now" for a run (YYYY-MM-DD hh:mm:ss, local time), so
 * that a report can be read as of another moment, and an example or test prints the same every
 * time. */
#define REPORT_NOW_VARIABLE "VXPACK_NOW"

/* Seconds since 1601-01-01 00:00:00 of a local time written exactly as YYYY-MM-DD hh:mm:ss
 * [in] (years 1601 to 9999, a real day of its month, hours below 24, minutes and seconds below
 * 60). False, *seconds untouched, for anything else. Both times of a comparison are local, so
 * a difference across a change to or from summer time is an hour out, no more. */
bool report_time_parse(const std::string &text, int64_t *seconds);

/* Now as the same seconds, and as text: from VXPACK_NOW when set, else the clock's local
 * time. False with *error when VXPACK_NOW is set but not such a time. */
bool report_now(int64_t *seconds, std::string *text, std::string *error);

/* How long before now a time was, in words: "just now", "12 min ago", "30 h ago" (below two
 * days), "3 days ago",
 * or "in the future" for a time after now (a workstation's clock ahead). */
std::string report_ago(int64_t seconds_before_now);

} // namespace vxpack

#endif
