/* A fresh workstation for a test, the same on the simulation and on Windows (Wine): a scratch
 * directory reachable by a Windows path, and small file helpers over the platform boundary. */
#ifndef TESTS_SUPPORT_WORKSTATION_H
#define TESTS_SUPPORT_WORKSTATION_H

#include <string>
#include <vector>

#include "platform/os.h"

/* Start from a fresh workstation (on the simulation: sim_reset() with a C: drive on a fresh
 * host directory, C:\WINDOWS present) and return a fresh, empty scratch directory as a Windows
 * path without trailing backslash, such as C:\vxtest. */
std::string ws_fresh(void);
/* True on the simulation; false on Windows or Wine. Tests do not branch on these: a difference
 * between Wine and Windows gets a marker (support/conformance.h), which uses them. */
bool ws_on_simulation(void);
/* True under Wine (false on the simulation and on real Windows). */
bool ws_on_wine(void);
/* The program runs as a 32-bit program on 64-bit Windows (WOW64), where HKEY_LOCAL_MACHINE\SOFTWARE
 * is reached through SOFTWARE\Wow6432Node unless a call asks for KEY_WOW64_64KEY. */
bool ws_wow64(void);
/* What the tests run on, for a report: "simulation", "Wine 8.0", "Windows 6.1.7601". */
std::string ws_platform(void);

/* The label of the medium in the test workstation's first removable drive. */
#define WS_MEDIUM_LABEL "VXTEST 1"
/* The removable drives of the test workstation, by their roots. */
struct ws_drives {
    std::string labelled; /* A:\ holding a medium labelled WS_MEDIUM_LABEL */
    std::string blank;    /* F:\ holding a medium without label */
    std::string empty;    /* B:\ without medium */
};
/* The removable drives. False when the platform has no such drives (the test then skips). On
 * the simulation fresh floppy disks (2847 clusters of 512 bytes); under Wine the drives that
 * cmake/wine-test.sh gives its prefix, shared by every test of the run, some at the same
 * time: a test writes files of names no other uses and deletes them, and a label, read when
 * the Wine server starts, stays as it was for the whole run (a test that changes one puts it
 * back). */
bool ws_removable_drives(ws_drives *out);

/* Whole-file helpers through crt_fopen in binary mode. */
bool ws_write_file(const std::string &win_path, const std::string &bytes);
bool ws_read_file(const std::string &win_path, std::string *bytes);
bool ws_file_exists(const std::string &win_path);
/* The file's bytes, or "<none>" when it cannot be read. */
std::string ws_content(const std::string &win_path);
/* A file's creation, last access and last write times, read or set through an open handle. */
bool ws_read_stamps(const std::string &win_path, FILETIME stamps[3]);
bool ws_write_stamps(const std::string &win_path, const FILETIME stamps[3]);
/* The bytes of the smallest program Windows starts (the example office's installer, made by
 * scripts/make-installer-image.py): WinExec starts it, where a file that is no image gives 11. */
std::string ws_program_image(void);

/* One entry of a folder as a listing shows it. */
struct ws_listed {
    std::string name;      /* as the folder spells it */
    unsigned long attributes; /* GetFileAttributesA's answer */
    std::string content;   /* a file's bytes ("" for a folder) */
};
/* A new folder (false when it cannot be made). */
bool ws_make_dir(const std::string &win_path);
/* A folder's entries, without "." and "..", in byte order of their names; a file's bytes are
 * read beside any handle that holds it. False when the folder cannot be listed. */
bool ws_list(const std::string &win_dir, std::vector<ws_listed> *out);
/* Remove a folder with everything below it, read-only entries included. */
void ws_remove_tree(const std::string &win_dir);

/* win_path\name */
std::string ws_join(const std::string &dir, const std::string &name);

/* Remove a key below HKEY_LOCAL_MACHINE with everything under it, for tests that made one
 * there (the simulation forgets its registry at the next ws_fresh() anyway); view64: the key
 * as the 64-bit view has it (KEY_WOW64_64KEY). */
void ws_reg_delete_tree(const std::string &hklm_path, bool view64 = false);
/* Delete the key hklm_path below HKEY_LOCAL_MACHINE only when it has no subkeys: a parent that
 * test programs running side by side share goes with the last of them, never under another. */
void ws_reg_delete_if_empty(const std::string &hklm_path);

#endif
