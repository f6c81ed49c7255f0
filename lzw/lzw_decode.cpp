/* The LZW decoder: a resumable state machine that writes each string without a stack. */
#include "lzw/lzw_decoder.h"

#include "lzw/lzw_format.h"

#define LZW_LINK(entry) ((uint16_t)((entry)&0xFFFFu))
#define LZW_BYTE(entry) ((uint8_t)((entry) >> 16))
#define LZW_LENGTH(entry) ((entry) >> LZW_DECODER_LENGTH_SHIFT)

/* The locals a paused call hands to the next one. */
typedef struct lzw_decode_place {
    uint16_t previous_code;
    uint16_t node;
    uint16_t next_node;
    uint16_t pending_code;
    uint8_t first_character;
    uint8_t current_character;
} lzw_decode_place;

static status_t lzw_decode_fail(lzw_decoder_state *st, status_t rc)
{
    /* The links of a string may be half turned: nothing may read the table again. */
    st->phase = LZW_DECODE_FAILED;
    return rc;
}

static status_t lzw_decode_pause(lzw_decoder_state *st, int32_t phase,
                                 const lzw_decode_place *at, bitfile *in, bitfile *out,
                                 uint32_t *budget)
{
    /* An input that broke off is no end of a file of the stream. */
    if ((phase == LZW_DECODE_INPUT || phase == LZW_DECODE_INPUT_RESET) &&
        bitfile_read_failed(in))
        return lzw_decode_fail(st, STATUS_READ_ERROR);
    st->phase = phase;
    st->previous_code = at->previous_code;
    st->node = at->node;
    st->next_node = at->next_node;
    st->pending_code = at->pending_code;
    st->first_character = at->first_character;
    st->current_character = at->current_character;
    /* Only an input pause may be resumed with another input file; at the other pauses the
     * unread bits stay in this one. */
    if (phase == LZW_DECODE_INPUT || phase == LZW_DECODE_INPUT_RESET)
        bitfile_save_bits(in, &st->input);
    *budget = out->byte_counter;
    return STATUS_OK;
}

static inline truth_t lzw_is_literal(uint16_t code)
{
    return code >= LZW_FIRST_LITERAL && code <= LZW_LAST_LITERAL;
}

/* The length of code's string, following its links when the entry's cache is saturated.
 * Links always lead to lower codes, so the walk ends. */
static uint32_t lzw_string_length(const uint32_t *codes, uint16_t code)
{
    uint32_t entry = codes[code];
    uint32_t n;

    if (LZW_LENGTH(entry) < LZW_DECODER_LENGTH_MAX)
        return LZW_LENGTH(entry);
    n = 1;
    while (LZW_LINK(entry) != 0) {
        entry = codes[LZW_LINK(entry)];
        n++;
    }
    return n;
}

status_t lzw_decode(bitfile *in, bitfile *out, lzw_decoder_state *st, uint32_t *budget)
{
    const uint32_t stop = *budget;
    lzw_decoder_table *t = st->table;
    lzw_decode_place at = {0, 0, 0, 0, 0, 0};
    uint32_t *codes;
    uint32_t entry;
    uint32_t length;
    uint32_t total;
    uint16_t code = 0; /* the current code */
    uint16_t string;   /* the code whose string is written */
    uint16_t link;
    uint16_t former;
    uint8_t *p;

    if (st->phase == LZW_DECODE_NEW) {
        /* A state that failed in its header keeps no table from that try. */
        lzw_decoder_table_free(st->table);
        st->table = NULL;
        if (!bitfile_read_bits(in, &code, LZW_HEADER_BITS))
            return lzw_decode_fail(st, STATUS_READ_ERROR);
        if (code > LZW_MAX_HEADER_WIDTH)
            return lzw_decode_fail(st, STATUS_FILE_CORRUPT);
        t = lzw_decoder_table_create(code);
        if (t == NULL)
            return lzw_decode_fail(st, STATUS_NO_MEMORY);
        st->table = t;
        if (!bitfile_read_bits(in, &code, LZW_MIN_WIDTH))
            return lzw_decode_fail(st, STATUS_READ_ERROR);
        if (!lzw_is_literal(code))
            return lzw_decode_fail(st, STATUS_FILE_CORRUPT);
        /* The stream's first byte goes out whatever the budget. */
        if (!bitfile_put_byte(out, LZW_BYTE(t->codes[code])))
            return lzw_decode_fail(st, STATUS_WRITE_ERROR);
        at.previous_code = code;
        goto next_code;
    }
    if (t == NULL || st->phase < LZW_DECODE_LAST_BYTE || st->phase > LZW_DECODE_INPUT_RESET)
        return lzw_decode_fail(st, STATUS_FAILED);
    at.previous_code = st->previous_code;
    at.node = st->node;
    at.next_node = st->next_node;
    at.pending_code = st->pending_code;
    at.first_character = st->first_character;
    at.current_character = st->current_character;
    switch (st->phase) {
    case LZW_DECODE_LAST_BYTE:
        if (!bitfile_put_byte(out, at.current_character))
            return lzw_decode_fail(st, STATUS_WRITE_ERROR);
        code = at.node;
        goto special_case;
    case LZW_DECODE_RESET_BYTE:
        goto reset_byte;
    case LZW_DECODE_WALK:
        goto walk;
    case LZW_DECODE_SPECIAL_BYTE:
        goto special_byte;
    case LZW_DECODE_INPUT:
        bitfile_load_bits(in, &st->input);
        goto next_code;
    default: /* LZW_DECODE_INPUT_RESET */
        bitfile_load_bits(in, &st->input);
        goto reset_code;
    }

next_code:
    for (;;) {
        if (!bitfile_read_bits(in, &code, t->code_width))
            return lzw_decode_pause(st, LZW_DECODE_INPUT, &at, in, out, budget);
        if (code == LZW_RESET_CODE) {
            lzw_decoder_table_reset(t);
            goto reset_code;
        }
        /* The only code not yet assigned that a writer sends is the next one, and only while
         * the table still grows. */
        if (code == 0 || code > t->last_code + 1u ||
            (code > t->last_code && t->last_code + 1u >= t->limit))
            return lzw_decode_fail(st, STATUS_FILE_CORRUPT);
        codes = t->codes;
        if (code > t->last_code) { /* the previous string and its own first byte */
            string = at.previous_code;
            at.pending_code = code;
        } else {
            string = code;
            at.pending_code = 0;
        }

        /* When the whole output of this code passes the budget and fits the buffer, write
         * it back to front straight from the links. */
        length = lzw_string_length(codes, string);
        total = length + (at.pending_code != 0);
        if (out->byte_counter < stop && stop - out->byte_counter >= total &&
            out->buffer_size - out->buffer_position >= total) {
            p = out->buffer + out->buffer_position;
            link = string;
            for (uint32_t i = length; i > 0; i--) {
                entry = codes[link];
                p[i - 1] = LZW_BYTE(entry);
                link = LZW_LINK(entry);
            }
            at.first_character = p[0];
            if (at.pending_code != 0) {
                p[length] = at.first_character;
                code = at.pending_code;
            }
            out->buffer_position += total;
            out->byte_counter += total;
            goto add_string;
        }

        /* Otherwise byte by byte, with a budget test before each. The links are turned to
         * point forward, walked, and turned back on the way. */
        at.node = string;
        link = LZW_LINK(lzw_decoder_table_relink(t, at.node, 0));
        while (link != 0) {
            entry = lzw_decoder_table_relink(t, link, at.node);
            at.node = link;
            link = LZW_LINK(entry);
        }
        entry = codes[at.node];
        at.first_character = LZW_BYTE(entry);
        at.current_character = at.first_character;
        at.next_node = LZW_LINK(entry);
        codes[at.node] = entry & 0xFFFF0000u;
    walk:
        codes = t->codes;
        while (at.next_node != 0) {
            if (out->byte_counter >= stop)
                return lzw_decode_pause(st, LZW_DECODE_WALK, &at, in, out, budget);
            if (!bitfile_put_byte(out, at.current_character))
                return lzw_decode_fail(st, STATUS_WRITE_ERROR);
            former = at.node;
            at.node = at.next_node;
            entry = codes[at.node];
            at.current_character = LZW_BYTE(entry);
            at.next_node = LZW_LINK(entry);
            codes[at.node] = (entry & 0xFFFF0000u) | former;
        }
        if (out->byte_counter >= stop)
            return lzw_decode_pause(st, LZW_DECODE_LAST_BYTE, &at, in, out, budget);
        if (!bitfile_put_byte(out, at.current_character))
            return lzw_decode_fail(st, STATUS_WRITE_ERROR);
        code = at.node;

    special_case:
        if (at.pending_code != 0) {
        special_byte:
            if (out->byte_counter >= stop)
                return lzw_decode_pause(st, LZW_DECODE_SPECIAL_BYTE, &at, in, out, budget);
            if (!bitfile_put_byte(out, at.first_character))
                return lzw_decode_fail(st, STATUS_WRITE_ERROR);
            code = at.pending_code;
        }

    add_string:
        if (t->last_code + 1u < t->limit) {
            codes = t->codes;
            length = LZW_LENGTH(codes[at.previous_code]) + 1;
            if (length > LZW_DECODER_LENGTH_MAX)
                length = LZW_DECODER_LENGTH_MAX;
            t->last_code++;
            codes[t->last_code] = (length << LZW_DECODER_LENGTH_SHIFT) |
                                  ((uint32_t)at.first_character << 16) | at.previous_code;
            if (t->growth[t->last_code / 32] >> (t->last_code % 32) & 1u)
                t->code_width++;
        }
        at.previous_code = code;
        continue;

    reset_code:
        /* A fresh table begins with a single byte's code, which adds no string. */
        if (!bitfile_read_bits(in, &code, LZW_MIN_WIDTH))
            return lzw_decode_pause(st, LZW_DECODE_INPUT_RESET, &at, in, out, budget);
        if (!lzw_is_literal(code))
            return lzw_decode_fail(st, STATUS_FILE_CORRUPT);
        at.previous_code = code;
        at.current_character = LZW_BYTE(t->codes[code]);
    reset_byte:
        if (out->byte_counter >= stop)
            return lzw_decode_pause(st, LZW_DECODE_RESET_BYTE, &at, in, out, budget);
        if (!bitfile_put_byte(out, at.current_character))
            return lzw_decode_fail(st, STATUS_WRITE_ERROR);
    }
}
