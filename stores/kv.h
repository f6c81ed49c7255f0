/* Key-value text files: the separator spec, the field reader and the line writer. */
#ifndef STORES_KV_H
#define STORES_KV_H

#include <stdint.h>
#include <stdio.h>

#include "platform/status.h"

/* The character at which text input ends (Ctrl-Z): a text file holds nothing after it. */
#define KV_TEXT_END '\x1A'

/* Read the separator spec [in] (null means "="): *sep [out] the separator character (NUL for
 * the empty spec: no separator), *keep_key_blanks and *keep_value_blanks [out] whether spaces
 * and TABs count in keys and in values. Accepted: "" (NUL, keys kept, values not), c, " c"
 * (key blanks dropped), "c " (value blanks dropped), " c " (both dropped); a space also plays c.
 * STATUS_OK; or STATUS_BAD_FORMAT for any other spec, the outputs untouched. Null outputs are
 * skipped. A separator that no line can hold (CR, LF, Ctrl-Z) is accepted here: a read with it
 * simply finds none, and only a write must refuse it (kv_separator_writable). */
status_t kv_parse_separator_spec(const char *spec, char *sep, truth_t *keep_key_blanks,
                                 truth_t *keep_value_blanks);

/* Read one field from in [in,out], a text stream: a key (sep the spec's separator; separators
 * in front of it are skipped, the first one after it ends it; with a space separator a TAB
 * separates too and, keep_blanks false, takes the blanks after it along) or, with sep NUL, a
 * value (the rest of the line). keep_blanks false drops every space and TAB of the field. The
 * line end is never consumed. field [out] gets the field and raw [out] every character the call
 * consumed (separators and dropped blanks included, the line end and the blanks taken along by
 * a TAB not), each a buffer of cap bytes (cap >= 2); a field holds at most cap - 2 characters,
 * a raw copy cap - 1. raw may be null: no raw copy is kept, and then only the field's own
 * characters count against cap (a value behind any run of dropped blanks can be read).
 *   STATUS_OK: the field ended at a separator or before a line end;
 *   STATUS_END_OF_FILE: end of file (the field holds what came before it: a last line without line
 *       end);
 *   STATUS_BAD_FORMAT: the field reached cap - 1 characters, or the raw copy would pass cap - 1, or
 *       cap < 2; both are then terminated inside their buffers but must not be used as the field;
 *   STATUS_FAILED: a read error (the field emptied), a failed push-back, or a null stream or field
 *       (nothing written).
 * Nothing is ever written past cap bytes. The stream is never closed or repositioned. */
status_t kv_read_field(FILE *in, char sep, truth_t keep_blanks, char *field, uint16_t cap,
                       char *raw);

/* Whether a line written with separator sep reads back as one line: not for a CR, an LF or a
 * Ctrl-Z, at which a line or the text ends. */
truth_t kv_separator_writable(char sep);

/* Write the line key, sep (unless NUL), value (unless null) and a line end to out [in,out], a
 * text stream, without blanks around the separator (a null key counts as empty). STATUS_OK; or
 * STATUS_WRITE_ERROR when a character cannot be written (the line may then be partly written)
 * or out is null. */
status_t kv_write_line(FILE *out, const char *key, char sep, const char *value);

#endif
