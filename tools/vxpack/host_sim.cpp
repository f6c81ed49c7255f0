/* vxpack on Linux: the library runs over the simulated workstation, and every folder the user
 * names becomes a fixed drive of it, so that the library's own code writes every byte. */
#include "pack_host.h"

#include <dirent.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <iostream>

#include "platform/path.h"
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

/* A name the simulated Windows can hold as one path component. */
bool host_name_fits_windows(const std::string &name)
{
    return !name.empty() && name.find_first_of("\\:*?\"<>|") == std::string::npos;
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

bool host_folder(const std::string &given, std::string *win, std::string *error)
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
    return true;
}

bool host_file(const std::string &given, std::string *win, std::string *error)
{
    size_t slash = given.rfind('/');
    std::string dir = slash == std::string::npos ? "." : given.substr(0, slash + 1);
    std::string name = slash == std::string::npos ? given : given.substr(slash + 1);
    if (!host_name_fits_windows(name)) {
        *error = name.empty() ? "names a folder, not a file"
                              : "a Windows file name cannot hold \\ : * ? \" < > or |";
        return false;
    }
    std::string root;
    if (!host_folder(dir, &root, error))
        return false;
    if (host_is_dir(given)) {
        *error = "is a folder, not a file";
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
