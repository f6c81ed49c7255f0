/* The registration and currency check: the client's time stamp against the server's lists. */
#include "agent/agent_internal.h"

#include "platform/path.h"
#include "platform/text.h"
#include "stores/store.h"

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

static truth_t agent_clients_reached;
/* Where the check keeps what it read for the pass's report, so that the report reads nothing
 * twice; the pass owns the record (a static one would weigh on the program's file). */
static agent_pass *agent_check_record;

truth_t agent_reached_clients_dir(void)
{
    return agent_clients_reached;
}

void agent_record_check(agent_pass *pass)
{
    agent_check_record = pass;
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
    agent_clients_reached = 0;
    if (agent_check_record != NULL) {
        agent_check_record->shared_home[0] = '\0';
        agent_check_record->client_name[0] = '\0';
        agent_check_record->server_stamp[0] = '\0';
    }
    rc = agent_reconnect_shared_home();
    if (rc != STATUS_OK)
        return rc;
    rc = agent_connect_clients_dir();
    if (rc != STATUS_OK)
        return rc;
    agent_clients_reached = 1;

    if (agent_read_home_values(local_home, shared_home, client_name) != STATUS_OK)
        return STATUS_NOT_FOUND;
    if (agent_check_record != NULL) {
        text_copy(agent_check_record->shared_home, shared_home, STORE_VALUE_CAP - 1);
        text_copy(agent_check_record->client_name, client_name, STORE_VALUE_CAP - 1);
    }
    if (start_mode == START_NETWORK && !text_contains(agent_dir, shared_home))
        return STATUS_NOT_FOUND;

    rc = agent_read_server_timestamp(shared_home, client_name, server_stamp);
    if (rc == STATUS_VALUE_ABSENT)
        return STATUS_ACCESS_DENIED;
    /* Without the server's time stamp there is nothing to compare with. */
    if (rc != STATUS_OK)
        return rc;
    if (agent_check_record != NULL)
        text_copy(agent_check_record->server_stamp, server_stamp, STORE_VALUE_CAP - 1);

    rc = agent_get_local("TIMESTAMP", local_stamp, STORE_VALUE_CAP);
    if (rc != STATUS_OK)
        return rc;
    *current = text_versions_equal(local_stamp, server_stamp, 1024) ? 1 : 0;
    return STATUS_OK;
}
