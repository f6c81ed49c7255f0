/* Registry access, on this machine or another, and the platform error mapping shared with the
 * network drive operations. */
#ifndef PLATFORM_REG_H
#define PLATFORM_REG_H

#include <stdint.h>

#include "platform/os.h"
#include "platform/status.h"

/* A value buffer: up to 1024 bytes of data and a terminator. */
#define REG_VALUE_CAP 1025

/* What a registry value holds, as reg_query_value reports it in a uint16_t. */
typedef enum reg_value_class {
    VALUE_CLASS_TEXT = 0,
    VALUE_CLASS_NUMBER = 1,
    VALUE_CLASS_LIST = 2
} reg_value_class;

/* The status of a registry or network (mpr) error number: 0 -> STATUS_OK,
 * ERROR_FILE_NOT_FOUND -> STATUS_NOT_FOUND, ERROR_ACCESS_DENIED and ERROR_PRIVILEGE_NOT_HELD ->
 * STATUS_ACCESS_DENIED, ERROR_WRITE_PROTECT -> STATUS_WRITE_ERROR, ERROR_SHARING_VIOLATION ->
 * STATUS_SHARING_VIOLATION, ERROR_LOCK_VIOLATION -> STATUS_LOCK_VIOLATION, any other ->
 * STATUS_FAILED. */
status_t status_from_win32_error(DWORD error);

/* The predefined key named by root_name [in]: "HKEY_LOCAL_MACHINE", "HKEY_CURRENT_USER",
 * "HKEY_USERS" or "HKEY_CLASSES_ROOT", case-folded, whole name.
 * key [out]: the predefined key.
 * STATUS_OK; STATUS_BAD_ROOT_KEY for any other name, a null name or a null key (key
 * untouched). */
status_t reg_root_key(const char *root_name, HKEY *key);

/* The root key of a machine's registry.
 * machine [in]: the machine's name without leading backslashes; null or empty for this
 *   machine. root_name [in]: as reg_root_key. key [out].
 * STATUS_OK: key is the predefined key (this machine, never to be closed) or a key of the remote
 *   registry (RegConnectRegistryA on \\machine) that the caller closes with RegCloseKey.
 * STATUS_BAD_ROOT_KEY: root_name is none of the four, nothing is opened.
 * STATUS_FAILED: \\machine does not fit 512 bytes (the name is never cut), or the machine cannot be
 *   reached (bad network path and the other network errors);
 * STATUS_ACCESS_DENIED: access denied; other statuses as status_from_win32_error.
 * key is untouched after a failure. */
status_t reg_open_root(const char *machine, const char *root_name, HKEY *key);

/* reg_read_value_typed with the class, size and expand flag discarded. */
status_t reg_read_value(const char *machine, const char *root_name, const char *subkey,
                        const char *value_name, char *buf);

/* Read one value from a machine's registry: reg_open_root, then reg_query_value; a remote
 * root key is closed before returning, a predefined key never.
 * machine [in]: as reg_open_root ("" is this machine, without any connection).
 * root_name, subkey, value_name [in], buf [out], value_class, size, expand [out]:
 *   as reg_query_value.
 * The statuses of reg_open_root (outputs untouched) and of reg_query_value; STATUS_FAILED for
 * a null buffer or output pointer, nothing opened. */
status_t reg_read_value_typed(const char *machine, const char *root_name, const char *subkey,
                              const char *value_name, char *buf, uint16_t *value_class,
                              uint16_t *size, int32_t *expand);

/* Read the value value_name [in] (null or empty: the key's unnamed value) of the key subkey
 * [in] (a backslash path relative to key [in], an open key or a predefined one).
 * buf [out]: REG_VALUE_CAP bytes: up to 1024 data bytes; text classes get a terminator
 *   right after them, so binary data also reads as terminated text; numbers (4 bytes) and
 *   lists (terminated texts ended by an empty one) are as the platform returned them.
 * value_class [out]: a reg_value_class: VALUE_CLASS_NUMBER for REG_DWORD and REG_DWORD_BIG_ENDIAN,
 *   VALUE_CLASS_LIST for REG_MULTI_SZ, VALUE_CLASS_TEXT for every other type.
 * size [out]: the data bytes returned (a text's own terminator included).
 * expand [out]: 1 for REG_EXPAND_SZ (delivered unexpanded), else 0.
 * STATUS_OK; STATUS_NOT_FOUND when the subkey or the value does not exist; STATUS_FAILED for a
 * value of more than 1024 bytes (nothing written past the buffer), for a null key, buffer or
 * output pointer; STATUS_ACCESS_DENIED when access is denied; other statuses as
 * status_from_win32_error.
 * When the subkey cannot be opened every output is untouched. When the query fails, size and
 * expand are 0, the buffer is empty and the class is untouched. The subkey handle is closed
 * on every path; key itself is never closed. */
status_t reg_query_value(HKEY key, const char *subkey, const char *value_name, char *buf,
                         uint16_t *value_class, uint16_t *size, int32_t *expand);

/* Close key [in] (nothing for a null or predefined key) and return
 * status_from_win32_error(error [in]). */
status_t reg_close_and_map(HKEY key, DWORD error);

#endif
