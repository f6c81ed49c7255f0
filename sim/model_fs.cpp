/* The simulated file system: drive table, shares, case-blind path resolution, side tables. */
#include "sim/model_fs.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>

struct fs_drive {
    bool present;
    simi_drive d;
    DWORD sectors_per_cluster;
    DWORD bytes_per_sector;
    DWORD free_clusters;
    DWORD total_clusters;
};

struct fs_share {
    std::string host;
    std::string share;
    std::string dir;  /* empty: only a denial was recorded */
    bool denied;
};

struct fs_stamps {
    uint64_t creation;
    uint64_t access;
    /* A write stamp set by SetFileTime, kept exactly (the host's file times hold less than a
     * FILETIME does), as long as the host file's time is still the one seen then. */
    bool write_set;
    uint64_t write;
    uint64_t write_host;
};

static fs_drive fs_drives[26];
static std::vector<fs_share> fs_shares;
static std::string fs_windows_dir = "C:\\WINDOWS";
struct fs_opened {
    unsigned access; /* FS_READ, FS_WRITE */
    unsigned share;  /* FS_READ, FS_WRITE, FS_DELETE: what it lets others do */
};
static std::map<std::string, std::vector<fs_opened>> fs_open; /* host path -> its opens */
static std::map<std::string, DWORD> fs_flag_table;  /* host path -> hidden and system bits */
static std::vector<std::string> fs_held;            /* Windows paths held by "others" */
static std::map<std::string, fs_stamps> fs_stamp_table;
static bool fs_cross_device;
static bool fs_crash_armed;
static unsigned fs_crash_left;

static void fs_reset(void)
{
    for (fs_drive &d : fs_drives)
        d = fs_drive();
    fs_shares.clear();
    fs_windows_dir = "C:\\WINDOWS";
    fs_open.clear();
    fs_held.clear();
    fs_stamp_table.clear();
    fs_flag_table.clear();
    fs_cross_device = false;
    fs_crash_armed = false;
    fs_crash_left = 0;
}

static bool fs_registered = simi_on_reset(fs_reset);

static int fs_letter_index(char letter)
{
    char upper;
    return simi_drive_letter(letter, &upper) ? upper - 'A' : -1;
}

/* ---- Drive table -------------------------------------------------------------------------- */

bool sim_add_drive(char letter, UINT type, const char *host_dir)
{
    int i = fs_letter_index(letter);
    if (i < 0)
        return false;
    fs_drive &d = fs_drives[i];
    d = fs_drive();
    d.present = true;
    d.d.letter = (char)('A' + i);
    d.d.type = type;
    d.d.host_dir = host_dir != NULL ? host_dir : "";
    d.d.remembered_only = false;
    d.sectors_per_cluster = 8;
    d.bytes_per_sector = 512;
    d.free_clusters = 262144;
    d.total_clusters = 524288;
    (void)fs_registered;
    return true;
}

void sim_remove_drive(char letter)
{
    int i = fs_letter_index(letter);
    if (i >= 0)
        fs_drives[i] = fs_drive();
}

void sim_set_drive_geometry(char letter, DWORD sectors_per_cluster, DWORD bytes_per_sector,
                            DWORD free_clusters, DWORD total_clusters)
{
    int i = fs_letter_index(letter);
    if (i < 0 || !fs_drives[i].present)
        return;
    fs_drive &d = fs_drives[i];
    d.sectors_per_cluster = sectors_per_cluster;
    d.bytes_per_sector = bytes_per_sector;
    d.free_clusters = free_clusters;
    d.total_clusters = total_clusters;
}

bool simi_drive_get(char letter, simi_drive *out)
{
    int i = fs_letter_index(letter);
    if (i < 0 || !fs_drives[i].present)
        return false;
    *out = fs_drives[i].d;
    return true;
}

void simi_drive_set(const simi_drive &drive)
{
    int i = fs_letter_index(drive.letter);
    if (i < 0)
        return;
    fs_drive &d = fs_drives[i];
    if (!d.present) {
        d = fs_drive();
        d.present = true;
        d.sectors_per_cluster = 8;
        d.bytes_per_sector = 512;
        d.free_clusters = 262144;
        d.total_clusters = 524288;
    }
    d.d = drive;
    d.d.letter = (char)('A' + i);
}

/* Geometry for the disk calls (kernel32_file.cpp). */
bool fs_drive_geometry(char letter, DWORD geometry[4])
{
    int i = fs_letter_index(letter);
    if (i < 0 || !fs_drives[i].present)
        return false;
    fs_drive &d = fs_drives[i];
    geometry[0] = d.sectors_per_cluster;
    geometry[1] = d.bytes_per_sector;
    geometry[2] = d.free_clusters;
    geometry[3] = d.total_clusters;
    return true;
}

std::string simi_windows_dir(void)
{
    return fs_windows_dir;
}

void sim_set_windows_dir(const char *win_path)
{
    fs_windows_dir = win_path != NULL ? win_path : "";
}

/* ---- Shares and connections --------------------------------------------------------------- */

static std::string fs_strip_slashes(const char *host)
{
    while (*host == '\\' || *host == '/')
        host++;
    return host;
}

static fs_share *fs_find_share(const std::string &host, const std::string &share)
{
    for (fs_share &s : fs_shares)
        if (simi_same(s.host, host) && simi_same(s.share, share))
            return &s;
    return NULL;
}

void sim_add_share(const char *host, const char *share, const char *host_dir)
{
    std::string h = fs_strip_slashes(host != NULL ? host : "");
    std::string sh = share != NULL ? share : "";
    fs_share *s = fs_find_share(h, sh);
    if (s == NULL) {
        fs_shares.push_back(fs_share{h, sh, "", false});
        s = &fs_shares.back();
    }
    s->dir = host_dir != NULL ? host_dir : "";
}

void sim_deny_share(const char *host, const char *share)
{
    std::string h = fs_strip_slashes(host != NULL ? host : "");
    std::string sh = share != NULL ? share : "";
    fs_share *s = fs_find_share(h, sh);
    if (s == NULL) {
        fs_shares.push_back(fs_share{h, sh, "", true});
        return;
    }
    s->denied = true;
}

bool simi_share_dir(const char *host, const char *share, std::string *host_dir, DWORD *error)
{
    std::string h = fs_strip_slashes(host != NULL ? host : "");
    std::string sh = share != NULL ? share : "";
    bool host_known = false;
    for (const fs_share &s : fs_shares)
        if (simi_same(s.host, h))
            host_known = true;
    if (!host_known) {
        *error = ERROR_BAD_NETPATH;
        return false;
    }
    fs_share *s = fs_find_share(h, sh);
    if (s == NULL) {
        *error = ERROR_BAD_NET_NAME;
        return false;
    }
    if (s->denied) {
        *error = ERROR_ACCESS_DENIED;
        return false;
    }
    if (s->dir.empty()) {
        *error = ERROR_BAD_NET_NAME;
        return false;
    }
    *host_dir = s->dir;
    return true;
}

static void fs_set_connection(char letter, const char *remote_name, bool remembered_only)
{
    int i = fs_letter_index(letter);
    if (i < 0)
        return;
    simi_drive d;
    d.letter = (char)('A' + i);
    d.type = DRIVE_REMOTE;
    d.remote = remote_name != NULL ? remote_name : "";
    d.remembered_only = remembered_only;
    /* The host directory follows the share at each use, so a share added or denied later
     * is seen. */
    simi_drive_set(d);
}

void sim_connect(char letter, const char *remote_name)
{
    fs_set_connection(letter, remote_name, false);
}

void sim_remember(char letter, const char *remote_name)
{
    fs_set_connection(letter, remote_name, true);
}

std::vector<sim_connection> sim_connections(void)
{
    std::vector<sim_connection> out;
    for (const fs_drive &d : fs_drives)
        if (d.present && !d.d.remote.empty())
            out.push_back(sim_connection{d.d.letter, d.d.remote, d.d.remembered_only});
    return out;
}

/* ---- Resolution --------------------------------------------------------------------------- */

static bool fs_stat(const std::string &host, struct stat *st)
{
    return stat(host.c_str(), st) == 0;
}

/* The entry of dir named name, without regard to case; an exact spelling wins, then the
 * smallest of several spellings, so the answer never depends on directory order. */
static bool fs_find_in(const std::string &dir, const std::string &name, std::string *found)
{
    struct stat st;
    if (lstat((dir + "/" + name).c_str(), &st) == 0) {
        *found = name;
        return true;
    }
    DIR *dp = opendir(dir.c_str());
    if (dp == NULL)
        return false;
    bool any = false;
    struct dirent *e;
    while ((e = readdir(dp)) != NULL) {
        if (!simi_same(e->d_name, name))
            continue;
        if (!any || strcmp(e->d_name, found->c_str()) < 0)
            *found = e->d_name;
        any = true;
    }
    closedir(dp);
    return any;
}

/* The host directory behind a \\host\share\more name. */
static bool fs_unc_base(const std::string &host, const std::string &share,
                        const std::vector<std::string> &more, std::string *dir, DWORD *error)
{
    if (!simi_share_dir(host.c_str(), share.c_str(), dir, error))
        return false;
    for (const std::string &c : more) {
        std::string found;
        struct stat st;
        if (!fs_find_in(*dir, c, &found) || !fs_stat(*dir + "/" + found, &st) ||
            !S_ISDIR(st.st_mode)) {
            *error = ERROR_BAD_NET_NAME;
            return false;
        }
        *dir += "/" + found;
    }
    return true;
}

static void fs_split(const std::string &text, std::vector<std::string> *parts)
{
    size_t start = 0;
    for (size_t i = 0; i <= text.size(); i++) {
        if (i == text.size() || text[i] == '\\') {
            if (i > start)
                parts->push_back(text.substr(start, i - start));
            start = i + 1;
        }
    }
}

static bool fs_drive_base(int index, std::string *dir, DWORD *error)
{
    const fs_drive &d = fs_drives[index];
    if (!d.present || d.d.remembered_only) {
        *error = FS_ERROR_NO_DRIVE;
        return false;
    }
    if (!d.d.host_dir.empty()) {
        *dir = d.d.host_dir;
        return true;
    }
    if (d.d.remote.empty()) {
        *error = ERROR_NOT_READY;
        return false;
    }
    std::vector<std::string> parts;
    fs_split(d.d.remote, &parts);
    if (parts.size() < 2) {
        *error = ERROR_BAD_NETPATH;
        return false;
    }
    std::vector<std::string> more(parts.begin() + 2, parts.end());
    return fs_unc_base(parts[0], parts[1], more, dir, error);
}

/* The caller's path with every slash a backslash; ERROR_INVALID_NAME for a character no
 * Windows name may hold, ERROR_PATH_NOT_FOUND for no path at all. */
static bool fs_normalise(const char *win_path, std::string *p, DWORD *error)
{
    if (win_path == NULL) {
        *error = ERROR_PATH_NOT_FOUND;
        return false;
    }
    *p = win_path;
    for (size_t i = 0; i < p->size(); i++) {
        unsigned char c = (unsigned char)(*p)[i];
        if (c == '/')
            (*p)[i] = '\\';
        else if (c < 0x20 || strchr("<>\"|?*", c) != NULL || (c == ':' && i != 1)) {
            *error = ERROR_INVALID_NAME;
            return false;
        }
    }
    if (p->empty()) {
        *error = ERROR_PATH_NOT_FOUND;
        return false;
    }
    return true;
}

/* Where a path starts: *base the host directory of its share or drive, *drive its letter (0
 * for a UNC path), *rest what follows the share or the drive. */
static bool fs_start(const std::string &p, std::string *base, char *drive, std::string *rest,
                     DWORD *error)
{
    if (p.size() >= 2 && p[0] == '\\' && p[1] == '\\') {
        std::vector<std::string> parts;
        fs_split(p.substr(2), &parts);
        if (parts.size() < 2) {
            *error = ERROR_BAD_NETPATH;
            return false;
        }
        if (!fs_unc_base(parts[0], parts[1], {}, base, error))
            return false;
        size_t skip = 2;
        for (int n = 0; n < 2; n++) {
            skip = p.find('\\', skip);
            skip = skip == std::string::npos ? p.size() : skip + 1;
        }
        *drive = 0;
        *rest = p.substr(skip);
        return true;
    }
    int index;
    if (p.size() >= 2 && p[1] == ':') {
        index = fs_letter_index(p[0]);
        if (index < 0) {
            *error = ERROR_INVALID_NAME;
            return false;
        }
        *rest = p.substr(2); /* "X:a" is relative to X:'s current directory, its root */
    } else {
        index = 2; /* the current drive and directory: C:\ */
        *rest = p;
    }
    if (!fs_drive_base(index, base, error))
        return false;
    *drive = (char)('A' + index);
    return true;
}

/* The names below the start, with "." and ".." applied (never above the start) and the
 * trailing dots and blanks dropped that Windows drops from a name. A last name of nothing but
 * dots and blanks (such as "...") leaves only the separator before it: *ends_in_separator. */
static void fs_components(const std::string &rest, std::vector<std::string> *comps,
                          bool *ends_in_separator)
{
    std::vector<std::string> raw;
    fs_split(rest, &raw);
    *ends_in_separator = !rest.empty() && rest.back() == '\\';
    for (size_t i = 0; i < raw.size(); i++) {
        std::string c = raw[i];
        if (i + 1 == raw.size() && c != "." && c != ".." &&
            c.find_first_not_of(". ") == std::string::npos)
            *ends_in_separator = true;
        if (c == ".")
            continue;
        if (c == "..") {
            if (!comps->empty())
                comps->pop_back();
            continue;
        }
        while (!c.empty() && (c.back() == '.' || c.back() == ' '))
            c.pop_back();
        if (!c.empty())
            comps->push_back(c);
    }
}

/* Follow comps down from base on the host, each without regard to case. Only the last may be
 * missing (e->r.exists false, its host path as spelled); a missing or non-directory step
 * before it is ERROR_PATH_NOT_FOUND. */
static bool fs_walk(const std::string &base, const std::vector<std::string> &comps,
                    fs_entry *e, DWORD *error)
{
    std::string cur = base;
    struct stat st;
    if (!fs_stat(cur, &st) || !S_ISDIR(st.st_mode)) {
        *error = e->r.drive != 0 ? ERROR_NOT_READY : ERROR_BAD_NET_NAME;
        return false;
    }
    e->r.exists = true;
    e->r.is_dir = true;
    for (size_t i = 0; i < comps.size(); i++) {
        bool last = i + 1 == comps.size();
        std::string found;
        if (!fs_find_in(cur, comps[i], &found)) {
            if (!last) {
                *error = ERROR_PATH_NOT_FOUND;
                return false;
            }
            cur += "/" + comps[i];
            e->r.exists = false;
            e->r.is_dir = false;
            break;
        }
        cur += "/" + found;
        bool dir = fs_stat(cur, &st) && S_ISDIR(st.st_mode);
        if (!last && !dir) {
            *error = ERROR_PATH_NOT_FOUND;
            return false;
        }
        e->r.is_dir = dir;
    }
    e->r.host = cur;
    return true;
}

bool fs_resolve_as(const char *win_path, unsigned how, fs_entry *out, DWORD *error)
{
    /* An ANSI name reaches the system through a buffer of MAX_PATH characters and its NUL;
     * a longer one goes no further. */
    if (win_path != NULL && (how & FS_ANY_LENGTH) == 0 && strlen(win_path) > MAX_PATH) {
        *error = ERROR_FILENAME_EXCED_RANGE;
        return false;
    }
    /* A path of blanks alone is no name at all (not the current folder). */
    if (win_path != NULL && win_path[0] != 0 && strspn(win_path, " ") == strlen(win_path)) {
        *error = ERROR_PATH_NOT_FOUND;
        return false;
    }
    std::string p, base, rest;
    char drive;
    std::vector<std::string> comps;
    if (!fs_normalise(win_path, &p, error) || !fs_start(p, &base, &drive, &rest, error))
        return false;
    bool ends_in_separator;
    fs_components(rest, &comps, &ends_in_separator);

    fs_entry e;
    e.r.drive = drive;
    e.trailing_sep = ends_in_separator;
    e.root = comps.empty();
    if (!fs_walk(base, comps, &e, error))
        return false;
    if (e.r.exists && !e.r.is_dir && e.trailing_sep && (how & FS_AS_TARGET) == 0) {
        /* A file used as a folder: opening it so is an invalid name, asking after its
         * attributes finds no such folder. */
        *error = (how & FS_QUERY) != 0 ? ERROR_PATH_NOT_FOUND : ERROR_INVALID_NAME;
        return false;
    }
    e.name = comps.empty() ? std::string() : comps.back();
    *out = e;
    return true;
}

bool fs_resolve(const char *win_path, fs_entry *out, DWORD *error)
{
    return fs_resolve_as(win_path, 0, out, error);
}

bool simi_resolve(const char *win_path, simi_resolved *out, DWORD *error)
{
    fs_entry e;
    DWORD err = 0;
    if (!fs_resolve(win_path, &e, &err)) {
        *error = err == FS_ERROR_NO_DRIVE ? ERROR_PATH_NOT_FOUND : err;
        return false;
    }
    *out = e.r;
    return true;
}

std::string sim_host_path(const char *win_path)
{
    simi_resolved r;
    DWORD error;
    if (!simi_resolve(win_path, &r, &error))
        return "";
    return r.host;
}

/* ---- Whole files -------------------------------------------------------------------------- */

bool simi_read_file(const char *win_path, std::string *bytes, DWORD *error)
{
    fs_entry e;
    if (!fs_resolve(win_path, &e, error)) {
        if (*error == FS_ERROR_NO_DRIVE)
            *error = ERROR_PATH_NOT_FOUND;
        return false;
    }
    if (!e.r.exists) {
        *error = ERROR_FILE_NOT_FOUND;
        return false;
    }
    if (e.r.is_dir) {
        *error = ERROR_ACCESS_DENIED;
        return false;
    }
    int fd = open(e.r.host.c_str(), O_RDONLY);
    if (fd < 0) {
        *error = ERROR_ACCESS_DENIED;
        return false;
    }
    std::string data;
    char buf[8192];
    ssize_t n;
    while ((n = read(fd, buf, sizeof buf)) > 0)
        data.append(buf, (size_t)n);
    close(fd);
    if (n < 0) {
        *error = 30; /* ERROR_READ_FAULT */
        return false;
    }
    *bytes = data;
    return true;
}

bool simi_file_writable(const char *win_path, DWORD *error)
{
    fs_entry e;
    if (!fs_resolve(win_path, &e, error)) {
        if (*error == FS_ERROR_NO_DRIVE)
            *error = ERROR_PATH_NOT_FOUND;
        return false;
    }
    if (!e.r.exists)
        return true;
    if (e.r.is_dir || fs_is_readonly(e.r.host)) {
        *error = ERROR_ACCESS_DENIED;
        return false;
    }
    return true;
}

bool simi_write_file(const char *win_path, const std::string &bytes, DWORD *error)
{
    fs_entry e;
    if (!fs_resolve(win_path, &e, error)) {
        if (*error == FS_ERROR_NO_DRIVE)
            *error = ERROR_PATH_NOT_FOUND;
        return false;
    }
    if (e.r.is_dir || (e.r.exists && fs_is_readonly(e.r.host))) {
        *error = ERROR_ACCESS_DENIED;
        return false;
    }
    if (e.r.exists && fs_is_busy(e.r.host) && fs_open.find(e.r.host) == fs_open.end()) {
        *error = ERROR_SHARING_VIOLATION;
        return false;
    }
    struct stat st;
    uint64_t old_size = e.r.exists && fs_stat(e.r.host, &st) ? (uint64_t)st.st_size : 0;
    if (!fs_space_grow(e.r.drive, old_size, bytes.size())) {
        *error = ERROR_DISK_FULL;
        return false;
    }
    if (!simi_mutation_allowed()) {
        fs_space_shrink(e.r.drive, bytes.size(), old_size);
        *error = FS_CRASH_ERROR;
        return false;
    }
    int fd = open(e.r.host.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (fd < 0) {
        fs_space_shrink(e.r.drive, bytes.size(), old_size);
        *error = ERROR_ACCESS_DENIED;
        return false;
    }
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0)
            break;
        done += (size_t)n;
    }
    close(fd);
    if (done < bytes.size()) {
        *error = ERROR_DISK_FULL;
        return false;
    }
    fs_space_shrink(e.r.drive, old_size, bytes.size());
    return true;
}

/* ---- Crash switch ------------------------------------------------------------------------- */

void sim_crash_after(unsigned k)
{
    fs_crash_armed = k != 0;
    fs_crash_left = k;
}

bool simi_mutation_allowed(void)
{
    if (!fs_crash_armed)
        return true;
    if (fs_crash_left == 0)
        return false;
    fs_crash_left--;
    return true;
}

/* ---- Side tables -------------------------------------------------------------------------- */

bool fs_is_readonly(const std::string &host)
{
    struct stat st;
    return fs_stat(host, &st) && S_ISREG(st.st_mode) && (st.st_mode & S_IWUSR) == 0;
}

bool fs_set_readonly(const std::string &host, bool readonly)
{
    struct stat st;
    if (!fs_stat(host, &st))
        return false;
    if (!S_ISREG(st.st_mode))
        return true; /* the attribute means nothing on a directory here */
    mode_t mode = st.st_mode & 07777;
    mode = readonly ? (mode & ~(mode_t)0222) : (mode | S_IWUSR);
    return chmod(host.c_str(), mode) == 0;
}

void fs_open_add(const std::string &host, unsigned access, unsigned share)
{
    fs_open[host].push_back(fs_opened{access, share});
}

void fs_open_remove(const std::string &host, unsigned access, unsigned share)
{
    auto it = fs_open.find(host);
    if (it == fs_open.end())
        return;
    std::vector<fs_opened> &v = it->second;
    for (size_t i = 0; i < v.size(); i++)
        if (v[i].access == access && v[i].share == share) {
            v.erase(v.begin() + (long)i);
            break;
        }
    if (v.empty())
        fs_open.erase(it);
}

bool fs_is_open(const std::string &host)
{
    return fs_open.find(host) != fs_open.end();
}

/* Two opens of one file agree when each lets the other do what it asked for; an open that
 * asks for none of reading, writing and deleting meets no other (as Windows counts them). */
DWORD fs_share_check(const std::string &host, unsigned access, unsigned share)
{
    if (access == 0)
        return 0;
    auto it = fs_open.find(host);
    if (it == fs_open.end())
        return 0;
    for (const fs_opened &o : it->second) {
        if (o.access == 0)
            continue;
        if ((access & ~o.share) != 0 || (o.access & ~share) != 0)
            return ERROR_SHARING_VIOLATION;
    }
    return 0;
}

bool fs_is_busy(const std::string &host)
{
    /* Deleting and renaming ask for delete access, which none of the C runtime's and
     * _lopen's opens share. */
    if (fs_share_check(host, FS_DELETE, FS_READ | FS_WRITE | FS_DELETE) != 0)
        return true;
    for (const std::string &w : fs_held) {
        simi_resolved r;
        DWORD error;
        if (simi_resolve(w.c_str(), &r, &error) && r.host == host)
            return true;
    }
    return false;
}

DWORD fs_flags_get(const std::string &host)
{
    auto it = fs_flag_table.find(host);
    return it == fs_flag_table.end() ? 0 : it->second;
}

void fs_flags_set(const std::string &host, DWORD flags)
{
    flags &= FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    if (flags == 0)
        fs_flag_table.erase(host);
    else
        fs_flag_table[host] = flags;
}

void fs_flags_moved(const std::string &from, const std::string &to)
{
    DWORD flags = fs_flags_get(from);
    fs_flag_table.erase(from);
    fs_flags_set(to, flags);
}

void sim_hold_open(const char *win_path)
{
    if (win_path != NULL)
        fs_held.push_back(win_path);
}

int sim_open_files(void)
{
    int n = 0;
    for (const auto &kv : fs_open)
        n += (int)kv.second.size();
    return n;
}

void sim_set_rename_cross_device(bool on)
{
    fs_cross_device = on;
}

bool fs_rename_cross_device(void)
{
    return fs_cross_device;
}

uint64_t fs_clusters_of(uint64_t cluster_bytes, uint64_t size)
{
    if (cluster_bytes == 0)
        return 0;
    return (size + cluster_bytes - 1) / cluster_bytes;
}

static uint64_t fs_clusters(const fs_drive &d, uint64_t size)
{
    return fs_clusters_of((uint64_t)d.sectors_per_cluster * d.bytes_per_sector, size);
}

bool fs_space_grow(char drive, uint64_t old_size, uint64_t new_size)
{
    int i = fs_letter_index(drive);
    if (i < 0 || !fs_drives[i].present || new_size <= old_size)
        return true;
    fs_drive &d = fs_drives[i];
    uint64_t need = fs_clusters(d, new_size) - fs_clusters(d, old_size);
    if (need > d.free_clusters)
        return false;
    d.free_clusters -= (DWORD)need;
    return true;
}

void fs_space_shrink(char drive, uint64_t old_size, uint64_t new_size)
{
    int i = fs_letter_index(drive);
    if (i < 0 || !fs_drives[i].present || new_size >= old_size)
        return;
    fs_drive &d = fs_drives[i];
    uint64_t back = fs_clusters(d, old_size) - fs_clusters(d, new_size);
    /* Files that were there before the geometry was set may give back more than the disk
     * holds: never report more free than total. */
    uint64_t free = (uint64_t)d.free_clusters + back;
    uint64_t cap = d.total_clusters > d.free_clusters ? d.total_clusters : d.free_clusters;
    d.free_clusters = (DWORD)(free > cap ? cap : free);
}

/* 100 ns units between 1601-01-01 and 1970-01-01. */
#define FS_EPOCH_DIFF 116444736000000000ULL
/* 2038-01-19, where the host's file times may end. */
#define FS_HOST_STAMP_END (FS_EPOCH_DIFF + 0x7FFFFFFFULL * 10000000ULL)

static uint64_t fs_host_mtime(const std::string &host)
{
    struct stat st;
    if (!fs_stat(host, &st))
        return 0;
    return FS_EPOCH_DIFF + (uint64_t)st.st_mtim.tv_sec * 10000000ULL +
           (uint64_t)st.st_mtim.tv_nsec / 100;
}

void fs_times_get(const std::string &host, uint64_t stamps[3])
{
    /* The write stamp is the host file's own modification time, so every write through
     * any path updates it; the other two live beside it from their first use. */
    uint64_t write = fs_host_mtime(host);
    auto it = fs_stamp_table.find(host);
    if (it == fs_stamp_table.end())
        it = fs_stamp_table.emplace(host, fs_stamps{write, write, false, 0, 0}).first;
    stamps[0] = it->second.creation;
    stamps[1] = it->second.access;
    stamps[2] = it->second.write_set && it->second.write_host == write ? it->second.write : write;
}

bool fs_times_set(const std::string &host, const uint64_t *creation, const uint64_t *access,
                  const uint64_t *write)
{
    uint64_t now[3];
    fs_times_get(host, now);
    if (write != NULL && *write >= FS_EPOCH_DIFF && *write < FS_HOST_STAMP_END) {
        /* The host file carries the stamp too where it can, for whatever reads it there. */
        uint64_t units = *write - FS_EPOCH_DIFF;
        struct timespec ts[2];
        ts[0].tv_sec = 0;
        ts[0].tv_nsec = UTIME_OMIT;
        ts[1].tv_sec = (time_t)(units / 10000000ULL);
        ts[1].tv_nsec = (long)(units % 10000000ULL) * 100;
        if (utimensat(AT_FDCWD, host.c_str(), ts, 0) != 0)
            return false;
    }
    fs_stamps &s = fs_stamp_table[host];
    if (write != NULL) {
        s.write_set = true;
        s.write = *write;
        s.write_host = fs_host_mtime(host);
    }
    if (creation != NULL)
        s.creation = *creation;
    if (access != NULL)
        s.access = *access;
    return true;
}

void fs_times_moved(const std::string &from, const std::string &to)
{
    auto it = fs_stamp_table.find(from);
    fs_stamp_table.erase(to);
    if (it == fs_stamp_table.end())
        return;
    fs_stamps s = it->second;
    fs_stamp_table.erase(it);
    fs_stamp_table[to] = s;
}

void fs_times_forget(const std::string &host)
{
    fs_stamp_table.erase(host);
}

/* ---- Errors ------------------------------------------------------------------------------- */

struct fs_errno_row {
    DWORD win32;
    int err;
};

/* The C runtime's mapping of the errors this model produces. An unknown server is EINVAL as
 * measured (the path is unreachable, not absent). */
static const fs_errno_row fs_errno_table[] = {
    {ERROR_FILE_NOT_FOUND, ENOENT},     {ERROR_PATH_NOT_FOUND, ENOENT},
    {FS_ERROR_NO_DRIVE, ENOENT},        {ERROR_TOO_MANY_OPEN_FILES, EMFILE},
    {ERROR_ACCESS_DENIED, EACCES},      {ERROR_INVALID_HANDLE, EBADF},
    {ERROR_NOT_ENOUGH_MEMORY, ENOMEM},  {ERROR_BAD_FORMAT, ENOEXEC},
    {17, EXDEV},                        {ERROR_WRITE_PROTECT, EACCES},
    {ERROR_NOT_READY, EACCES},          {ERROR_SHARING_VIOLATION, EACCES},
    {ERROR_LOCK_VIOLATION, EACCES},     {ERROR_BAD_NETPATH, EINVAL},
    {ERROR_NETWORK_ACCESS_DENIED, EACCES}, {ERROR_BAD_NET_NAME, ENOENT},
    {80, EEXIST},                       {ERROR_INVALID_PARAMETER, EINVAL},
    {ERROR_DISK_FULL, ENOSPC},          {ERROR_HANDLE_DISK_FULL, ENOSPC},
    {ERROR_BAD_PATHNAME, ENOENT},       {ERROR_ALREADY_EXISTS, EEXIST},
    {ERROR_FILENAME_EXCED_RANGE, ENOENT},
};

int fs_errno_from_win32(DWORD error)
{
    for (const fs_errno_row &row : fs_errno_table)
        if (row.win32 == error)
            return row.err;
    return EINVAL;
}
