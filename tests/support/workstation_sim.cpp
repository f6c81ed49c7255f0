/* The test workstation on the simulation: a fresh simulated machine with a C: drive. */
#include "support/workstation.h"

#include "sim/sim.h"

#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

std::string ws_fresh(void)
{
    sim_reset();
    std::string host = sim_make_temp_dir();
    mkdir((host + "/WINDOWS").c_str(), 0777);
    mkdir((host + "/vxtest").c_str(), 0777);
    sim_add_drive('C', DRIVE_FIXED, host.c_str());
    return "C:\\vxtest";
}

bool ws_removable_drives(ws_drives *out)
{
    std::string labelled = sim_make_temp_dir(), blank = sim_make_temp_dir();
    sim_add_drive('A', DRIVE_REMOVABLE, NULL);
    sim_add_drive('B', DRIVE_REMOVABLE, NULL);
    sim_add_drive('F', DRIVE_REMOVABLE, NULL);
    if (!sim_set_medium_label(labelled, WS_MEDIUM_LABEL) ||
        !sim_insert_medium('A', labelled.c_str(), 1, 512, 2847) ||
        !sim_insert_medium('F', blank.c_str(), 1, 512, 2847))
        return false;
    out->labelled = "A:\\";
    out->blank = "F:\\";
    out->empty = "B:\\";
    return true;
}

bool ws_on_simulation(void)
{
    return true;
}

bool ws_on_wine(void)
{
    return false;
}

bool ws_wow64(void)
{
    return sim_wow64();
}

std::string ws_platform(void)
{
    return "simulation";
}

void ws_reg_delete_tree(const std::string &, bool)
{
    /* sim_reset() in the next ws_fresh() empties the simulated registry. */
}

void ws_reg_delete_if_empty(const std::string &)
{
    /* As ws_reg_delete_tree. */
}

bool ws_make_dir(const std::string &win_path)
{
    /* The folder is made beside the simulated calls (there is no CreateDirectoryA): its
     * parent must exist and its name must be free. */
    size_t cut = win_path.rfind('\\');
    if (cut == std::string::npos)
        return false;
    std::string parent = sim_host_path(win_path.substr(0, cut).c_str());
    if (parent.empty() || GetFileAttributesA(win_path.c_str()) != INVALID_FILE_ATTRIBUTES)
        return false;
    return mkdir((parent + "/" + win_path.substr(cut + 1)).c_str(), 0777) == 0;
}

static std::string ws_host_bytes(const std::string &host)
{
    std::string bytes;
    int fd = open(host.c_str(), O_RDONLY);
    if (fd < 0)
        return "<unreadable>";
    char buf[4096];
    ssize_t n;
    while ((n = read(fd, buf, sizeof buf)) > 0)
        bytes.append(buf, (size_t)n);
    close(fd);
    return bytes;
}

bool ws_list(const std::string &win_dir, std::vector<ws_listed> *out)
{
    out->clear();
    std::string host = sim_host_path(win_dir.c_str());
    DIR *dp = host.empty() ? NULL : opendir(host.c_str());
    if (dp == NULL)
        return false;
    struct dirent *d;
    while ((d = readdir(dp)) != NULL) {
        if (strcmp(d->d_name, ".") == 0 || strcmp(d->d_name, "..") == 0)
            continue;
        ws_listed e;
        e.name = d->d_name;
        e.attributes = GetFileAttributesA(ws_join(win_dir, e.name).c_str());
        if ((e.attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
            e.content = ws_host_bytes(host + "/" + e.name);
        out->push_back(e);
    }
    closedir(dp);
    std::sort(out->begin(), out->end(),
              [](const ws_listed &a, const ws_listed &b) { return a.name < b.name; });
    return true;
}

static int ws_remove_one(const char *path, const struct stat *, int, struct FTW *)
{
    remove(path); /* what cannot be removed stays, as on Windows */
    return 0;
}

void ws_remove_tree(const std::string &win_dir)
{
    std::string host = sim_host_path(win_dir.c_str());
    if (!host.empty())
        nftw(host.c_str(), ws_remove_one, 16, FTW_DEPTH | FTW_PHYS);
}
