/* The corpus's volume family: the volume, free-space and drive-type calls on the system drive's
 * root spelled many ways, on a folder below it, on a missing drive, and on names that are no
 * root at all. What differs between machines (serial number, free space) is left out, and so
 * is the scratch folder without its separator (its depth differs between them). */
#include "conformance/corpus.h"

#include <string.h>

#include "platform/os.h"
#include "support/workstation.h"

struct corpus_root {
    bool null;
    const char *text; /* "<scratch>" stands for the run's scratch folder */
};
static const corpus_root corpus_roots[] = {
    {true, ""},         {false, ""},            {false, "C:\\"},         {false, "C:"},
    {false, "C:/"},     {false, "C:\\."},       {false, "c:\\"},         {false, "C:\\\\"},
    {false, "C:\\windows"}, {false, "C:\\windows\\"}, {false, "C:\\nowhere\\"}, {false, "Q:\\"},
    {false, "Q:"},      {false, "\\"},          {false, "\\\\"},         {false, "a"},
    {false, "C"},       {false, "1:\\"},        {false, "C:\\.\\"},      {false, "C:\\..\\"},
    {false, " C:\\"},   {false, "C:\\ "},       {false, "<scratch>\\"},
};
static const uint32_t corpus_label_sizes[] = {0, 1, 2, 64, 261};
static const uint32_t corpus_fs_sizes[] = {0, 1, 4, 5, 64};

void corpus_make_volume(corpus_rng *rng, corpus_volume_case *out)
{
    *out = corpus_volume_case();
    uint32_t k = corpus_rng_below(rng, 100);
    out->call = k < 60 ? CORPUS_VOLUME_INFO : k < 80 ? CORPUS_DISK_FREE : CORPUS_DRIVE_TYPE;
    const corpus_root &r = corpus_pick(rng, corpus_roots);
    out->root.null = r.null;
    out->root.text = r.text;
    if (out->call == CORPUS_VOLUME_INFO) {
        out->label_size = corpus_pick(rng, corpus_label_sizes);
        out->fs_size = corpus_pick(rng, corpus_fs_sizes);
    }
}

std::string corpus_describe_volume(const corpus_volume_case &c)
{
    std::string root = corpus_quote_text(c.root);
    switch (c.call) {
    case CORPUS_VOLUME_INFO:
        return "GetVolumeInformationA(" + root + ", label " + corpus_num(c.label_size) +
               ", file system " + corpus_num(c.fs_size) + ")";
    case CORPUS_DISK_FREE: return "GetDiskFreeSpaceA(" + root + ")";
    default: return "GetDriveTypeA(" + root + ")";
    }
}

/* A buffer's text as the call left it: up to its first NUL, or "untouched" when the call
 * wrote nothing into it. */
static std::string corpus_buffer_text(const char *buf, uint32_t size)
{
    if (size == 0)
        return "NULL";
    if ((unsigned char)buf[0] == 0xCC)
        return "untouched";
    size_t n = 0;
    while (n < size && buf[n] != 0)
        n++;
    return corpus_quote(std::string(buf, n)) + (n == size ? " unterminated" : "");
}

std::string corpus_run_volume(const corpus_volume_case &c, const corpus_place_root &root)
{
    std::string text = c.root.text;
    size_t at = text.find("<scratch>");
    if (at != std::string::npos)
        text.replace(at, 9, root.dir);
    const char *r = c.root.null ? NULL : text.c_str();
    SetLastError(0);
    switch (c.call) {
    case CORPUS_VOLUME_INFO: {
        char label[300], fs[80];
        memset(label, 0xCC, sizeof label);
        memset(fs, 0xCC, sizeof fs);
        DWORD max_component = 0xCCCCCCCC, flags = 0xCCCCCCCC;
        BOOL ok = GetVolumeInformationA(r, c.label_size != 0 ? label : NULL, c.label_size, NULL,
                                        &max_component, &flags, c.fs_size != 0 ? fs : NULL,
                                        c.fs_size);
        if (!ok)
            return "FALSE GLE " + corpus_num((long long)GetLastError()) + " label " +
                   corpus_buffer_text(label, c.label_size) + " file system " +
                   corpus_buffer_text(fs, c.fs_size);
        return "TRUE label " + corpus_buffer_text(label, c.label_size) + " file system " +
               corpus_buffer_text(fs, c.fs_size) + " longest name " +
               corpus_num((long long)max_component);
    }
    case CORPUS_DISK_FREE: {
        DWORD g[4];
        if (GetDiskFreeSpaceA(r, &g[0], &g[1], &g[2], &g[3]))
            return "TRUE";
        return "FALSE GLE " + corpus_num((long long)GetLastError());
    }
    default: return corpus_num((long long)GetDriveTypeA(r));
    }
}
