/* The LZW decoder: a resumable state machine that writes each string without a stack. */
#include "lzw/lzw_decoder.h"

#include "lzw/lzw_format.h"
#include "platform/os.h"

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

/* The epoch of a new fast run; places of earlier runs no longer match it. */
static uint32_t lzw_decode_new_epoch(lzw_decoder_table *t)
{
    if (++t->epoch > 0xFFFFu) {
        memset(t->places, 0, (t->limit + 1) * sizeof t->places[0]);
        t->epoch = 1;
    }
    return t->epoch;
}

/* The next code above last whose assignment widens the codes, found in the growth bitmap; the
 * limit when none is left. */
static uint32_t lzw_decode_next_growth(const lzw_decoder_table *t, uint32_t last)
{
    uint32_t code = last + 1;
    uint32_t word;

    while (code < t->limit) {
        word = t->growth[code / 32] >> (code % 32);
        if (word == 0) {
            code = (code | 31) + 1;
            continue;
        }
        while ((word & 1u) == 0) {
            word >>= 1;
            code++;
        }
        return code < t->limit ? code : t->limit;
    }
    return t->limit;
}

/* Eight bytes as a big-endian number. */
static inline uint64_t lzw_load_bits64(const uint8_t *p)
{
    return (uint64_t)p[0] << 56 | (uint64_t)p[1] << 48 | (uint64_t)p[2] << 40 |
           (uint64_t)p[3] << 32 | (uint64_t)p[4] << 24 | (uint64_t)p[5] << 16 |
           (uint64_t)p[6] << 8 | (uint64_t)p[7];
}

/* Decode with the files' and the table's state in locals, for as long as the input buffer
 * holds eight bytes past the next code's and each code's whole output passes the budget and
 * fits the output buffer. Codes that need more (a reset, an invalid code, a pause, a block
 * read or write) are handed back. Places of epoch (in its top 16 bits) are in the output
 * buffer. True with *code read and not yet handled; false when the input buffer ran short,
 * nothing read. The files and the table are up to date on return, and *previous is the code
 * decoded last. */
static truth_t lzw_decode_run(bitfile *in, bitfile *out, lzw_decoder_table *t, uint32_t stop,
                              uint32_t epoch, uint16_t *previous, uint16_t *code_out)
{
    uint32_t *const codes = t->codes;
    uint32_t *const places = t->places;
    const uint32_t limit = t->limit;
    uint32_t last = t->last_code;
    int width = t->code_width;
    uint32_t grow_at = lzw_decode_next_growth(t, last);
    const uint8_t *const ip_start = in->buffer + in->buffer_position;
    const uint8_t *ip = ip_start;
    /* Bytes of the latest block not yet taken; until the first block read the buffer holds
     * nothing. Eight are loaded at a time. */
    const int64_t unread = in->byte_counter == 0
                               ? 0
                               : (int64_t)in->last_index + 1 - (int64_t)in->buffer_position;
    const uint8_t *const iend = unread > 0 ? ip + unread : ip;
    int bits = 31 - in->fill_position;
    /* Unread bits at the top, the bits of bytes not yet counted below them; the low bits of
     * the file's accumulator mean nothing. */
    uint64_t acc = bits == 0 ? 0 : (uint64_t)(in->accumulator & (0xFFFFFFFFu << (32 - bits))) << 32;
    uint8_t *const obuf = out->buffer;
    uint8_t *const op_start = obuf + out->buffer_position;
    uint8_t *op = op_start;
    /* Bytes this run may put: below the budget and within the buffer. */
    uint32_t room = out->byte_counter < stop ? stop - out->byte_counter : 0;
    uint8_t *oend;
    uint32_t prev = *previous;
    const uint8_t *prev_at = NULL; /* where the previous code's output begins */
    uint32_t prev_length = lzw_string_length(codes, (uint16_t)prev); /* and its length */
    uint32_t code = 0;
    uint32_t string;
    uint32_t entry;
    uint32_t place;
    uint32_t length;
    uint32_t total;
    uint32_t i;
    truth_t have = 0;
    const uint8_t *from;
    uint64_t chunk;
    uint8_t first;

    if (out->buffer_size - out->buffer_position < room)
        room = out->buffer_size - out->buffer_position;
    oend = op + room;
    while (iend - ip >= 8) {
        /* At least 56 bits at hand, without a branch; the bytes read are those the bits
         * fill. */
        acc |= lzw_load_bits64(ip) >> bits;
        ip += (63 - bits) >> 3;
        bits |= 56;
        code = (uint32_t)(acc >> (64 - width));
        acc <<= width;
        bits -= width;

        if (code - LZW_FIRST_LITERAL < last - 1u) { /* 2 to last: assigned */
            string = code;
            total = 0;
        } else if (code == last + 1 && code < limit) { /* the special case */
            string = prev;
            total = 1;
        } else {
            have = 1;
            break;
        }
        entry = codes[string];
        length = LZW_LENGTH(entry);
        if (length == LZW_DECODER_LENGTH_MAX)
            length = lzw_string_length(codes, (uint16_t)string);
        total += length;
        if (total > (uint32_t)(oend - op)) {
            have = 1;
            break;
        }

        /* A string written earlier in this buffer (wholly before op) is copied eight bytes
         * at a time, the last chunk running into room that later bytes overwrite; any other
         * is walked link by link. */
        place = places[string];
        if ((place ^ epoch) <= 0xFFFFu && (uint32_t)(oend - op) >= length + 8) {
            from = obuf + (place & 0xFFFFu);
            first = from[0];
            for (i = 0; i < length; i += 8) {
                memcpy(&chunk, from + i, 8);
                memcpy(op + i, &chunk, 8);
            }
            op[length] = first; /* the special case's last byte, or room */
        } else {
            for (i = length - 1;; i--) {
                op[i] = LZW_BYTE(entry);
                if (i == 0)
                    break;
                entry = codes[LZW_LINK(entry)];
            }
            first = LZW_BYTE(entry);
            if (total > length)
                op[length] = first;
        }
        /* The string is here now, whatever its place was. */
        places[string] = epoch | (uint32_t)(op - obuf);

        if (last + 1 < limit) {
            length = prev_length + 1;
            if (length > LZW_DECODER_LENGTH_MAX)
                length = LZW_DECODER_LENGTH_MAX;
            last++;
            codes[last] = (length << LZW_DECODER_LENGTH_SHIFT) | ((uint32_t)first << 16) | prev;
            /* The previous output and this one's first byte. */
            places[last] = prev_at == NULL ? 0 : epoch | (uint32_t)(prev_at - obuf);
            if (last == grow_at) {
                width++;
                grow_at = lzw_decode_next_growth(t, last);
            }
        }
        prev = code;
        prev_at = op;
        prev_length = total;
        op += total;
    }

    /* Bytes read for bits beyond the 31 the file keeps go back to its buffer. */
    while (bits > 31) {
        ip--;
        bits -= 8;
    }
    t->last_code = (uint16_t)last;
    t->code_width = width;
    in->buffer_position += (uint32_t)(ip - ip_start);
    in->byte_counter += (uint32_t)(ip - ip_start);
    in->accumulator = bits == 0 ? 0 : (uint32_t)(acc >> 32) & (0xFFFFFFFFu << (32 - bits));
    in->fill_position = 31 - bits;
    out->buffer_position += (uint32_t)(op - op_start);
    out->byte_counter += (uint32_t)(op - op_start);
    *previous = (uint16_t)prev;
    *code_out = (uint16_t)code;
    return have;
}

status_t lzw_decode(bitfile *in, bitfile *out, lzw_decoder_state *st, uint32_t *budget)
{
    const uint32_t stop = *budget;
    lzw_decoder_table *t = st->table;
    lzw_decode_place at = {0, 0, 0, 0, 0, 0};
    uint32_t *codes;
    uint32_t entry;
    uint32_t length;
    uint16_t code = 0; /* the current code */
    uint16_t string;   /* the code whose string is written */
    uint16_t link;
    uint16_t former;
    uint32_t epoch = 0; /* of the places in out's buffer */
    uint32_t base = 0;  /* out's byte counter at the start of its buffer */

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
        /* Places last as long as the buffer holds them: within this call (the caller may
         * change the output file between calls) and until the buffer is written out. */
        if (epoch == 0 || out->byte_counter - out->buffer_position != base) {
            epoch = lzw_decode_new_epoch(t) << 16;
            base = out->byte_counter - out->buffer_position;
        }
        if (!lzw_decode_run(in, out, t, stop, epoch, &at.previous_code, &code) &&
            !bitfile_read_bits(in, &code, t->code_width))
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

        /* Byte by byte, with a budget test before each. The links are turned to point
         * forward, walked, and turned back on the way. */
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

        if (t->last_code + 1u < t->limit) {
            codes = t->codes;
            length = LZW_LENGTH(codes[at.previous_code]) + 1;
            if (length > LZW_DECODER_LENGTH_MAX)
                length = LZW_DECODER_LENGTH_MAX;
            t->last_code++;
            codes[t->last_code] = (length << LZW_DECODER_LENGTH_SHIFT) |
                                  ((uint32_t)at.first_character << 16) | at.previous_code;
            t->places[t->last_code] = 0; /* a place of no run */
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
