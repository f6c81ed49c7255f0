/* What the simulation's families share among themselves (not for tests: see sim/sim.h). Each
 * Win32 or C runtime entry point is a thin wrapper that checks its arguments, asks the fault
 * switches, delegates to its family's model and records the call. */
#ifndef SIM_SIM_INTERNAL_H
#define SIM_SIM_INTERNAL_H

#include <string>
#include <vector>

#include "sim/sim.h"

/* ---- Call log (sim_core.cpp) --------------------------------------------------------------- */
/* Record one call; printed at once when tracing. */
void simi_log(const char *name, const std::string &args, const std::string &result);
/* A text argument as the log shows it: "text" with C escapes, or NULL. */
std::string simi_q(const char *text);
std::string simi_num(long long n);
std::string simi_hex(unsigned long long n);

/* ---- Names (sim_names.cpp) ------------------------------------------------------------------
 * Windows compares the names of keys, values, files, shares, variables, sections and classes
 * without regard to the case of A-Z; the simulation compares them so, and otherwise exactly. */
char simi_fold(char c);
std::string simi_folded(const std::string &name);
/* Whether two names (of na and nb characters) are the same name. */
bool simi_same_n(const char *a, size_t na, const char *b, size_t nb);
bool simi_same(const std::string &a, const std::string &b);
bool simi_same(const std::string &a, const char *b);
bool simi_same(const char *a, const char *b);
/* The drive letter c, in upper case, into *upper; false, *upper untouched, for anything but
 * A-Z and a-z. */
bool simi_drive_letter(char c, char *upper);

/* ---- Fault switches (sim_core.cpp) --------------------------------------------------------- */
/* Count one call of the family; true when it must fail, with *error the error to report (the
 * switch's own, or dflt when the switch said 0). */
bool simi_fault(sim_family family, int dflt, int *error);
/* True when an allocation of size bytes must fail (sim_fault_mem_above); counts as fired. */
bool simi_fault_mem_size(size_t size);

/* ---- Last error (sim_core.cpp) ------------------------------------------------------------- */
void simi_set_last_error(DWORD error);

/* ---- The process (kernel32_proc.cpp) -------------------------------------------------------- */
std::string simi_computer_name(void);
std::string simi_module_path(void);

/* ---- Reset hooks ------------------------------------------------------------------------------
 * Each model keeps its state in file-static records and registers a function that empties
 * them; sim_reset() calls all of them. Register from a static initialiser. */
typedef void (*simi_reset_fn)(void);
bool simi_on_reset(simi_reset_fn fn);

/* ---- The file system (model_fs.cpp) ---------------------------------------------------------
 * Windows paths resolve, without regard to case, over the drive table (drive letters mapped to
 * host directories, directly or through a connection to a share) and over UNC names of the
 * servers' shares. */
struct simi_resolved {
    std::string host;   /* host path of the entry (existing, or to be created by that name) */
    bool exists;        /* the entry exists */
    bool is_dir;        /* it is a directory */
    char drive;         /* upper-case drive letter, or 0 for a UNC path */
};
/* Resolve a path. False with *error (ERROR_PATH_NOT_FOUND when a directory on the way is
 * missing or the drive is unknown, ERROR_INVALID_NAME for characters Windows refuses,
 * ERROR_BAD_NETPATH for an unknown server, ERROR_BAD_NET_NAME for an unknown share,
 * ERROR_ACCESS_DENIED for a denied share, ERROR_NOT_READY for a drive without medium). */
bool simi_resolve(const char *win_path, simi_resolved *out, DWORD *error);
/* Whole-file access for the calls that read or rewrite a file at once (profile files): false
 * with a Win32 error (ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND, ERROR_ACCESS_DENIED for a
 * read-only file or a directory, ERROR_DISK_FULL, ...). Writing respects the read-only
 * attribute, the free space and the crash switch. */
bool simi_read_file(const char *win_path, std::string *bytes, DWORD *error);
bool simi_write_file(const char *win_path, const std::string &bytes, DWORD *error);
/* Whether a file could be opened for writing now: true for a missing file in an existing
 * directory; false with ERROR_ACCESS_DENIED for a read-only file or a directory, and the
 * resolution's errors otherwise. Nothing is changed. */
bool simi_file_writable(const char *win_path, DWORD *error);
/* The crash switch: count one mutating file operation; false once the machine has "stopped". */
bool simi_mutation_allowed(void);
/* The Windows directory, such as C:\WINDOWS. */
std::string simi_windows_dir(void);

/* Drive table and shares, for the network calls (mpr.cpp). */
struct simi_drive {
    char letter;          /* upper case */
    UINT type;
    std::string host_dir; /* empty: no medium */
    std::string remote;   /* for a connected network drive: \\host\share as connected */
    bool remembered_only; /* a remembered, disconnected connection: the letter is not usable */
};
bool simi_drive_get(char letter, simi_drive *out);
void simi_drive_set(const simi_drive &drive);
/* The host directory of \\host\share: false with ERROR_BAD_NETPATH, ERROR_BAD_NET_NAME or
 * ERROR_ACCESS_DENIED. */
bool simi_share_dir(const char *host, const char *share, std::string *host_dir, DWORD *error);

#endif
