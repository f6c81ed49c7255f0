/* Network drive connections: the remote name behind a letter; a share reached through an
 * existing connection or the first free letter from z down. */
#ifndef PLATFORM_NET_H
#define PLATFORM_NET_H

#include "platform/status.h"

/* The remote path behind a drive path (z:\apps -> \\srv\vol\apps), a new heap text the caller
 * releases with mem_free. */
status_t net_drive_remote_path(const char *path, char **remote);
/* Reach \\host\share through a drive. drive (at least 4 bytes): empty for any letter, or
 * beginning with the requested letter; on success the drive's root, such as z:\. */
status_t net_connect_share(const char *host, const char *share, char *drive);

#endif
