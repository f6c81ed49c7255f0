/* Interruptions on Linux. The handler may only make async-signal-safe calls: it reads a table
 * of fixed buffers that the run filled before, removes what they name with unlink() and
 * rmdir(), and raises the signal again with its default action. A read that waits on the
 * console (a disk prompt) needs nothing more: the handler ends the process from inside it. */
#include "pack_interrupt.h"

#include <errno.h>
#include <limits.h>
#include <signal.h>
#include <string.h>
#include <unistd.h>

namespace vxpack {

namespace {

/* Enough for the temporaries of one command and a set of ten pieces with their folders. */
const int WATCH_MAX = 64;

enum watch_kind { WATCH_NONE = 0, WATCH_FILE = 1, WATCH_FOLDER = 2 };

struct watch_entry {
    char path[PATH_MAX];
    volatile sig_atomic_t kind; /* set last, so the handler never reads a half-written path */
};

watch_entry watched[WATCH_MAX];
volatile sig_atomic_t watch_count;

const int CAUGHT[] = {SIGINT, SIGTERM, SIGHUP};

void remove_watched(void)
{
    for (int i = watch_count - 1; i >= 0; i--) {
        if (watched[i].kind == WATCH_FILE)
            unlink(watched[i].path);
        else if (watched[i].kind == WATCH_FOLDER)
            rmdir(watched[i].path);
        watched[i].kind = WATCH_NONE;
    }
}

extern "C" void interrupt_handler(int signo)
{
    int saved = errno;
    remove_watched();
    /* SA_RESETHAND gave the signal its default action back, and SA_NODEFER left it
     * unblocked: raising it again ends the process as the signal does. */
    raise(signo);
    errno = saved;
}

void set_mask(int how)
{
    sigset_t set;
    sigemptyset(&set);
    for (int signo : CAUGHT)
        sigaddset(&set, signo);
    sigprocmask(how, &set, NULL);
}

} // namespace

void interrupt_install(void)
{
    struct sigaction sa;
    memset(&sa, 0, sizeof sa);
    sa.sa_handler = interrupt_handler;
    sa.sa_flags = SA_RESETHAND | SA_NODEFER;
    /* While one signal's handler removes files, the others wait: two handlers at once would
     * both walk the table. */
    sigemptyset(&sa.sa_mask);
    for (int signo : CAUGHT)
        sigaddset(&sa.sa_mask, signo);
    for (int signo : CAUGHT) {
        struct sigaction old;
        /* A signal the shell set to be ignored (a background job's SIGINT) stays ignored. */
        if (sigaction(signo, NULL, &old) == 0 && old.sa_handler == SIG_IGN)
            continue;
        sigaction(signo, &sa, NULL);
    }
}

bool interrupt_watch(const char *host_path, bool folder)
{
    if (strlen(host_path) >= PATH_MAX)
        return false;
    set_mask(SIG_BLOCK);
    bool room = watch_count < WATCH_MAX;
    if (room) {
        int slot = watch_count;
        watch_count = slot + 1;
        strcpy(watched[slot].path, host_path);
        watched[slot].kind = folder ? WATCH_FOLDER : WATCH_FILE;
    }
    set_mask(SIG_UNBLOCK);
    return room;
}

void interrupt_forget(const char *host_path)
{
    set_mask(SIG_BLOCK);
    for (int i = 0; i < watch_count; i++)
        if (watched[i].kind != WATCH_NONE && strcmp(watched[i].path, host_path) == 0)
            watched[i].kind = WATCH_NONE;
    while (watch_count > 0 && watched[watch_count - 1].kind == WATCH_NONE)
        watch_count = watch_count - 1;
    set_mask(SIG_UNBLOCK);
}

void interrupt_forget_all(void)
{
    set_mask(SIG_BLOCK);
    for (int i = 0; i < watch_count; i++)
        watched[i].kind = WATCH_NONE;
    watch_count = 0;
    set_mask(SIG_UNBLOCK);
}

void interrupt_undo(void)
{
    set_mask(SIG_BLOCK);
    remove_watched();
    watch_count = 0;
    set_mask(SIG_UNBLOCK);
}

void interrupt_hold(void)
{
    set_mask(SIG_BLOCK);
}

void interrupt_release(void)
{
    set_mask(SIG_UNBLOCK);
}

status_t interrupt_cancel(int32_t user)
{
    (void)user;
    return STATUS_OK;
}

int interrupt_exit_code(void)
{
    return 0;
}

} // namespace vxpack
