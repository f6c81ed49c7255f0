/* Text utilities: zero-terminated single-byte strings with 16-bit lengths and counts. Names
 * compare folding only A-Z; a null pointer is distinct from an empty string. */
#ifndef PLATFORM_TEXT_H
#define PLATFORM_TEXT_H

#include <stdint.h>

#include "platform/status.h"

/* The count that means "no limit" (all 16 bits set). */
#define TEXT_NO_LIMIT ((uint16_t)0xFFFF)

/* Length of a text (modulo 65536); a null text has length 0. */
uint16_t text_length(const char *text);
/* Copy at most count characters of src to dst and always terminate: dst must hold count + 1
 * bytes, or src's length + 1. Null dst or src: nothing written, 0. Returns the characters
 * copied. */
uint16_t text_copy(char *dst, const char *src, uint16_t count);
/* text_copy to dst's terminator. */
uint16_t text_append(char *dst, const char *src, uint16_t count);
/* Bounded forms for fixed buffers: cap is the buffer's size in bytes, terminator included.
 * False, with dst unchanged, when the result would not fit (so a name is never cut). */
truth_t text_copy_fit(char *dst, uint16_t cap, const char *src);
truth_t text_append_fit(char *dst, uint16_t cap, const char *src);
/* True only for a non-null pointer to an empty text. */
truth_t text_is_empty(const char *text);
/* Case-folded (A-Z only) comparison of at most count characters; count 0 is always equal; two
 * nulls are equal, one null is not. */
truth_t text_equal(const char *a, const char *b, uint16_t count);
/* Remove every space, TAB, LF and CR; returns the new length. */
uint16_t text_strip_blanks(char *text);
/* Upper-case every lower-case letter (locale classification) in place. */
void text_upper(char *text);
/* Terminate the text at position; returns the text. */
char *text_cut(char *text, uint16_t position);
/* A heap copy (length + 1 bytes); a null text gives a new empty text; null when memory is
 * short. Release with mem_free. */
char *text_dup(const char *text);
uint16_t text_count_char(const char *text, char c);
/* Position just after the nth occurrence of c, or the text's length; 0 for n = 0. */
uint16_t text_skip_to_nth(const char *text, uint16_t n, char c);
/* Split at sep into a heap list of heap texts; drop_empty drops empty pieces. An empty or null
 * text gives count 0 and a null list. Always 1 (an allocation failure yields fewer pieces, or
 * count 0 and a null list). Release with text_free_list. */
truth_t text_split(const char *text, char sep, uint16_t *count, char ***list, truth_t drop_empty);
void text_free_list(char **list, int32_t count);
/* Replace every case-folded occurrence of pattern by replacement into out, a buffer of cap
 * bytes. False (out emptied) when the result does not fit; out is emptied and the result is
 * true when any argument is null. */
truth_t text_replace(const char *text, const char *pattern, const char *replacement, char *out,
                     uint16_t cap);
/* Parse a decimal number between optional spaces; empty or all spaces is 0. False (value
 * untouched) for any other character or a value beyond the signed 32-bit range. */
truth_t text_parse_decimal(const char *text, int32_t *value);
/* Case-folded substring test; an empty pattern matches. */
truth_t text_contains(const char *text, const char *pattern);
/* Whether two version strings (digits separated by full stops or commas) are equal, comparing
 * at most levels components. */
truth_t text_versions_equal(const char *a, const char *b, uint16_t levels);

#endif
