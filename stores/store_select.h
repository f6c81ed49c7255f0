/* Which value store a store name and a platform name select, the names and key paths of the
 * stores, and the stores' registry error table: what the get and the set operations share. */
#ifndef STORES_STORE_SELECT_H
#define STORES_STORE_SELECT_H

#include <stdint.h>

#include "platform/os.h"
#include "platform/path.h"
#include "platform/status.h"

/* Below HKEY_LOCAL_MACHINE: the product's key and the system environment's key. */
#define STORE_PRODUCT_KEY "SOFTWARE\\VORNEX"
#define STORE_ENVIRONMENT_KEY "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment"
/* The store name of the product's key (any letter case); other "$" names are the environment. */
#define STORE_PRODUCT_STORE "$VORNEX"
/* WIN.INI's section, and a private profile file's when none is given. */
#define STORE_SECTION "Vornex"
/* A registry key path buffer: the product's key and one subkey name of the longest kind. */
#define STORE_KEY_PATH_CAP 300

/* Platform families: whether registry stores exist. */
typedef enum store_family {
    STORE_FAMILY_NONE = 0,  /* a platform name not accepted */
    STORE_FAMILY_WIN32 = 1, /* "win95", "nt", "win32": registry stores */
    STORE_FAMILY_WIN16 = 2  /* "windows", "netware": no registry */
} store_family;

/* The five kinds of store. */
typedef enum store_kind {
    STORE_KIND_PRODUCT_KEY = 1, /* HKEY_LOCAL_MACHINE\SOFTWARE\VORNEX, or its subkey */
    STORE_KIND_ENVIRONMENT = 2, /* the Session Manager's Environment key */
    STORE_KIND_WININI = 3,      /* WIN.INI, section "Vornex" */
    STORE_KIND_PROFILE = 4,     /* a private profile (.ini) file */
    STORE_KIND_KV = 5           /* a key-value text file */
} store_kind;

/* The outcome of a selection. */
typedef struct store_selection {
    store_family family; /* STORE_FAMILY_WIN32 or STORE_FAMILY_WIN16 */
    store_kind kind;
    char root[PATH_CAP]; /* for PROFILE and KV: the store name split by path_split */
    char dir[PATH_CAP];
    char base[PATH_CAP];
    char ext[PATH_CAP];
} store_selection;

/* The family of a platform name (compared case-blind); STORE_FAMILY_NONE for any other name,
 * null included. */
store_family store_platform_family(const char *platform);

/* Select the store that store [in] (text or null) names on platform [in], into *sel [out]:
 *   null or empty: the product's key on the 32-bit family, WIN.INI on the 16-bit one;
 *   on the 32-bit family, "$VORNEX" in any case: the product's key; another "$" name: the
 *     environment store (refusing it on Windows 95 is the caller's business: get goes by the
 *     platform name, set by the running system);
 *   otherwise a path (a "$" name too on the 16-bit family): a private profile file when its
 *     extension is "ini" in any case, else a key-value file; the parts of its split are in sel.
 * A path store whose base name is empty is selected all the same (get refuses it with
 * STATUS_INVALID_NAME).
 *   STATUS_OK: *sel written;
 *   STATUS_FAILED: the platform name is not accepted, or sel is null;
 *   STATUS_INVALID_NAME: a path store name of PATH_CAP characters or more (no file of the system
 *       can bear it).
 * After a failure *sel is untouched. */
status_t store_select(const char *store, const char *platform, store_selection *sel);

/* The section of a private profile file: section [in], or "Vornex" when it is null (an empty
 * section stays empty). */
const char *store_profile_section(const char *section);

/* The registry key path, below HKEY_LOCAL_MACHINE, of a registry store kind into buf [out] of
 * cap bytes: for STORE_KIND_PRODUCT_KEY "SOFTWARE\VORNEX", followed by a backslash and section
 * when use_subkey is set and section is neither null nor empty; for STORE_KIND_ENVIRONMENT the
 * environment's key (section ignored).
 *   STATUS_OK: buf holds the path;
 *   STATUS_FAILED: another kind, a null buf, or a path that does not fit cap (never cut: a cut path
 *       names another key); buf is then emptied when cap allows. */
status_t store_registry_key_path(store_kind kind, const char *section, int32_t use_subkey,
                                 char *buf, uint16_t cap);

/* The stores' registry table, for an error number returned by a Reg* call: STATUS_OK for
 * ERROR_SUCCESS, STATUS_NOT_FOUND for ERROR_FILE_NOT_FOUND, STATUS_ACCESS_DENIED for
 * ERROR_ACCESS_DENIED, STATUS_WRITE_ERROR for ERROR_WRITE_PROTECT, STATUS_SHARING_VIOLATION and
 * STATUS_LOCK_VIOLATION for their namesakes, STATUS_FAILED for any other (ERROR_MORE_DATA
 * included). */
status_t store_status_from_registry_error(LONG error);

#endif
