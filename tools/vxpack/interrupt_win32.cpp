/* Interruptions on Windows: Ctrl-C, Ctrl-Break and the console's close. The system runs the
 * handler on a thread of its own while the copy goes on, and a file the copy holds open cannot
 * be deleted; so the handler only raises a flag, the copy stops at its next block (the
 * engine's cancel callback), and the command's failure path removes its temporary. A run that
 * does not get there in time (waiting at a disk prompt) is ended by the handler, which first
 * removes what it can. The exit code is the one a console program ended by Ctrl-C has. */
#include "pack_interrupt.h"

#include <string.h>

#include <windows.h>

namespace vxpack {

namespace {

/* What a console program the Ctrl-C default handler ends returns: STATUS_CONTROL_C_EXIT. */
const int INTERRUPT_EXIT_CODE = (int)0xC000013Au;
/* How long the handler lets the copy reach its own cleanup before it ends the run itself;
 * under the time the system gives a closing console. */
const DWORD INTERRUPT_GRACE_MS = 3000;
const int WATCH_MAX = 64;

struct watch_entry {
    char path[MAX_PATH];
    int kind; /* 0 free, 1 file, 2 folder */
};

watch_entry watched[WATCH_MAX];
int watch_count;
CRITICAL_SECTION watch_lock;
volatile LONG interrupted;

void remove_watched(void)
{
    for (int i = watch_count - 1; i >= 0; i--) {
        if (watched[i].kind == 1)
            DeleteFileA(watched[i].path);
        else if (watched[i].kind == 2)
            RemoveDirectoryA(watched[i].path);
        watched[i].kind = 0;
    }
    watch_count = 0;
}

BOOL WINAPI interrupt_handler(DWORD type)
{
    if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT && type != CTRL_CLOSE_EVENT)
        return FALSE;
    InterlockedExchange(&interrupted, 1);
    /* The main thread exits the process once its copy has stopped and cleaned up. */
    Sleep(INTERRUPT_GRACE_MS);
    EnterCriticalSection(&watch_lock);
    remove_watched();
    ExitProcess((UINT)INTERRUPT_EXIT_CODE);
    return TRUE;
}

} // namespace

void interrupt_install(void)
{
    InitializeCriticalSection(&watch_lock);
    SetConsoleCtrlHandler(interrupt_handler, TRUE);
}

bool interrupt_watch(const char *host_path, bool folder)
{
    if (strlen(host_path) >= MAX_PATH)
        return false;
    EnterCriticalSection(&watch_lock);
    bool room = watch_count < WATCH_MAX;
    if (room) {
        strcpy(watched[watch_count].path, host_path);
        watched[watch_count].kind = folder ? 2 : 1;
        watch_count++;
    }
    LeaveCriticalSection(&watch_lock);
    return room;
}

void interrupt_forget(const char *host_path)
{
    EnterCriticalSection(&watch_lock);
    for (int i = 0; i < watch_count; i++)
        if (watched[i].kind != 0 && lstrcmpiA(watched[i].path, host_path) == 0)
            watched[i].kind = 0;
    while (watch_count > 0 && watched[watch_count - 1].kind == 0)
        watch_count--;
    LeaveCriticalSection(&watch_lock);
}

void interrupt_forget_all(void)
{
    EnterCriticalSection(&watch_lock);
    watch_count = 0;
    LeaveCriticalSection(&watch_lock);
}

void interrupt_undo(void)
{
    EnterCriticalSection(&watch_lock);
    remove_watched();
    LeaveCriticalSection(&watch_lock);
}

void interrupt_hold(void)
{
    EnterCriticalSection(&watch_lock);
}

void interrupt_release(void)
{
    LeaveCriticalSection(&watch_lock);
}

status_t interrupt_cancel(int32_t user)
{
    (void)user;
    return interrupted ? STATUS_CANCELLED : STATUS_OK;
}

int interrupt_exit_code(void)
{
    if (!interrupted)
        return 0;
    interrupt_undo();
    return INTERRUPT_EXIT_CODE;
}

} // namespace vxpack
