/* Registry access, on this machine or another, and the platform error mapping shared with the
 * network drive operations. */
#ifndef PLATFORM_REG_H
#define PLATFORM_REG_H

#include <stdint.h>

#include "platform/os.h"
#include "platform/status.h"

/* A value buffer: up to 1024 bytes of data and a terminator. */
#define REG_VALUE_CAP 1025

enum { VALUE_CLASS_TEXT = 0, VALUE_CLASS_NUMBER = 1, VALUE_CLASS_LIST = 2 };

status_t status_from_win32_error(DWORD error);
status_t reg_root_key(const char *root_name, HKEY *key);
status_t reg_open_root(const char *machine, const char *root_name, HKEY *key);
status_t reg_read_value(const char *machine, const char *root_name, const char *subkey,
                        const char *value_name, char *buf);
status_t reg_read_value_typed(const char *machine, const char *root_name, const char *subkey,
                              const char *value_name, char *buf, uint16_t *value_class,
                              uint16_t *size, int32_t *expand);
status_t reg_query_value(HKEY key, const char *subkey, const char *value_name, char *buf,
                         uint16_t *value_class, uint16_t *size, int32_t *expand);
status_t reg_close_and_map(HKEY key, DWORD error);

#endif
