/* The simulated workstation's own interface: how tests and the klagent-sim front end set a
 * workstation up, inject faults, and read what the system did to it. The Win32 and C runtime
 * entry points themselves are declared in sim/include/os_impl.h.
 *
 * Model: one process-wide workstation. Drive letters map to host directories; names resolve
 * without regard to case as on Windows. A local registry and the registries of remote machines;
 * file servers with shares backed by host directories; the process (module path, command line,
 * environment, Windows version); the user interface (message boxes, window classes). Every entry
 * point records its call; tests assert on the records. */
#ifndef SIM_SIM_H
#define SIM_SIM_H

#include <stdint.h>
#include <stdio.h>

#include <string>
#include <vector>

#include "os_impl.h"

/* ---- Workstation ------------------------------------------------------------------------- */

/* Forget everything: no drives, empty registries, no servers or connections, no faults, empty
 * records, default version (Windows NT 6.1), computer name "WORKSTATION", Windows directory
 * C:\WINDOWS, icon resource present. Host directories are not touched. */
void sim_reset(void);

/* Make a fresh, empty host directory for a test or a world (under $TMPDIR); removed by
 * sim_cleanup_temp_dirs() or at process exit. */
std::string sim_make_temp_dir(void);
void sim_cleanup_temp_dirs(void);

/* Map a drive letter to a host directory with a Win32 drive type (DRIVE_FIXED, ...). A null
 * host directory is a drive without medium. Returns false for a bad letter. */
bool sim_add_drive(char letter, UINT type, const char *host_dir);
void sim_remove_drive(char letter);
/* Disk geometry for GetDiskFreeSpaceA; the default is 8 sectors of 512 bytes per cluster with
 * 262144 free of 524288 clusters. Writes that would pass the free space fail as a full disk. */
void sim_set_drive_geometry(char letter, DWORD sectors_per_cluster, DWORD bytes_per_sector,
                            DWORD free_clusters, DWORD total_clusters);
/* Removable media. A medium is a host directory with the capacity of a disk: its free space is
 * its capacity less the clusters its files take, measured when it is inserted and kept up to
 * date by every write. Its label lives in the file ".windows-label" in its root (the label and
 * a line end), where Wine keeps a directory drive's label, so a folder of volumes made here is
 * a drive under Wine as well (Wine reads the file when its server starts).
 * Insert host_dir into a drive of the table (added with a null host directory for an empty
 * drive): false for a letter not in the table. Eject leaves the drive without medium. */
bool sim_insert_medium(char letter, const char *host_dir, DWORD sectors_per_cluster,
                       DWORD bytes_per_sector, DWORD total_clusters);
void sim_eject_medium(char letter);
/* A medium's label, read and written in its folder directly ("" when it has none). */
std::string sim_medium_label(const std::string &host_dir);
bool sim_set_medium_label(const std::string &host_dir, const char *label);
/* The file in a medium's root that holds its label. */
#define SIM_LABEL_FILE ".windows-label"

/* The host path a Windows path resolves to now (case-blind), or "" when it does not resolve. */
std::string sim_host_path(const char *win_path);

void sim_set_computer_name(const char *name);
/* The local time GetLocalTime answers with (day of week and milliseconds as given); a fresh
 * simulation answers 2026-03-02 08:15:00. */
void sim_set_local_time(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second);
void sim_set_windows_dir(const char *win_path);
void sim_set_module_path(const char *win_path);
/* The argument vector the runtime hands to the program; argv[0] names the program. */
void sim_set_args(int argc, const char *const *argv);
/* GetVersionExA's answer: platform id (VER_PLATFORM_WIN32_NT, ..._WINDOWS), major, minor. */
void sim_set_version(DWORD platform_id, DWORD major, DWORD minor);
void sim_set_version_fails(bool fails);
/* WinExec: by default a program that exists as a file starts (33) and a missing one gives 2.
 * A result set here for a program path (case-blind) wins. */
void sim_set_winexec_result(const char *program, UINT result);
void sim_set_icon_resource(bool present);
void sim_set_register_class_fails(bool fails);

/* ---- Registry ---------------------------------------------------------------------------- */

/* The program runs as a 32-bit program on 64-bit Windows: this workstation's
 * HKEY_LOCAL_MACHINE\SOFTWARE is then reached through the 32-bit view,
 * SOFTWARE\Wow6432Node, unless a call asks for KEY_WOW64_64KEY. Off by default (32-bit
 * Windows, one view). The set-up calls below always address the keys as stored. */
void sim_set_wow64(bool on);
bool sim_wow64(void);

/* machine "" (or null) is this workstation; others are remote machines, which must be added. */
void sim_add_machine(const char *name);
/* A known machine that cannot be reached: RegConnectRegistryA gives error (e.g. 53). */
void sim_set_machine_unreachable(const char *name, LONG error);
bool sim_reg_create_key(const char *machine, HKEY root, const char *path);
bool sim_reg_set(const char *machine, HKEY root, const char *path, const char *name, DWORD type,
                 const void *data, DWORD size);
bool sim_reg_set_text(const char *machine, HKEY root, const char *path, const char *name,
                      const char *text); /* REG_SZ with its terminator */
/* Read a value back: false when the key or value is missing. */
bool sim_reg_get(const char *machine, HKEY root, const char *path, const char *name, DWORD *type,
                 std::string *data);
bool sim_reg_key_exists(const char *machine, HKEY root, const char *path);
/* What RegCreateKeyExA recorded on a key it created (empty and false for other keys). */
struct sim_reg_key_facts {
    std::string class_name;
    bool has_security;       /* security attributes were given */
    DWORD security_length;   /* their nLength */
    BOOL security_inherit;   /* their bInheritHandle */
    int descriptor_revision; /* Revision of their descriptor, -1 when none was given */
};
bool sim_reg_key_info(const char *machine, HKEY root, const char *path, sim_reg_key_facts *out);
/* Deny access to a key (RegOpenKeyExA / RegCreateKeyExA give ERROR_ACCESS_DENIED). */
void sim_reg_deny(const char *machine, HKEY root, const char *path);
struct sim_reg_value {
    std::string path; /* key path below the root, as first created */
    std::string name;
    DWORD type;
    std::string data;
};
/* Every value of a machine's root key, in key order then value order (for saving a world). */
std::vector<sim_reg_value> sim_reg_dump(const char *machine, HKEY root);
std::vector<std::string> sim_reg_keys(const char *machine, HKEY root);

/* ---- Network ----------------------------------------------------------------------------- */

void sim_add_share(const char *host, const char *share, const char *host_dir);
void sim_deny_share(const char *host, const char *share);
/* An existing connection of a drive letter to \\host\share[\more]. */
void sim_connect(char letter, const char *remote_name);
/* A remembered but disconnected connection (WNetAddConnection2A gives 1202 on it). */
void sim_remember(char letter, const char *remote_name);
struct sim_connection {
    char letter;
    std::string remote;
    bool remembered_only;
};
std::vector<sim_connection> sim_connections(void);
/* Every WNetAddConnection2A call, in order, with what it asked for and its result. */
struct sim_net_attempt {
    DWORD type;         /* dwType of the resource (RESOURCETYPE_DISK, ...); 0 without one */
    std::string local;  /* lpLocalName, "" for none */
    std::string remote; /* lpRemoteName */
    std::string user;   /* "" for none (the current user) */
    bool password;      /* a password was given */
    DWORD flags;
    DWORD result;
};
const std::vector<sim_net_attempt> &sim_net_attempts(void);
/* Every WNetGetConnectionA call, in order: the device asked about and the result. */
struct sim_net_query {
    std::string local; /* lpLocalName, "" for none */
    DWORD result;
};
const std::vector<sim_net_query> &sim_net_queries(void);

/* ---- Records ----------------------------------------------------------------------------- */

struct sim_exec {
    std::string command_line;
    UINT show;
    UINT result;
};
struct sim_message_box {
    HWND owner;
    std::string text;
    std::string caption;
    UINT style;
};
struct sim_broadcast {
    HWND window;
    UINT message;
    WPARAM wparam;
    std::string text; /* lParam as text */
    UINT flags;
    UINT timeout_ms;
};
struct sim_window_class {
    std::string name;
    UINT style;
    WNDPROC proc;
    HINSTANCE instance;
    HICON icon;
    HCURSOR cursor;
    HBRUSH background;
    std::string menu;
    int cls_extra;
    int wnd_extra;
};
const std::vector<sim_exec> &sim_execs(void);
const std::vector<sim_message_box> &sim_message_boxes(void);
const std::vector<sim_broadcast> &sim_broadcasts(void);
const std::vector<sim_window_class> &sim_window_classes(void);
const std::vector<std::string> &sim_registered_messages(void);
/* The system's copy of the process environment as SetEnvironmentVariableA and crt_putenv left
 * it (crt_getenv reads the C runtime's copy, which only crt_putenv changes). */
bool sim_env_get(const char *name, std::string *value);

/* Every Reg* call, in order, with what it was given: the entry point, the key handle, the
 * machine (RegConnectRegistryA), the subkey or value name, the size, the access asked for, and
 * the error it returned. */
struct sim_reg_call {
    std::string call;    /* "RegQueryValueExA", ... */
    HKEY key;            /* the handle given (the root for RegConnectRegistryA) */
    bool predefined;     /* that handle is a predefined key such as HKEY_LOCAL_MACHINE */
    std::string machine; /* RegConnectRegistryA: the machine name as given, "" for null */
    std::string name;    /* the subkey (open, create) or value name (query, set, delete); "" for null */
    long size;           /* query: *lpcbData as given (-1 for a null size); set: cbData; else -1 */
    REGSAM access;       /* open, create: the access asked for; else 0 */
    LONG result;
};
const std::vector<sim_reg_call> &sim_reg_calls(void);

/* ---- The event log ---------------------------------------------------------------------------
 * One log for the whole machine, appended to by ReportEventA; every source writes there. */
struct sim_event {
    std::string source; /* as given to RegisterEventSourceA */
    WORD type;          /* EVENTLOG_ERROR_TYPE, ... */
    WORD category;
    DWORD id;
    std::vector<std::string> strings;
    DWORD data_size; /* bytes of raw data given */
};
const std::vector<sim_event> &sim_events(void);

/* Every platform call: its name, arguments and result, in order, as the trace prints them. */
struct sim_call {
    std::string name;
    std::string args;
    std::string result;
};
const std::vector<sim_call> &sim_calls(void);
/* Print each call as it happens (klagent-sim --trace); null stops. */
void sim_set_trace(FILE *out);

/* Live resources, for leak checks: streams and _lopen handles open, registry keys open (never
 * counting predefined keys), heap blocks taken through crt_malloc and not freed. */
int sim_open_files(void);
int sim_open_keys(void);
long sim_live_blocks(void);

/* ---- Faults ------------------------------------------------------------------------------ */

enum sim_family {
    SIM_MEM,      /* crt_malloc */
    SIM_OPEN,     /* crt_fopen, _lopen */
    SIM_READ,     /* stream reads (the stream's error indicator is set) */
    SIM_WRITE,    /* stream writes, including the flush at close */
    SIM_CLOSE,    /* fclose, _lclose */
    SIM_RENAME,   /* crt_rename, MoveFileA, MoveFileExA */
    SIM_DELETE,   /* DeleteFileA, crt_remove */
    SIM_REGISTRY, /* every Reg* call */
    SIM_NETWORK,  /* WNet* calls */
    SIM_PROFILE,  /* Write(Private)ProfileStringA, WritePrivateProfileSectionA */
    SIM_DISK,     /* GetDiskFreeSpaceA */
    SIM_STAMPS,   /* GetFileTime, SetFileTime */
    SIM_VOLUME,   /* GetVolumeInformationA, SetVolumeLabelA */
    SIM_EVENTLOG, /* RegisterEventSourceA, ReportEventA */
    SIM_FAMILY_COUNT
};
/* Fail the nth call of the family from now (1 = the next one); persistent: that one and every
 * later one. error is the errno (C runtime families) or Win32 error (the others) reported;
 * 0 picks the family's usual one (ENOMEM, EIO, ERROR_ACCESS_DENIED, ...). */
void sim_fault(sim_family family, unsigned nth, bool persistent, int error);
/* Fail allocations larger than size bytes. */
void sim_fault_mem_above(size_t size);
unsigned sim_fault_fired(sim_family family);
unsigned sim_calls_in_family(sim_family family);
void sim_fault_clear(void);
/* A crash of the file system: after k more mutating file operations (creating, writing a
 * buffer, renaming, deleting, changing attributes), every later one fails and changes
 * nothing, as if the machine had stopped there. 0 switches it off. */
void sim_crash_after(unsigned k);
/* DeleteFileA of this path gives ERROR_SHARING_VIOLATION, as if another process held it. */
void sim_hold_open(const char *win_path);
/* crt_rename of this pair of drives fails with EXDEV (a rename across devices). */
void sim_set_rename_cross_device(bool on);

#endif
