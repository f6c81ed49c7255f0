/* The simulated kernel32 volume calls: labels kept in each volume's root folder. */
#include "sim/model_fs.h"

#include <string.h>

#define VOLUME_ERROR_BAD_LENGTH 24L
#define VOLUME_ERROR_DIR_NOT_ROOT 144L

/* How a volume root is spelled: 0 for the root of a drive (*letter set), or the error. The name
 * is taken as a full path: separators may be slashes, "." and ".." and doubled separators
 * fall away, trailing blanks are dropped; what is left must be "X:\". A path that is no root
 * is ERROR_DIR_NOT_ROOT when it ends in a separator and ERROR_INVALID_NAME (the separator a
 * root needs is missing) when it does not, as is "X:" alone. */
static DWORD volume_root_spelling(LPCSTR root, char *letter)
{
    if (root == NULL || strcmp(root, "\\") == 0 || strcmp(root, "/") == 0) {
        *letter = 'C'; /* the current folder's drive */
        return 0;
    }
    std::string p = root;
    for (char &c : p)
        if (c == '/')
            c = '\\';
    while (!p.empty() && p.back() == ' ')
        p.pop_back();
    if (p.empty() || (p.size() >= 2 && p[0] == '\\' && p[1] == '\\'))
        return ERROR_PATH_NOT_FOUND;
    bool drive = p.size() >= 2 && p[1] == ':';
    if (drive && !simi_drive_letter(p[0], letter))
        return ERROR_PATH_NOT_FOUND;
    bool ends_in_separator = p.back() == '\\';
    /* "X:" is X's current folder: the current drive's is no root, another drive's is its
     * root (this process never changes folder there). */
    if (drive && p.size() == 2)
        return *letter == 'C' ? ERROR_INVALID_NAME : 0;
    if (!drive)
        return ends_in_separator ? VOLUME_ERROR_DIR_NOT_ROOT : ERROR_INVALID_NAME;
    int depth = 0;
    size_t start = 2;
    for (size_t i = 2; i <= p.size(); i++) {
        if (i < p.size() && p[i] != '\\')
            continue;
        std::string c = p.substr(start, i - start);
        start = i + 1;
        if (c.empty() || c == ".")
            continue;
        if (c == "..")
            depth = depth > 0 ? depth - 1 : 0;
        else
            depth++;
    }
    if (depth == 0)
        return 0;
    return ends_in_separator ? VOLUME_ERROR_DIR_NOT_ROOT : ERROR_INVALID_NAME;
}

/* The drive of a volume root ready with a medium, and the host folder of its root. A drive
 * without medium gives ERROR_NOT_READY, as Windows documents (Wine reads such a floppy drive
 * as a volume with an empty label). */
static DWORD volume_root(LPCSTR root, char *letter, std::string *host_root, DWORD missing)
{
    DWORD spelling = volume_root_spelling(root, letter);
    if (spelling != 0)
        return spelling;
    simi_drive d;
    if (!simi_drive_get(*letter, &d) || d.remembered_only)
        return missing;
    char path[4] = {*letter, ':', '\\', 0};
    fs_entry e;
    DWORD error = 0;
    if (!fs_resolve(path, &e, &error))
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
    /* A buffer too small for its name fails the call before either name is written. */
    if ((label != NULL && stored.size() + 1 > label_size) ||
        (fs_name != NULL && fs.size() + 1 > fs_size))
        return fs_call_result("GetVolumeInformationA", args, VOLUME_ERROR_BAD_LENGTH);
    volume_copy_out(label, label_size, stored);
    volume_copy_out(fs_name, fs_size, fs);
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
