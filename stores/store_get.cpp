/* Value lookup: one get over the registry stores, WIN.INI, private profiles and key-value files. */
#include "stores/store.h"

#include "platform/mem.h"
#include "platform/os.h"
#include "platform/text.h"
#include "stores/kv.h"
#include "stores/store_select.h"

static status_t store_get_registry(const store_selection *sel, const char *name,
                                   const char *section, char *buf, uint16_t size,
                                   int32_t use_subkey, const char *platform)
{
    char path[STORE_KEY_PATH_CAP];
    HKEY key = NULL;
    DWORD cb = (DWORD)(size - 1);
    LONG err;
    status_t rc;

    if (sel->kind == STORE_KIND_ENVIRONMENT && text_equal(platform, "win95", TEXT_NO_LIMIT))
        return STATUS_FAILED;
    rc = store_registry_key_path(sel->kind, section, use_subkey, path, sizeof path);
    if (rc != STATUS_OK)
        return rc;

    err = RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key);
    if (err != ERROR_SUCCESS)
        return store_status_from_registry_error(err);
    /* One byte held back for the terminator, which the data need not carry. */
    err = RegQueryValueExA(key, name, NULL, NULL, (LPBYTE)buf, &cb);
    if (err != ERROR_SUCCESS) {
        rc = store_status_from_registry_error(err);
        goto done;
    }
    if (cb > (DWORD)(size - 1)) {
        rc = STATUS_FAILED;
        goto done;
    }
    buf[cb] = '\0';
    rc = STATUS_OK;

done:
    RegCloseKey(key);
    return rc;
}

/* A key list from a profile call: the platform cuts a list that does not fit and then returns
 * size - 2 (also for a complete list of exactly size - 1 bytes, which cannot be told apart). */
static status_t store_get_profile_list_status(DWORD count, const char *buf, uint16_t size)
{
    if (count + 2 >= size)
        return STATUS_LIST_TRUNCATED;
    return buf[0] == '\0' ? STATUS_VALUE_ABSENT : STATUS_OK;
}

static status_t store_get_winini(const char *name, char *buf, uint16_t size)
{
    if (name[0] == '\0') {
        DWORD count = GetProfileStringA(STORE_SECTION, NULL, "", buf, size);
        return store_get_profile_list_status(count, buf, size);
    }
    GetProfileStringA(STORE_SECTION, name, "", buf, size);
    return buf[0] == '\0' ? STATUS_VALUE_ABSENT : STATUS_OK;
}

static status_t store_get_profile(const char *store, const char *name, const char *section,
                                  char *buf, uint16_t size)
{
    section = store_profile_section(section);
    if (name[0] == '\0') {
        DWORD count = GetPrivateProfileStringA(section, NULL, "", buf, size, store);
        return store_get_profile_list_status(count, buf, size);
    }
    GetPrivateProfileStringA(section, name, "", buf, size, store);
    return buf[0] == '\0' ? STATUS_VALUE_ABSENT : STATUS_OK;
}

/* Consume the rest of a line, its LF included. *has_text [out, may be null]: the part consumed,
 * read as a value would be, is not empty: its first character that counts (with insignificant
 * blanks, the first that is not a space, TAB or CR, which the lookup drops) is not a NUL. The
 * line is scanned however long it is, so a value behind any run of blanks is seen. 0 at the
 * next line, 1 at the end of the file, 29 on a read error. */
static status_t store_get_skip_line(FILE *in, truth_t keep_blanks, truth_t *has_text)
{
    truth_t decided = 0;
    int c;

    if (has_text != NULL)
        *has_text = 0;
    for (;;) {
        c = fgetc(in);
        if (c == EOF || c == '\n')
            break;
        if (decided || (!keep_blanks && (c == ' ' || c == '\t' || c == '\r')))
            continue;
        decided = 1;
        if (has_text != NULL)
            *has_text = c != '\0';
    }
    if (c != EOF)
        return STATUS_OK;
    return ferror(in) ? STATUS_FAILED : STATUS_END_OF_FILE;
}

/* Look name up in an open key-value file; the first line whose key matches counts. */
static status_t store_get_kv_value(FILE *in, const char *name, char sep, truth_t keep_key,
                                   truth_t keep_value, char *buf, uint16_t size, char *raw)
{
    for (;;) {
        status_t rc = kv_read_field(in, sep, keep_key, buf, size, raw);
        if (rc == STATUS_END_OF_FILE) {
            /* A last line without separator and line end is still a key, with an empty
             * value, as it would be with its line end. */
            if (buf[0] != '\0' && text_equal(buf, name, TEXT_NO_LIMIT)) {
                buf[0] = '\0';
                return STATUS_OK;
            }
            return STATUS_VALUE_ABSENT;
        }
        if (rc != STATUS_OK)
            return rc;
        if (text_equal(buf, name, TEXT_NO_LIMIT)) {
            /* Nothing needs the value's raw copy: without one, a value is found however many
             * dropped blanks precede it, as the key list sees it. */
            rc = kv_read_field(in, '\0', keep_value, buf, size, NULL);
            if (rc != STATUS_OK && rc != STATUS_END_OF_FILE)
                return rc;
            if (!keep_value)
                text_strip_blanks(buf);
            return STATUS_OK;
        }
        rc = store_get_skip_line(in, 1, NULL);
        if (rc == STATUS_END_OF_FILE)
            return STATUS_VALUE_ABSENT;
        if (rc != STATUS_OK)
            return rc;
    }
}

/* The keys of an open key-value file whose values are not empty, in file order, into buf:
 * each key and its terminator, then two terminators. Each key is read aside (key, a block of
 * size bytes) and goes into the list only when it and the closing terminators fit. */
static status_t store_get_kv_list(FILE *in, char sep, truth_t keep_key, truth_t keep_value,
                                  char *buf, uint16_t size, char *key, char *raw)
{
    uint32_t pos = 0;

    for (;;) {
        truth_t has_value = 0;
        status_t rc = kv_read_field(in, sep, keep_key, key, size, raw);
        if (rc == STATUS_END_OF_FILE)
            break; /* a last line without separator has no value, so it is not listed */
        if (rc != STATUS_OK)
            return rc;
        /* The rest of the line is the value (empty when the line had no separator). */
        rc = store_get_skip_line(in, keep_value, &has_value);
        if (rc != STATUS_OK && rc != STATUS_END_OF_FILE)
            return rc;
        if (key[0] != '\0' && has_value) {
            uint32_t len = text_length(key);
            if (pos + len + 1 + 2 > size)
                return STATUS_LIST_TRUNCATED;
            memcpy(buf + pos, key, len + 1);
            pos += len + 1;
        }
        if (rc == STATUS_END_OF_FILE)
            break;
    }
    if (pos + 2 > size)
        return STATUS_LIST_TRUNCATED;
    buf[pos] = '\0';
    buf[pos + 1] = '\0';
    return STATUS_OK;
}

static status_t store_get_kv(const char *store, char *name, const char *section, char *buf,
                             uint16_t size)
{
    char *raw = NULL;
    char *key = NULL;
    FILE *in = NULL;
    char sep = '\0';
    truth_t keep_key = 1;
    truth_t keep_value = 1;
    status_t rc;

    raw = (char *)mem_alloc(size);
    if (raw == NULL)
        return STATUS_NO_MEMORY;
    in = crt_fopen(store, "r");
    if (in == NULL) {
        rc = STATUS_READ_ERROR;
        goto done;
    }
    rc = kv_parse_separator_spec(section, &sep, &keep_key, &keep_value);
    if (rc != STATUS_OK)
        goto done;
    if (!keep_key)
        text_strip_blanks(name);
    if (name[0] != '\0') {
        rc = store_get_kv_value(in, name, sep, keep_key, keep_value, buf, size, raw);
        goto done;
    }
    /* A list reads each key aside before it knows whether the key is listed. */
    key = (char *)mem_alloc(size);
    if (key == NULL) {
        rc = STATUS_NO_MEMORY;
        goto done;
    }
    rc = store_get_kv_list(in, sep, keep_key, keep_value, buf, size, key, raw);

done:
    mem_free(key);
    if (in != NULL)
        fclose(in);
    mem_free(raw);
    return rc;
}

status_t store_get_value(char *name, const char *store, const char *section, char *buf,
                         uint16_t size, int32_t use_subkey)
{
    return store_get_value_for_platform(name, store, section, buf, size, use_subkey, "win32");
}

status_t store_get_value_for_platform(char *name, const char *store, const char *section,
                                      char *buf, uint16_t size, int32_t use_subkey,
                                      const char *platform)
{
    store_selection sel;
    status_t rc;

    rc = store_select(store, platform, &sel);
    if (rc != STATUS_OK)
        return rc;
    if (name == NULL || buf == NULL || size == 0)
        return STATUS_FAILED;

    switch (sel.kind) {
    case STORE_KIND_PRODUCT_KEY:
    case STORE_KIND_ENVIRONMENT:
        return store_get_registry(&sel, name, section, buf, size, use_subkey, platform);
    case STORE_KIND_WININI:
        return store_get_winini(name, buf, size);
    default:
        break;
    }
    if (sel.base[0] == '\0')
        return STATUS_INVALID_NAME;
    if (sel.kind == STORE_KIND_PROFILE)
        return store_get_profile(store, name, section, buf, size);
    return store_get_kv(store, name, section, buf, size);
}
