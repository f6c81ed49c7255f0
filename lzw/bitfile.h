/* Bit-stream files: a buffered file with its own block buffer and a 32-bit bit accumulator. */
#ifndef LZW_BITFILE_H
#define LZW_BITFILE_H

#include <stdint.h>
#include <stdio.h>

#include "platform/status.h"

/* The block buffer: 48 KiB when memory allows, halved down to 384 bytes when it does not. */
#define BITFILE_BUFFER_MAX 49152u
#define BITFILE_BUFFER_MIN 384u
/* Codes are 1 to 16 bits wide. */
#define BITFILE_MAX_BITS 16

/* Codes are packed most significant bit first: the first bit of a code goes into the highest
 * free bit of the current byte. A record is used in one direction only. */
typedef struct bitfile {
    FILE *stream;
    uint8_t *buffer;
    uint32_t byte_counter;    /* bytes taken from (reading) or put into (writing) the buffer */
    uint32_t accumulator;     /* pending bits, kept at its top end */
    uint16_t masks[17];       /* masks[n] = 2^n - 1 */
    truth_t read_mode;        /* 1 opened for reading, 0 for writing */
    truth_t compressed_side;  /* holds the LZW stream; only bitfile_close looks at it */
    int32_t write_position;   /* writing: pending bits are 31 down to this + 1; 31: none */
    int32_t fill_position;    /* reading: unread bits are 31 down to this + 1 */
    int32_t last_index;       /* reading: index of the last valid byte of the latest block; -1
                               * until a block read returns bytes */
    uint32_t buffer_size;
    uint32_t buffer_position; /* next byte to take (reading) or to fill (writing) */
} bitfile;

/* The bit state of a file: what a codec carries from one file of a stream to the next when a
 * code is cut by the end of a volume. */
typedef struct bitfile_bits {
    int32_t write_position;
    int32_t fill_position;
    uint32_t accumulator;
} bitfile_bits;

/* Open the file composed of root, dir, base and ext (path_compose) for reading ("rb") or for
 * writing ("wb", created or emptied). compressed: the file holds the LZW stream. The record,
 * or null when the path does not compose, the stream does not open, or no record or buffer of
 * at least 384 bytes can be had; everything taken is released then. */
bitfile *bitfile_open_read(const char *root, const char *dir, const char *base, const char *ext,
                           truth_t compressed);
bitfile *bitfile_open_write(const char *root, const char *dir, const char *base,
                            const char *ext, truth_t compressed);

/* Write the filled part of the buffer and, for the compressed side with flush set, the
 * pending bits (bitfile_flush); close the stream; release the record (null is ignored).
 * True when every byte reached the file and the stream closed cleanly; a record that was only
 * read always gives true. With flush 0 the pending bits are not written: a codec carries them
 * into the next file of its stream. */
truth_t bitfile_close(bitfile *bf, truth_t flush);

/* Write the pending bits straight to the stream, past the buffer (so only after the buffer
 * has been written): whole bytes, then a last partial byte padded with undefined low bits.
 * False when a character write fails. */
truth_t bitfile_flush(bitfile *bf);

/* The slow paths of the operations below: a block read when the buffer is spent (false when
 * it returns nothing or sets the stream's error indicator; its bytes are then discarded, and
 * the next fetch tries again), and the block write of the full buffer (false when short). */
truth_t bitfile_refill(bitfile *bf);
truth_t bitfile_drain(bitfile *bf);
/* bitfile_drain, then the buffer and *spare, a block of *spare_size bytes from mem_alloc,
 * trade places: the bytes just written stay readable in *spare without a copy, and *spare_size
 * becomes the size they fill. False, with nothing traded, when the block write is short, or
 * when the spare is smaller than the buffer (nothing is written then). */
truth_t bitfile_drain_trading(bitfile *bf, uint8_t **spare, uint32_t *spare_size);

/* True when a block read set the stream's error indicator: the file broke off, which a
 * failed read alone does not tell from its end. */
truth_t bitfile_read_failed(const bitfile *bf);

/* Copy the bit state out of a record, and into a fresh record of the same direction, which
 * then continues the bit stream exactly where the other stopped. */
static inline void bitfile_save_bits(const bitfile *bf, bitfile_bits *bits)
{
    bits->write_position = bf->write_position;
    bits->fill_position = bf->fill_position;
    bits->accumulator = bf->accumulator;
}

static inline void bitfile_load_bits(bitfile *bf, const bitfile_bits *bits)
{
    bf->write_position = bits->write_position;
    bf->fill_position = bits->fill_position;
    bf->accumulator = bits->accumulator;
}

/* True with *byte the next byte of the file; false when none could be had (the end of the
 * file or a read error, which this level does not tell apart). */
static inline truth_t bitfile_read_byte(bitfile *bf, uint8_t *byte)
{
    /* The counter wraps after 4 GiB, so only the buffer's own indexes tell whether it is
     * spent. */
    if ((int32_t)bf->buffer_position > bf->last_index) {
        if (!bitfile_refill(bf))
            return 0;
    }
    *byte = bf->buffer[bf->buffer_position++];
    bf->byte_counter++;
    return 1;
}

/* True with *value the next n bits (1 to 16); false when the file ends first. The bytes
 * fetched before the end stay in the accumulator, so that a read after loading the bit state
 * into the next file of the stream completes the code. */
static inline truth_t bitfile_read_bits(bitfile *bf, uint16_t *value, int n)
{
    uint8_t byte;
    int shift;

    while (31 - bf->fill_position < n) {
        if (!bitfile_read_byte(bf, &byte))
            return 0;
        shift = bf->fill_position - 7;
        bf->accumulator = (bf->accumulator & ~(0xFFu << shift)) | ((uint32_t)byte << shift);
        bf->fill_position -= 8;
    }
    *value = (uint16_t)(bf->accumulator >> (32 - n));
    bf->accumulator <<= n;
    bf->fill_position += n;
    return 1;
}

/* Put one byte into the buffer, writing the full buffer first when it has no room: false when
 * that block write is short. */
static inline truth_t bitfile_put_byte(bitfile *bf, uint8_t byte)
{
    if (bf->buffer_position >= bf->buffer_size && !bitfile_drain(bf))
        return 0;
    bf->buffer[bf->buffer_position++] = byte;
    bf->byte_counter++;
    return 1;
}

/* Append the n low bits of value (below 2^n; n 1 to 16) to the stream; whole bytes go into the
 * buffer, at most 7 bits stay pending. False when a block write is short. */
static inline truth_t bitfile_write_bits(bitfile *bf, uint32_t value, int n)
{
    int shift = bf->write_position - n + 1;

    bf->accumulator = (bf->accumulator & ~((uint32_t)bf->masks[n] << shift)) | (value << shift);
    bf->write_position -= n;
    while (bf->write_position < 24) {
        if (!bitfile_put_byte(bf, (uint8_t)(bf->accumulator >> 24)))
            return 0;
        bf->accumulator <<= 8;
        bf->write_position += 8;
    }
    return 1;
}

#endif
