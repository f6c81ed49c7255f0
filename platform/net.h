/* Network drive connections: the remote name behind a letter; a share reached through an
 * existing connection or the first free letter from z down. */
#ifndef PLATFORM_NET_H
#define PLATFORM_NET_H

#include "platform/status.h"

/* The remote path behind a drive path (z:\apps -> \\srv\vol\apps).
 * path [in]: a drive letter, a colon and optionally more path; only the first character names
 *   the drive, and what follows the first two is appended to the remote name.
 * remote [out]: a new heap text the caller releases with mem_free.
 * STATUS_OK; STATUS_NO_MEMORY when a heap block cannot be had; STATUS_FAILED for a null or empty
 * path, a letter that is not a network connection (ERROR_NOT_CONNECTED, ERROR_BAD_DEVICE), a
 * remote name longer than 65535 characters or a platform that asks for ever more room; other
 * statuses as status_from_win32_error. remote is untouched after a failure. */
status_t net_drive_remote_path(const char *path, char **remote);

/* Reach \\host\share through a drive letter, reusing a connection that already leads there.
 * host [in]: the machine's name without backslashes; share [in]: the share's name.
 * drive [in,out], at least 4 bytes: empty for any letter (z down to c, never a or b), or
 *   beginning with the requested letter, which is then the only one tried, in its case as
 *   given. On success it holds the drive's root, such as z:\.
 * Every candidate letter is asked for its connection before any connection is made; a letter
 * whose remote name begins with \\host\share (case-folded, also deeper, such as
 * \\HOST\share\sub) is reused unchanged. Otherwise each candidate is connected in turn (not
 * remembered for later log-ons); a letter already assigned, or holding a remembered but
 * disconnected connection, moves on to the next candidate.
 * STATUS_OK; STATUS_NO_MEMORY when a heap block cannot be had during the search (nothing is
 * connected then); STATUS_FAILED for a null or empty host or share, a null drive, a remote name
 * \\host\share longer than 259 characters (never cut), the requested letter taken, all 24 letters
 * taken, and the platform's network errors (bad network path or name, no network);
 * STATUS_ACCESS_DENIED when access to the share is denied; other statuses as
 * status_from_win32_error. drive is untouched after a failure. */
status_t net_connect_share(const char *host, const char *share, char *drive);

#endif
