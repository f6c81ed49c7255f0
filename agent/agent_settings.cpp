/* How the agent reads its settings and checks the names it is given. */
#include "agent/agent_internal.h"

#include "platform/text.h"
#include "stores/store.h"

/* store_get_value may strip a value name in place, so it gets a copy of the constant. */
status_t agent_get(const char *name, const char *store, const char *section, char *buf,
                   uint16_t size)
{
    char key[32];
    if (!text_copy_fit(key, (uint16_t)sizeof key, name))
        return STATUS_FAILED;
    return store_get_value(key, store, section, buf, size, 0);
}

status_t agent_get_local(const char *name, char *buf, uint16_t size)
{
    return agent_get(name, AGENT_STORE, "", buf, size);
}

status_t agent_settings_path(const char *home, char *settings)
{
    return path_compose(settings, home, "vxinst", "VCSM", "ini") ? STATUS_OK
                                                                 : STATUS_INVALID_NAME;
}

status_t agent_home_settings_path(char *settings)
{
    char home[STORE_VALUE_CAP];
    status_t rc = agent_get_local("SHARED_VORNEX_HOME", home, STORE_VALUE_CAP);
    if (rc != STATUS_OK)
        return rc;
    return agent_settings_path(home, settings);
}

/* A profile lookup cuts a long value to the buffer without saying so; a name that fills the
 * buffer may have been cut and would then name another machine or key. */
truth_t agent_may_be_cut(const char *value)
{
    return text_length(value) >= STORE_VALUE_CAP - 1;
}

/* \\host\share must fit the path buffer in which the connection names it. */
truth_t agent_remote_name_fits(const char *host, const char *share)
{
    return (uint32_t)text_length(host) + text_length(share) + 3 < PATH_CAP;
}

truth_t agent_is_letter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
