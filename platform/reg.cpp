/* Registry access, on this machine or another, and the platform error mapping shared with the
 * network drive operations. */
#include "platform/reg.h"

#include "platform/text.h"

/* The remote machine's name as RegConnectRegistryA takes it: two backslashes and the name. */
#define REG_MACHINE_CAP 512
/* Data bytes a value may have; the value buffer holds one more for the terminator. */
#define REG_DATA_CAP (REG_VALUE_CAP - 1)

struct reg_error_row {
    DWORD error;
    status_t status;
};

/* The last row is the default for every error not listed above it. */
static const struct reg_error_row REG_ERRORS[] = {
    {ERROR_SUCCESS, STATUS_OK},
    {ERROR_FILE_NOT_FOUND, STATUS_NOT_FOUND},
    {ERROR_ACCESS_DENIED, STATUS_ACCESS_DENIED},
    {ERROR_WRITE_PROTECT, STATUS_WRITE_ERROR},
    {ERROR_SHARING_VIOLATION, STATUS_SHARING_VIOLATION},
    {ERROR_LOCK_VIOLATION, STATUS_LOCK_VIOLATION},
    {ERROR_PRIVILEGE_NOT_HELD, STATUS_ACCESS_DENIED},
    {0, STATUS_FAILED}, /* any other */
};

struct reg_root_row {
    const char *name;
    HKEY key;
};

static const struct reg_root_row REG_ROOTS[] = {
    {"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
    {"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
    {"HKEY_USERS", HKEY_USERS},
    {"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
};

status_t status_from_win32_error(DWORD error)
{
    size_t n = sizeof REG_ERRORS / sizeof REG_ERRORS[0];
    size_t i;

    for (i = 0; i + 1 < n; i++)
        if (REG_ERRORS[i].error == error)
            return REG_ERRORS[i].status;
    return REG_ERRORS[n - 1].status;
}

/* A predefined key is shared by the whole process: closing it would pull it from under every
 * other user (RegConnectRegistryA to the machine's own name also hands one back). */
static truth_t reg_is_predefined(HKEY key)
{
    size_t i;

    for (i = 0; i < sizeof REG_ROOTS / sizeof REG_ROOTS[0]; i++)
        if (REG_ROOTS[i].key == key)
            return 1;
    return 0;
}

status_t reg_root_key(const char *root_name, HKEY *key)
{
    size_t i;

    if (root_name == NULL || key == NULL)
        return STATUS_BAD_ROOT_KEY;
    for (i = 0; i < sizeof REG_ROOTS / sizeof REG_ROOTS[0]; i++) {
        if (text_equal(root_name, REG_ROOTS[i].name, TEXT_NO_LIMIT)) {
            *key = REG_ROOTS[i].key;
            return STATUS_OK;
        }
    }
    return STATUS_BAD_ROOT_KEY;
}

status_t reg_open_root(const char *machine, const char *root_name, HKEY *key)
{
    status_t rc;
    HKEY root = NULL;
    HKEY remote = NULL;
    char name[REG_MACHINE_CAP];
    LONG err;

    rc = reg_root_key(root_name, &root);
    if (rc != STATUS_OK)
        return rc;
    if (machine == NULL || machine[0] == '\0') {
        *key = root;
        return STATUS_OK;
    }
    /* A name cut to fit would address another machine. */
    name[0] = '\0';
    if (!text_copy_fit(name, sizeof name, "\\\\") || !text_append_fit(name, sizeof name, machine))
        return STATUS_FAILED;
    err = RegConnectRegistryA(name, root, &remote);
    if (err != ERROR_SUCCESS)
        return status_from_win32_error((DWORD)err);
    *key = remote;
    return STATUS_OK;
}

status_t reg_close_and_map(HKEY key, DWORD error)
{
    if (key != NULL && !reg_is_predefined(key))
        RegCloseKey(key);
    return status_from_win32_error(error);
}

static void reg_classify(DWORD type, uint16_t *value_class, int32_t *expand)
{
    switch (type) {
    case REG_EXPAND_SZ:
        *value_class = VALUE_CLASS_TEXT;
        *expand = 1;
        break;
    case REG_DWORD:
    case REG_DWORD_BIG_ENDIAN:
        *value_class = VALUE_CLASS_NUMBER;
        break;
    case REG_MULTI_SZ:
        *value_class = VALUE_CLASS_LIST;
        break;
    default:
        *value_class = VALUE_CLASS_TEXT;
        break;
    }
}

status_t reg_query_value(HKEY key, const char *subkey, const char *value_name, char *buf,
                         uint16_t *value_class, uint16_t *size, int32_t *expand)
{
    HKEY sub = NULL;
    DWORD type = REG_NONE;
    DWORD cb = REG_DATA_CAP;
    LONG err;

    if (key == NULL || buf == NULL || value_class == NULL || size == NULL || expand == NULL)
        return STATUS_FAILED;
    err = RegOpenKeyExA(key, subkey, 0, KEY_READ, &sub);
    if (err != ERROR_SUCCESS)
        return status_from_win32_error((DWORD)err);
    /* An empty subkey path hands back the key itself; it is not ours to close then. */
    if (sub == key)
        sub = NULL;

    *size = 0;
    *expand = 0;
    buf[0] = '\0';
    err = RegQueryValueExA(sub != NULL ? sub : key, value_name, NULL, &type, (LPBYTE)buf, &cb);
    if (err == ERROR_SUCCESS && cb > REG_DATA_CAP)
        err = ERROR_MORE_DATA; /* a count past the buffer cannot be trusted */
    if (err != ERROR_SUCCESS) {
        /* After ERROR_MORE_DATA the buffer holds undefined, unterminated bytes. */
        buf[0] = '\0';
        goto done;
    }
    *size = (uint16_t)cb;
    reg_classify(type, value_class, expand);
    if (*value_class == VALUE_CLASS_TEXT)
        buf[cb] = '\0';

done:
    return reg_close_and_map(sub, (DWORD)err);
}

status_t reg_read_value_typed(const char *machine, const char *root_name, const char *subkey,
                              const char *value_name, char *buf, uint16_t *value_class,
                              uint16_t *size, int32_t *expand)
{
    status_t rc;
    HKEY root = NULL;
    truth_t remote;

    if (buf == NULL || value_class == NULL || size == NULL || expand == NULL)
        return STATUS_FAILED;
    if (machine != NULL && machine[0] == '\0')
        machine = NULL;
    rc = reg_open_root(machine, root_name, &root);
    if (rc != STATUS_OK)
        return rc;
    remote = machine != NULL;

    rc = reg_query_value(root, subkey, value_name, buf, value_class, size, expand);

    if (remote && !reg_is_predefined(root))
        RegCloseKey(root);
    return rc;
}

status_t reg_read_value(const char *machine, const char *root_name, const char *subkey,
                        const char *value_name, char *buf)
{
    uint16_t value_class = 0;
    uint16_t size = 0;
    int32_t expand = 0;

    return reg_read_value_typed(machine, root_name, subkey, value_name, buf, &value_class, &size,
                                &expand);
}
