/* The agent: entry, start classification, reconnection, registration and currency check,
 * installer launch and every message the user can see. */
#ifndef AGENT_AGENT_H
#define AGENT_AGENT_H

#include <stdint.h>

#include "platform/os.h"
#include "platform/status.h"

enum { START_LOCAL = 2, START_NETWORK = 3 };

/* The window caption of every message the agent shows. */
#define AGENT_CAPTION "Vornex Client Software Agent"

/* Entry and launch. */
ATOM agent_register_class(HINSTANCE instance);
LRESULT CALLBACK agent_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
int agent_run(int argc, char **argv);
status_t agent_classify_start(char *module_path, int32_t *start_mode);
status_t agent_locate_installer(int32_t *current, int32_t start_mode, char *module_path);
/* The texts of the two message tables. */
const char *agent_launch_failure_text(UINT winexec_result);
const char *agent_status_text(status_t status);

/* Registration and currency check. */
status_t agent_check_current(const char *agent_dir, int32_t start_mode, int32_t *current);
status_t agent_read_home_values(char *local_home, char *shared_home, char *client_name);
status_t agent_read_server_timestamp(const char *shared_home, const char *client_name,
                                     char *timestamp);

/* Shared home and clients-directory reconnection. */
status_t agent_reconnect_shared_home(void);
status_t agent_connect_clients_dir(void);
status_t agent_read_home_settings(char *server_name, char *home_name);
status_t agent_find_home_key(char *home_key_path);
/* False when the key path would not fit its PATH_CAP buffer. */
truth_t agent_home_key_path(const char *home_name, char *key_path, truth_t short_prefix);

#endif
