/* Failure lines in words and the progress bar. */
#include "pack_report.h"

#include <chrono>
#include <cctype>
#include <cstdio>
#include <cstdlib>

namespace vxpack {

namespace {

struct report_row {
    status_t rc;
    const char *source; /* said of the file being read */
    const char *target; /* said of the file being written */
};

const report_row REPORT_ROWS[] = {
    {STATUS_NO_MEMORY, "not enough memory to read it", "not enough memory to write it"},
    {STATUS_CANCELLED, "cancelled", "cancelled"},
    {STATUS_READ_ERROR, "cannot be read, or ends too early", "cannot be read"},
    {STATUS_WRITE_ERROR, "cannot be written", "cannot be written: the disk is full or "
                                              "write-protected, or the folder cannot take it"},
    {STATUS_NOT_FOUND, "does not exist", "its folder does not exist"},
    {STATUS_INVALID_NAME, "is not a valid file name", "is not a valid file name"},
    {STATUS_ACCESS_DENIED, "access is denied", "access is denied"},
    {STATUS_FILE_CORRUPT, "is not a compressed file: its LZW stream is not valid",
     "is damaged"},
    {STATUS_SHARING_VIOLATION, "is in use by another program", "is in use by another program"},
    {STATUS_LOCK_VIOLATION, "is locked by another program", "is locked by another program"},
};

struct progress_state {
    bool enabled;
    std::string what;
    uint64_t total;
    uint64_t done;
    std::chrono::steady_clock::time_point start;
    std::chrono::steady_clock::time_point drawn;
    bool shown;
};

progress_state progress;

const int PROGRESS_WIDTH = 79;

void progress_draw(bool force)
{
    auto now = std::chrono::steady_clock::now();
    if (!force && progress.shown && now - progress.drawn < std::chrono::milliseconds(100))
        return;
    double seconds = std::chrono::duration<double>(now - progress.start).count();
    fprintf(stderr, "\r%s",
            progress_line(progress.what, progress.done, progress.total, seconds, PROGRESS_WIDTH)
                .c_str());
    fflush(stderr);
    progress.drawn = now;
    progress.shown = true;
}

std::string clock_text(double seconds)
{
    long s = (long)(seconds + 0.5);
    char buf[32];
    if (s >= 3600)
        snprintf(buf, sizeof buf, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
    else
        snprintf(buf, sizeof buf, "%ld:%02ld", s / 60, s % 60);
    return buf;
}

} // namespace

std::string report_words(status_t rc, report_side side)
{
    for (const report_row &row : REPORT_ROWS)
        if (row.rc == rc)
            return side == REPORT_SOURCE ? row.source : row.target;
    return "the operation failed (status " + std::to_string(rc) + ")";
}

report_side report_side_of(status_t rc)
{
    return rc == STATUS_WRITE_ERROR ? REPORT_TARGET : REPORT_SOURCE;
}

void report_failure(const std::string &file, const std::string &what)
{
    progress_end();
    /* Keep the order of results and failures when both streams go to one file. */
    fflush(stdout);
    fprintf(stderr, "vxpack: %s: %s\n", file.c_str(), what.c_str());
}

std::string report_size(uint64_t bytes)
{
    char buf[32];
    if (bytes < 10240)
        snprintf(buf, sizeof buf, "%llu bytes", (unsigned long long)bytes);
    else if (bytes < 10485760)
        snprintf(buf, sizeof buf, "%.1f KB", bytes / 1024.0);
    else
        snprintf(buf, sizeof buf, "%.1f MB", bytes / 1048576.0);
    return buf;
}

/* What a formatted FAT floppy disk's data area holds: its clusters times the cluster size,
 * after the boot sector, both FATs and the root folder. 2.88M: 5760 sectors less 1 + 2 x 9 +
 * 15 leave 5726, which make 2863 clusters of 1024 bytes. */
struct floppy_size {
    const char *number, *unit;
    uint64_t bytes;
};
const floppy_size FLOPPY_SIZES[] = {
    {"360", "K", 362496},   {"720", "K", 730112},    {"1.2", "M", 1213952},
    {"1.44", "M", 1457664}, {"2.88", "M", 2931712},
};

bool parse_size(const std::string &text, uint64_t *bytes)
{
    char *end = NULL;
    if (text.empty() || !(isdigit((unsigned char)text[0]) || text[0] == '.'))
        return false;
    double n = strtod(text.c_str(), &end);
    std::string number = text.substr(0, (size_t)(end - text.c_str()));
    std::string unit = end;
    if (unit == "k" || unit == "KB" || unit == "kB")
        unit = "K";
    else if (unit == "MB")
        unit = "M";
    else if (unit == "B")
        unit = "";
    for (const floppy_size &f : FLOPPY_SIZES)
        if (number == f.number && unit == f.unit) {
            *bytes = f.bytes;
            return true;
        }
    double scale = unit.empty() ? 1 : unit == "K" ? 1024 : unit == "M" ? 1048576 : 0;
    if (scale == 0 || n * scale < 1 || n * scale > 1e15)
        return false;
    *bytes = (uint64_t)(n * scale);
    return true;
}

std::string progress_line(const std::string &what, uint64_t done, uint64_t total,
                          double seconds, int width)
{
    std::string tail = "  " + report_size(done);
    if (total > 0)
        tail += " of " + report_size(total);
    if (seconds > 0.2 && done > 0) {
        double rate = done / seconds;
        tail += "  " + report_size((uint64_t)rate) + "/s";
        if (total > done)
            tail += "  " + clock_text((double)(total - done) / rate) + " left";
    }
    std::string head = what;
    if (total > 0) {
        int percent = (int)(done >= total ? 100 : done * 100 / total);
        const int bar = 20;
        int filled = (int)(done >= total ? bar : done * bar / total);
        head += " [" + std::string((size_t)filled, '#') + std::string((size_t)(bar - filled), '.') +
                "] " + std::to_string(percent) + "%";
    }
    std::string line = head + tail;
    if ((int)line.size() > width)
        line = line.substr(line.size() - (size_t)width);
    return line + std::string((size_t)(width - (int)line.size()), ' ');
}

void progress_begin(const std::string &what, uint64_t total, bool enabled)
{
    progress_end();
    progress.enabled = enabled;
    progress.what = what;
    progress.total = total;
    progress.done = 0;
    progress.shown = false;
    progress.start = std::chrono::steady_clock::now();
}

void progress_set(uint64_t done)
{
    progress.done = done;
    if (progress.enabled)
        progress_draw(false);
}

void progress_callback(int32_t user, uint32_t bytes)
{
    (void)user;
    progress_set(progress.done + bytes);
}

void progress_end(void)
{
    if (progress.enabled && progress.shown) {
        /* Wipe the bar: what follows is the result line or a failure. */
        fprintf(stderr, "\r%*s\r", PROGRESS_WIDTH, "");
        fflush(stderr);
    }
    progress.enabled = false;
    progress.shown = false;
}

} // namespace vxpack
