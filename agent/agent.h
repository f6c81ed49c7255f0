/* The agent: entry, start classification, reconnection, registration and currency check,
 * installer launch and every message the user can see. */
#ifndef AGENT_AGENT_H
#define AGENT_AGENT_H

#include <stdint.h>

#include "platform/os.h"
#include "platform/status.h"
#include "stores/store.h"

/* Where the agent was started from: a removable or fixed drive, or a network drive. Held in
 * int32_t fields and parameters, which also carry 0 for a start not yet classified. */
typedef enum agent_start_mode { START_LOCAL = 2, START_NETWORK = 3 } agent_start_mode;

/* The window caption of every message the agent shows. */
#define AGENT_CAPTION "Vornex Client Software Agent"

/* ---- Entry and launch ------------------------------------------------------------------- */

/* Register the window message "WM_VORNEX_EXIT_INSTALL" (its number is kept, see
 * agent_main.cpp) and the window class "KlAgentClass" of instance [in]: style CS_HREDRAW |
 * CS_VREDRAW, agent_window_proc, the icon group VXINSTICON, the hourglass cursor. Returns the
 * class atom, or 0 when the class cannot be registered (the caller then ends silently). */
ATOM agent_register_class(HINSTANCE instance);

/* The class's window procedure: 0 for every message, none passed on. No window of the class is
 * ever created. */
LRESULT CALLBACK agent_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

/* One pass over the module path WinMain stored: agent_classify_start, agent_locate_installer,
 * then nothing (the client is current), the installer started, or one message box.
 * argc, argv [in]: the agent's own command line; elements 1 and up are passed on to the
 * installer, each after one blank and unquoted (null elements are skipped).
 * Always 0; every failure has been shown (or, from the network, hidden) by then. */
int agent_run(int argc, char **argv);

/* Classify the drive of module_path [in,out], which is upper-cased in place first (also when
 * the classification then fails).
 * start_mode [out]: START_LOCAL for a removable or fixed drive, START_NETWORK for a remote one.
 *   STATUS_OK: classified;
 *   STATUS_FAILED: a drive of any other type (CD-ROM, RAM disk, unknown, no root), a path that does
 *       not begin with a drive root (\\server\share\...), or a null module_path.
 * start_mode is untouched after a failure. */
status_t agent_classify_start(char *module_path, int32_t *start_mode);

/* Run the check (agent_check_current) for the agent's directory and choose the directory from
 * which the installer is to be started.
 * current [out]: nonzero when the client is current.
 * start_mode [in]: as agent_classify_start gave it.
 * module_path [in,out]: in, the agent's executable path (PATH_CAP bytes); out, the installer's
 *   directory: from the network the agent's own directory, locally SHARED_VORNEX_HOME\bin as
 *   the local registry holds it after the check (which may have reconnected the home under
 *   another drive root).
 *   STATUS_OK: from the network always: a failed check only makes the client not current; locally,
 *       the check passed and module_path names the installer's directory;
 *   STATUS_FAILED: the agent's directory or SHARED_VORNEX_HOME\bin does not fit a path buffer;
 *   locally, the check's status (agent_check_current) or that of reading SHARED_VORNEX_HOME.
 * After a failure module_path is untouched, and current is 0 unless the agent's directory did
 * not fit (the check was then not run and current is untouched). */
status_t agent_locate_installer(int32_t *current, int32_t start_mode, char *module_path);

/* The text shown for a WinExec result [in] below 32: the launch failure table, "An unknown
 * error occured while spawning the executable." for a result it does not name. Never null. */
const char *agent_launch_failure_text(UINT winexec_result);

/* The text shown for a nonzero status [in]: STATUS_NOT_FOUND, STATUS_ACCESS_DENIED and
 * STATUS_FAILED have their own, every other status "An unknown error has occured, please try
 * again or contact Vornex Support". Never null. */
const char *agent_status_text(status_t status);

/* ---- Registration and currency check ---------------------------------------------------- */

/* Make the server reachable (agent_reconnect_shared_home, agent_connect_clients_dir), then
 * look the client's time stamp up on the server and compare it with its own.
 * agent_dir [in]: the agent's directory, upper-cased; START_NETWORK requires it to lie within
 *   SHARED_VORNEX_HOME (text_contains, case-folded).
 * start_mode [in]: START_LOCAL or START_NETWORK.
 * current [out]: set to 0 first; 1 when the two time stamps are equal (text_versions_equal).
 *   STATUS_OK: the time stamps were compared;
 *   STATUS_NOT_FOUND: VORNEX_HOME, SHARED_VORNEX_HOME or CLIENTNAME cannot be read; the network
 *       agent lies outside the shared home; the local TIMESTAMP is missing;
 *   STATUS_ACCESS_DENIED: neither of the server's client lists has a TIMESTAMP for the client;
 *   the status of agent_reconnect_shared_home or agent_connect_clients_dir, unchanged;
 *   the other statuses of agent_read_server_timestamp (STATUS_FAILED,
 *   STATUS_INVALID_NAME, CLIENTS_DIR's lookup) and of
 *   reading the local TIMESTAMP: nothing is compared then.
 * Registry values written by the reconnection stay written after a later failure. */
status_t agent_check_current(const char *agent_dir, int32_t start_mode, int32_t *current);

/* Read VORNEX_HOME, SHARED_VORNEX_HOME and CLIENTNAME, in this order, from the local registry.
 * local_home, shared_home, client_name [out]: STORE_VALUE_CAP bytes each; all three are
 *   emptied first.
 *   STATUS_OK: all three read (a value may be empty);
 *   STATUS_VALUE_ABSENT: a value cannot be read: the reads stop there, the values after it stay
 *       empty and the one that failed holds no value to be used. */
status_t agent_read_home_values(char *local_home, char *shared_home, char *client_name);

/* The server's time stamp of a client: TIMESTAMP in the client's section of the client list
 * (shared_home\vxinst\clients.ini), else of the new-client list (CLIENTS_DIR\newclnts.ini).
 * shared_home, client_name [in]; timestamp [out]: STORE_VALUE_CAP bytes.
 *   STATUS_OK: found (in the first list that has a non-empty one);
 *   STATUS_VALUE_ABSENT: in neither list;
 *   STATUS_INVALID_NAME: a list's path does not fit a path buffer;
 *   STATUS_FAILED: the client list cannot be read for another reason;
 *   the status of reading CLIENTS_DIR, or of the new-client list's lookup.
 * timestamp holds no value to be used after a failure. */
status_t agent_read_server_timestamp(const char *shared_home, const char *client_name,
                                     char *timestamp);

/* ---- Shared home and clients-directory reconnection ------------------------------------- */

/* When SHARED_VORNEX_HOME cannot be found (file_exists), connect its drive letter to
 * \\HOST_MACHINE\VORNEX_HOME_SHARE and store SHARED_VORNEX_HOME again under the connected
 * drive's root. A home that exists is left alone: nothing connected, nothing written.
 *   STATUS_OK: the home exists, or it was reconnected and stored;
 *   STATUS_VALUE_ABSENT: SHARED_VORNEX_HOME, or (to reconnect) HOST_MACHINE or VORNEX_HOME_SHARE,
 *       cannot be read;
 *   STATUS_FAILED: the home does not begin with a drive letter and a colon, \\host\share does not
 *       fit a path buffer, or the home under the new root does not fit a value buffer;
 *   the status of net_connect_share (the letter taken by another share included), or of
 *   store_set_value. SHARED_VORNEX_HOME is unchanged after a failure; a connection made
 *   before a failed store stays. */
status_t agent_reconnect_shared_home(void);

/* Find the share of the clients directory in the server's registry (the home key of
 * agent_find_home_key, value CLIENTS_DIR_SHARE), connect a drive to it on HOST_MACHINE (an
 * existing connection to it is reused, otherwise the first free letter from z down), and
 * store the drive's root as CLIENTS_DIR.
 *   STATUS_OK: connected and stored;
 *   STATUS_VALUE_ABSENT: HOST_MACHINE cannot be read from the local registry;
 *   STATUS_FAILED: \\host\share or the drive root does not fit a path buffer;
 *   the status of agent_read_home_settings, agent_find_home_key, reg_read_value (STATUS_NOT_FOUND
 *   when the share's value is missing), net_connect_share or store_set_value.
 * A connection made before a failed store stays. */
status_t agent_connect_clients_dir(void);

/* The server name (HOST_MACHINE) and the home name (BACKUP) from section [Vornex] of the
 * shared home's settings file, SHARED_VORNEX_HOME\vxinst\VCSM.ini.
 * server_name, home_name [out]: STORE_VALUE_CAP bytes each.
 *   STATUS_OK: both read;
 *   the status of reading SHARED_VORNEX_HOME (STATUS_NOT_FOUND when missing);
 *   STATUS_INVALID_NAME: the settings file's path does not fit a path buffer;
 *   STATUS_VALUE_ABSENT: HOST_MACHINE or BACKUP missing or empty, or the file missing;
 *   STATUS_FAILED: a name that fills its value buffer (it may have been cut and would name another
 *       machine or key), or a server name too long for \\name in a path buffer.
 * Both outputs are untouched after a failure. */
status_t agent_read_home_settings(char *server_name, char *home_name);

/* The server's key of the shared home, read remotely from the server named in the settings
 * file: "SOFTWARE\VORNEX" when the home's VORNEX_HOME equals the main one (case-folded), else
 * the key in which the home's VORNEX_HOME was found, SOFTWARE\VORNEX\VORNEX_HOMES\{home} or,
 * where that is missing, SOFTWARE\VORNEX_HOMES\{home}.
 * home_key_path [out]: PATH_CAP bytes.
 *   STATUS_OK: found;
 *   the status of agent_read_home_settings;
 *   STATUS_NOT_FOUND: the main home, or the home in both places, is missing on the server;
 *   STATUS_FAILED: a key path does not fit a path buffer; the server cannot be reached;
 *   STATUS_ACCESS_DENIED and the rest: the status of reg_read_value.
 * home_key_path is untouched after a failure. */
status_t agent_find_home_key(char *home_key_path);

/* The key path of a home named home_name [in] into key_path [out] (PATH_CAP bytes):
 * SOFTWARE\VORNEX\VORNEX_HOMES\{home_name}, or with short_prefix [in] set
 * SOFTWARE\VORNEX_HOMES\{home_name}. False, key_path untouched, when it would not fit. */
truth_t agent_home_key_path(const char *home_name, char *key_path, truth_t short_prefix);

/* ---- The pass report ------------------------------------------------------------------- */

/* How a pass ended, as the report names it (held in agent_pass's int32_t result). */
typedef enum agent_result {
    AGENT_RESULT_CURRENT = 1,   /* "current": nothing to do */
    AGENT_RESULT_INSTALLER = 2, /* "installer started" */
    AGENT_RESULT_MESSAGE = 3,   /* "message": a message box was shown */
    AGENT_RESULT_FAILED = 4     /* "failed": a check from the network failed, unseen */
} agent_result;

/* What a pass tells its report. */
typedef struct agent_pass {
    int32_t start_mode; /* an agent_start_mode, or 0 when unclassified ("local") */
    int32_t result;     /* an agent_result */
    status_t status;    /* the check's status (STATUS_OK when it passed) */
    int32_t message;    /* the number that chose the shown text (a status, or a launch result
                           below 32), or -1 when no message was shown */
    const char *text;   /* the text shown, or for a hidden failure the text it would have had;
                           NULL when there is none */
    /* As the check read them from the local registry and the server's lists; empty where the
     * check did not get that far. */
    char shared_home[STORE_VALUE_CAP];
    char client_name[STORE_VALUE_CAP];
    char server_stamp[STORE_VALUE_CAP];
} agent_pass;

/* Write pass [in] into CLIENTS_DIR\<Folder>\<client_name>.INI, Folder from section [Reports]
 * of shared_home\vxinst\VCSM.ini, one profile section per call: [Last pass] always, [Last
 * failure] for a message or a failure, each with Time (local, YYYY-MM-DD hh:mm:ss), Mode,
 * Result, Status, Message, Stamp, Server stamp, Computer and Agent; a key without a value is
 * left out (and so removed from a section an earlier pass wrote). The folder is never made.
 * With EventLog=1 in [Reports] a message or a failure also goes to the Application event log
 * (agent_log_failure), whether or not the file could be written.
 *   STATUS_OK: written;
 *   STATUS_VALUE_ABSENT: no [Reports] Folder (reports are off), or a local value missing;
 *   STATUS_INVALID_NAME: an empty folder, one that would leave the clients directory, a client
 *       name that cannot be a file name (a character Windows forbids, a device name, too long), a
 *       path too long;
 *   STATUS_FAILED: a section's keys and values do not fit their buffer;
 *   the status of the first section write that failed (the second is not tried).
 * The caller drops every failure: a report never changes a pass. */
status_t agent_write_report(const agent_pass *pass);

/* The report's path for client_name [in] of the home shared_home [in] into report [out]
 * (PATH_CAP bytes); statuses as agent_write_report's before its writes. */
status_t agent_report_path(const char *shared_home, const char *client_name, char *report);

/* One event of type error in the Application log, source AGENT_CAPTION, with the pass's status
 * and text as its two strings. STATUS_OK, or STATUS_FAILED when the log cannot be opened or
 * refuses the event. */
status_t agent_log_failure(const agent_pass *pass);

/* Whether name [in] can be a report's file name as it is. */
truth_t agent_report_name_fits(const char *name);

/* The local time as YYYY-MM-DD hh:mm:ss into buf [out] (20 bytes). */
void agent_format_local_time(char *buf);

#endif
