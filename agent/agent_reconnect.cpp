/* The shared home's drive and the clients directory: reconnected and stored before the check. */
#include "agent/agent_internal.h"

#include "platform/file.h"
#include "platform/net.h"
#include "platform/path.h"
#include "platform/reg.h"
#include "platform/text.h"
#include "stores/store.h"

status_t agent_reconnect_shared_home(void)
{
    char home[STORE_VALUE_CAP];
    char host[STORE_VALUE_CAP];
    char share[STORE_VALUE_CAP];
    char new_home[STORE_VALUE_CAP];
    char drive[4];
    char old_root[4];
    truth_t exists = 0;
    status_t rc;

    if (agent_get_local("SHARED_VORNEX_HOME", home, STORE_VALUE_CAP) != STATUS_OK)
        return STATUS_VALUE_ABSENT;
    if (file_exists(home, &exists) == STATUS_OK && exists)
        return STATUS_OK;
    if (agent_get_local("HOST_MACHINE", host, STORE_VALUE_CAP) != STATUS_OK)
        return STATUS_VALUE_ABSENT;
    if (agent_get_local("VORNEX_HOME_SHARE", share, STORE_VALUE_CAP) != STATUS_OK)
        return STATUS_VALUE_ABSENT;
    /* Only a drive letter can be reconnected; without one the connection would go to whatever
     * letter is free and the stored path would not follow it. */
    if (!agent_is_letter(home[0]) || home[1] != ':')
        return STATUS_FAILED;
    if (!agent_remote_name_fits(host, share))
        return STATUS_FAILED;

    drive[0] = home[0];
    drive[1] = '\0';
    rc = net_connect_share(host, share, drive);
    if (rc != STATUS_OK)
        return rc;

    text_copy(old_root, home, 3);
    if (!text_replace(home, old_root, drive, new_home, (uint16_t)sizeof new_home))
        return STATUS_FAILED;
    return store_set_value("SHARED_VORNEX_HOME", new_home, AGENT_STORE, NULL, 0);
}

status_t agent_read_home_settings(char *server_name, char *home_name)
{
    char settings[PATH_CAP];
    char server[STORE_VALUE_CAP];
    char name[STORE_VALUE_CAP];
    status_t rc;

    rc = agent_home_settings_path(settings);
    if (rc != STATUS_OK)
        return rc;
    rc = agent_get("HOST_MACHINE", settings, "Vornex", server, STORE_VALUE_CAP);
    if (rc != STATUS_OK)
        return rc;
    rc = agent_get("BACKUP", settings, "Vornex", name, STORE_VALUE_CAP);
    if (rc != STATUS_OK)
        return rc;
    if (agent_may_be_cut(server) || text_length(server) > AGENT_MACHINE_NAME_MAX ||
        agent_may_be_cut(name))
        return STATUS_FAILED;

    text_copy(server_name, server, TEXT_NO_LIMIT);
    text_copy(home_name, name, TEXT_NO_LIMIT);
    return STATUS_OK;
}

truth_t agent_home_key_path(const char *home_name, char *key_path, truth_t short_prefix)
{
    char path[PATH_CAP];

    if (!text_copy_fit(path, PATH_CAP, short_prefix ? "SOFTWARE" : AGENT_PRODUCT_KEY) ||
        !text_append_fit(path, PATH_CAP, "\\VORNEX_HOMES\\") ||
        !text_append_fit(path, PATH_CAP, home_name))
        return 0;
    text_copy(key_path, path, PATH_CAP - 1);
    return 1;
}

status_t agent_find_home_key(char *home_key_path)
{
    char server[STORE_VALUE_CAP];
    char name[STORE_VALUE_CAP];
    char main_home[REG_VALUE_CAP];
    char this_home[REG_VALUE_CAP];
    char path[PATH_CAP];
    status_t rc;

    rc = agent_read_home_settings(server, name);
    if (rc != STATUS_OK)
        return rc;
    rc = reg_read_value(server, "HKEY_LOCAL_MACHINE", AGENT_PRODUCT_KEY, "VORNEX_HOME", main_home);
    if (rc != STATUS_OK)
        return rc;

    if (!agent_home_key_path(name, path, 0))
        return STATUS_FAILED;
    rc = reg_read_value(server, "HKEY_LOCAL_MACHINE", path, "VORNEX_HOME", this_home);
    /* A server may keep its homes beside the product key instead, under
     * SOFTWARE\VORNEX_HOMES: that place is asked only when the usual one has no such home. */
    if (rc == STATUS_NOT_FOUND) {
        if (!agent_home_key_path(name, path, 1))
            return STATUS_FAILED;
        rc = reg_read_value(server, "HKEY_LOCAL_MACHINE", path, "VORNEX_HOME", this_home);
    }
    if (rc != STATUS_OK)
        return rc;

    /* The main home keeps its settings in the product key itself. */
    if (text_equal(main_home, this_home, PATH_CAP))
        text_copy(home_key_path, AGENT_PRODUCT_KEY, TEXT_NO_LIMIT);
    else
        text_copy(home_key_path, path, PATH_CAP - 1);
    return STATUS_OK;
}

status_t agent_connect_clients_dir(void)
{
    char host[STORE_VALUE_CAP];
    char server[STORE_VALUE_CAP];
    char name[STORE_VALUE_CAP];
    char key[PATH_CAP];
    char share[REG_VALUE_CAP];
    char drive[4];
    char clients_dir[PATH_CAP];
    status_t rc;

    if (agent_get_local("HOST_MACHINE", host, STORE_VALUE_CAP) != STATUS_OK)
        return STATUS_VALUE_ABSENT;
    rc = agent_read_home_settings(server, name);
    if (rc != STATUS_OK)
        return rc;
    /* agent_find_home_key reads the settings file again for itself: it stands as an operation
     * of its own, and a second read of a small file costs less than a second way in. */
    rc = agent_find_home_key(key);
    if (rc != STATUS_OK)
        return rc;
    rc = reg_read_value(server, "HKEY_LOCAL_MACHINE", key, "CLIENTS_DIR_SHARE", share);
    if (rc != STATUS_OK)
        return rc;
    if (!agent_remote_name_fits(host, share))
        return STATUS_FAILED;

    drive[0] = '\0';
    rc = net_connect_share(host, share, drive);
    if (rc != STATUS_OK)
        return rc;
    if (!path_compose(clients_dir, drive, "", "", ""))
        return STATUS_FAILED;
    return store_set_value("CLIENTS_DIR", clients_dir, AGENT_STORE, NULL, 0);
}
