/* The file system model's private interface, shared by the file families (msvcrt, kernel32). */
#ifndef SIM_MODEL_FS_H
#define SIM_MODEL_FS_H

#include <stdint.h>

#include <string>

#include "sim/sim_internal.h"

/* Internal only: the drive letter is not in the table (callers choose 2 or 3 as Windows does
 * for the call at hand). */
#define FS_ERROR_NO_DRIVE 15L

struct fs_entry {
    simi_resolved r;
    std::string name;    /* last component as the caller spelled it (for a rename's new case) */
    bool root;           /* the path names the root of its drive or share */
    bool trailing_sep;   /* the path ended in a backslash */
};
/* simi_resolve with FS_ERROR_NO_DRIVE for a letter not in the table, ERROR_FILENAME_EXCED_RANGE
 * for a name longer than MAX_PATH and ERROR_INVALID_NAME for a file followed by a separator. */
bool fs_resolve(const char *win_path, fs_entry *out, DWORD *error);
/* The same, as a call that resolves its name its own way asks: */
#define FS_QUERY 1u      /* a file followed by a separator is a missing folder (3), not 123 */
#define FS_ANY_LENGTH 2u /* the name was converted without the MAX_PATH buffer */
#define FS_AS_TARGET 4u  /* a move's new name: a file followed by a separator resolves (the
                          * move itself refuses it, after its other checks) */
bool fs_resolve_as(const char *win_path, unsigned how, fs_entry *out, DWORD *error);

/* The read-only attribute, kept in the host file's write bits but never enforced by the
 * kernel (tests may run as root): every writer asks here. */
bool fs_is_readonly(const std::string &host);
bool fs_set_readonly(const std::string &host, bool readonly);

/* Open streams and _lopen handles by host path, each with the access it asked for and the
 * access it lets others have (sharing checks and sim_open_files). */
#define FS_READ 1u
#define FS_WRITE 2u
#define FS_DELETE 4u
void fs_open_add(const std::string &host, unsigned access, unsigned share);
void fs_open_remove(const std::string &host, unsigned access, unsigned share);
bool fs_is_open(const std::string &host);
/* ERROR_SHARING_VIOLATION when an open asking for access and sharing share cannot join the
 * opens the file has; 0 when it can. */
DWORD fs_share_check(const std::string &host, unsigned access, unsigned share);
/* Cannot be deleted or renamed now: open here, or held by "another process" (sim_hold_open). */
bool fs_is_busy(const std::string &host);

/* The hidden and system attributes, which the host has no place for: kept beside the file
 * by host path, carried by a rename and dropped with the file. */
DWORD fs_flags_get(const std::string &host);
void fs_flags_set(const std::string &host, DWORD flags);
void fs_flags_moved(const std::string &from, const std::string &to);

/* A drive's geometry {sectors per cluster, bytes per sector, free, total clusters}; false for
 * a letter not in the table. */
bool fs_drive_geometry(char letter, DWORD geometry[4]);
/* The drive letter a volume root names ("X:", "X:\...", NULL or "\" for C:); false for none. */
bool fs_root_letter(LPCSTR root, char *letter);
/* A file or volume call's end: logged, and with an error also the last error and FALSE. */
BOOL fs_call_result(const char *name, const std::string &args, DWORD error);
/* Clusters that a file of size bytes takes with clusters of cluster_bytes (0: none). */
uint64_t fs_clusters_of(uint64_t cluster_bytes, uint64_t size);

/* Free space per drive in clusters. grow: false (nothing taken) when the disk cannot hold
 * a file growing from old_size to new_size. drive 0 (a UNC path) is unlimited. */
bool fs_space_grow(char drive, uint64_t old_size, uint64_t new_size);
void fs_space_shrink(char drive, uint64_t old_size, uint64_t new_size);

/* Three stamps per file in 100 ns units since 1601 (creation, access, write). */
void fs_times_get(const std::string &host, uint64_t stamps[3]);
bool fs_times_set(const std::string &host, const uint64_t *creation, const uint64_t *access,
                  const uint64_t *write);
void fs_times_moved(const std::string &from, const std::string &to);
void fs_times_forget(const std::string &host);

/* The error the crash switch reports once the machine has stopped. */
#define FS_CRASH_ERROR ERROR_NOT_READY

/* Shared by crt_remove/DeleteFileA and crt_rename/MoveFile(Ex)A: 0 or a Win32 error. */
DWORD fs_delete(const char *win_path);
/* replace: an existing target is replaced in one step (rename(2)); copy_allowed: a move to
 * another drive copies and deletes; crt: the C runtime's rename (its cross-device switch). */
DWORD fs_move(const char *from, const char *to, bool replace, bool copy_allowed, bool crt);
bool fs_rename_cross_device(void);

/* errno for a Win32 error, as the C runtime maps them. */
int fs_errno_from_win32(DWORD error);

#endif
