/* The simulated kernel32 file and disk calls, over the file system model. */
#include "sim/model_fs.h"

#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>

#define FILE_ERROR_NOT_SAME_DEVICE 17L
#define FILE_ERROR_BAD_LENGTH 24L

static BOOL file_result(const char *name, const std::string &args, DWORD error)
{
    if (error != 0) {
        simi_set_last_error(error);
        simi_log(name, args, "FALSE GLE " + simi_num(error));
        return FALSE;
    }
    simi_log(name, args, "TRUE");
    return TRUE;
}

BOOL fs_call_result(const char *name, const std::string &args, DWORD error)
{
    return file_result(name, args, error);
}

static uint64_t file_size(const std::string &host)
{
    struct stat st;
    return stat(host.c_str(), &st) == 0 ? (uint64_t)st.st_size : 0;
}

/* ---- Delete and move ---------------------------------------------------------------------- */

DWORD fs_delete(const char *win_path)
{
    fs_entry e;
    DWORD error = 0;
    if (!fs_resolve(win_path, &e, &error))
        return error == FS_ERROR_NO_DRIVE ? ERROR_FILE_NOT_FOUND : error;
    if (!e.r.exists)
        return ERROR_FILE_NOT_FOUND;
    /* Deleting opens the file for deletion first, where a holder that does not share that
     * answers; the read-only attribute is met only after. */
    if (e.r.is_dir)
        return ERROR_ACCESS_DENIED;
    if (fs_is_busy(e.r.host))
        return ERROR_SHARING_VIOLATION;
    if (fs_is_readonly(e.r.host))
        return ERROR_ACCESS_DENIED;
    if (!simi_mutation_allowed())
        return FS_CRASH_ERROR;
    uint64_t size = file_size(e.r.host);
    if (unlink(e.r.host.c_str()) != 0)
        return ERROR_ACCESS_DENIED;
    fs_space_shrink(e.r.drive, size, 0);
    fs_times_forget(e.r.host);
    fs_flags_set(e.r.host, 0);
    return 0;
}

/* A copy onto another drive for a move: the target gets the bytes, the read-only attribute
 * and the stamps; each host step is one mutating operation. */
static DWORD file_copy_for_move(const fs_entry &from, const fs_entry &to)
{
    uint64_t size = file_size(from.r.host);
    uint64_t old_size = to.r.exists ? file_size(to.r.host) : 0;
    if (!fs_space_grow(to.r.drive, old_size, size))
        return ERROR_DISK_FULL;
    DWORD rc = 0;
    int in = -1, out = -1;
    if (!simi_mutation_allowed()) {
        rc = FS_CRASH_ERROR;
        goto fail;
    }
    in = open(from.r.host.c_str(), O_RDONLY);
    out = open(to.r.host.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (in < 0 || out < 0) {
        rc = ERROR_ACCESS_DENIED;
        goto fail;
    }
    if (size > 0 && !simi_mutation_allowed()) {
        rc = FS_CRASH_ERROR;
        goto fail;
    }
    for (;;) {
        char buf[65536];
        ssize_t n = read(in, buf, sizeof buf);
        if (n < 0) {
            rc = ERROR_ACCESS_DENIED;
            goto fail;
        }
        if (n == 0)
            break;
        if (write(out, buf, (size_t)n) != n) {
            rc = ERROR_DISK_FULL;
            goto fail;
        }
    }
    close(in);
    close(out);
    {
        uint64_t stamps[3];
        fs_times_get(from.r.host, stamps);
        fs_times_set(to.r.host, &stamps[0], &stamps[1], &stamps[2]);
    }
    if (fs_is_readonly(from.r.host))
        fs_set_readonly(to.r.host, true);
    return 0;
fail:
    if (in >= 0)
        close(in);
    if (out >= 0)
        close(out);
    fs_space_shrink(to.r.drive, size, file_size(to.r.host));
    return rc;
}

/* Whether host path inner lies below host path outer. */
static bool file_below(const std::string &inner, const std::string &outer)
{
    return inner.size() > outer.size() && inner.compare(0, outer.size(), outer) == 0 &&
           inner[outer.size()] == '/';
}

DWORD fs_move(const char *from_path, const char *to_path, bool replace, bool copy_allowed, bool crt)
{
    fs_entry from, to;
    DWORD error = 0;
    if (!fs_resolve(from_path, &from, &error))
        return error == FS_ERROR_NO_DRIVE ? ERROR_FILE_NOT_FOUND : error;
    if (!from.r.exists || from.root)
        return ERROR_FILE_NOT_FOUND;
    /* The new name is converted without the MAX_PATH buffer; a file named as a folder there
     * is "not a folder". */
    if (!fs_resolve_as(to_path, FS_ANY_LENGTH | FS_AS_TARGET, &to, &error))
        return error == FS_ERROR_NO_DRIVE ? ERROR_FILE_NOT_FOUND : error;
    /* A new name that ends in a separator names a folder: an existing file spelled so is no
     * folder, and is not met as an existing target. */
    bool to_file_as_folder = to.r.exists && !to.r.is_dir && to.trailing_sep;
    if (to_file_as_folder)
        to.r.exists = false;
    if (to.r.exists && to.r.host == from.r.host) {
        /* The same entry: at most a change of letter case. */
        std::string dir = from.r.host.substr(0, from.r.host.rfind('/'));
        std::string renamed = dir + "/" + to.name;
        if (to.root || to.name.empty() || renamed == from.r.host)
            return 0;
        if (!simi_mutation_allowed())
            return FS_CRASH_ERROR;
        if (rename(from.r.host.c_str(), renamed.c_str()) != 0)
            return ERROR_ACCESS_DENIED;
        fs_times_moved(from.r.host, renamed);
        fs_flags_moved(from.r.host, renamed);
        return 0;
    }
    if (to.r.exists) {
        /* A drive's root is an existing folder like any other. */
        if (!replace)
            return ERROR_ALREADY_EXISTS;
        if (to.r.is_dir || fs_is_readonly(to.r.host) || fs_is_busy(to.r.host))
            return ERROR_ACCESS_DENIED;
    }
    if (from.r.is_dir && file_below(to.r.host, from.r.host))
        return ERROR_INVALID_PARAMETER; /* a folder cannot go below itself */
    if (to_file_as_folder || (to.trailing_sep && !to.r.exists && !from.r.is_dir))
        return ERROR_DIRECTORY; /* a file cannot take a folder's name */
    if (fs_is_busy(from.r.host))
        return ERROR_SHARING_VIOLATION;
    if (from.r.drive != to.r.drive || from.r.drive == 0) {
        bool same_host_dir = false;
        if (from.r.drive == 0 && to.r.drive == 0) {
            /* Two UNC names on one share are one volume. */
            same_host_dir = true;
        }
        if (!same_host_dir) {
            if ((crt && fs_rename_cross_device()) || !copy_allowed || from.r.is_dir)
                return FILE_ERROR_NOT_SAME_DEVICE;
            DWORD rc = file_copy_for_move(from, to);
            if (rc != 0)
                return rc;
            fs_times_forget(from.r.host);
            if (fs_is_readonly(from.r.host))
                fs_set_readonly(from.r.host, false);
            if (!simi_mutation_allowed())
                return FS_CRASH_ERROR;
            uint64_t size = file_size(from.r.host);
            if (unlink(from.r.host.c_str()) != 0)
                return ERROR_ACCESS_DENIED;
            fs_space_shrink(from.r.drive, size, 0);
            return 0;
        }
    }
    if (!simi_mutation_allowed())
        return FS_CRASH_ERROR;
    uint64_t replaced = to.r.exists ? file_size(to.r.host) : 0;
    /* rename(2) replaces the target in one step: there is no moment without a file. */
    if (rename(from.r.host.c_str(), to.r.host.c_str()) != 0)
        return ERROR_ACCESS_DENIED;
    fs_space_shrink(to.r.drive, replaced, 0);
    fs_times_moved(from.r.host, to.r.host);
    fs_flags_moved(from.r.host, to.r.host);
    return 0;
}

BOOL DeleteFileA(LPCSTR path)
{
    std::string args = simi_q(path);
    int error = 0;
    if (simi_fault(SIM_DELETE, ERROR_ACCESS_DENIED, &error))
        return file_result("DeleteFileA", args, (DWORD)error);
    return file_result("DeleteFileA", args, fs_delete(path));
}

BOOL MoveFileA(LPCSTR from, LPCSTR to)
{
    std::string args = simi_q(from) + ", " + simi_q(to);
    int error = 0;
    if (simi_fault(SIM_RENAME, ERROR_ACCESS_DENIED, &error))
        return file_result("MoveFileA", args, (DWORD)error);
    return file_result("MoveFileA", args, fs_move(from, to, false, true, false));
}

BOOL MoveFileExA(LPCSTR from, LPCSTR to, DWORD flags)
{
    std::string args = simi_q(from) + ", " + simi_q(to) + ", " + simi_hex(flags);
    int error = 0;
    if (simi_fault(SIM_RENAME, ERROR_ACCESS_DENIED, &error))
        return file_result("MoveFileExA", args, (DWORD)error);
    if (to == NULL) /* deleting at the next boot is not modelled */
        return file_result("MoveFileExA", args, ERROR_INVALID_PARAMETER);
    /* Every step of the model reaches the host before the call returns: writing through is
     * what it does anyway. */
    if ((flags & ~(MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH)) !=
        0) {
        fprintf(stderr, "sim: MoveFileExA flags %#x are not modelled\n", (unsigned)flags);
        abort();
    }
    return file_result("MoveFileExA", args,
                       fs_move(from, to, (flags & MOVEFILE_REPLACE_EXISTING) != 0,
                               (flags & MOVEFILE_COPY_ALLOWED) != 0, false));
}

/* ---- Attributes --------------------------------------------------------------------------- */

DWORD GetFileAttributesA(LPCSTR path)
{
    std::string args = simi_q(path);
    fs_entry e;
    DWORD error = 0;
    if (!fs_resolve_as(path, FS_QUERY, &e, &error) || !e.r.exists) {
        if (error == 0 || error == FS_ERROR_NO_DRIVE)
            error = ERROR_FILE_NOT_FOUND;
        simi_set_last_error(error);
        simi_log("GetFileAttributesA", args, "INVALID_FILE_ATTRIBUTES GLE " + simi_num(error));
        return INVALID_FILE_ATTRIBUTES;
    }
    DWORD attrs = e.r.is_dir ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
    if (!e.r.is_dir && fs_is_readonly(e.r.host))
        attrs |= FILE_ATTRIBUTE_READONLY;
    attrs |= fs_flags_get(e.r.host);
    simi_log("GetFileAttributesA", args, simi_hex(attrs));
    return attrs;
}

static DWORD file_set_attributes(LPCSTR path, DWORD attributes)
{
    fs_entry e;
    DWORD error = 0;
    if (!fs_resolve(path, &e, &error))
        return error == FS_ERROR_NO_DRIVE ? ERROR_FILE_NOT_FOUND : error;
    if (!e.r.exists)
        return ERROR_FILE_NOT_FOUND;
    if (!simi_mutation_allowed())
        return FS_CRASH_ERROR;
    if (!fs_set_readonly(e.r.host, (attributes & FILE_ATTRIBUTE_READONLY) != 0))
        return ERROR_ACCESS_DENIED;
    fs_flags_set(e.r.host, attributes);
    return 0;
}

BOOL SetFileAttributesA(LPCSTR path, DWORD attributes)
{
    return file_result("SetFileAttributesA", simi_q(path) + ", " + simi_hex(attributes),
                       file_set_attributes(path, attributes));
}

/* ---- Disks -------------------------------------------------------------------------------- */

/* The drive letter a root names: "X:", "X:\...", NULL or "\" (the current drive, C:). */
bool fs_root_letter(LPCSTR root, char *letter)
{
    if (root == NULL || strcmp(root, "\\") == 0) {
        *letter = 'C';
        return true;
    }
    return root[0] != '\0' && root[1] == ':' && simi_drive_letter(root[0], letter);
}

static DWORD file_disk_free(LPCSTR root, DWORD out[4])
{
    char letter;
    DWORD geometry[4] = {8, 512, 262144, 524288};
    fs_entry e;
    DWORD error = 0;
    if (fs_root_letter(root, &letter)) {
        if (!fs_drive_geometry(letter, geometry))
            return ERROR_PATH_NOT_FOUND;
        std::string path = root == NULL || root[0] == '\\' ? std::string("C:\\") : root;
        if (!fs_resolve(path.c_str(), &e, &error))
            return error == FS_ERROR_NO_DRIVE || error == ERROR_NOT_READY ? ERROR_PATH_NOT_FOUND
                                                                           : error;
    } else if (root[0] == '\\' && root[1] == '\\') {
        /* A share's volume: the default geometry. */
        if (!fs_resolve(root, &e, &error))
            return ERROR_PATH_NOT_FOUND;
    } else {
        /* No name, or a drive that no letter names, is no path; another relative name is one
         * that does not exist below the current folder. */
        return root[0] == 0 || root[1] == ':' ? ERROR_PATH_NOT_FOUND : ERROR_FILE_NOT_FOUND;
    }
    if (!e.r.exists)
        return ERROR_FILE_NOT_FOUND; /* a folder below a root answers for its drive if it exists */
    if (!e.r.is_dir)
        return ERROR_PATH_NOT_FOUND;
    memcpy(out, geometry, sizeof geometry);
    return 0;
}

BOOL GetDiskFreeSpaceA(LPCSTR root, LPDWORD sectors_per_cluster, LPDWORD bytes_per_sector,
                       LPDWORD free_clusters, LPDWORD total_clusters)
{
    DWORD g[4];
    int fault = 0;
    std::string args = simi_q(root);
    if (simi_fault(SIM_DISK, ERROR_NOT_READY, &fault))
        return file_result("GetDiskFreeSpaceA", args, (DWORD)fault);
    DWORD error = file_disk_free(root, g);
    if (error != 0)
        return file_result("GetDiskFreeSpaceA", args, error);
    if (sectors_per_cluster != NULL)
        *sectors_per_cluster = g[0];
    if (bytes_per_sector != NULL)
        *bytes_per_sector = g[1];
    if (free_clusters != NULL)
        *free_clusters = g[2];
    if (total_clusters != NULL)
        *total_clusters = g[3];
    simi_log("GetDiskFreeSpaceA", args,
             "TRUE " + simi_num(g[0]) + " " + simi_num(g[1]) + " " + simi_num(g[2]) + " " +
                 simi_num(g[3]));
    return TRUE;
}

/* ---- _lopen handles ----------------------------------------------------------------------- */

struct file_hfile {
    std::string host;
    int mode;        /* OF_READ, OF_WRITE, OF_READWRITE, or 3: neither reading nor writing */
    unsigned access; /* FS_READ, FS_WRITE */
    unsigned share;  /* what the OF_SHARE_ bits let others do */
};

static std::map<HFILE, file_hfile> file_handles;
static HFILE file_next_handle = 0x100;

static void file_reset(void)
{
    for (const auto &kv : file_handles)
        fs_open_remove(kv.second.host, kv.second.access, kv.second.share);
    file_handles.clear();
    file_next_handle = 0x100;
}

static bool file_registered = simi_on_reset(file_reset);

/* The access of _lopen's low bits: reading, writing, both, or (3) neither. */
static unsigned file_lopen_access(int mode)
{
    static const unsigned access[4] = {FS_READ, FS_WRITE, FS_READ | FS_WRITE, 0};
    return access[mode & 3];
}

/* What the OF_SHARE_ bits let others do: exclusive nothing, deny-write reading, deny-read
 * writing; compatibility, deny-none and the undefined values both. */
static unsigned file_lopen_share(int mode)
{
    switch (mode & 0x70) {
    case 0x10: return 0;
    case 0x20: return FS_READ;
    case 0x30: return FS_WRITE;
    default: return FS_READ | FS_WRITE;
    }
}

static DWORD file_lopen(LPCSTR path, int mode, HFILE *out)
{
    int access = mode & 3;
    if (path == NULL)
        return ERROR_INVALID_PARAMETER;
    int error = 0;
    if (simi_fault(SIM_OPEN, ERROR_ACCESS_DENIED, &error))
        return (DWORD)error;
    fs_entry e;
    DWORD werr = 0;
    if (!fs_resolve(path, &e, &werr))
        return werr == FS_ERROR_NO_DRIVE ? ERROR_FILE_NOT_FOUND : werr;
    if (!e.r.exists)
        return ERROR_FILE_NOT_FOUND;
    if (e.r.is_dir ||
        ((access == OF_WRITE || access == OF_READWRITE) && fs_is_readonly(e.r.host)))
        return ERROR_ACCESS_DENIED;
    unsigned want = file_lopen_access(mode), share = file_lopen_share(mode);
    DWORD shared = fs_share_check(e.r.host, want, share);
    if (shared != 0)
        return shared;
    HFILE h = file_next_handle;
    file_next_handle += 4;
    file_handles[h] = file_hfile{e.r.host, access, want, share};
    fs_open_add(e.r.host, want, share);
    *out = h;
    (void)file_registered;
    return 0;
}

HFILE _lopen(LPCSTR path, int mode)
{
    std::string args = simi_q(path) + ", " + simi_hex((unsigned)mode);
    HFILE h = HFILE_ERROR;
    DWORD error = file_lopen(path, mode, &h);
    if (error != 0) {
        simi_set_last_error(error);
        simi_log("_lopen", args, "HFILE_ERROR GLE " + simi_num(error));
        return HFILE_ERROR;
    }
    simi_log("_lopen", args, simi_hex((unsigned)h));
    return h;
}

HFILE _lclose(HFILE file)
{
    std::string args = simi_hex((unsigned)file);
    auto it = file_handles.find(file);
    if (it == file_handles.end()) {
        simi_set_last_error(ERROR_INVALID_HANDLE);
        simi_log("_lclose", args, "HFILE_ERROR GLE 6");
        return HFILE_ERROR;
    }
    fs_open_remove(it->second.host, it->second.access, it->second.share);
    file_handles.erase(it);
    int error = 0;
    if (simi_fault(SIM_CLOSE, ERROR_ACCESS_DENIED, &error)) {
        simi_set_last_error((DWORD)error);
        simi_log("_lclose", args, "HFILE_ERROR GLE " + simi_num(error));
        return HFILE_ERROR;
    }
    simi_log("_lclose", args, "0");
    return 0;
}

static file_hfile *file_from_handle(HANDLE handle)
{
    auto it = file_handles.find((HFILE)(intptr_t)handle);
    return it == file_handles.end() ? NULL : &it->second;
}

static uint64_t file_stamp(const FILETIME *ft)
{
    return ((uint64_t)ft->dwHighDateTime << 32) | ft->dwLowDateTime;
}

static void file_put_stamp(LPFILETIME ft, uint64_t stamp)
{
    if (ft == NULL)
        return;
    ft->dwLowDateTime = (DWORD)stamp;
    ft->dwHighDateTime = (DWORD)(stamp >> 32);
}

BOOL GetFileTime(HANDLE file, LPFILETIME creation, LPFILETIME access, LPFILETIME write)
{
    std::string args = simi_hex((uintptr_t)file);
    file_hfile *h = file_from_handle(file);
    if (h == NULL)
        return file_result("GetFileTime", args, ERROR_INVALID_HANDLE);
    int fault = 0;
    if (simi_fault(SIM_STAMPS, ERROR_ACCESS_DENIED, &fault))
        return file_result("GetFileTime", args, (DWORD)fault);
    uint64_t stamps[3];
    fs_times_get(h->host, stamps);
    file_put_stamp(creation, stamps[0]);
    file_put_stamp(access, stamps[1]);
    file_put_stamp(write, stamps[2]);
    simi_log("GetFileTime", args,
             "TRUE " + simi_num((long long)stamps[0]) + " " + simi_num((long long)stamps[1]) +
                 " " + simi_num((long long)stamps[2]));
    return TRUE;
}

static DWORD file_set_time(HANDLE file, const FILETIME *creation, const FILETIME *access,
                           const FILETIME *write)
{
    file_hfile *h = file_from_handle(file);
    if (h == NULL)
        return ERROR_INVALID_HANDLE;
    int fault = 0;
    if (simi_fault(SIM_STAMPS, ERROR_ACCESS_DENIED, &fault))
        return (DWORD)fault;
    if ((h->access & FS_WRITE) == 0)
        return ERROR_ACCESS_DENIED; /* the handle lacks the right to write attributes */
    /* 0 leaves a stamp as it is, and so does all ones (which also stops the updates this
     * handle's writes would make: none are modelled); any other negative value is refused
     * before anything changes. Every other FILETIME is kept as given. */
    const FILETIME *given[3] = {creation, access, write};
    uint64_t v[3];
    const uint64_t *set[3];
    for (int i = 0; i < 3; i++) {
        v[i] = given[i] != NULL ? file_stamp(given[i]) : 0;
        set[i] = v[i] == 0 || v[i] == ~0ULL ? NULL : &v[i];
        if (set[i] != NULL && (int64_t)v[i] < 0) {
            /* Refused for the stamps every file system keeps; a creation stamp that cannot
             * be a time is passed over, as Wine does (Windows documents no answer). */
            if (i > 0)
                return ERROR_INVALID_PARAMETER;
            set[i] = NULL;
        }
    }
    if (!simi_mutation_allowed())
        return FS_CRASH_ERROR;
    if (!fs_times_set(h->host, set[0], set[1], set[2]))
        return ERROR_ACCESS_DENIED;
    return 0;
}

BOOL SetFileTime(HANDLE file, const FILETIME *creation, const FILETIME *access,
                 const FILETIME *write)
{
    return file_result("SetFileTime", simi_hex((uintptr_t)file),
                       file_set_time(file, creation, access, write));
}
