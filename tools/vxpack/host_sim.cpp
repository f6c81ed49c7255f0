/* vxpack on Linux: the library runs over the simulated workstation, and every folder the user
 * names becomes a fixed drive of it, so that the library's own code writes every byte. */
#include "pack_host.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <string.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <iostream>

#include "pack_interrupt.h"
#include "pack_names.h"
#include "platform/path.h"
#include "platform/text.h"
#include "sim/sim.h"

namespace vxpack {

namespace {

/* Host folder -> drive letter, in the order they were first named. */
std::vector<std::pair<std::string, char>> host_drives;

/* Letters for folders: C: upward. A: and B: are the removable drives of volume sets. */
const char HOST_FIRST_LETTER = 'C';

bool host_is_dir(const std::string &path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

/* Free space as the host reports it, in 4096-byte clusters: a full disk fails a write here as
 * it fails on the host. */
void host_drive_geometry(char letter, const std::string &dir)
{
    struct statvfs fs;
    uint64_t free_clusters = 262144, total_clusters = 524288;
    if (statvfs(dir.c_str(), &fs) == 0) {
        free_clusters = (uint64_t)fs.f_bavail * fs.f_frsize / 4096;
        total_clusters = (uint64_t)fs.f_blocks * fs.f_frsize / 4096;
    }
    if (free_clusters > 0xFFFFFFFFu)
        free_clusters = 0xFFFFFFFFu;
    if (total_clusters > 0xFFFFFFFFu)
        total_clusters = 0xFFFFFFFFu;
    if (total_clusters < free_clusters)
        total_clusters = free_clusters;
    sim_set_drive_geometry(letter, 8, 512, (DWORD)free_clusters, (DWORD)total_clusters);
}

/* Why a name cannot be one path component of the simulated Windows, or NULL when it can. A
 * name ending in a full stop or a blank would lose it there and name another file. */
const char *host_name_unfit(const std::string &name)
{
    if (name.empty())
        return "names a folder, not a file";
    for (char c : name)
        if ((unsigned char)c < 0x20 || strchr("\\:*?\"<>|", c) != NULL)
            return "a Windows file name cannot hold \\ : * ? \" < > | or control characters";
    if (name.back() == '.' || name.back() == ' ')
        return "a Windows file name cannot end in a full stop or a blank";
    return NULL;
}

/* The workstation keeps Windows' rule and finds a name in any letter case, the exact spelling
 * first. So a name of the host's means that file only when it exists as spelled, or when no
 * other spelling of it does: otherwise another file would be read or replaced. Sets *other to
 * the first other spelling (sorted) when the name is missing as spelled. */
bool host_other_spelling(const std::string &dir, const std::string &name, std::string *other)
{
    DIR *d = opendir(dir.c_str());
    if (d == NULL)
        return false;
    std::vector<std::string> found;
    while (struct dirent *e = readdir(d))
        if (e->d_name != name && text_equal(e->d_name, name.c_str(), TEXT_NO_LIMIT) &&
            strlen(e->d_name) == name.size())
            found.push_back(e->d_name);
    closedir(d);
    if (found.empty())
        return false;
    std::sort(found.begin(), found.end());
    *other = found[0];
    return true;
}

/* Refuse what the workstation would take for another file, or what is not a file: a folder,
 * FIFO, device or socket (opening a FIFO would wait for a writer forever). */
bool host_file_is_meant(const std::string &dir, const std::string &given_dir,
                        const std::string &name, std::string *error)
{
    std::string host = dir + "/" + name;
    struct stat st;
    if (lstat(host.c_str(), &st) == 0) {
        if (stat(host.c_str(), &st) != 0)
            return true; /* a dangling link: opening it says what is wrong */
        if (S_ISDIR(st.st_mode)) {
            *error = "is a folder";
            return false;
        }
        if (!S_ISREG(st.st_mode)) {
            *error = "is not a regular file";
            return false;
        }
        return true;
    }
    std::string other;
    if (host_other_spelling(dir, name, &other)) {
        *error = "names no file here, but " + given_dir + other +
                 " does, and Windows takes names that differ only in letter case for one: "
                 "rename one of them, or give the name as it is spelled";
        return false;
    }
    return true;
}

/* The folders of the kernel's own files (devices, processes, the system's state), or "" when
 * real [in] lies in none: vxpack makes no file there, not even one named after a device. */
std::string host_system_folder(const std::string &real)
{
    for (const char *top : {"/dev", "/proc", "/sys"}) {
        size_t n = strlen(top);
        if (real.compare(0, n, top) == 0 && (real.size() == n || real[n] == '/'))
            return top;
    }
    return "";
}

std::string host_system_words(const std::string &top)
{
    return "lies in " + top + ", which holds the system's own files: vxpack reads and makes "
           "no files there";
}

} // namespace

bool host_start(bool trace, std::string *error)
{
    (void)error;
    sim_reset();
    host_drives.clear();
    if (trace)
        sim_set_trace(stderr);
    return true;
}

void host_stop(void)
{
    sim_set_trace(NULL);
    sim_reset();
    host_drives.clear();
}

/* The drive of a host folder, and its real host path. */
static bool host_folder_drive(const std::string &given, std::string *win, std::string *host,
                       std::string *error)
{
    char real[PATH_MAX];
    const std::string dir = given.empty() ? "." : given;
    if (!host_is_dir(dir) || realpath(dir.c_str(), real) == NULL) {
        *error = "no such folder";
        return false;
    }
    char letter = 0;
    for (const auto &d : host_drives)
        if (d.first == real)
            letter = d.second;
    if (letter == 0) {
        letter = (char)(HOST_FIRST_LETTER + host_drives.size());
        if (letter > 'Z') {
            *error = "too many folders in one command (at most 24)";
            return false;
        }
        sim_add_drive(letter, DRIVE_FIXED, real);
        host_drive_geometry(letter, real);
        host_drives.push_back({real, letter});
    }
    *win = std::string(1, letter) + ":";
    *host = real;
    return true;
}

bool host_folder(const std::string &given, std::string *win, std::string *error)
{
    std::string host;
    if (!host_folder_drive(given, win, &host, error))
        return false;
    std::string system = host_system_folder(host);
    if (!system.empty()) {
        *error = host_system_words(system);
        return false;
    }
    return true;
}

bool host_file(const std::string &given, std::string *win, std::string *error)
{
    size_t slash = given.rfind('/');
    std::string dir = slash == std::string::npos ? "." : given.substr(0, slash + 1);
    std::string name = slash == std::string::npos ? given : given.substr(slash + 1);
    std::string root, host;
    if (!host_folder_drive(dir, &root, &host, error))
        return false;
    if (!host_file_is_meant(host, slash == std::string::npos ? "" : dir, name, error))
        return false;
    std::string system = host_system_folder(host);
    if (!system.empty()) {
        *error = host_system_words(system);
        return false;
    }
    if (const char *unfit = host_name_unfit(name)) {
        *error = unfit;
        return false;
    }
    std::string path = root + "\\" + name;
    if (path.size() >= PATH_CAP) {
        *error = "the name is longer than Windows allows";
        return false;
    }
    *win = path;
    return true;
}

char host_separator(void)
{
    return '/';
}

bool host_plain_or_missing(const std::string &win, std::string *error)
{
    std::string host = sim_host_path(win.c_str());
    struct stat st;
    if (host.empty() || stat(host.c_str(), &st) != 0 || S_ISREG(st.st_mode))
        return true;
    *error = S_ISDIR(st.st_mode) ? "is a folder" : "is not a regular file";
    return false;
}

bool host_create_new(const std::string &win, bool *taken, std::string *error)
{
    /* Every run of vxpack has a workstation of its own over the same host folders: only the
     * host's exclusive create keeps two of them apart. */
    *taken = false;
    std::string host = sim_host_path(win.c_str());
    if (host.empty()) {
        *error = "its folder does not exist";
        return false;
    }
    int fd = open(host.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        if (errno == EEXIST)
            *taken = true;
        else
            *error = strerror(errno);
        return false;
    }
    close(fd);
    return true;
}

bool host_watch(const std::string &win)
{
    std::string host = sim_host_path(win.c_str());
    return !host.empty() && interrupt_watch(host.c_str(), false);
}

void host_forget(const std::string &win)
{
    std::string host = sim_host_path(win.c_str());
    if (!host.empty())
        interrupt_forget(host.c_str());
}

bool host_file_state_of(const std::string &win, host_file_state *state)
{
    std::string host = sim_host_path(win.c_str());
    struct stat st;
    if (host.empty() || stat(host.c_str(), &st) != 0)
        return false;
    state->size = (uint64_t)st.st_size;
    state->written = (int64_t)st.st_mtim.tv_sec * 1000000000 + st.st_mtim.tv_nsec;
    return true;
}

bool host_file_size(const std::string &given, uint64_t *size)
{
    struct stat st;
    if (stat(given.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    *size = (uint64_t)st.st_size;
    return true;
}

bool host_stderr_is_terminal(void)
{
    return isatty(2) != 0;
}

bool host_read_line(std::string *line)
{
    return (bool)std::getline(std::cin, *line);
}

bool host_list_files(const std::string &win_folder, std::vector<std::string> *names)
{
    std::string dir = sim_host_path((win_folder + "\\").c_str());
    DIR *d = dir.empty() ? NULL : opendir(dir.c_str());
    if (d == NULL)
        return false;
    names->clear();
    while (struct dirent *e = readdir(d)) {
        std::string name = e->d_name;
        struct stat st;
        if (name[0] != '.' && stat((dir + "/" + name).c_str(), &st) == 0 && S_ISREG(st.st_mode))
            names->push_back(name);
    }
    closedir(d);
    std::sort(names->begin(), names->end());
    return true;
}

} // namespace vxpack

namespace vxpack {

bool host_list_entries(const std::string &win_folder, std::vector<host_entry> *entries)
{
    std::string dir = sim_host_path((win_folder + "\\").c_str());
    DIR *d = dir.empty() ? NULL : opendir(dir.c_str());
    if (d == NULL)
        return false;
    entries->clear();
    while (struct dirent *e = readdir(d)) {
        std::string name = e->d_name;
        if (name == "." || name == "..")
            continue;
        struct stat st;
        host_entry entry{name, HOST_OTHER, 0};
        if (stat((dir + "/" + name).c_str(), &st) == 0) {
            if (S_ISREG(st.st_mode)) {
                entry.kind = HOST_FILE;
                entry.size = (uint64_t)st.st_size;
            } else if (S_ISDIR(st.st_mode)) {
                entry.kind = HOST_FOLDER;
            }
        }
        entries->push_back(entry);
    }
    closedir(d);
    std::sort(entries->begin(), entries->end(),
              [](const host_entry &a, const host_entry &b) { return a.name < b.name; });
    return true;
}

bool host_subfolder(const std::string &given, const std::string &relative, std::string *out,
                    std::string *error)
{
    std::string path = given.empty() ? "." : given;
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    std::vector<std::string> parts;
    if (!names_folder_parts(relative, &parts, error))
        return false;
    for (const std::string &part : parts) {
        std::string spelled = path + "/" + part;
        if (!host_is_dir(spelled)) {
            /* A Windows client asking the server for REPORTS is given reports. */
            std::vector<std::string> others;
            if (DIR *d = opendir(path.c_str())) {
                while (struct dirent *e = readdir(d))
                    if (strlen(e->d_name) == part.size() &&
                        text_equal(e->d_name, part.c_str(), TEXT_NO_LIMIT) &&
                        host_is_dir(path + "/" + e->d_name))
                        others.push_back(e->d_name);
                closedir(d);
            }
            std::sort(others.begin(), others.end());
            if (others.empty()) {
                *error = "no such folder";
                *out = spelled;
                return false;
            }
            if (others.size() > 1) {
                *out = spelled;
                *error = "is spelled " + others[0] + " and " + others[1] +
                         " here, and Windows takes names that differ only in letter case for "
                         "one: rename one of them";
                return false;
            }
            spelled = path + "/" + others[0];
        }
        path = spelled;
    }
    *out = path;
    return true;
}

} // namespace vxpack
