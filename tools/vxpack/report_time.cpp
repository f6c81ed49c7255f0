/* Local times of the pass reports, and ages in words. */
#include "report_time.h"

#include <cstdlib>
#include <ctime>

namespace vxpack {

static bool report_digits(const std::string &text, size_t at, size_t n, int *value)
{
    int v = 0;
    for (size_t i = at; i < at + n; i++) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        v = v * 10 + (text[i] - '0');
    }
    *value = v;
    return true;
}

/* Days from 1601-01-01 to the given date of the Gregorian calendar. */
static int64_t report_days(int year, int month, int day)
{
    static const int before_month[] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
    int64_t y = year - 1601;
    int64_t days = y * 365 + y / 4 - y / 100 + y / 400 + before_month[month - 1] + day - 1;
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return days + (leap && month > 2 ? 1 : 0);
}

bool report_time_parse(const std::string &text, int64_t *seconds)
{
    static const int month_days[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    int year, month, day, hour, minute, second;
    if (text.size() != 19 || text[4] != '-' || text[7] != '-' || text[10] != ' ' ||
        text[13] != ':' || text[16] != ':')
        return false;
    if (!report_digits(text, 0, 4, &year) || !report_digits(text, 5, 2, &month) ||
        !report_digits(text, 8, 2, &day) || !report_digits(text, 11, 2, &hour) ||
        !report_digits(text, 14, 2, &minute) || !report_digits(text, 17, 2, &second))
        return false;
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    if (year < 1601 || month < 1 || month > 12 || day < 1 || day > month_days[month - 1] ||
        (month == 2 && day == 29 && !leap) || hour > 23 || minute > 59 || second > 59)
        return false;
    *seconds = ((report_days(year, month, day) * 24 + hour) * 60 + minute) * 60 + second;
    return true;
}

bool report_now(int64_t *seconds, std::string *text, std::string *error)
{
    const char *fixed = getenv(REPORT_NOW_VARIABLE);
    if (fixed != NULL && fixed[0] != '\0') {
        if (!report_time_parse(fixed, seconds)) {
            *error = std::string(REPORT_NOW_VARIABLE) + "=" + fixed +
                     ": give a local time as YYYY-MM-DD hh:mm:ss";
            return false;
        }
        *text = fixed;
        return true;
    }
    time_t clock = time(NULL);
    struct tm *local = localtime(&clock);
    char buf[32];
    if (local == NULL || strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", local) != 19 ||
        !report_time_parse(buf, seconds)) {
        *error = "the clock gives no local time";
        return false;
    }
    *text = buf;
    return true;
}

std::string report_ago(int64_t s)
{
    if (s < 0)
        return "in the future";
    if (s < 60)
        return "just now";
    if (s < 3600)
        return std::to_string(s / 60) + " min ago";
    if (s < 2 * 86400)
        return std::to_string(s / 3600) + " h ago";
    return std::to_string(s / 86400) + " days ago";
}

} // namespace vxpack
