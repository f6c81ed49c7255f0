// Bit stream files over memory streams for the codec's fuzz targets: a record set up as the
// open sets one up, with any block buffer size the open can end with, and no file system, so
// that one input costs no file I/O.
#ifndef TESTS_FUZZ_MEMORY_BITFILE_H
#define TESTS_FUZZ_MEMORY_BITFILE_H

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "lzw/bitfile.h"
#include "platform/mem.h"
#include "sim/sim.h"

// The buffer sizes the open may end with under memory pressure: 49152 halved n times (0 to 7).
static inline uint32_t fuzz_buffer_size(unsigned n)
{
    return BITFILE_BUFFER_MAX >> (n % 8);
}

static inline bitfile *fuzz_bitfile(FILE *stream, uint32_t buffer_size, truth_t read_mode,
                                    truth_t compressed)
{
    bitfile *bf = (bitfile *)mem_alloc(sizeof *bf);
    if (stream == NULL || bf == NULL)
        abort();
    memset(bf, 0, sizeof *bf);
    bf->stream = stream;
    bf->read_mode = read_mode;
    bf->compressed_side = compressed;
    bf->write_position = 31;
    bf->fill_position = 31;
    bf->last_index = -1; // no block read yet
    for (int n = 0; n <= 16; n++)
        bf->masks[n] = (uint16_t)((1u << n) - 1);
    bf->buffer = (uint8_t *)mem_alloc(buffer_size);
    if (bf->buffer == NULL)
        abort();
    bf->buffer_size = buffer_size;
    return bf;
}

// A read-mode record over bytes, which must outlive it.
static inline bitfile *fuzz_bitfile_read(const std::string &bytes, uint32_t buffer_size,
                                         truth_t compressed)
{
    // fmemopen refuses an empty buffer: give it one byte and consume that.
    static const char one = 'x';
    FILE *f = bytes.empty() ? fmemopen((void *)&one, 1, "r")
                            : fmemopen((void *)bytes.data(), bytes.size(), "r");
    if (f != NULL && bytes.empty())
        (void)fgetc(f);
    return fuzz_bitfile(f, buffer_size, 1, compressed);
}

// A write-mode record whose bytes land in a memory block once it is closed.
struct fuzz_sink {
    char *bytes = NULL;
    size_t size = 0;
    bitfile *open(uint32_t buffer_size, truth_t compressed)
    {
        return fuzz_bitfile(open_memstream(&bytes, &size), buffer_size, 0, compressed);
    }
    // After bitfile_close: the bytes written, and the block released.
    std::string take()
    {
        std::string s(bytes != NULL ? bytes : "", size);
        free(bytes);
        bytes = NULL;
        size = 0;
        return s;
    }
};

// The simulation records every call it answers, the codec's allocations among them: forget
// them after each input, or a long run grows without end.
static inline void fuzz_forget_calls(void)
{
    sim_reset();
}

// A small generator for the set-up choices an input's leading bytes seed.
static inline uint32_t fuzz_next(uint32_t *state)
{
    uint32_t x = *state != 0 ? *state : 0x9E3779B9u;
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    *state = x;
    return x;
}

#endif
