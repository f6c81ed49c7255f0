/* The agent's entry and its one pass: start classification, the check, then the installer or a
 * message. */
#include "agent/agent_internal.h"

#include "platform/mem.h"
#include "platform/path.h"
#include "platform/text.h"

#define AGENT_MESSAGE_CAP 256
/* The longest command line a new process can be given, terminator included. */
#define AGENT_COMMAND_CAP 32767
/* A launch result that no row of the failure table names. */
#define AGENT_SPAWN_UNKNOWN 31u

/* The executable's path as WinMain found it; agent_locate_installer turns it into the
 * installer's directory. */
static char agent_module_path[PATH_CAP];
static char agent_message[AGENT_MESSAGE_CAP];
/* The number of "WM_VORNEX_EXIT_INSTALL". The name is registered for the installation's other
 * programs; the agent itself neither sends nor handles the message, and keeps the number only
 * as the registration returned it. */
static uint16_t agent_exit_install_message;
/* The check's own status: from the network a failed check is not shown, only reported. */
static status_t agent_check_status;

static truth_t agent_has_blank(const char *text)
{
    for (; *text; text++)
        if (*text == ' ' || *text == '\t')
            return 1;
    return 0;
}

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
    char installer_dir[PATH_CAP];
    status_t rc;

    path_split(module_path, root, dir, base, ext);
    if (!path_compose(agent_dir, root, dir, "", ""))
        return STATUS_FAILED;
    rc = agent_check_current(agent_dir, start_mode, current);
    agent_check_status = rc;

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
    if (!path_compose(installer_dir, shared_home, "bin", "", ""))
        return STATUS_FAILED;
    text_copy(module_path, installer_dir, PATH_CAP - 1);
    return STATUS_OK;
}

/* The command line's length without its terminator: the installer (in quotation marks when it
 * holds a blank), each argument after a blank, the switch after a blank. Counting stops once
 * it reaches AGENT_COMMAND_CAP. */
static size_t agent_command_length(const char *installer, truth_t quote, int argc, char **argv,
                                   const char *mode_switch)
{
    size_t len = strlen(installer) + (quote ? 2 : 0) + 1 + strlen(mode_switch);
    int i;

    for (i = 1; i < argc && len < AGENT_COMMAND_CAP; i++)
        if (argv[i] != NULL)
            len += 1 + strlen(argv[i]);
    return len;
}

static void agent_put(char *line, size_t *pos, const char *text)
{
    size_t n = strlen(text);
    memcpy(line + *pos, text, n);
    *pos += n;
}

/* The command line into line, of agent_command_length + 1 bytes. */
static void agent_command_compose(char *line, const char *installer, truth_t quote, int argc,
                                  char **argv, const char *mode_switch)
{
    size_t pos = 0;
    int i;

    if (quote)
        agent_put(line, &pos, "\"");
    agent_put(line, &pos, installer);
    if (quote)
        agent_put(line, &pos, "\"");
    for (i = 1; i < argc; i++) {
        if (argv[i] == NULL)
            continue;
        agent_put(line, &pos, " ");
        agent_put(line, &pos, argv[i]);
    }
    agent_put(line, &pos, " ");
    agent_put(line, &pos, mode_switch);
    line[pos] = '\0';
}

/* Start vxinst.exe from installer_dir with the agent's arguments and the start mode's switch.
 * Null when it started, otherwise the text to show. */
static const char *agent_launch(const char *installer_dir, int argc, char **argv,
                                int32_t start_mode, int32_t *launch_result)
{
    char installer[PATH_CAP];
    const char *mode_switch = start_mode == START_LOCAL ? "/configure" : "/bootstrap";
    const char *text = NULL;
    truth_t quote;
    size_t len;
    char *line;
    UINT result;

    *launch_result = STATUS_INVALID_NAME;
    if (!path_compose(installer, installer_dir, "", "vxinst", "exe"))
        return agent_status_text(STATUS_INVALID_NAME);
    /* Unquoted, the platform would try each blank-separated prefix as a program first. */
    quote = agent_has_blank(installer);
    len = agent_command_length(installer, quote, argc, argv, mode_switch);
    *launch_result = AGENT_SPAWN_UNKNOWN;
    if (len >= AGENT_COMMAND_CAP)
        return agent_launch_failure_text(AGENT_SPAWN_UNKNOWN); /* no platform can take it */
    *launch_result = 0;
    line = (char *)mem_alloc(len + 1);
    if (line == NULL)
        return agent_launch_failure_text(0);
    agent_command_compose(line, installer, quote, argc, argv, mode_switch);

    result = WinExec(line, SW_SHOWNORMAL);
    *launch_result = (int32_t)result;
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

/* The pass's outcome once decided; a report only where the pass reached the clients directory,
 * and whatever becomes of it the pass is over. */
static void agent_finish(agent_pass *pass, int32_t result)
{
    pass->result = result;
    if (result == AGENT_RESULT_FAILED)
        pass->text = agent_status_text(pass->status);
    if (agent_reached_clients_dir())
        (void)agent_write_report(pass);
    /* Every pass ends here: the record on its stack is gone after it. */
    agent_record_check(NULL);
}

int agent_run(int argc, char **argv)
{
    agent_pass pass;
    int32_t current = 0;
    int32_t launch_result = 0;
    const char *text;
    status_t rc;

    memset(&pass, 0, sizeof pass);
    pass.message = -1;
    agent_record_check(&pass);
    agent_check_status = STATUS_OK;
    rc = agent_classify_start(agent_module_path, &pass.start_mode);
    if (rc == STATUS_OK)
        rc = agent_locate_installer(&current, pass.start_mode, agent_module_path);
    pass.status = rc != STATUS_OK ? rc : agent_check_status;
    if (rc != STATUS_OK) {
        pass.text = agent_status_text(rc);
        agent_show(pass.text);
        pass.message = rc;
        agent_finish(&pass, AGENT_RESULT_MESSAGE);
        return 0;
    }
    if (current) {
        agent_finish(&pass, AGENT_RESULT_CURRENT);
        return 0;
    }
    text = agent_launch(agent_module_path, argc, argv, pass.start_mode, &launch_result);
    if (text != NULL) {
        agent_show(text);
        pass.text = text;
        pass.message = launch_result;
        agent_finish(&pass, AGENT_RESULT_MESSAGE);
        return 0;
    }
    agent_finish(&pass, pass.status != STATUS_OK ? AGENT_RESULT_FAILED : AGENT_RESULT_INSTALLER);
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
