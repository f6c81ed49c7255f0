/* The encoder table's probe, inline for the encoder's inner loop and the table's operations. */
#ifndef LZW_LZW_ENCODER_PROBE_H
#define LZW_LZW_ENCODER_PROBE_H

#include "lzw/lzw_encoder.h"

static inline uint32_t lzw_encoder_key(uint16_t prefix, uint8_t byte)
{
    return ((uint32_t)byte << 16) | prefix;
}

static inline uint32_t lzw_encoder_home(const lzw_encoder_table *table, uint16_t prefix,
                                        uint8_t byte)
{
    return (((uint32_t)byte << table->shift) ^ ((uint32_t)prefix << 7)) % table->size;
}

/* The slot a probe looks at after slot, the probe's n-th (0 for the home slot). */
static inline uint32_t lzw_encoder_next_slot(const lzw_encoder_table *table, uint32_t slot,
                                             uint32_t n)
{
    if (n == 0)
        return table->size - 1 - slot;
    return slot + 1 == table->size ? 0 : slot + 1;
}

/* The slot that holds prefix's string followed by byte, or else the empty slot where the
 * probe ends. */
static inline uint32_t lzw_encoder_probe(const lzw_encoder_table *table, uint16_t prefix,
                                         uint8_t byte)
{
    const uint32_t key = lzw_encoder_key(prefix, byte);
    uint32_t slot = lzw_encoder_home(table, prefix, byte);
    uint32_t n = 0;

    while (table->codes[slot] != 0 && table->keys[slot] != key)
        slot = lzw_encoder_next_slot(table, slot, n++);
    return slot;
}

#endif
