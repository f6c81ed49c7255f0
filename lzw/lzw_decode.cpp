/* The LZW decoder: one switch over named states, and a fast run for the codes in between. */
#include "lzw/lzw_decoder.h"

#include "lzw/lzw_format.h"
#include "platform/os.h"

#define LZW_LINK(entry) ((entry)&0xFFFFu)
#define LZW_BYTE(entry) ((uint8_t)((entry) >> 16))
/* A place that matches no run's epoch. */
#define LZW_NO_PLACE 0u
/* Kept out of the fast run, whose registers it would take. */
#define LZW_NOINLINE __attribute__((noinline))

static status_t lzw_decode_fail(lzw_decoder_state *st, status_t rc)
{
    st->phase = LZW_DECODE_FAILED;
    return rc;
}

static status_t lzw_decode_pause(lzw_decoder_state *st, bitfile *in, bitfile *out,
                                 uint32_t *budget)
{
    if (st->phase == LZW_DECODE_INPUT || st->phase == LZW_DECODE_INPUT_RESET) {
        /* An input that broke off is no end of a file of the stream. */
        if (bitfile_read_failed(in))
            return lzw_decode_fail(st, STATUS_READ_ERROR);
        /* Only an input pause may be resumed with another input file; at an output pause
         * the unread bits stay in this one. */
        bitfile_save_bits(in, &st->input);
    }
    *budget = out->byte_counter;
    return STATUS_OK;
}

static inline truth_t lzw_is_literal(uint32_t code)
{
    return code >= LZW_FIRST_LITERAL && code <= LZW_LAST_LITERAL;
}

/* The one step that adds a string: code becomes previous's string followed by first, length
 * bytes long, last written at place. True when assigning code widens the codes from width:
 * the last code of each width below 16 (511, 1023, ... 32767) does. */
static inline truth_t lzw_decode_add(uint32_t *codes, uint16_t *lengths, uint32_t *places,
                                     uint32_t code, uint32_t previous, uint8_t first,
                                     uint32_t length, uint32_t place, int width)
{
    codes[code] = (uint32_t)first << 16 | previous;
    lengths[code] = (uint16_t)length;
    places[code] = place;
    return code == (1u << width) - 1u && width < LZW_MAX_WIDTH;
}

/* The code below which an add neither widens the codes nor fills the table. */
static inline uint32_t lzw_decode_plain_below(int width, uint32_t limit)
{
    const uint32_t widens_at = (1u << width) - 1u;

    return width < LZW_MAX_WIDTH && widens_at < limit ? widens_at : limit;
}

/* Write code's string of length bytes backward from its last byte, link by link. Links always
 * lead to lower codes, so the walk ends. */
static inline void lzw_decode_walk(const uint32_t *codes, uint32_t code, uint32_t length,
                                   uint8_t *to)
{
    uint32_t entry = codes[code];
    uint32_t i;

    for (i = length - 1; i > 0; i--) {
        to[i] = LZW_BYTE(entry);
        entry = codes[LZW_LINK(entry)];
    }
    to[0] = LZW_BYTE(entry);
}

static inline void lzw_copy8(uint8_t *to, const uint8_t *from)
{
    uint64_t chunk;

    memcpy(&chunk, from, 8);
    memcpy(to, &chunk, 8);
}

/* Whether place is in the buffer whose places have the epoch of at (the output buffer, or the
 * window). */
static inline truth_t lzw_decode_in_buffer(uint32_t place, uint32_t at)
{
    return (place ^ at) <= 0xFFFFu;
}

/* Where a copy of code's string, length bytes last written at place, is at hand outside the
 * output buffer: the held string, the window, or null. A copy reads up to a chunk past the
 * string's end, which the window's block must hold too. */
static LZW_NOINLINE const uint8_t *lzw_decode_copy_elsewhere(const lzw_decoder_table *t,
                                                            uint32_t code, uint32_t place,
                                                            uint32_t length)
{
    if (code == t->string_code)
        return t->string;
    if (t->window_epoch != 0 && lzw_decode_in_buffer(place, t->window_epoch) &&
        (place & 0xFFFFu) + length + LZW_COPY_OVERRUN <= t->window_size)
        return t->window + (place & 0xFFFFu);
    return NULL;
}

/* Where a copy of code's string is at hand: its place in the output buffer when that is of
 * epoch, in the window when of the window's, the held string, or null. */
static inline const uint8_t *lzw_decode_copy_of(const lzw_decoder_table *t, uint32_t code,
                                                uint32_t length, uint32_t epoch,
                                                const uint8_t *obuf)
{
    const uint32_t place = t->places[code];

    if (lzw_decode_in_buffer(place, epoch))
        return obuf + (place & 0xFFFFu);
    return lzw_decode_copy_elsewhere(t, code, place, length);
}

/* length bytes from from to to, in chunks of sixteen: the last one runs past the end into
 * room that later bytes overwrite. */
static inline void lzw_decode_copy(uint8_t *to, const uint8_t *from, uint32_t length)
{
    uint32_t i;

    lzw_copy8(to, from);
    lzw_copy8(to + 8, from + 8);
    for (i = 16; i < length; i += 16) {
        lzw_copy8(to + i, from + i);
        lzw_copy8(to + i + 8, from + i + 8);
    }
}

/* The epoch of a new fast run; places of earlier runs no longer match it. */
static uint32_t lzw_decode_new_epoch(lzw_decoder_table *t)
{
    if (++t->epoch > 0xFFFFu) {
        memset(t->places, 0, (t->limit + 1) * sizeof t->places[0]);
        t->epoch = 1;
        t->window_epoch = 0;
    }
    return t->epoch << 16;
}

/* Eight bytes as a big-endian number. */
static inline uint64_t lzw_load_bits64(const uint8_t *p)
{
    return (uint64_t)p[0] << 56 | (uint64_t)p[1] << 48 | (uint64_t)p[2] << 40 |
           (uint64_t)p[3] << 32 | (uint64_t)p[4] << 24 | (uint64_t)p[5] << 16 |
           (uint64_t)p[6] << 8 | (uint64_t)p[7];
}

/* Decode with the files' and the table's state in locals, for as long as the input buffer
 * holds eight bytes past the next code's and each code's whole output, and the copy's overrun
 * after it, passes the budget and fits the output buffer. Codes that need more (a reset, an
 * invalid code, the next code of a full table, a pause, a block read or write) are handed
 * back. Places of epoch (in its top 16 bits) are in the output buffer. True with *code read
 * and not yet handled; false when the input buffer ran short, nothing read. The files and the
 * table are up to date on return, and *previous is the code decoded last. */
static truth_t lzw_decode_run(bitfile *in, bitfile *out, lzw_decoder_table *t, uint32_t stop,
                              uint32_t epoch, uint16_t *previous, uint16_t *code_out)
{
    uint32_t *const codes = t->codes;
    uint16_t *const lengths = t->lengths;
    uint32_t *const places = t->places;
    uint32_t last = t->last_code;
    int width = t->code_width;
    /* Adds below this code take the plain step; the one at it widens or fills the table. */
    uint32_t plain_below = lzw_decode_plain_below(width, t->limit);
    const uint8_t *const ip_start = in->buffer + in->buffer_position;
    const uint8_t *ip = ip_start;
    /* Bytes of the latest block not yet taken (none until the first block read). Eight are
     * loaded at a time. */
    const int64_t unread = (int64_t)in->last_index + 1 - (int64_t)in->buffer_position;
    const uint8_t *const iend = unread > 0 ? ip + unread : ip;
    int bits = 31 - in->fill_position;
    /* Unread bits at the top, the bits of bytes not yet counted below them; the low bits of
     * the file's accumulator mean nothing. */
    uint64_t acc = bits == 0 ? 0 : (uint64_t)(in->accumulator & (0xFFFFFFFFu << (32 - bits))) << 32;
    uint8_t *const op_start = out->buffer + out->buffer_position;
    uint8_t *op = op_start;
    /* op's place: a place of the same epoch is in the buffer, now - place bytes back. */
    uint32_t now = epoch | out->buffer_position;
    /* Bytes this run may put: below the budget and within the buffer. */
    uint32_t room = out->byte_counter < stop ? stop - out->byte_counter : 0;
    uint8_t *oend;
    uint32_t prev = *previous;
    uint32_t code = 0;
    uint32_t string;
    uint32_t length;
    uint32_t total;
    uint32_t place;
    truth_t have = 0;
    const uint8_t *from;
    uint8_t first;

    if (out->buffer_size - out->buffer_position < room)
        room = out->buffer_size - out->buffer_position;
    oend = op + room;
    /* Each string the run adds is the previous output followed by the next one's first byte,
     * and has a copy where the previous output lies. The code before the run's first one was
     * written by the careful steps, perhaps not just before op: its place is forgotten, and
     * the first string added gets none. */
    places[prev] = LZW_NO_PLACE;
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
        } else if (code == last + 1 && code < t->limit) { /* the special case */
            string = prev;
            total = 1;
        } else {
            have = 1;
            break;
        }
        length = lengths[string];
        total += length;
        if (total + LZW_COPY_OVERRUN > (uint32_t)(oend - op)) {
            have = 1;
            break;
        }

        /* A string written before op (in this buffer, the window or held) is copied. Any
         * other is walked. */
        place = places[string];
        if (lzw_decode_in_buffer(place, now)) {
            lzw_decode_copy(op, op - (now - place), length);
        } else {
            from = lzw_decode_copy_elsewhere(t, string, place, length);
            if (from != NULL)
                lzw_decode_copy(op, from, length);
            else
                lzw_decode_walk(codes, string, length, op);
        }
        first = op[0];
        op[length] = first; /* the special case's last byte, or room */

        /* The previous output, which ends at op, and this one's first byte. */
        if (last + 1 < plain_below) {
            last++;
            lzw_decode_add(codes, lengths, places, last, prev, first, lengths[prev] + 1u,
                           places[prev], width);
        } else if (last + 1 < t->limit) {
            last++;
            if (lzw_decode_add(codes, lengths, places, last, prev, first, lengths[prev] + 1u,
                               places[prev], width))
                width++;
            plain_below = lzw_decode_plain_below(width, t->limit);
        }
        /* Code's string is here now, the special case's too: the next add finds the output
         * it extends at places[prev], lengths[prev] bytes long. */
        places[code] = now;
        prev = code;
        op += total;
        now += total;
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

/* Make code's string of length bytes the held one, from a copy at hand or by its links. */
static void lzw_decode_hold(lzw_decoder_table *t, uint32_t code, uint32_t length,
                            uint32_t epoch, const uint8_t *obuf)
{
    const uint8_t *from = lzw_decode_copy_of(t, code, length, epoch, obuf);

    if (from == NULL)
        lzw_decode_walk(t->codes, code, length, t->string);
    else if (from != t->string)
        memcpy(t->string, from, length);
}

/* The header and the first code, whose byte goes out whatever the budget. */
static status_t lzw_decode_header(bitfile *in, bitfile *out, lzw_decoder_state *st)
{
    uint16_t value;
    lzw_decoder_table *t;

    /* A state that failed in its header keeps no table from that try. */
    lzw_decoder_table_free(st->table);
    st->table = NULL;
    if (!bitfile_read_bits(in, &value, LZW_HEADER_BITS))
        return lzw_decode_fail(st, STATUS_READ_ERROR);
    if (value > LZW_MAX_HEADER_WIDTH)
        return lzw_decode_fail(st, STATUS_FILE_CORRUPT);
    t = lzw_decoder_table_create(value);
    if (t == NULL)
        return lzw_decode_fail(st, STATUS_NO_MEMORY);
    st->table = t;
    if (!bitfile_read_bits(in, &value, LZW_MIN_WIDTH))
        return lzw_decode_fail(st, STATUS_READ_ERROR);
    if (!lzw_is_literal(value))
        return lzw_decode_fail(st, STATUS_FILE_CORRUPT);
    if (!bitfile_put_byte(out, LZW_BYTE(t->codes[value])))
        return lzw_decode_fail(st, STATUS_WRITE_ERROR);
    st->previous_code = value;
    st->phase = LZW_DECODE_INPUT;
    return STATUS_OK;
}

/* Code's string (or, for the special case, the previous code's and its first byte again) into
 * the held string, and the string it makes added; then it is due for writing. */
static status_t lzw_decode_code(lzw_decoder_state *st, uint16_t code, uint32_t epoch,
                                const uint8_t *obuf)
{
    lzw_decoder_table *t = st->table;
    const uint32_t previous = st->previous_code;
    uint32_t string = code;
    uint32_t length;

    /* The only code not yet assigned that a writer sends is the next one. */
    if (code == 0 || code > t->last_code + 1u)
        return lzw_decode_fail(st, STATUS_FILE_CORRUPT);
    if (code > t->last_code) {
        /* The special case, also once the table is full. A full table's next code stands
         * for no string of the table, so it cannot come twice in a row. */
        if (previous > t->last_code)
            return lzw_decode_fail(st, STATUS_FILE_CORRUPT);
        string = previous;
    }
    length = t->lengths[string];
    lzw_decode_hold(t, string, length, epoch, obuf);
    if (string != code)
        t->string[length++] = t->string[0];

    if (t->last_code + 1u < t->limit) {
        t->last_code++;
        if (lzw_decode_add(t->codes, t->lengths, t->places, t->last_code, previous,
                           t->string[0], t->lengths[previous] + 1u, LZW_NO_PLACE,
                           t->code_width))
            t->code_width++;
    }
    /* The held string is code's own, unless code is a full table's next code. */
    t->string_code = code <= t->last_code ? code : 0;
    st->previous_code = code;
    st->length = (uint16_t)length;
    st->written = 0;
    st->phase = LZW_DECODE_WRITE;
    return STATUS_OK;
}

status_t lzw_decode(bitfile *in, bitfile *out, lzw_decoder_state *st, uint32_t *budget)
{
    const uint32_t stop = *budget;
    lzw_decoder_table *t = st->table;
    status_t rc;
    uint16_t code = 0;
    uint32_t n;
    uint32_t epoch = 0; /* of the places in out's buffer */
    uint32_t base = 0;  /* out's byte counter at the start of its buffer */

    switch (st->phase) {
    case LZW_DECODE_NEW:
        break;
    case LZW_DECODE_INPUT:
    case LZW_DECODE_INPUT_RESET:
        if (t == NULL)
            return lzw_decode_fail(st, STATUS_FAILED);
        /* This input may be the next file of the stream: its first bits complete the code. */
        bitfile_load_bits(in, &st->input);
        break;
    case LZW_DECODE_WRITE:
        if (t == NULL || st->written > st->length || st->length > t->limit)
            return lzw_decode_fail(st, STATUS_FAILED);
        break;
    default: /* failed, or no state of this worker */
        return lzw_decode_fail(st, STATUS_FAILED);
    }

    for (;;) {
        switch (st->phase) {
        case LZW_DECODE_NEW:
            rc = lzw_decode_header(in, out, st);
            if (rc != STATUS_OK)
                return rc;
            t = st->table;
            break;

        case LZW_DECODE_INPUT:
            /* Places last as long as the buffer holds them: within this call (the caller may
             * change the output file between calls) and until the buffer is written out. */
            if (epoch == 0 || out->byte_counter - out->buffer_position != base) {
                epoch = lzw_decode_new_epoch(t);
                base = out->byte_counter - out->buffer_position;
            }
            if (!lzw_decode_run(in, out, t, stop, epoch, &st->previous_code, &code) &&
                !bitfile_read_bits(in, &code, t->code_width))
                return lzw_decode_pause(st, in, out, budget);
            if (code == LZW_RESET_CODE) {
                lzw_decoder_table_reset(t);
                st->phase = LZW_DECODE_INPUT_RESET;
                break;
            }
            rc = lzw_decode_code(st, code, epoch, out->buffer);
            if (rc != STATUS_OK)
                return rc;
            break;

        case LZW_DECODE_INPUT_RESET:
            /* A fresh table begins with a single byte's code, which adds no string. */
            if (!bitfile_read_bits(in, &code, LZW_MIN_WIDTH))
                return lzw_decode_pause(st, in, out, budget);
            if (!lzw_is_literal(code))
                return lzw_decode_fail(st, STATUS_FILE_CORRUPT);
            t->string[0] = LZW_BYTE(t->codes[code]);
            t->string_code = code;
            st->previous_code = code;
            st->length = 1;
            st->written = 0;
            st->phase = LZW_DECODE_WRITE;
            break;

        case LZW_DECODE_WRITE:
            /* As much of the held string as the budget and the buffer take, then the buffer
             * goes out and the rest follows. */
            while (st->written < st->length) {
                if (out->byte_counter >= stop)
                    return lzw_decode_pause(st, in, out, budget);
                if (out->buffer_position >= out->buffer_size) {
                    /* The strings of this buffer stay at hand in the window: the two trade
                     * blocks, when the window's is large enough to be the buffer. Its epoch is
                     * spent: the next buffer holds none of its places. */
                    if (out->buffer_size <= t->window_size) {
                        t->window_epoch = epoch;
                        if (!bitfile_drain_trading(out, &t->window, &t->window_size))
                            return lzw_decode_fail(st, STATUS_WRITE_ERROR);
                    } else {
                        t->window_epoch = 0;
                        if (!bitfile_drain(out))
                            return lzw_decode_fail(st, STATUS_WRITE_ERROR);
                    }
                    epoch = 0;
                }
                n = (uint32_t)(st->length - st->written);
                if (n > stop - out->byte_counter)
                    n = stop - out->byte_counter;
                if (n > out->buffer_size - out->buffer_position)
                    n = out->buffer_size - out->buffer_position;
                memcpy(out->buffer + out->buffer_position, t->string + st->written, n);
                out->buffer_position += n;
                out->byte_counter += n;
                st->written = (uint16_t)(st->written + n);
            }
            st->phase = LZW_DECODE_INPUT;
            break;

        default:
            return lzw_decode_fail(st, STATUS_FAILED);
        }
    }
}
