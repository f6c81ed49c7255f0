/* The value stores: one get and one set over the registry key, the environment, WIN.INI,
 * private profile files and key-value files. */
#ifndef STORES_STORE_H
#define STORES_STORE_H

#include <stdint.h>

#include "platform/status.h"

/* A value buffer's usual size. */
#define STORE_VALUE_CAP 1024

/* name is modifiable: a key-value lookup with insignificant key blanks strips it in place. */
status_t store_get_value(char *name, const char *store, const char *section, char *buf,
                         uint16_t size, int32_t use_subkey);
status_t store_get_value_for_platform(char *name, const char *store, const char *section,
                                      char *buf, uint16_t size, int32_t use_subkey,
                                      const char *platform);
truth_t store_platform_supported(const char *platform);
/* "nt", "win95" or null. */
const char *store_running_platform(void);

status_t store_set_value(const char *name, const char *value, const char *store,
                         const char *section, int32_t use_subkey);
status_t store_set_value_for_platform(const char *name, const char *value, const char *store,
                                      const char *section, int32_t use_subkey,
                                      const char *platform);

#endif
