/* Whole-file helpers of the test workstation, over the platform boundary. */
#include "support/workstation.h"

#include "platform/os.h"

bool ws_write_file(const std::string &win_path, const std::string &bytes)
{
    FILE *f = crt_fopen(win_path.c_str(), "wb");
    if (f == NULL)
        return false;
    bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (fclose(f) != 0)
        ok = false;
    return ok;
}

bool ws_read_file(const std::string &win_path, std::string *bytes)
{
    FILE *f = crt_fopen(win_path.c_str(), "rb");
    if (f == NULL)
        return false;
    bytes->clear();
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0)
        bytes->append(buf, n);
    bool ok = !ferror(f);
    fclose(f);
    return ok;
}

bool ws_file_exists(const std::string &win_path)
{
    return crt_access(win_path.c_str(), 0) == 0;
}

std::string ws_content(const std::string &win_path)
{
    std::string bytes;
    if (!ws_read_file(win_path, &bytes))
        return "<none>";
    return bytes;
}

bool ws_read_stamps(const std::string &win_path, FILETIME stamps[3])
{
    HFILE h = _lopen(win_path.c_str(), OF_READ);
    if (h == HFILE_ERROR)
        return false;
    bool ok = GetFileTime((HANDLE)(intptr_t)h, &stamps[0], &stamps[1], &stamps[2]) != 0;
    _lclose(h);
    return ok;
}

bool ws_write_stamps(const std::string &win_path, const FILETIME stamps[3])
{
    HFILE h = _lopen(win_path.c_str(), OF_READWRITE);
    if (h == HFILE_ERROR)
        return false;
    bool ok = SetFileTime((HANDLE)(intptr_t)h, &stamps[0], &stamps[1], &stamps[2]) != 0;
    _lclose(h);
    return ok;
}

std::string ws_join(const std::string &dir, const std::string &name)
{
    if (!dir.empty() && dir.back() == '\\')
        return dir + name;
    return dir + "\\" + name;
}
