/* The start of an LZW stream gathered across files: a stream spread over pieces may begin
 * with pieces that hold less than its header and first code. */
#ifndef LZW_LZW_STREAM_START_H
#define LZW_LZW_STREAM_START_H

#include <stdint.h>

#include "lzw/bitfile.h"
#include "lzw/lzw_decoder.h"
#include "lzw/lzw_format.h"
#include "platform/status.h"

/* The bytes that hold a stream's header and first code: what lzw_decode must find in the
 * first input it is given. */
#define LZW_STREAM_START_BYTES ((LZW_HEADER_BITS + LZW_MIN_WIDTH + 7) / 8)

/* The start's bytes gathered so far, pending at the top of a bit state. */
typedef struct lzw_stream_start {
    bitfile_bits bits;
    uint32_t count;
} lzw_stream_start;

/* An empty start, before the stream's first file. */
void lzw_stream_start_init(lzw_stream_start *start);

/* Whether the decoder st has still to read its stream's header: it has not begun. */
truth_t lzw_stream_unbegun(const lzw_decoder_state *st);

/* Before lzw_decode reads in (read mode) for the decoder st: when st has not begun, gather
 * in's bytes into start until it holds the whole start, then hand the gathered bits to in as
 * pending, so that the decoder reads the start from in as if one file held it. *ready [out]:
 * 1 when lzw_decode may run on in (st had begun, or the start is whole), 0 when in ended
 * first (the bytes read are kept for the next file). STATUS_OK, or STATUS_READ_ERROR when in
 * reported a read error. */
status_t lzw_stream_start_gather(lzw_stream_start *start, const lzw_decoder_state *st,
                                 bitfile *in, truth_t *ready);

#endif
