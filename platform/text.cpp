/* Text utilities: 16-bit lengths, null-tolerant, names folded over A-Z only. */
#include "platform/text.h"

#include <ctype.h>
#include <string.h>

#include "platform/mem.h"

/* Only A-Z fold: names are compared as the platform compares them, whatever the code page. */
static unsigned char text_fold(char c)
{
    unsigned char u = (unsigned char)c;
    if (u >= 'A' && u <= 'Z')
        return (unsigned char)(u + 32);
    return u;
}

static truth_t text_is_blank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

static truth_t text_is_digit(char c)
{
    return c >= '0' && c <= '9';
}

uint16_t text_length(const char *text)
{
    uint16_t n = 0;
    if (text == NULL)
        return 0;
    while (*text++ != '\0')
        n++;
    return n;
}

uint16_t text_copy(char *dst, const char *src, uint16_t count)
{
    uint16_t n = 0;
    if (dst == NULL || src == NULL)
        return 0;
    while (n < count && src[n] != '\0') {
        dst[n] = src[n];
        n++;
    }
    dst[n] = '\0';
    return n;
}

uint16_t text_append(char *dst, const char *src, uint16_t count)
{
    if (dst == NULL || src == NULL)
        return 0;
    while (*dst != '\0')
        dst++;
    return text_copy(dst, src, count);
}

truth_t text_copy_fit(char *dst, uint16_t cap, const char *src)
{
    uint16_t n = 0;
    if (dst == NULL || cap == 0)
        return 0;
    if (src == NULL)
        src = "";
    /* Measure first, so a text that does not fit leaves dst as it was. */
    while (src[n] != '\0') {
        if (n + 1 >= cap)
            return 0;
        n++;
    }
    for (uint16_t i = 0; i < n; i++)
        dst[i] = src[i];
    dst[n] = '\0';
    return 1;
}

truth_t text_append_fit(char *dst, uint16_t cap, const char *src)
{
    uint16_t used = 0;
    if (dst == NULL || cap == 0)
        return 0;
    /* A dst without a terminator inside its buffer cannot be appended to. */
    while (dst[used] != '\0') {
        if (used + 1 >= cap)
            return 0;
        used++;
    }
    return text_copy_fit(dst + used, (uint16_t)(cap - used), src);
}

truth_t text_is_empty(const char *text)
{
    return text != NULL && text[0] == '\0';
}

truth_t text_equal(const char *a, const char *b, uint16_t count)
{
    if (count == 0)
        return 1;
    if (a == NULL || b == NULL)
        return a == b;
    for (uint16_t i = 0; i < count; i++) {
        if (text_fold(a[i]) != text_fold(b[i]))
            return 0;
        if (a[i] == '\0')
            return 1;
    }
    return 1;
}

uint16_t text_strip_blanks(char *text)
{
    uint16_t n = 0;
    if (text == NULL)
        return 0;
    char *out = text;
    for (const char *in = text; *in != '\0'; in++) {
        if (!text_is_blank(*in)) {
            *out++ = *in;
            n++;
        }
    }
    *out = '\0';
    return n;
}

void text_upper(char *text)
{
    if (text == NULL)
        return;
    for (; *text != '\0'; text++) {
        if (islower((unsigned char)*text))
            *text = (char)((unsigned char)*text - 32);
    }
}

char *text_cut(char *text, uint16_t position)
{
    if (text == NULL)
        return NULL;
    /* A position past the end would write beyond the text's terminator, perhaps beyond its
     * buffer; such a text is already shorter than the cut. */
    for (uint16_t i = 0; i < position; i++) {
        if (text[i] == '\0')
            return text;
    }
    text[position] = '\0';
    return text;
}

char *text_dup(const char *text)
{
    if (text == NULL)
        text = "";
    /* The whole text, even past 65535 characters: a copy that is shorter is not a copy. */
    size_t len = strlen(text);
    char *copy = (char *)mem_alloc(len + 1);
    if (copy == NULL)
        return NULL;
    memcpy(copy, text, len + 1);
    return copy;
}

uint16_t text_count_char(const char *text, char c)
{
    uint16_t n = 0;
    if (text == NULL)
        return 0;
    for (; *text != '\0'; text++) {
        if (*text == c)
            n++;
    }
    return n;
}

uint16_t text_skip_to_nth(const char *text, uint16_t n, char c)
{
    size_t pos = 0;
    uint16_t seen = 0;
    if (text == NULL || n == 0)
        return 0;
    while (text[pos] != '\0') {
        if (text[pos++] == c && ++seen == n)
            break;
    }
    return (uint16_t)pos;
}

truth_t text_split(const char *text, char sep, uint16_t *count, char ***list, truth_t drop_empty)
{
    uint32_t pieces = 1;
    uint16_t filled = 0;
    char **slots = NULL;

    if (count == NULL || list == NULL)
        return 1;
    *count = 0;
    *list = NULL;
    if (text == NULL || text[0] == '\0')
        return 1;
    if (sep != '\0') {
        for (const char *p = text; *p != '\0'; p++) {
            if (*p == sep)
                pieces++;
        }
    }
    if (pieces > 0xFFFFu)
        return 1; /* more pieces than a count can say */
    slots = (char **)mem_alloc(pieces * sizeof *slots);
    if (slots == NULL)
        return 1;

    const char *start = text;
    for (;;) {
        const char *end = start;
        while (*end != '\0' && (sep == '\0' || *end != sep))
            end++;
        size_t len = (size_t)(end - start);
        if (len > 0 || !drop_empty) {
            char *piece = (char *)mem_alloc(len + 1);
            if (piece != NULL) {
                memcpy(piece, start, len);
                piece[len] = '\0';
                slots[filled++] = piece;
            }
        }
        if (*end == '\0')
            break;
        start = end + 1;
    }
    if (filled == 0) {
        /* Nothing to hand over: a list with no strings would never be released. */
        mem_free(slots);
        return 1;
    }
    *count = filled;
    *list = slots;
    return 1;
}

void text_free_list(char **list, int32_t count)
{
    if (list == NULL || count <= 0)
        return;
    for (int32_t i = 0; i < count; i++)
        mem_free(list[i]);
    mem_free(list);
}

/* Whether pattern matches text at its start, folding A-Z. */
static truth_t text_matches_at(const char *text, const char *pattern)
{
    for (; *pattern != '\0'; text++, pattern++) {
        if (*text == '\0' || text_fold(*text) != text_fold(*pattern))
            return 0;
    }
    return 1;
}

truth_t text_replace(const char *text, const char *pattern, const char *replacement, char *out,
                     uint16_t cap)
{
    uint16_t n = 0;
    if (out == NULL || cap == 0)
        return 0;
    out[0] = '\0';
    if (text == NULL || pattern == NULL || replacement == NULL)
        return 1;

    /* The naive left-to-right match: after a failed partial match the scan resumes one
     * character after where it began, and matches never overlap. */
    while (*text != '\0') {
        const char *piece = text;
        size_t len = 1;
        if (pattern[0] != '\0' && text_matches_at(text, pattern)) {
            piece = replacement;
            len = strlen(replacement);
            text += strlen(pattern);
        } else {
            text++;
        }
        if (len >= (size_t)(cap - n)) {
            out[0] = '\0';
            return 0;
        }
        memcpy(out + n, piece, len);
        n = (uint16_t)(n + len);
    }
    out[n] = '\0';
    return 1;
}

truth_t text_parse_decimal(const char *text, int32_t *value)
{
    int32_t v = 0;
    if (text == NULL || value == NULL)
        return 0;
    while (*text == ' ')
        text++;
    while (text_is_digit(*text)) {
        int32_t d = *text - '0';
        /* Checked before the step, so the signed range is never left. */
        if (v > (INT32_MAX - d) / 10)
            return 0;
        v = v * 10 + d;
        text++;
    }
    while (*text == ' ')
        text++;
    if (*text != '\0')
        return 0;
    *value = v;
    return 1;
}

truth_t text_contains(const char *text, const char *pattern)
{
    if (text == NULL)
        return pattern == NULL;
    if (pattern == NULL)
        return 0;
    for (;; text++) {
        if (text_matches_at(text, pattern))
            return 1;
        if (*text == '\0')
            return 0;
    }
}

/* Whether two runs of digits are the same number; compares the digits past leading zeros, so a
 * run of any length compares without overflow. */
static truth_t text_same_number(const char *a, uint16_t alen, const char *b, uint16_t blen)
{
    while (alen > 1 && *a == '0') {
        a++;
        alen--;
    }
    while (blen > 1 && *b == '0') {
        b++;
        blen--;
    }
    return alen == blen && memcmp(a, b, alen) == 0;
}

truth_t text_versions_equal(const char *a, const char *b, uint16_t levels)
{
    if (a == NULL || b == NULL)
        return 0;
    if (a[0] == '\0')
        return b[0] == '\0';
    while (*b != '\0') {
        while (*a == ' ')
            a++;
        while (*b == ' ')
            b++;
        uint16_t alen = 0;
        uint16_t blen = 0;
        while (alen < 0xFFFFu && text_is_digit(a[alen]))
            alen++;
        while (blen < 0xFFFFu && text_is_digit(b[blen]))
            blen++;
        if (alen == 0) {
            if (blen == 0)
                return text_fold(*a) == text_fold(*b);
            return 0;
        }
        if (blen == 0)
            return 0;
        if (levels == 0)
            return 1;
        levels--;
        if (!text_same_number(a, alen, b, blen))
            return 0;
        a += alen;
        b += blen;
        if (*a == '.' || *a == ',')
            a++;
        if (*b == '.' || *b == ',')
            b++;
        if (*a == '\0')
            break;
    }
    return *a == '\0' && *b == '\0';
}
