/* The substitution filter: %NAME% tokens of a byte stream replaced by a resolver's values. */
#ifndef TRANSFER_SUBSTITUTE_H
#define TRANSFER_SUBSTITUTE_H

#include <stdint.h>
#include <stdio.h>

#include "platform/status.h"

/* The variable resolver, called as (context1, context2, token, buf, cap, 0, 0, "", ""): token is
 * the whole token, both percent signs included; the replacement goes into buf [out] as a
 * zero-terminated text of at most cap - 1 characters. STATUS_OK means buf holds the
 * replacement; any other result ends the filter with that result. */
typedef status_t (*transfer_resolver_fn)(int32_t context1, int32_t context2, const char *token,
                                         char *buf, uint16_t cap, int32_t reserved1,
                                         int32_t reserved2, const char *reserved3,
                                         const char *reserved4);

/* The longest name between the percent signs. */
#define SUBSTITUTE_NAME_MAX 1023u
/* The token and value buffers: the two percent signs, the name and a terminator fit. */
#define SUBSTITUTE_BUF_CAP 1028u
/* The capacity offered to the resolver. */
#define SUBSTITUTE_VALUE_CAP 1024u

/* Where a filtered stream stands between two inputs: the resolver's arguments and the start of
 * a token that the end of an input cut off. */
typedef struct substitute_state {
    int32_t context1;                      /* the resolver's first argument */
    int32_t context2;                      /* the resolver's second argument */
    transfer_resolver_fn resolver;         /* null: every token fails */
    char pending_token[SUBSTITUTE_BUF_CAP]; /* the token begun so far, from its opening %; empty
                                               when the input ended just after a single % */
    uint16_t pending_length;               /* its characters (a name may hold a NUL byte) */
    truth_t pending;                       /* the last input ended inside a token or after a
                                              single % */
} substitute_state;

/* A new state on the heap for one filtered stream (release with mem_free), or null when
 * memory is short. */
substitute_state *substitute_state_create(int32_t context1, int32_t context2,
                                          transfer_resolver_fn resolver);

/* Filter input [in] (read to its end) into output [in]: %NAME% becomes the resolver's value for
 * the token %NAME%, %% becomes %, every other byte passes unchanged. A token that the end of
 * the input cuts off is kept in st [in,out] and completed by the next call with the next
 * input, so several inputs filter as if they were one; after the last input, st->pending set
 * means the stream ended inside a token or after a single %.
 * *count [out] is set to 0 first, then to the input characters consumed by this call, also on
 * failure.
 * Statuses: STATUS_OK at the end of the input (a token may stay pending); STATUS_READ_ERROR
 * when the input reports a read error or a character cannot be pushed back; STATUS_WRITE_ERROR
 * when the output takes less than it is given; STATUS_FAILED when a name would pass 1023
 * characters, for a null resolver, and for a value without a terminator within the 1024
 * characters offered; the resolver's non-zero result unchanged, with nothing written for that
 * token. After a failure the output keeps what was written before it. */
status_t substitute_variables(FILE *input, FILE *output, substitute_state *st, uint32_t *count);

#endif
