/* The value stores: one get and one set over the registry key, the environment, WIN.INI,
 * private profile files and key-value files. */
#ifndef STORES_STORE_H
#define STORES_STORE_H

#include <stdint.h>

#include "platform/status.h"

/* A value buffer's usual size. */
#define STORE_VALUE_CAP 1024

/* Read one value, or a key list, from the store that store and platform select (see
 * stores/store_select.h; store_get_value passes the platform "win32"), into buf [out] of size
 * bytes, zero-terminated.
 *   name [in,out]: not null; empty asks for the key list, or, in the registry stores, names the
 *     key's unnamed value. A key-value lookup with insignificant key blanks strips it in place.
 *   store [in]: null or empty (the platform's default store), "$VORNEX" (the product's key),
 *     another "$" name (the environment), a path ending in .ini (a private profile file), any
 *     other path (a key-value file).
 *   section [in]: the product key's subkey (only with use_subkey, when not null or empty);
 *     unused by WIN.INI ("Vornex") and the environment; a private profile file's section
 *     (null: "Vornex"); a key-value file's separator spec (null: "=").
 * A key list is the names one after another, each with its terminator, and a further
 * terminator (two for a key-value file); a key-value file lists only keys whose values are not
 * empty (however long the value, and whatever blanks it begins with). Registry data of any
 * type is returned as stored, with a terminator after it.
 *   STATUS_OK: found (a registry or key-value value may be empty);
 *   STATUS_LIST_TRUNCATED: a key list that does not fit size (for the profile stores: the
 *       platform's count says so, which also happens for a complete list of exactly size - 1
 *       bytes);
 *   STATUS_NO_MEMORY: no memory for a key-value file's buffers;
 *   STATUS_VALUE_ABSENT: profile stores: the value is missing or empty, or the list is empty;
 *       key-value file: no line has the key;
 *   STATUS_BAD_FORMAT: a malformed separator spec; a key before the match, or the value, of
 *       size - 1 characters or more;
 *   STATUS_READ_ERROR: a key-value file that cannot be opened;
 *   STATUS_NOT_FOUND (a missing key or value), STATUS_ACCESS_DENIED, STATUS_WRITE_ERROR,
 *       STATUS_SHARING_VIOLATION, STATUS_LOCK_VIOLATION: the registry's errors by the stores'
 *       table;
 *   STATUS_INVALID_NAME: a path store without base name, or a store name of PATH_CAP characters or
 *       more;
 *   STATUS_FAILED: a platform name not accepted; the environment store with platform "win95"; a
 *       subkey path too long for a key path; any other registry error (a value longer than
 *       size - 1 bytes included); a read error of a key-value file; a null name or buf, or size 0.
 * After a failure buf's contents are unspecified, but nothing is ever written past size bytes.
 * A profile value longer than size - 1 is cut by the platform and still gives STATUS_OK.
 * Nothing is written to any store. */
status_t store_get_value(char *name, const char *store, const char *section, char *buf,
                         uint16_t size, int32_t use_subkey);
status_t store_get_value_for_platform(char *name, const char *store, const char *section,
                                      char *buf, uint16_t size, int32_t use_subkey,
                                      const char *platform);
/* Whether a platform name is accepted: "win95", "nt", "win32", "windows", "netware", in any
 * letter case; null is not. */
truth_t store_platform_supported(const char *platform);
/* The running system, from GetVersionExA: "nt", "win95", or null for another platform or a
 * failed call. */
const char *store_running_platform(void);

/* Write or delete one value in the store that store and platform select, as for the get
 * (store_set_value passes the platform "win32"; an empty store name selects the platform's
 * default store here too).
 *   name [in]: not null. Empty: the registry key's unnamed value; the whole section of WIN.INI
 *     or a private profile file (the value then plays no part); a key-value file gets value
 *     appended as a line of its own.
 *   value [in]: empty (or null) deletes the value, key or line.
 *   section [in]: as for the get.
 * The registry key is created when missing (class "Application Global Data"); values are
 * REG_SZ on a running Windows 95 and REG_EXPAND_SZ otherwise. The environment store also
 * updates this process's environment (first) and then tells every window. A key-value file is
 * rewritten through a temporary file beside it (extension x1z) that replaces it in one step,
 * and comes out ending in a line end (a last line that lacked one is completed).
 *   STATUS_OK: done (also deleting what was not there);
 *   STATUS_NO_MEMORY: no memory for working copies;
 *   STATUS_BAD_FORMAT: a malformed separator spec (a CR, LF or Ctrl-Z separator included); a
 *       key-value line before the match whose key part reaches 1023 characters; for WIN.INI, a
 *       private profile file or a key-value file, a name or value (or profile section) holding a
 *       CR, an LF or a Ctrl-Z, which would make lines of its own or end the file's text (nothing
 *       written);
 *   STATUS_READ_ERROR: a key-value file that exists but cannot be opened or read, or holds text
 *       after a Ctrl-Z (text input ends there; an append refuses any Ctrl-Z);
 *   STATUS_WRITE_ERROR: a profile write the platform refused; a key-value or temporary file that
 *       cannot be created, written or closed; a read error after the matching line;
 *   STATUS_NOT_FOUND, STATUS_ACCESS_DENIED, STATUS_WRITE_ERROR, STATUS_SHARING_VIOLATION,
 *       STATUS_LOCK_VIOLATION: the registry's errors by the stores' table;
 *   STATUS_INVALID_NAME: a null name; a path store without base name, of PATH_CAP characters or
 *       more, or whose extension is x1z; a temporary path that does not fit;
 *   STATUS_FAILED: a platform name not accepted; the environment store on a running Windows 95; a
 *       subkey path too long; any other registry error; a read error while a key is read;
 *   others: the status of moving the temporary file into place (see file_move_or_copy).
 * After a failure a key-value file holds its old contents (the temporary file keeps the new
 * ones only when the move into place failed). The environment is changed before the registry:
 * a registry failure leaves it changed. */
status_t store_set_value(const char *name, const char *value, const char *store,
                         const char *section, int32_t use_subkey);
status_t store_set_value_for_platform(const char *name, const char *value, const char *store,
                                      const char *section, int32_t use_subkey,
                                      const char *platform);

#endif
