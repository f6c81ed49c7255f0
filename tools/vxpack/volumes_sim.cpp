/* Volume sets on Linux: each volume a folder of --volumes DIR, put into the simulated
 * workstation's removable drive A: when the engine asks for it, its label in the folder's
 * .windows-label file, where Wine reads a folder drive's label too. */
#include "pack_volumes.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "check_ini.h"
#include "pack_host.h"
#include "sim/sim.h"

namespace vxpack {

namespace {

const char VOLUME_LETTER = 'A';
const DWORD VOLUME_SECTOR = 512;

struct volume_folder {
    std::string path; /* host path */
    std::string name;
    std::string label;
};

std::vector<volume_folder> volume_folders(const std::string &dir)
{
    std::vector<volume_folder> out;
    DIR *d = opendir(dir.c_str());
    if (d == NULL)
        return out;
    while (struct dirent *e = readdir(d)) {
        std::string name = e->d_name;
        struct stat st;
        std::string path = dir + "/" + name;
        if (name[0] != '.' && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
            out.push_back(volume_folder{path, name, sim_medium_label(path)});
    }
    closedir(d);
    std::sort(out.begin(), out.end(),
              [](const volume_folder &a, const volume_folder &b) { return a.name < b.name; });
    return out;
}

/* The folder of a new volume: the label without its blank (DISK2 for "DISK 2"), made unique. */
std::string volume_new_folder(const pack_volumes &v, int32_t volume)
{
    std::string base;
    for (char c : v.label)
        base += isalnum((unsigned char)c) || c == '-' || c == '_' ? c : '_';
    base += std::to_string(volume);
    std::string path = v.folder + "/" + base;
    for (int n = 2; access(path.c_str(), F_OK) == 0; n++)
        path = v.folder + "/" + base + "-" + std::to_string(n);
    return path;
}

void volume_insert(const pack_volumes &v, const std::string &path)
{
    sim_eject_medium(VOLUME_LETTER);
    sim_insert_medium(VOLUME_LETTER, path.c_str(), 1, VOLUME_SECTOR,
                      (DWORD)(v.volume_size / VOLUME_SECTOR));
}

/* The prompt's last volume: asked for twice in a row, the folder does not pass the check. */
int32_t volume_last_asked = 0;

} // namespace

bool volumes_options_valid(const std::string &folder, const std::string &drive,
                           std::string *error)
{
    if (!drive.empty()) {
        *error = "--drive is for vxpack.exe on Windows; here the volumes are folders: give "
                 "--volumes DIR";
        return false;
    }
    if (folder.empty()) {
        *error = "give --volumes DIR: each volume is a folder of DIR";
        return false;
    }
    return true;
}

bool volumes_open(pack_volumes *v, std::string *error)
{
    if (!volumes_options_valid(v->folder, v->drive, error))
        return false;
    struct stat st;
    if (stat(v->folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        *error = "no such folder";
        return false;
    }
    /* The host's rules for a folder vxpack makes files in (none in the system's folders). */
    std::string win;
    if (!host_folder(v->folder, &win, error))
        return false;
    sim_add_drive(VOLUME_LETTER, DRIVE_REMOVABLE, NULL);
    volume_last_asked = 0;
    return true;
}

void volumes_prompt(int32_t user, char *drive_root, const void *context, int32_t volume,
                    const char *platform, int32_t *cancel, int32_t wrong_volume)
{
    (void)user;
    (void)drive_root;
    (void)platform;
    (void)wrong_volume;
    pack_volumes *v = (pack_volumes *)context;
    std::string wanted = volumes_label(v->label, volume);
    if (volume == volume_last_asked) {
        v->failure = "the volume folder for " + wanted + " does not pass its label check";
        *cancel = 1;
        return;
    }
    volume_last_asked = volume;
    /* Two folders with one label would make the set whichever the order of the folders
     * gives: refused, as list refuses it. */
    std::string found;
    for (const volume_folder &f : volume_folders(v->folder)) {
        if (!ini_same(f.label, wanted))
            continue;
        if (!found.empty()) {
            v->failure = found + " and " + v->folder + "/" + f.name + " both carry the label " +
                         wanted + ": the set is ambiguous (take one of them away)";
            *cancel = 1;
            return;
        }
        found = v->folder + "/" + f.name;
    }
    for (const volume_folder &f : volume_folders(v->folder))
        if (ini_same(f.label, wanted)) {
            volume_insert(*v, f.path);
            return;
        }
    if (!v->write) {
        v->failure = "no volume labelled " + wanted + " in " + v->folder +
                     " (vxpack list shows what the volumes hold)";
        *cancel = 1;
        return;
    }
    std::string path = volume_new_folder(*v, volume);
    if (mkdir(path.c_str(), 0777) != 0) {
        v->failure = path + ": the folder for " + wanted + " cannot be made";
        *cancel = 1;
        return;
    }
    /* A blank disk: the engine labels it. */
    volume_insert(*v, path);
}

bool volumes_list(const pack_volumes &v, std::vector<volume_info> *out, std::string *error)
{
    pack_volumes probe = v;
    if (!volumes_open(&probe, error))
        return false;
    out->clear();
    std::vector<volume_folder> folders = volume_folders(v.folder);
    /* A volume folder named itself (one a split made, or a floppy's copy) is the one volume. */
    std::string own = sim_medium_label(v.folder);
    if (!own.empty())
        folders.assign(1, volume_folder{v.folder, "", own});
    for (const volume_folder &f : folders) {
        volume_info info{f.name.empty() ? v.folder : v.folder + "/" + f.name, f.label, {}, {}};
        info.alone = f.name.empty();
        std::vector<std::pair<std::pair<std::string, uint64_t>, int64_t>> files;
        DIR *d = opendir(f.path.c_str());
        while (struct dirent *e = d != NULL ? readdir(d) : NULL) {
            std::string name = e->d_name;
            struct stat st;
            if (name[0] != '.' && stat((f.path + "/" + name).c_str(), &st) == 0 &&
                S_ISREG(st.st_mode))
                files.push_back({{name, (uint64_t)st.st_size},
                                 (int64_t)st.st_mtim.tv_sec * 1000000000 + st.st_mtim.tv_nsec});
        }
        if (d != NULL)
            closedir(d);
        std::sort(files.begin(), files.end());
        for (const auto &file : files) {
            info.files.push_back(file.first);
            info.written.push_back(file.second);
        }
        out->push_back(info);
    }
    return true;
}

void volumes_discard(const pack_volumes &v, int32_t first, int32_t last,
                     const std::vector<std::string> &pieces)
{
    for (const volume_folder &f : volume_folders(v.folder))
        for (int32_t n = first; n <= last; n++) {
            if (!ini_same(f.label, volumes_label(v.label, n)))
                continue;
            DIR *d = opendir(f.path.c_str());
            while (struct dirent *e = d != NULL ? readdir(d) : NULL)
                for (const std::string &p : pieces)
                    if (ini_same(e->d_name, p))
                        unlink((f.path + "/" + e->d_name).c_str());
            if (d != NULL)
                closedir(d);
        }
}

} // namespace vxpack
