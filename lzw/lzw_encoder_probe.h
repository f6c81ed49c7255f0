/* The encoder table's probe, inline for the encoder's inner loop and the table's operations. */
#ifndef LZW_LZW_ENCODER_PROBE_H
#define LZW_LZW_ENCODER_PROBE_H

#include "lzw/lzw_encoder.h"

/* A string's key: its last byte, and its prefix as placed (below 2^16). */
static inline uint32_t lzw_encoder_key(uint32_t placed, uint32_t byte)
{
    return (byte << 16) | placed;
}

/* The home slot of a string whose prefix is held as placed (its code shifted left by the
 * table's shift): below size, as the table's bounds keep both parts. */
static inline uint32_t lzw_encoder_home(const uint32_t *byte_homes, uint32_t placed,
                                        uint32_t byte)
{
    return byte_homes[byte] ^ placed;
}

/* The slot that holds key's code, or else the empty slot where the probe ends, from slot on. */
static inline uint32_t lzw_encoder_probe_from(const uint16_t *codes, const uint32_t *keys,
                                              uint32_t shift, uint32_t mask, uint32_t slot,
                                              uint32_t key)
{
    while (codes[slot] != 0 && keys[codes[slot] >> shift] != key)
        slot = (slot + 1) & mask;
    return slot;
}

/* The slot that holds prefix's string (a string code) followed by byte, or else the empty slot
 * where the probe ends. */
static inline uint32_t lzw_encoder_probe(const lzw_encoder_table *table, uint32_t prefix,
                                         uint32_t byte)
{
    const uint32_t placed = prefix << table->shift;

    return lzw_encoder_probe_from(table->codes, table->keys, table->shift, table->size - 1,
                                  lzw_encoder_home(table->byte_homes, placed, byte),
                                  lzw_encoder_key(placed, byte));
}

#endif
