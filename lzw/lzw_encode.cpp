/* The LZW encoder: a resumable worker that pauses when its target is nearly full. */
#include "lzw/lzw_encoder.h"

#include "lzw/lzw_encoder_probe.h"
#include "lzw/lzw_format.h"

/* The target is full when two more bytes might not fit: one code adds at most two whole bytes
 * (7 pending bits and 16 new ones). Budgets 0 and 1 wrap around and never fill it. */
static inline truth_t lzw_encode_target_full(const bitfile *out, uint32_t budget)
{
    return budget - 2u <= out->byte_counter;
}

static status_t lzw_encode_pause(lzw_encoder_state *st, int32_t phase, uint16_t prefix,
                                 uint8_t current, truth_t ended, bitfile *out, uint32_t *budget)
{
    st->phase = phase;
    st->prefix_code = prefix;
    st->current_character = current;
    st->input_ended = ended;
    bitfile_save_bits(out, &st->output);
    *budget = out->byte_counter;
    return STATUS_OK;
}

static status_t lzw_encode_fail(lzw_encoder_state *st, status_t rc)
{
    st->phase = LZW_ENCODE_FAILED;
    return rc;
}

/* v as eight bytes, most significant first. */
static inline void lzw_store_bits64(uint8_t *p, uint64_t v)
{
    p[0] = (uint8_t)(v >> 56);
    p[1] = (uint8_t)(v >> 48);
    p[2] = (uint8_t)(v >> 40);
    p[3] = (uint8_t)(v >> 32);
    p[4] = (uint8_t)(v >> 24);
    p[5] = (uint8_t)(v >> 16);
    p[6] = (uint8_t)(v >> 8);
    p[7] = (uint8_t)v;
}

/* Where the fast run handed back. */
enum lzw_encode_run_end {
    LZW_RUN_MATCHED, /* a match ended (or the input did): its code is not written yet */
    LZW_RUN_WRITTEN  /* a code is written, and the full table must take the string */
};

/* Match, write and add, with the files' and the table's state in locals, for as long as the
 * target is not full, its buffer has room for eight bytes and the table for a string.
 * *current holds the byte that starts the next match. On return the files and the table are up
 * to date, *prefix and *current hold the match, and *ended tells whether the input ended in
 * it. Writes and adds exactly what the careful loop would.
 *
 * The loop over the bytes of one input block makes no call: a block read or a call to a
 * function in the loop would make the compiler keep the match, the table's arrays and the
 * target's bits in memory rather than in registers, at a load and a store each per byte. */
static int lzw_encode_run(bitfile *in, bitfile *out, lzw_encoder_table *t, uint32_t stop,
                          uint16_t *prefix_out, uint8_t *current, truth_t *ended)
{
    uint32_t *const keys = t->keys;
    uint16_t *const codes = t->codes;
    const uint32_t *const byte_homes = t->byte_homes;
    const uint32_t mask = t->size - 1;
    const uint32_t shift = t->shift;
    const uint32_t highest = t->highest_code;
    uint32_t last = t->last_code;
    int width = lzw_encoder_code_width(t);
    /* The last code of the current width: the next add widens the codes. */
    uint32_t widen_at = width < LZW_MAX_WIDTH ? 1u << width : 0xFFFFFFFFu;
    const uint8_t *ip = in->buffer + in->buffer_position;
    /* Past the last byte of the block (the position itself until the first block read). */
    const uint8_t *iend = in->buffer + in->last_index + 1;
    const uint8_t *ip_mark = ip; /* bytes from here on are not yet counted */
    uint8_t *const op_start = out->buffer + out->buffer_position;
    uint8_t *op = op_start;
    /* A code goes in eight bytes at a time while eight fit the buffer and the target is not
     * full (the careful loop's test, budget - 2 at or below the counter): from op_stop on, the
     * careful loop takes over. */
    const uint32_t buffer_room = out->buffer_size - out->buffer_position;
    const uint32_t full_at = stop - 2u;
    uint32_t room = buffer_room >= 8 ? buffer_room - 7 : 0;
    uint8_t *op_stop;
    /* The target's pending bits at the top, nothing below them. */
    int pending = 31 - out->write_position;
    uint64_t bits =
        pending == 0 ? 0 : (uint64_t)(out->accumulator & (0xFFFFFFFFu << (32 - pending))) << 32;
    uint32_t cur = *current;
    /* The longest match so far: a single byte's code is its own, at the start of every
     * match. */
    uint32_t placed = (cur + LZW_FIRST_LITERAL) << shift;
    uint32_t key;
    uint32_t slot;
    uint32_t held; /* a slot's code, shifted as placed */
    int end = LZW_RUN_MATCHED;
    truth_t input_ended = 0;

    if (full_at <= out->byte_counter)
        room = 0;
    else if (full_at - out->byte_counter < room)
        room = full_at - out->byte_counter;
    op_stop = op_start + room;
    for (;;) {
        if (ip == iend) {
            in->byte_counter += (uint32_t)(ip - ip_mark);
            in->buffer_position += (uint32_t)(ip - ip_mark);
            ip_mark = ip;
            /* bitfile_read_byte's test for a block read. */
            if ((int32_t)in->buffer_position > in->last_index) {
                if (!bitfile_refill(in)) {
                    /* The match ends with the input; the current byte stays its last. */
                    input_ended = 1;
                    goto done;
                }
            }
            ip = in->buffer + in->buffer_position;
            iend = in->buffer + in->last_index + 1;
            ip_mark = ip;
        }
        do {
            cur = *ip++;
            key = lzw_encoder_key(placed, cur);
            slot = lzw_encoder_home(byte_homes, placed, cur);
            held = codes[slot];
            /* Most finds end at the home slot. */
            if (held != 0 && keys[held >> shift] != key) {
                slot = lzw_encoder_probe_from(codes, keys, shift, mask, (slot + 1) & mask, key);
                held = codes[slot];
            }
            if (held != 0) {
                placed = held;
                continue;
            }
            /* The match of the prefix ends before cur. */
            if (op >= op_stop)
                goto done;
            bits |= (uint64_t)(placed >> shift) << (64 - pending - width);
            pending += width;
            lzw_store_bits64(op, bits);
            op += pending >> 3;
            bits <<= pending & ~7;
            pending &= 7;

            if (last >= highest) {
                end = LZW_RUN_WRITTEN;
                goto done;
            }
            /* The failed find ended at the empty slot that an add would probe to. */
            last++;
            codes[slot] = (uint16_t)(last << shift);
            keys[last] = key;
            if (last == widen_at) {
                width++;
                widen_at = width < LZW_MAX_WIDTH ? 1u << width : 0xFFFFFFFFu;
            }
            placed = (cur + LZW_FIRST_LITERAL) << shift;
        } while (ip != iend);
    }

done:
    out->buffer_position += (uint32_t)(op - op_start);
    out->byte_counter += (uint32_t)(op - op_start);
    out->accumulator = (uint32_t)(bits >> 32);
    out->write_position = 31 - pending;
    in->byte_counter += (uint32_t)(ip - ip_mark);
    in->buffer_position += (uint32_t)(ip - ip_mark);
    *ended = input_ended;
    t->last_code = (uint16_t)last;
    *prefix_out = (uint16_t)(placed >> shift);
    *current = (uint8_t)cur;
    return end;
}

status_t lzw_encode(bitfile *in, bitfile *out, lzw_encoder_state *st, uint32_t max_width,
                    uint32_t *budget)
{
    const uint32_t stop = *budget;
    lzw_encoder_table *t = st->table;
    uint32_t limit = lzw_table_limit(max_width);
    uint16_t prefix = 0;
    uint8_t current = 0;
    truth_t ended = 0;
    int32_t phase = st->phase;

    /* A code above the reader's limit would be read as garbage, never as this stream. */
    if (t == NULL || limit == 0 || t->highest_code > limit - 1 || phase < LZW_ENCODE_NEW ||
        phase > LZW_ENCODE_RESET)
        return lzw_encode_fail(st, STATUS_FAILED);

    if (phase == LZW_ENCODE_NEW) {
        /* A state used for an earlier stream starts the next one afresh. */
        lzw_encoder_table_reset(t);
        if (!bitfile_write_bits(out, max_width, LZW_HEADER_BITS))
            return lzw_encode_fail(st, STATUS_WRITE_ERROR);
        if (!bitfile_read_byte(in, &current))
            return lzw_encode_fail(st, STATUS_READ_ERROR);
    } else {
        /* This target's first byte continues the bits the previous one left pending. */
        bitfile_load_bits(out, &st->output);
        prefix = st->prefix_code;
        current = st->current_character;
        ended = st->input_ended;
        if (phase == LZW_ENCODE_CODE)
            goto write_code;
        goto add_string;
    }

    for (;;) {
        /* Matches, codes and strings go fast until a pause, a full table or the end of the
         * input is near; from there on this loop does each step. */
        if (lzw_encode_run(in, out, t, stop, &prefix, &current, &ended) == LZW_RUN_WRITTEN)
            goto add_string;
        /* A file that broke off would pass for a shorter one. */
        if (ended && bitfile_read_failed(in))
            return lzw_encode_fail(st, STATUS_READ_ERROR);
        if (lzw_encode_target_full(out, stop))
            return lzw_encode_pause(st, LZW_ENCODE_CODE, prefix, current, ended, out, budget);
    write_code:
        if (!bitfile_write_bits(out, prefix, lzw_encoder_code_width(t)))
            return lzw_encode_fail(st, STATUS_WRITE_ERROR);
    add_string:
        if (!lzw_encoder_table_add(t, prefix, current)) {
            /* Resumed here, the target is a fresh one: the reset code goes out untested, as a
             * resumed code does, or a target of two bytes, full when opened, never takes it. */
            if (phase != LZW_ENCODE_RESET && lzw_encode_target_full(out, stop))
                return lzw_encode_pause(st, LZW_ENCODE_RESET, prefix, current, ended, out,
                                        budget);
            /* At the full table's width: the reader has not widened for a code it never
             * assigned. */
            if (!bitfile_write_bits(out, LZW_RESET_CODE, lzw_encoder_code_width(t)))
                return lzw_encode_fail(st, STATUS_WRITE_ERROR);
            lzw_encoder_table_reset(t);
        }
        phase = LZW_ENCODE_NEW;
        if (ended)
            break;
    }
    st->phase = LZW_ENCODE_NEW;
    bitfile_save_bits(out, &st->output);
    *budget = out->byte_counter;
    return STATUS_OK;
}
