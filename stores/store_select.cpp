/* Store and platform selection, store key paths and the stores' registry error table. */
#include "stores/store_select.h"

#include "platform/text.h"
#include "stores/store.h"

/* The platform names, in the order they are documented. */
static const struct {
    const char *name;
    store_family family;
} store_platforms[] = {
    {"win95", STORE_FAMILY_WIN32},   {"nt", STORE_FAMILY_WIN32},
    {"win32", STORE_FAMILY_WIN32},   {"windows", STORE_FAMILY_WIN16},
    {"netware", STORE_FAMILY_WIN16},
};

/* The stores' registry table, row for row; the default closes it. */
static const struct {
    LONG error;
    status_t status;
} store_registry_table[] = {
    {ERROR_SUCCESS, STATUS_OK},
    {ERROR_FILE_NOT_FOUND, STATUS_NOT_FOUND},
    {ERROR_ACCESS_DENIED, STATUS_ACCESS_DENIED},
    {ERROR_WRITE_PROTECT, STATUS_WRITE_ERROR},
    {ERROR_SHARING_VIOLATION, STATUS_SHARING_VIOLATION},
    {ERROR_LOCK_VIOLATION, STATUS_LOCK_VIOLATION},
};

/* Whether a name is short enough to be a path; looks no further than PATH_CAP characters. */
static truth_t store_select_fits_path(const char *name)
{
    for (uint16_t i = 0; i < PATH_CAP; i++) {
        if (name[i] == '\0')
            return 1;
    }
    return 0;
}

store_family store_platform_family(const char *platform)
{
    if (platform == NULL)
        return STORE_FAMILY_NONE;
    for (size_t i = 0; i < sizeof store_platforms / sizeof store_platforms[0]; i++) {
        if (text_equal(platform, store_platforms[i].name, TEXT_NO_LIMIT))
            return store_platforms[i].family;
    }
    return STORE_FAMILY_NONE;
}

truth_t store_platform_supported(const char *platform)
{
    return store_platform_family(platform) != STORE_FAMILY_NONE;
}

const char *store_running_platform(void)
{
    OSVERSIONINFOA info;
    memset(&info, 0, sizeof info);
    info.dwOSVersionInfoSize = sizeof info; /* 148 */
    if (!GetVersionExA(&info))
        return NULL;
    if (info.dwPlatformId == VER_PLATFORM_WIN32_NT)
        return "nt";
    if (info.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS)
        return "win95";
    return NULL;
}

status_t store_select(const char *store, const char *platform, store_selection *sel)
{
    store_family family = store_platform_family(platform);
    store_kind kind;

    if (family == STORE_FAMILY_NONE || sel == NULL)
        return STATUS_FAILED;
    if (store != NULL && store[0] == '\0')
        store = NULL;

    if (store == NULL) {
        kind = family == STORE_FAMILY_WIN32 ? STORE_KIND_PRODUCT_KEY : STORE_KIND_WININI;
    } else if (store[0] == '$' && family == STORE_FAMILY_WIN32) {
        kind = text_equal(store, STORE_PRODUCT_STORE, TEXT_NO_LIMIT) ? STORE_KIND_PRODUCT_KEY
                                                                     : STORE_KIND_ENVIRONMENT;
    } else {
        if (!store_select_fits_path(store))
            return STATUS_INVALID_NAME;
        path_split(store, sel->root, sel->dir, sel->base, sel->ext);
        kind = text_equal(sel->ext, "ini", TEXT_NO_LIMIT) ? STORE_KIND_PROFILE : STORE_KIND_KV;
        sel->family = family;
        sel->kind = kind;
        return STATUS_OK;
    }
    sel->family = family;
    sel->kind = kind;
    sel->root[0] = '\0';
    sel->dir[0] = '\0';
    sel->base[0] = '\0';
    sel->ext[0] = '\0';
    return STATUS_OK;
}

const char *store_profile_section(const char *section)
{
    return section != NULL ? section : STORE_SECTION;
}

status_t store_registry_key_path(store_kind kind, const char *section, int32_t use_subkey,
                                 char *buf, uint16_t cap)
{
    truth_t ok = 0;

    if (buf == NULL)
        return STATUS_FAILED;
    if (kind == STORE_KIND_PRODUCT_KEY) {
        ok = text_copy_fit(buf, cap, STORE_PRODUCT_KEY);
        if (ok && use_subkey && section != NULL && section[0] != '\0')
            ok = text_append_fit(buf, cap, "\\") && text_append_fit(buf, cap, section);
    } else if (kind == STORE_KIND_ENVIRONMENT) {
        ok = text_copy_fit(buf, cap, STORE_ENVIRONMENT_KEY);
    }
    if (!ok) {
        if (cap > 0)
            buf[0] = '\0';
        return STATUS_FAILED;
    }
    return STATUS_OK;
}

status_t store_status_from_registry_error(LONG error)
{
    for (size_t i = 0; i < sizeof store_registry_table / sizeof store_registry_table[0]; i++) {
        if (store_registry_table[i].error == error)
            return store_registry_table[i].status;
    }
    return STATUS_FAILED;
}
