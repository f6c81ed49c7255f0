/* What an interruption takes away: the files and folders this run made that must not stand
 * when it stops part-way (temporaries, the pieces and volume folders of a split). Linux
 * removes them in the signal handler itself (SIGINT, SIGTERM, SIGHUP), then dies of the signal
 * as an unhandled one would, so that the shell sees 128 + its number; Windows removes them on
 * Ctrl-C, Ctrl-Break or the console's close once the copy has stopped at its next block, and
 * exits as a console program ended by Ctrl-C does. */
#ifndef TOOLS_VXPACK_PACK_INTERRUPT_H
#define TOOLS_VXPACK_PACK_INTERRUPT_H

#include "platform/status.h"

namespace vxpack {

/* Catch the interruptions; once, before any command runs. */
void interrupt_install(void);

/* Take the host file (or, with folder, the empty folder) host_path [in] away when the run is
 * interrupted, or at interrupt_undo. Removed in the reverse order of watching, so a folder
 * watched before its files is emptied first. False when the table is full (the run is then
 * refused before it writes). */
bool interrupt_watch(const char *host_path, bool folder);
/* Leave host_path [in] alone from now on: it is finished, or gone. */
void interrupt_forget(const char *host_path);
/* Forget everything watched (the run succeeded). */
void interrupt_forget_all(void);
/* Remove everything watched now, as an interruption would (after a failure), and forget it. */
void interrupt_undo(void);

/* Hold an interruption back while a file moves into its final name, so that it is either
 * still a temporary or already forgotten when the interruption is handled. */
void interrupt_hold(void);
void interrupt_release(void);

/* The engine's cancel callback: STATUS_CANCELLED once an interruption came (Windows stops the
 * copy this way; on Linux the handler has ended the run before). */
status_t interrupt_cancel(int32_t user);
/* Whether an interruption came, and the exit status it gives (0 when none came). */
int interrupt_exit_code(void);

} // namespace vxpack

#endif
