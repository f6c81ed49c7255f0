/* Text utilities: zero-terminated single-byte strings with 16-bit lengths and counts. Names
 * compare folding only A-Z; a null pointer is distinct from an empty string. */
#ifndef PLATFORM_TEXT_H
#define PLATFORM_TEXT_H

#include <stdint.h>

#include "platform/status.h"

/* The count that means "no limit" (all 16 bits set). */
#define TEXT_NO_LIMIT ((uint16_t)0xFFFF)

/* Length of a text [in], modulo 65536; a null text has length 0. */
uint16_t text_length(const char *text);

/* Copy at most count characters of src [in] to dst [out] and always terminate: dst must hold
 * count + 1 bytes, or src's length + 1. Count 0 writes only the terminator. Null dst or src:
 * nothing written, 0. Returns the characters copied. Prefer text_copy_fit for a fixed buffer. */
uint16_t text_copy(char *dst, const char *src, uint16_t count);

/* text_copy to the terminator of dst [in,out], with the same count; returns the characters
 * appended (0, nothing written, when either is null). */
uint16_t text_append(char *dst, const char *src, uint16_t count);

/* The bounded copies for fixed buffers. dst [in,out] is a buffer of cap bytes, terminator
 * included; src [in] (null counts as empty). text_copy_fit makes dst a copy of src;
 * text_append_fit appends src to the text in dst. False, with dst unchanged, when the result
 * would not fit, when dst is null or cap is 0, and (append) when dst has no terminator within
 * cap: a name is never cut, nothing is written past cap. */
truth_t text_copy_fit(char *dst, uint16_t cap, const char *src);
truth_t text_append_fit(char *dst, uint16_t cap, const char *src);

/* True only for a non-null pointer to an empty text. */
truth_t text_is_empty(const char *text);

/* Whether a and b [in] are equal over at most count characters, folding A-Z only (bytes above
 * 127 compare as themselves). Count 0 is always equal; two nulls are equal, one null is not.
 * With TEXT_NO_LIMIT: whole-text, case-blind equality. */
truth_t text_equal(const char *a, const char *b, uint16_t count);

/* Remove every space, TAB, LF and CR of text [in,out], closing the gaps; returns the new length
 * (0 for null). */
uint16_t text_strip_blanks(char *text);

/* Upper-case in place [in,out] every byte that the C library classifies as a lower-case letter
 * in the current locale (a-z in the default one). Null is ignored. */
void text_upper(char *text);

/* Terminate text [in,out] at position; returns the text. A position at or past the terminator
 * changes nothing (nothing is written beyond the text). Null gives null. */
char *text_cut(char *text, uint16_t position);

/* A heap copy of the whole text [in]; a null text gives a new empty text. Null when memory is
 * short. Release with mem_free. */
char *text_dup(const char *text);

/* Occurrences of c in text (0 for null; the terminator is never counted). */
uint16_t text_count_char(const char *text, char c);

/* Position just after the nth occurrence of c in text, or the text's length when there are
 * fewer; 0 for n = 0 or a null text. */
uint16_t text_skip_to_nth(const char *text, uint16_t n, char c);

/* Split text [in] at sep into a heap list of heap texts: *count [out] pieces in *list [out],
 * the stretches between the start, each sep and the end; drop_empty leaves out empty pieces.
 * Both outputs are always written: an empty or null text, a split that leaves no piece, or a
 * failed allocation of the list gives count 0 and a null list; a failed allocation of a piece
 * leaves that piece out. Always 1. Release with text_free_list(*list, *count). */
truth_t text_split(const char *text, char sep, uint16_t *count, char ***list, truth_t drop_empty);

/* Release the first count texts of list and then list itself; nothing for a null list or a
 * count that is not positive. */
void text_free_list(char **list, int32_t count);

/* Replace, left to right, every case-folded (A-Z) occurrence of pattern [in] in text [in] by
 * replacement [in], into out [out], a buffer of cap bytes that must not overlap the inputs.
 * Matches do not overlap; an empty pattern copies the text. True with out holding the result;
 * true with out emptied when text, pattern or replacement is null; false with out emptied when
 * the result would not fit cap (nothing written past it); false, out untouched, for a null out
 * or cap 0. */
truth_t text_replace(const char *text, const char *pattern, const char *replacement, char *out,
                     uint16_t cap);

/* Parse text [in]: optional spaces, decimal digits, optional spaces; empty or all spaces is 0.
 * True with *value [out] set; false, *value untouched, for any other character (a sign
 * included), for a value above 2147483647, or for a null argument. */
truth_t text_parse_decimal(const char *text, int32_t *value);

/* Whether pattern occurs in text, folding A-Z; an empty pattern matches any text. A null text
 * contains only a null pattern; a null pattern is in no text. */
truth_t text_contains(const char *text, const char *pattern);

/* Whether two version texts (runs of digits after optional spaces, each followed by at most one
 * full stop or comma) are equal, comparing at most levels numbers; once levels numbers are
 * equal the rest is not looked at. Where neither text has a digit the comparison ends with the
 * two characters there, case-folded. Numbers of any length compare by value. Only equality is
 * answered: 3.2 and 3.2.0 differ. False when either is null. */
truth_t text_versions_equal(const char *a, const char *b, uint16_t levels);

#endif
