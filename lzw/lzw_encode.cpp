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

status_t lzw_encode(bitfile *in, bitfile *out, lzw_encoder_state *st, uint32_t max_width,
                    uint32_t *budget)
{
    const uint32_t stop = *budget;
    lzw_encoder_table *t = st->table;
    uint32_t limit = lzw_table_limit(max_width);
    uint16_t prefix = 0;
    uint16_t code;
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
        /* The longest string the table holds; at the input's end the current byte stays the
         * last one read, already part of the match. */
        prefix = 0;
        for (;;) {
            code = lzw_encoder_table_find(t, prefix, current);
            if (code == 0)
                break;
            prefix = code;
            if (!bitfile_read_byte(in, &current)) {
                /* A file that broke off would pass for a shorter one. */
                if (bitfile_read_failed(in))
                    return lzw_encode_fail(st, STATUS_READ_ERROR);
                ended = 1;
                break;
            }
        }
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
