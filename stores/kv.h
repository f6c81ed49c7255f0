/* Key-value text files: the separator spec, the field reader and the line writer. */
#ifndef STORES_KV_H
#define STORES_KV_H

#include <stdint.h>
#include <stdio.h>

#include "platform/status.h"

status_t kv_parse_separator_spec(const char *spec, char *sep, truth_t *keep_key_blanks,
                                 truth_t *keep_value_blanks);
/* Read one field; raw receives every character consumed, in a buffer of cap bytes like the
 * field's. Results 0, 1 (end of file), 7 (the field or the raw copy reached cap - 1), 29. */
status_t kv_read_field(FILE *in, char sep, truth_t keep_blanks, char *field, uint16_t cap,
                       char *raw);
status_t kv_write_line(FILE *out, const char *key, char sep, const char *value);

#endif
