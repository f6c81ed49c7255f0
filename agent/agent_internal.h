/* What the agent's files share: where its settings live and how they are read. */
#ifndef AGENT_AGENT_INTERNAL_H
#define AGENT_AGENT_INTERNAL_H

#include <stdint.h>

#include "agent/agent.h"
#include "platform/path.h"

/* Every local setting lives in HKEY_LOCAL_MACHINE\SOFTWARE\VORNEX. */
#define AGENT_STORE "$vornex"
/* Two backslashes, the machine name and a terminator must fit one path buffer. */
#define AGENT_MACHINE_NAME_MAX (PATH_CAP - 3)
/* The product key on the server, where a home that is the main home keeps its settings. */
#define AGENT_PRODUCT_KEY "SOFTWARE\\VORNEX"

/* store_get_value of a constant name, with use_subkey 0. */
status_t agent_get(const char *name, const char *store, const char *section, char *buf,
                   uint16_t size);
/* The same from the local registry store, no section. */
status_t agent_get_local(const char *name, char *buf, uint16_t size);
/* The VCSM.ini of the shared home home [in] into settings [out] (PATH_CAP): STATUS_OK, or
 * STATUS_INVALID_NAME when the path does not fit. */
status_t agent_settings_path(const char *home, char *settings);
/* The same for the local SHARED_VORNEX_HOME: also a lookup's status when it cannot be read. */
status_t agent_home_settings_path(char *settings);
/* Whether a profile value fills its buffer and so may have been cut. */
truth_t agent_may_be_cut(const char *value);
/* Whether \\host\share fits a path buffer. */
truth_t agent_remote_name_fits(const char *host, const char *share);
truth_t agent_is_letter(char c);
/* Whether the last agent_check_current connected the clients directory (and a report can be
 * written there). */
truth_t agent_reached_clients_dir(void);
/* Let the following agent_check_current calls keep what they read in pass [out] (NULL: keep
 * nothing): SHARED_VORNEX_HOME, CLIENTNAME and the server's time stamp, each emptied when a
 * check begins and left empty where it stopped before it. */
void agent_record_check(agent_pass *pass);

#endif
