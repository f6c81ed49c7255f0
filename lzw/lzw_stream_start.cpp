/* The start of an LZW stream gathered across files. */
#include "lzw/lzw_stream_start.h"

void lzw_stream_start_init(lzw_stream_start *start)
{
    /* An empty bit state: nothing pending, the next byte goes to the top. */
    start->bits.write_position = 31;
    start->bits.fill_position = 31;
    start->bits.accumulator = 0;
    start->count = 0;
}

truth_t lzw_stream_unbegun(const lzw_decoder_state *st)
{
    return st->phase == LZW_DECODE_NEW;
}

status_t lzw_stream_start_gather(lzw_stream_start *start, const lzw_decoder_state *st,
                                 bitfile *in, truth_t *ready)
{
    uint8_t byte;

    *ready = 1;
    if (!lzw_stream_unbegun(st))
        return STATUS_OK;
    while (start->count < LZW_STREAM_START_BYTES) {
        if (!bitfile_read_byte(in, &byte)) {
            *ready = 0;
            return bitfile_read_failed(in) ? STATUS_READ_ERROR : STATUS_OK;
        }
        start->bits.accumulator |= (uint32_t)byte << (start->bits.fill_position - 7);
        start->bits.fill_position -= 8;
        start->count++;
    }
    bitfile_load_bits(in, &start->bits);
    return STATUS_OK;
}
