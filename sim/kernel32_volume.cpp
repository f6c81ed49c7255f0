/* The simulated kernel32 volume calls: labels kept in each volume's root folder. */
#include "sim/model_fs.h"

#include <string.h>

#define VOLUME_ERROR_BAD_LENGTH 24L
#define VOLUME_ERROR_DIR_NOT_ROOT 144L

/* The drive of a volume root ("X:\" or "X:") ready with a medium, and the host folder of its
 * root. A drive without medium gives ERROR_NOT_READY, as Windows documents (Wine reads such a
 * floppy drive as a volume with an empty label). */
static DWORD volume_root(LPCSTR root, char *letter, std::string *host_root, DWORD missing)
{
    if (!fs_root_letter(root, letter))
        return ERROR_INVALID_NAME;
    if (root != NULL && root[0] != '\\' && root[2] != 0 && !(root[2] == '\\' && root[3] == 0))
        return VOLUME_ERROR_DIR_NOT_ROOT;
    simi_drive d;
    if (!simi_drive_get(*letter, &d) || d.remembered_only)
        return missing;
    fs_entry e;
    DWORD error = 0;
    if (!fs_resolve(root == NULL ? "C:\\" : root, &e, &error))
        return error == FS_ERROR_NO_DRIVE ? missing : error;
    *host_root = e.r.host;
    return 0;
}

static bool volume_copy_out(LPSTR buf, DWORD size, const std::string &text)
{
    if (buf == NULL)
        return true;
    if (text.size() + 1 > size)
        return false;
    memcpy(buf, text.c_str(), text.size() + 1);
    return true;
}

BOOL GetVolumeInformationA(LPCSTR root, LPSTR label, DWORD label_size, LPDWORD serial,
                           LPDWORD max_component, LPDWORD flags, LPSTR fs_name, DWORD fs_size)
{
    std::string args = simi_q(root) + ", " + simi_num(label_size) + ", " + simi_num(fs_size);
    int fault = 0;
    if (simi_fault(SIM_VOLUME, ERROR_NOT_READY, &fault))
        return fs_call_result("GetVolumeInformationA", args, (DWORD)fault);
    char letter = 0;
    std::string host_root;
    DWORD error = volume_root(root, &letter, &host_root, ERROR_PATH_NOT_FOUND);
    if (error != 0)
        return fs_call_result("GetVolumeInformationA", args, error);
    simi_drive d;
    simi_drive_get(letter, &d);
    bool cd = d.type == DRIVE_CDROM;
    std::string fs = cd ? "CDFS" : "NTFS";
    std::string stored = sim_medium_label(host_root);
    if (!volume_copy_out(label, label_size, stored) || !volume_copy_out(fs_name, fs_size, fs))
        return fs_call_result("GetVolumeInformationA", args, VOLUME_ERROR_BAD_LENGTH);
    if (serial != NULL)
        *serial = (DWORD)letter << 24;
    if (max_component != NULL)
        *max_component = cd ? 221 : 255;
    if (flags != NULL)
        *flags = 0xA;
    simi_log("GetVolumeInformationA", args, "TRUE " + simi_q(stored.c_str()));
    return TRUE;
}

BOOL SetVolumeLabelA(LPCSTR root, LPCSTR label)
{
    std::string args = simi_q(root) + ", " + simi_q(label);
    int fault = 0;
    if (simi_fault(SIM_VOLUME, ERROR_NOT_READY, &fault))
        return fs_call_result("SetVolumeLabelA", args, (DWORD)fault);
    char letter = 0;
    std::string host_root;
    DWORD error = volume_root(root, &letter, &host_root, ERROR_NOT_READY);
    if (error != 0)
        return fs_call_result("SetVolumeLabelA", args, error);
    /* A label that is empty, or NULL, deletes the label. */
    if (!sim_set_medium_label(host_root, label))
        return fs_call_result("SetVolumeLabelA", args, ERROR_ACCESS_DENIED);
    return fs_call_result("SetVolumeLabelA", args, 0);
}
