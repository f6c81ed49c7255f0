/* The substitution filter: tokens collected, resolved and written; cut tokens carried over. */
#include "transfer/substitute.h"

#include <string.h>

#include "platform/mem.h"
#include "platform/text.h"

/* collect's result when the input ended before the closing percent sign. */
#define SUBSTITUTE_CUT (-1)

substitute_state *substitute_state_create(int32_t context1, int32_t context2,
                                          transfer_resolver_fn resolver)
{
    substitute_state *st = (substitute_state *)mem_alloc(sizeof *st);

    if (st == NULL)
        return NULL;
    st->context1 = context1;
    st->context2 = context2;
    st->resolver = resolver;
    st->pending_token[0] = '\0';
    st->pending_length = 0;
    st->pending = 0;
    return st;
}

/* The end of the input: a read error is not an end, and must not pass for one. */
static status_t substitute_at_end(FILE *input)
{
    return ferror(input) ? STATUS_READ_ERROR : STATUS_OK;
}

static status_t substitute_put(FILE *output, int c)
{
    return fputc(c, output) == EOF ? STATUS_WRITE_ERROR : STATUS_OK;
}

/* Ask the resolver for the complete token and write its value. */
static status_t substitute_resolve(substitute_state *st, const char *token, FILE *output)
{
    char value[SUBSTITUTE_BUF_CAP];
    status_t rc;
    uint16_t len;

    if (st->resolver == NULL)
        return STATUS_FAILED;
    value[0] = '\0';
    rc = st->resolver(st->context1, st->context2, token, value, SUBSTITUTE_VALUE_CAP, 0, 0, "",
                      "");
    if (rc != STATUS_OK)
        return rc;
    /* A value that ran past what was offered cannot be trusted to end anywhere. */
    if (memchr(value, '\0', SUBSTITUTE_VALUE_CAP) == NULL)
        return STATUS_FAILED;
    len = text_length(value);
    if (len > 0 && fwrite(value, 1, len, output) != len)
        return STATUS_WRITE_ERROR;
    return STATUS_OK;
}

/* Read the rest of the token begun in token (*len characters, from its opening %) up to its
 * closing % and resolve it. SUBSTITUTE_CUT when the input ends first, token then holding what
 * was read, terminated. */
static status_t substitute_collect(FILE *input, FILE *output, substitute_state *st, char *token,
                                   uint16_t *len, uint32_t *count)
{
    int c;

    for (;;) {
        c = fgetc(input);
        if (c == EOF) {
            token[*len] = '\0';
            return ferror(input) ? STATUS_READ_ERROR : SUBSTITUTE_CUT;
        }
        (*count)++;
        if (c == '%')
            break;
        if (*len >= 1 + SUBSTITUTE_NAME_MAX)
            return STATUS_FAILED;
        token[(*len)++] = (char)c;
    }
    token[(*len)++] = '%';
    token[*len] = '\0';
    return substitute_resolve(st, token, output);
}

/* Keep a cut token of len characters for the next input. */
static status_t substitute_keep(substitute_state *st, const char *token, uint16_t len)
{
    memcpy(st->pending_token, token, len);
    st->pending_token[len] = '\0';
    st->pending_length = len;
    st->pending = 1;
    return STATUS_OK;
}

/* Complete the token that the previous input cut off. An input that does not complete it
 * either (a piece shorter than the rest of the token, or an empty one) keeps it pending: the
 * inputs filter as one stream, and only the end of the last one decides. */
static status_t substitute_resume(FILE *input, FILE *output, substitute_state *st,
                                  uint32_t *count)
{
    char token[SUBSTITUTE_BUF_CAP];
    uint16_t len;
    status_t rc;
    int c;

    len = st->pending_length;
    memcpy(token, st->pending_token, len);
    st->pending_token[0] = '\0';
    st->pending_length = 0;
    if (len == 0) {
        /* The input ended just after a single %: a second one, or a name. */
        c = fgetc(input);
        if (c == EOF) {
            rc = substitute_at_end(input);
            return rc != STATUS_OK ? rc : substitute_keep(st, "", 0);
        }
        (*count)++;
        if (c == '%') {
            rc = substitute_put(output, '%');
            if (rc == STATUS_OK)
                st->pending = 0;
            return rc;
        }
        token[0] = '%';
        token[1] = (char)c;
        len = 2;
    }
    rc = substitute_collect(input, output, st, token, &len, count);
    if (rc == SUBSTITUTE_CUT)
        return substitute_keep(st, token, len);
    if (rc == STATUS_OK)
        st->pending = 0;
    return rc;
}

status_t substitute_variables(FILE *input, FILE *output, substitute_state *st, uint32_t *count)
{
    char token[SUBSTITUTE_BUF_CAP];
    uint16_t len;
    status_t rc;
    int c;

    *count = 0;
    if (st->pending) {
        rc = substitute_resume(input, output, st, count);
        if (rc != STATUS_OK || st->pending)
            return rc;
    }
    for (;;) {
        c = fgetc(input);
        if (c == EOF)
            return substitute_at_end(input);
        (*count)++;
        if (c != '%') {
            rc = substitute_put(output, c);
            if (rc != STATUS_OK)
                return rc;
            continue;
        }
        c = fgetc(input);
        if (c == EOF) {
            rc = substitute_at_end(input);
            return rc != STATUS_OK ? rc : substitute_keep(st, "", 0);
        }
        if (c == '%') {
            (*count)++;
            rc = substitute_put(output, '%');
            if (rc != STATUS_OK)
                return rc;
            continue;
        }
        /* The first character of the name is read again by the collection, and counted
         * there. */
        if (ungetc(c, input) == EOF)
            return STATUS_READ_ERROR;
        token[0] = '%';
        len = 1;
        rc = substitute_collect(input, output, st, token, &len, count);
        if (rc == SUBSTITUTE_CUT)
            return substitute_keep(st, token, len);
        if (rc != STATUS_OK)
            return rc;
    }
}
