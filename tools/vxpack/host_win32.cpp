/* vxpack on Windows: paths go to the library as the user typed them, made whole. */
#include "pack_host.h"

#include <io.h>
#include <stdio.h>
#include <sys/stat.h>

#include <algorithm>
#include <iostream>

#include "pack_interrupt.h"
#include "pack_names.h"
#include "platform/os.h"
#include "platform/path.h"

namespace vxpack {

bool host_start(bool trace, std::string *error)
{
    if (trace) {
        /* The library calls Win32 directly here; only the Linux build sees each call. */
        *error = "--trace lists the platform calls in the Linux build only (under Wine, "
                 "WINEDEBUG=+relay shows them)";
        return false;
    }
    return true;
}

void host_stop(void)
{
}

/* The whole path with backslashes: the library splits paths at backslashes only. */
static bool host_full_path(const std::string &given, std::string *full, std::string *error)
{
    std::string path = given;
    std::replace(path.begin(), path.end(), '/', '\\');
    char buf[PATH_CAP];
    DWORD n = GetFullPathNameA(path.c_str(), sizeof buf, buf, NULL);
    /* A name too long for the call fails it with an error of its own: told apart from a path
     * the call cannot make sense of. */
    DWORD why = n == 0 ? GetLastError() : 0;
    if (n >= sizeof buf || why == ERROR_FILENAME_EXCED_RANGE || why == ERROR_BUFFER_OVERFLOW) {
        *error = "the name is longer than Windows allows";
        return false;
    }
    if (n == 0) {
        *error = "not a valid path";
        return false;
    }
    *full = buf;
    return true;
}

bool host_folder(const std::string &given, std::string *win, std::string *error)
{
    std::string full;
    if (!host_full_path(given.empty() ? "." : given, &full, error))
        return false;
    DWORD attributes = GetFileAttributesA(full.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        *error = "no such folder";
        return false;
    }
    while (!full.empty() && full.back() == '\\')
        full.pop_back();
    *win = full;
    return true;
}

bool host_file(const std::string &given, std::string *win, std::string *error)
{
    std::string full;
    if (!host_full_path(given, &full, error))
        return false;
    size_t slash = full.rfind('\\');
    if (slash == std::string::npos || slash + 1 == full.size()) {
        *error = "names a folder, not a file";
        return false;
    }
    /* A device (CON, NUL, COM1, a pipe) is reached through the \\.\ namespace: opening
     * one reads the console or waits for a writer. */
    if (full.compare(0, 4, "\\\\.\\") == 0 || full.compare(0, 4, "\\\\?\\") == 0) {
        *error = "is not a regular file";
        return false;
    }
    DWORD attributes = GetFileAttributesA(full.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        *error = "is a folder";
        return false;
    }
    std::string folder;
    if (!host_folder(full.substr(0, slash + 1), &folder, error))
        return false;
    *win = full;
    return true;
}

char host_separator(void)
{
    return '\\';
}

bool host_plain_or_missing(const std::string &win, std::string *error)
{
    DWORD attributes = GetFileAttributesA(win.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return true;
    *error = "is a folder";
    return false;
}

bool host_create_new(const std::string &win, bool *taken, std::string *error)
{
    *taken = false;
    HANDLE h = CreateFileA(win.c_str(), GENERIC_WRITE, 0, NULL, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, NULL);
    if (h == INVALID_HANDLE_VALUE) {
        DWORD e = GetLastError();
        /* A folder of that name answers access denied. */
        if (e == ERROR_FILE_EXISTS || e == ERROR_ALREADY_EXISTS ||
            (e == ERROR_ACCESS_DENIED && GetFileAttributesA(win.c_str()) != INVALID_FILE_ATTRIBUTES))
            *taken = true;
        else
            *error = "cannot be made (error " + std::to_string(e) + ")";
        return false;
    }
    CloseHandle(h);
    return true;
}

bool host_watch(const std::string &win)
{
    return interrupt_watch(win.c_str(), false);
}

void host_forget(const std::string &win)
{
    interrupt_forget(win.c_str());
}

bool host_file_state_of(const std::string &win, host_file_state *state)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(win.c_str(), GetFileExInfoStandard, &data))
        return false;
    state->size = ((uint64_t)data.nFileSizeHigh << 32) | data.nFileSizeLow;
    state->written = (int64_t)(((uint64_t)data.ftLastWriteTime.dwHighDateTime << 32) |
                               data.ftLastWriteTime.dwLowDateTime);
    return true;
}

bool host_file_size(const std::string &given, uint64_t *size)
{
    struct _stati64 st;
    if (_stati64(given.c_str(), &st) != 0 || !(st.st_mode & _S_IFREG))
        return false;
    *size = (uint64_t)st.st_size;
    return true;
}

bool host_stderr_is_terminal(void)
{
    return _isatty(_fileno(stderr)) != 0;
}

bool host_read_line(std::string *line)
{
    if (!std::getline(std::cin, *line))
        return false;
    if (!line->empty() && line->back() == '\r')
        line->pop_back();
    return true;
}

bool host_list_files(const std::string &win_folder, std::vector<std::string> *names)
{
    WIN32_FIND_DATAA found;
    HANDLE h = FindFirstFileA((win_folder + "\\*").c_str(), &found);
    names->clear();
    if (h == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_FILE_NOT_FOUND;
    do {
        if (!(found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN)) &&
            found.cFileName[0] != '.')
            names->push_back(found.cFileName);
    } while (FindNextFileA(h, &found));
    FindClose(h);
    std::sort(names->begin(), names->end());
    return true;
}

} // namespace vxpack

namespace vxpack {

bool host_list_entries(const std::string &win_folder, std::vector<host_entry> *entries)
{
    WIN32_FIND_DATAA found;
    HANDLE h = FindFirstFileA((win_folder + "\\*").c_str(), &found);
    entries->clear();
    if (h == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_FILE_NOT_FOUND;
    do {
        std::string name = found.cFileName;
        if (name == "." || name == "..")
            continue;
        host_entry entry{name, HOST_FILE,
                         ((uint64_t)found.nFileSizeHigh << 32) | found.nFileSizeLow};
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            entry.kind = HOST_FOLDER;
            entry.size = 0;
        } else if (found.dwFileAttributes & FILE_ATTRIBUTE_DEVICE) {
            entry.kind = HOST_OTHER;
            entry.size = 0;
        }
        entries->push_back(entry);
    } while (FindNextFileA(h, &found));
    FindClose(h);
    std::sort(entries->begin(), entries->end(),
              [](const host_entry &a, const host_entry &b) { return a.name < b.name; });
    return true;
}

bool host_subfolder(const std::string &given, const std::string &relative, std::string *out,
                    std::string *error)
{
    /* Windows finds every part in any letter case itself. */
    std::string path = given.empty() ? "." : given;
    while (path.size() > 1 && (path.back() == '\\' || path.back() == '/'))
        path.pop_back();
    std::vector<std::string> parts;
    if (!names_folder_parts(relative, &parts, error))
        return false;
    for (const std::string &part : parts)
        path += "\\" + part;
    *out = path;
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        *error = "no such folder";
        return false;
    }
    return true;
}

} // namespace vxpack
