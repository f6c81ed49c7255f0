/* The agent's two message tables: launch failures and status codes. */
#include "agent/agent.h"

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
