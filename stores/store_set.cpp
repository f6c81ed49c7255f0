/* Value update: one set over the registry, environment, profile and key-value stores. */
#include "stores/store.h"

#include "platform/mem.h"
#include "platform/os.h"
#include "platform/text.h"
#include "stores/kv.h"
#include "stores/store_select.h"
#include "stores/store_set_kv.h"

/* The class of a key the set operation creates. */
#define STORE_KEY_CLASS "Application Global Data"
/* The security attributes' length field: the record's size in the 32-bit program. */
#define STORE_SECURITY_ATTRIBUTES_LENGTH 12
/* The environment broadcast: other programs reread the environment when told. */
#define STORE_ENVIRONMENT_TOPIC "Environment"
#define STORE_BROADCAST_TIMEOUT_MS 5000

static truth_t store_set_is_empty(const char *text)
{
    return text == NULL || text[0] == '\0';
}

/* Whether text would not stay one piece of one line of a text store: a CR or LF would start a
 * line of its own (the value x LF B=evil would set B), a Ctrl-Z would end text input there. */
static truth_t store_set_breaks_lines(const char *text)
{
    if (text == NULL)
        return 0;
    for (; *text != '\0'; text++)
        if (*text == '\r' || *text == '\n' || *text == KV_TEXT_END)
            return 1;
    return 0;
}

/* The running process's own environment, through the C runtime and the platform. */
static status_t store_set_process_environment(const char *name, const char *value)
{
    size_t name_len = strlen(name);
    size_t value_len = value != NULL ? strlen(value) : 0;
    char *text;

    text = (char *)mem_alloc(name_len + value_len + 2);
    if (text == NULL)
        return STATUS_NO_MEMORY;
    memcpy(text, name, name_len);
    text[name_len] = '=';
    if (value_len > 0)
        memcpy(text + name_len + 1, value, value_len);
    text[name_len + 1 + value_len] = '\0';
    /* The Microsoft runtime's _putenv keeps a copy of its own, so the text is ours to release
     * (a POSIX putenv would adopt it). A refusal changes nothing the registry would not. */
    (void)crt_putenv(text);
    mem_free(text);
    /* An empty value deletes, here as in the registry (name= does so for the runtime). */
    (void)SetEnvironmentVariableA(name, store_set_is_empty(value) ? NULL : value);
    return STATUS_OK;
}

static status_t store_set_registry(const store_selection *sel, const char *name,
                                   const char *value, const char *section, int32_t use_subkey)
{
    char path[STORE_KEY_PATH_CAP];
    char class_name[] = STORE_KEY_CLASS;
    SECURITY_DESCRIPTOR sd;
    SECURITY_ATTRIBUTES sa;
    const char *running = store_running_platform();
    truth_t on_win95 = running != NULL && text_equal(running, "win95", TEXT_NO_LIMIT);
    DWORD type = on_win95 ? REG_SZ : REG_EXPAND_SZ;
    DWORD disposition = 0;
    HKEY key = NULL;
    LONG err;
    status_t rc;

    rc = store_registry_key_path(sel->kind, section, use_subkey, path, sizeof path);
    if (rc != STATUS_OK)
        return rc;
    if (sel->kind == STORE_KIND_ENVIRONMENT) {
        /* Windows 95 keeps no environment in the registry. */
        if (on_win95)
            return STATUS_FAILED;
        rc = store_set_process_environment(name, value);
        if (rc != STATUS_OK)
            return rc;
    }

    memset(&sd, 0, sizeof sd);
    (void)InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION);
    sa.nLength = STORE_SECURITY_ATTRIBUTES_LENGTH;
    sa.lpSecurityDescriptor = &sd;
    sa.bInheritHandle = TRUE;
    err = RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, class_name, REG_OPTION_NON_VOLATILE,
                          KEY_READ | KEY_WRITE, &sa, &key, &disposition);
    if (err != ERROR_SUCCESS)
        return store_status_from_registry_error(err);

    if (store_set_is_empty(value)) {
        /* A value that is not there is as deleted as one that was. */
        (void)RegDeleteValueA(key, name);
    } else {
        err = RegSetValueExA(key, name, 0, type, (const BYTE *)value,
                             (DWORD)(strlen(value) + 1));
        if (err != ERROR_SUCCESS)
            rc = store_status_from_registry_error(err);
    }
    (void)RegCloseKey(key);
    if (rc != STATUS_OK)
        return rc;

    if (sel->kind == STORE_KIND_ENVIRONMENT) {
        DWORD_PTR result = 0;
        (void)SendMessageTimeoutA(HWND_BROADCAST, WM_WININICHANGE, 0,
                                  (LPARAM)STORE_ENVIRONMENT_TOPIC, SMTO_ABORTIFHUNG,
                                  STORE_BROADCAST_TIMEOUT_MS, &result);
    }
    return STATUS_OK;
}

/* WIN.INI and private profile files: an empty name deletes the section, an empty value the
 * key. */
static status_t store_set_profile(const store_selection *sel, const char *name,
                                  const char *value, const char *store, const char *section)
{
    const char *key = name;
    const char *text = value;
    BOOL ok;

    if (name[0] == '\0') {
        key = NULL;
        text = NULL;
    } else if (store_set_is_empty(value)) {
        text = NULL;
    }
    if (sel->kind == STORE_KIND_WININI)
        ok = WriteProfileStringA(STORE_SECTION, key, text);
    else
        ok = WritePrivateProfileStringA(store_profile_section(section), key, text, store);
    return ok ? STATUS_OK : STATUS_WRITE_ERROR;
}

status_t store_set_value_for_platform(const char *name, const char *value, const char *store,
                                      const char *section, int32_t use_subkey,
                                      const char *platform)
{
    store_selection sel;
    status_t rc;

    rc = store_select(store, platform, &sel);
    if (rc != STATUS_OK)
        return rc;
    /* Without a name an update could not tell a value from a whole section. */
    if (name == NULL)
        return STATUS_INVALID_NAME;

    /* The registry keeps any text; the profile and key-value files are lines of text. */
    if (sel.kind != STORE_KIND_PRODUCT_KEY && sel.kind != STORE_KIND_ENVIRONMENT &&
        (store_set_breaks_lines(name) || store_set_breaks_lines(value) ||
         (sel.kind == STORE_KIND_PROFILE && store_set_breaks_lines(section))))
        return STATUS_BAD_FORMAT;

    switch (sel.kind) {
    case STORE_KIND_PRODUCT_KEY:
    case STORE_KIND_ENVIRONMENT:
        return store_set_registry(&sel, name, value, section, use_subkey);
    case STORE_KIND_WININI:
        return store_set_profile(&sel, name, value, store, section);
    default:
        break;
    }
    /* A file store without a file name is refused as the lookup refuses it, so that nothing
     * is written where no lookup can read it back. */
    if (sel.base[0] == '\0')
        return STATUS_INVALID_NAME;
    if (sel.kind == STORE_KIND_PROFILE)
        return store_set_profile(&sel, name, value, store, section);
    if (name[0] == '\0')
        return store_kv_append(store, value);
    return store_kv_rewrite(store, name, value, section);
}

status_t store_set_value(const char *name, const char *value, const char *store,
                         const char *section, int32_t use_subkey)
{
    return store_set_value_for_platform(name, value, store, section, use_subkey, "win32");
}
