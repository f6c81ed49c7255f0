/* The agent's one pass: entry, start classification, the check, and the installer or a message. */
#include "agent/agent.h"

#include "platform/file.h"
#include "platform/mem.h"
#include "platform/net.h"
#include "platform/path.h"
#include "platform/reg.h"
#include "platform/text.h"
#include "stores/store.h"

/* Every local setting lives in HKEY_LOCAL_MACHINE\SOFTWARE\VORNEX. */
#define AGENT_STORE "$vornex"
#define AGENT_MESSAGE_CAP 256
/* The longest command line a new process can be given, terminator included. */
#define AGENT_COMMAND_CAP 32767
/* Two backslashes, the machine name and a terminator must fit one path buffer. */
#define AGENT_MACHINE_NAME_MAX (PATH_CAP - 3)
/* The product key on the server, where a home that is the main home keeps its settings. */
#define AGENT_PRODUCT_KEY "SOFTWARE\\VORNEX"

static char agent_module_path[PATH_CAP];
static char agent_message[AGENT_MESSAGE_CAP];
static uint16_t agent_exit_install_message;

/* ---- Message tables ---------------------------------------------------------------------- */

struct agent_launch_row {
    UINT result; /* WinExec's result below 32 */
    const char *text;
};

static const char AGENT_TEXT_NO_MEMORY[] =
    "There is not enough memory to run the Vornex Installer. Please make more memory available.";
static const char AGENT_TEXT_BAD_PATH[] = "Installer executable file path is incorrect.";
static const char AGENT_TEXT_SPAWN_UNKNOWN[] =
    "An unknown error occured while spawning the executable.";

static const agent_launch_row agent_launch_rows[] = {
    {0, AGENT_TEXT_NO_MEMORY},
    {8, AGENT_TEXT_NO_MEMORY},
    {2, AGENT_TEXT_BAD_PATH},
    {3, AGENT_TEXT_BAD_PATH},
    {10, "Windows version is incorrect."},
    {14, "Type of executable file was unknown."},
    {15, "Attempt to load a real-mode application."},
    {16, "The Vornex Installer is already in use."},
    {19, "Attempt to load a compressed executable file."},
    {21, "Application requires Microsoft Windows 32-bit extensions."},
};

struct agent_status_row {
    status_t status;
    const char *text;
};

static const agent_status_row agent_status_rows[] = {
    {STATUS_NOT_FOUND,
     "The Vornex Client Software Agent was unable to find your local Vornex home. Please run the "
     "agent KLAGENT.EXE from the shared Vornex home designated by your system administrator."},
    {STATUS_ACCESS_DENIED,
     "The Vornex Client Software Agent has determined that you are not a registered user of the "
     "shared Vornex home designated by your system administrator. Please ask your system "
     "administrator to register you."},
    {STATUS_FAILED,
     "The Vornex Client Software Agent has experienced unexpected difficulties. Please make sure "
     "you are connected to the appropriate server and volume and try again, or ask your system "
     "administrator for help."},
};

static const char AGENT_TEXT_STATUS_UNKNOWN[] =
    "An unknown error has occured, please try again or contact Vornex Support";

const char *agent_launch_failure_text(UINT winexec_result)
{
    size_t i;
    for (i = 0; i < sizeof agent_launch_rows / sizeof agent_launch_rows[0]; i++)
        if (agent_launch_rows[i].result == winexec_result)
            return agent_launch_rows[i].text;
    return AGENT_TEXT_SPAWN_UNKNOWN;
}

const char *agent_status_text(status_t status)
{
    size_t i;
    for (i = 0; i < sizeof agent_status_rows / sizeof agent_status_rows[0]; i++)
        if (agent_status_rows[i].status == status)
            return agent_status_rows[i].text;
    return AGENT_TEXT_STATUS_UNKNOWN;
}

/* ---- Helpers ----------------------------------------------------------------------------- */

/* store_get_value may strip a value name in place, so it gets a copy of the constant. */
static status_t agent_get(const char *name, const char *store, const char *section, char *buf,
                          uint16_t size)
{
    char key[32];
    if (!text_copy_fit(key, (uint16_t)sizeof key, name))
        return STATUS_FAILED;
    return store_get_value(key, store, section, buf, size, 0);
}

static status_t agent_get_local(const char *name, char *buf, uint16_t size)
{
    return agent_get(name, AGENT_STORE, "", buf, size);
}

/* A profile lookup cuts a long value to the buffer without saying so; a name that fills the
 * buffer may have been cut and would then name another machine or key. */
static truth_t agent_may_be_cut(const char *value)
{
    return text_length(value) >= STORE_VALUE_CAP - 1;
}

/* \\host\share must fit the path buffer in which the connection names it. */
static truth_t agent_remote_name_fits(const char *host, const char *share)
{
    return (uint32_t)text_length(host) + text_length(share) + 3 < PATH_CAP;
}

static truth_t agent_has_blank(const char *text)
{
    for (; *text; text++)
        if (*text == ' ' || *text == '\t')
            return 1;
    return 0;
}

static truth_t agent_is_letter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

/* ---- Shared home and clients directory --------------------------------------------------- */

status_t agent_reconnect_shared_home(void)
{
    char home[STORE_VALUE_CAP];
    char host[STORE_VALUE_CAP];
    char share[STORE_VALUE_CAP];
    char new_home[STORE_VALUE_CAP];
    char drive[4];
    char old_root[4];
    truth_t exists = 0;
    status_t rc;

    if (agent_get_local("SHARED_VORNEX_HOME", home, STORE_VALUE_CAP) != STATUS_OK)
        return STATUS_VALUE_ABSENT;
    if (file_exists(home, &exists) == STATUS_OK && exists)
        return STATUS_OK;
    if (agent_get_local("HOST_MACHINE", host, STORE_VALUE_CAP) != STATUS_OK)
        return STATUS_VALUE_ABSENT;
    if (agent_get_local("VORNEX_HOME_SHARE", share, STORE_VALUE_CAP) != STATUS_OK)
        return STATUS_VALUE_ABSENT;
    /* Only a drive letter can be reconnected; without one the connection would go to whatever
     * letter is free and the stored path would not follow it. */
    if (!agent_is_letter(home[0]) || home[1] != ':')
        return STATUS_FAILED;
    if (!agent_remote_name_fits(host, share))
        return STATUS_FAILED;

    drive[0] = home[0];
    drive[1] = '\0';
    rc = net_connect_share(host, share, drive);
    if (rc != STATUS_OK)
        return rc;

    text_copy(old_root, home, 3);
    if (!text_replace(home, old_root, drive, new_home, (uint16_t)sizeof new_home))
        return STATUS_FAILED;
    return store_set_value("SHARED_VORNEX_HOME", new_home, AGENT_STORE, NULL, 0);
}

status_t agent_read_home_settings(char *server_name, char *home_name)
{
    char home[STORE_VALUE_CAP];
    char settings[PATH_CAP];
    char server[STORE_VALUE_CAP];
    char name[STORE_VALUE_CAP];
    status_t rc;

    rc = agent_get_local("SHARED_VORNEX_HOME", home, STORE_VALUE_CAP);
    if (rc != STATUS_OK)
        return rc;
    if (!path_compose(settings, home, "vxinst", "VCSM", "ini"))
        return STATUS_INVALID_NAME;
    rc = agent_get("HOST_MACHINE", settings, "Vornex", server, STORE_VALUE_CAP);
    if (rc != STATUS_OK)
        return rc;
    rc = agent_get("BACKUP", settings, "Vornex", name, STORE_VALUE_CAP);
    if (rc != STATUS_OK)
        return rc;
    if (agent_may_be_cut(server) || text_length(server) > AGENT_MACHINE_NAME_MAX ||
        agent_may_be_cut(name))
        return STATUS_FAILED;

    text_copy(server_name, server, TEXT_NO_LIMIT);
    text_copy(home_name, name, TEXT_NO_LIMIT);
    return STATUS_OK;
}

truth_t agent_home_key_path(const char *home_name, char *key_path, truth_t short_prefix)
{
    char path[PATH_CAP];

    if (!text_copy_fit(path, PATH_CAP, short_prefix ? "SOFTWARE" : AGENT_PRODUCT_KEY) ||
        !text_append_fit(path, PATH_CAP, "\\VORNEX_HOMES\\") ||
        !text_append_fit(path, PATH_CAP, home_name))
        return 0;
    text_copy(key_path, path, PATH_CAP - 1);
    return 1;
}

status_t agent_find_home_key(char *home_key_path)
{
    char server[STORE_VALUE_CAP];
    char name[STORE_VALUE_CAP];
    char main_home[REG_VALUE_CAP];
    char this_home[REG_VALUE_CAP];
    char path[PATH_CAP];
    status_t rc;

    rc = agent_read_home_settings(server, name);
    if (rc != STATUS_OK)
        return rc;
    rc = reg_read_value(server, "HKEY_LOCAL_MACHINE", AGENT_PRODUCT_KEY, "VORNEX_HOME", main_home);
    if (rc != STATUS_OK)
        return rc;

    if (!agent_home_key_path(name, path, 0))
        return STATUS_FAILED;
    rc = reg_read_value(server, "HKEY_LOCAL_MACHINE", path, "VORNEX_HOME", this_home);
    if (rc == STATUS_NOT_FOUND) {
        if (!agent_home_key_path(name, path, 1))
            return STATUS_FAILED;
        rc = reg_read_value(server, "HKEY_LOCAL_MACHINE", path, "VORNEX_HOME", this_home);
    }
    if (rc != STATUS_OK)
        return rc;

    /* The main home keeps its settings in the product key itself. */
    if (text_equal(main_home, this_home, PATH_CAP))
        text_copy(home_key_path, AGENT_PRODUCT_KEY, TEXT_NO_LIMIT);
    else
        text_copy(home_key_path, path, PATH_CAP - 1);
    return STATUS_OK;
}

status_t agent_connect_clients_dir(void)
{
    char host[STORE_VALUE_CAP];
    char server[STORE_VALUE_CAP];
    char name[STORE_VALUE_CAP];
    char key[PATH_CAP];
    char share[REG_VALUE_CAP];
    char drive[4];
    char clients_dir[PATH_CAP];
    status_t rc;

    if (agent_get_local("HOST_MACHINE", host, STORE_VALUE_CAP) != STATUS_OK)
        return STATUS_VALUE_ABSENT;
    rc = agent_read_home_settings(server, name);
    if (rc != STATUS_OK)
        return rc;
    rc = agent_find_home_key(key);
    if (rc != STATUS_OK)
        return rc;
    rc = reg_read_value(server, "HKEY_LOCAL_MACHINE", key, "CLIENTS_DIR_SHARE", share);
    if (rc != STATUS_OK)
        return rc;
    if (!agent_remote_name_fits(host, share))
        return STATUS_FAILED;

    drive[0] = '\0';
    rc = net_connect_share(host, share, drive);
    if (rc != STATUS_OK)
        return rc;
    if (!path_compose(clients_dir, drive, "", "", ""))
        return STATUS_FAILED;
    return store_set_value("CLIENTS_DIR", clients_dir, AGENT_STORE, NULL, 0);
}

/* ---- Registration and currency check ----------------------------------------------------- */

status_t agent_read_home_values(char *local_home, char *shared_home, char *client_name)
{
    local_home[0] = '\0';
    shared_home[0] = '\0';
    client_name[0] = '\0';
    if (agent_get_local("VORNEX_HOME", local_home, STORE_VALUE_CAP) != STATUS_OK ||
        agent_get_local("SHARED_VORNEX_HOME", shared_home, STORE_VALUE_CAP) != STATUS_OK ||
        agent_get_local("CLIENTNAME", client_name, STORE_VALUE_CAP) != STATUS_OK)
        return STATUS_VALUE_ABSENT;
    return STATUS_OK;
}

status_t agent_read_server_timestamp(const char *shared_home, const char *client_name,
                                     char *timestamp)
{
    char client_list[PATH_CAP];
    char clients_dir[PATH_CAP];
    char new_list[PATH_CAP];
    status_t rc;

    if (!path_compose(client_list, shared_home, "vxinst", "clients", "ini"))
        return STATUS_INVALID_NAME;
    rc = agent_get_local("CLIENTS_DIR", clients_dir, PATH_CAP);
    if (rc != STATUS_OK)
        return rc;
    if (!path_compose(new_list, clients_dir, "", "newclnts", "ini"))
        return STATUS_INVALID_NAME;

    rc = agent_get("TIMESTAMP", client_list, client_name, timestamp, STORE_VALUE_CAP);
    if (rc == STATUS_OK)
        return STATUS_OK;
    if (rc == STATUS_VALUE_ABSENT)
        return agent_get("TIMESTAMP", new_list, client_name, timestamp, STORE_VALUE_CAP);
    return STATUS_FAILED;
}

status_t agent_check_current(const char *agent_dir, int32_t start_mode, int32_t *current)
{
    char local_home[STORE_VALUE_CAP];
    char shared_home[STORE_VALUE_CAP];
    char client_name[STORE_VALUE_CAP];
    char server_stamp[STORE_VALUE_CAP];
    char local_stamp[STORE_VALUE_CAP];
    status_t rc;

    *current = 0;
    rc = agent_reconnect_shared_home();
    if (rc != STATUS_OK)
        return rc;
    rc = agent_connect_clients_dir();
    if (rc != STATUS_OK)
        return rc;

    if (agent_read_home_values(local_home, shared_home, client_name) != STATUS_OK)
        return STATUS_NOT_FOUND;
    if (start_mode == START_NETWORK && !text_contains(agent_dir, shared_home))
        return STATUS_NOT_FOUND;

    rc = agent_read_server_timestamp(shared_home, client_name, server_stamp);
    if (rc == STATUS_VALUE_ABSENT)
        return STATUS_ACCESS_DENIED;
    /* Without the server's time stamp there is nothing to compare with. */
    if (rc != STATUS_OK)
        return rc;

    rc = agent_get_local("TIMESTAMP", local_stamp, STORE_VALUE_CAP);
    if (rc != STATUS_OK)
        return rc;
    *current = text_versions_equal(local_stamp, server_stamp, 1024) ? 1 : 0;
    return STATUS_OK;
}

/* ---- Entry and launch -------------------------------------------------------------------- */

LRESULT CALLBACK agent_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    (void)window;
    (void)message;
    (void)wparam;
    (void)lparam;
    return 0;
}

ATOM agent_register_class(HINSTANCE instance)
{
    WNDCLASSA wc;

    agent_exit_install_message = (uint16_t)RegisterWindowMessageA("WM_VORNEX_EXIT_INSTALL");
    memset(&wc, 0, sizeof wc);
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = agent_window_proc;
    wc.cbClsExtra = 0;
    wc.cbWndExtra = 0;
    wc.hInstance = instance;
    wc.hIcon = LoadIconA(instance, "VXINSTIcon");
    wc.hCursor = LoadCursorA(NULL, IDC_WAIT);
    wc.hbrBackground = NULL;
    wc.lpszMenuName = NULL;
    wc.lpszClassName = "KlAgentClass";
    return (ATOM)RegisterClassA(&wc);
}

status_t agent_classify_start(char *module_path, int32_t *start_mode)
{
    char root[4];

    if (module_path == NULL)
        return STATUS_FAILED;
    text_upper(module_path);
    text_copy(root, module_path, 3);
    switch (GetDriveTypeA(root)) {
    case DRIVE_REMOVABLE:
    case DRIVE_FIXED:
        *start_mode = START_LOCAL;
        return STATUS_OK;
    case DRIVE_REMOTE:
        *start_mode = START_NETWORK;
        return STATUS_OK;
    default:
        return STATUS_FAILED;
    }
}

status_t agent_locate_installer(int32_t *current, int32_t start_mode, char *module_path)
{
    char root[PATH_CAP];
    char dir[PATH_CAP];
    char base[PATH_CAP];
    char ext[PATH_CAP];
    char agent_dir[PATH_CAP];
    char shared_home[PATH_CAP];
    status_t rc;

    path_split(module_path, root, dir, base, ext);
    if (!path_compose(agent_dir, root, dir, "", ""))
        return STATUS_FAILED;
    rc = agent_check_current(agent_dir, start_mode, current);

    if (start_mode == START_NETWORK) {
        /* From the network every failed check leads to the installer beside the agent. */
        text_copy(module_path, agent_dir, PATH_CAP - 1);
        if (rc != STATUS_OK)
            *current = 0;
        return STATUS_OK;
    }
    if (rc != STATUS_OK)
        return rc;
    /* Read again: the check may have reconnected the home under another drive root. */
    rc = agent_get_local("SHARED_VORNEX_HOME", shared_home, PATH_CAP);
    if (rc != STATUS_OK)
        return rc;
    if (!path_compose(module_path, shared_home, "bin", "", ""))
        return STATUS_FAILED;
    return STATUS_OK;
}

/* Start the installer from the directory in the module path. Null when it started, otherwise
 * the text to show. */
static const char *agent_launch(int argc, char **argv, int32_t start_mode)
{
    char installer[PATH_CAP];
    const char *mode_switch = start_mode == START_LOCAL ? "/configure" : "/bootstrap";
    const char *text = NULL;
    truth_t quote;
    size_t len;
    size_t pos;
    size_t n;
    char *line;
    UINT result;
    int i;

    if (!path_compose(installer, agent_module_path, "", "vxinst", "exe"))
        return agent_status_text(STATUS_INVALID_NAME);
    /* Unquoted, the platform would try each blank-separated prefix as a program first. */
    quote = agent_has_blank(installer);

    len = strlen(installer) + (quote ? 2 : 0) + 1 + strlen(mode_switch);
    for (i = 1; i < argc && len < AGENT_COMMAND_CAP; i++)
        if (argv[i] != NULL)
            len += 1 + strlen(argv[i]);
    if (len >= AGENT_COMMAND_CAP)
        return AGENT_TEXT_SPAWN_UNKNOWN;

    line = (char *)mem_alloc(len + 1);
    if (line == NULL)
        return agent_launch_failure_text(0);
    pos = 0;
    if (quote)
        line[pos++] = '"';
    n = strlen(installer);
    memcpy(line + pos, installer, n);
    pos += n;
    if (quote)
        line[pos++] = '"';
    for (i = 1; i < argc; i++) {
        if (argv[i] == NULL)
            continue;
        line[pos++] = ' ';
        n = strlen(argv[i]);
        memcpy(line + pos, argv[i], n);
        pos += n;
    }
    line[pos++] = ' ';
    n = strlen(mode_switch);
    memcpy(line + pos, mode_switch, n);
    pos += n;
    line[pos] = '\0';

    result = WinExec(line, SW_SHOWNORMAL);
    if (result < 32)
        text = agent_launch_failure_text(result);
    mem_free(line);
    return text;
}

static void agent_show(const char *text)
{
    text_copy(agent_message, text, AGENT_MESSAGE_CAP - 1);
    MessageBoxA(NULL, agent_message, AGENT_CAPTION, MB_OK | MB_ICONEXCLAMATION);
}

int agent_run(int argc, char **argv)
{
    int32_t start_mode = 0;
    int32_t current = 0;
    const char *text;
    status_t rc;

    rc = agent_classify_start(agent_module_path, &start_mode);
    if (rc == STATUS_OK)
        rc = agent_locate_installer(&current, start_mode, agent_module_path);
    if (rc != STATUS_OK) {
        agent_show(agent_status_text(rc));
        return 0;
    }
    if (current)
        return 0;
    text = agent_launch(argc, argv, start_mode);
    if (text != NULL)
        agent_show(text);
    return 0;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR command_tail, int show)
{
    int argc = 0;
    char **argv = NULL;
    DWORD n;

    (void)command_tail;
    (void)show;
    if (previous == NULL && agent_register_class(instance) == 0)
        return 0;
    n = GetModuleFileNameA(instance, agent_module_path, PATH_CAP);
    /* A path cut at the buffer names another file (and may lack its terminator): the empty
     * path classifies as an unknown drive. */
    if (n == 0 || n >= PATH_CAP)
        agent_module_path[0] = '\0';
    crt_args(&argc, &argv);
    agent_run(argc, argv);
    return 0;
}
