/* Volume sets on Windows: the disks of a removable drive, changed by the user at a prompt on
 * the console. */
#include "pack_volumes.h"

#include <algorithm>
#include <cstdio>

#include "check_ini.h"
#include "pack_host.h"
#include "platform/file.h"
#include "platform/os.h"
#include "platform/path.h"
#include "transfer/volume.h"
#include "volumes_console.h"

namespace vxpack {

namespace {

/* The label of the disk in the drive whose root is given, or false when none can be read. */
bool volume_read_label(const std::string &root, std::string *label)
{
    char buf[PATH_CAP];
    if (!GetVolumeInformationA(root.c_str(), buf, sizeof buf, NULL, NULL, NULL, NULL, 0))
        return false;
    *label = buf;
    return true;
}

} // namespace

bool volumes_options_valid(const std::string &folder, const std::string &drive,
                           std::string *error)
{
    std::string root;
    if (!folder.empty()) {
        *error = "--volumes is for the Linux build; here the volumes are the disks of a "
                 "removable drive: give --drive A:";
        return false;
    }
    if (!console_typed_drive(drive.empty() ? "A:" : drive, &root)) {
        *error = "--drive " + drive + ": give a drive letter such as A:";
        return false;
    }
    return true;
}

bool volumes_open(pack_volumes *v, std::string *error)
{
    std::string root;
    if (!volumes_options_valid(v->folder, v->drive, error))
        return false;
    console_typed_drive(v->drive.empty() ? "A:" : v->drive, &root);
    v->drive = root.substr(0, 2);
    snprintf(volume_drive_root(), PATH_CAP, "%s", root.c_str());
    return true;
}

void volumes_prompt(int32_t user, char *drive_root, const void *context, int32_t volume,
                    const char *platform, int32_t *cancel, int32_t wrong_volume)
{
    (void)user;
    (void)platform;
    (void)wrong_volume; /* the prompt says what the drive holds every time */
    fflush(stdout);
    console_prompt((pack_volumes *)context, drive_root, volume, cancel,
                   console_io{host_read_line, stderr});
}

bool volumes_list(const pack_volumes &v, std::vector<volume_info> *out, std::string *error)
{
    pack_volumes probe = v;
    if (!volumes_open(&probe, error))
        return false;
    std::string root = std::string(volume_drive_root());
    volume_info info{probe.drive, "", {}, {}};
    info.alone = true; /* one drive shows one disk of a set */
    if (!volume_read_label(root, &info.label)) {
        *error = "no disk can be read in drive " + probe.drive;
        return false;
    }
    std::vector<std::string> names;
    if (!host_list_files(probe.drive, &names)) {
        *error = "the disk in drive " + probe.drive + " cannot be listed";
        return false;
    }
    for (const std::string &n : names) {
        host_file_state state{0, 0};
        host_file_state_of(probe.drive + "\\" + n, &state);
        info.files.push_back({n, state.size});
        info.written.push_back(state.written);
    }
    out->assign(1, info);
    return true;
}

void volumes_discard(const pack_volumes &v, int32_t first, int32_t last,
                     const std::vector<std::string> &pieces)
{
    /* Only the disk in the drive can be reached: the one whose piece broke off. */
    std::string label;
    std::string root = volume_drive_root();
    if (!volume_read_label(root, &label))
        return;
    for (int32_t n = first; n <= last; n++)
        if (ini_same(label, volumes_label(v.label, n)) && n - first < (int32_t)pieces.size())
            file_delete((root + pieces[(size_t)(n - first)]).c_str());
}

} // namespace vxpack
