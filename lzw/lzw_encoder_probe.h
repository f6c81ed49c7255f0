/* The encoder table's probe, inline for the encoder's inner loop and the table's operations. */
#ifndef LZW_LZW_ENCODER_PROBE_H
#define LZW_LZW_ENCODER_PROBE_H

#include "lzw/lzw_encoder.h"

static inline uint32_t lzw_encoder_key(uint16_t prefix, uint8_t byte)
{
    return ((uint32_t)byte << 16) | prefix;
}

/* ((byte << shift) ^ (prefix << 7)) mod size: the two never share a bit, so this is the sum
 * of their parts mod size, each part below size. */
static inline uint32_t lzw_encoder_home(const lzw_encoder_table *table, uint16_t prefix,
                                        uint8_t byte)
{
    uint32_t home = table->byte_homes[byte] + table->prefix_homes[prefix];

    return home >= table->size ? home - table->size : home;
}

/* The probe for key after its home slot home: the slot that holds key, or else the empty slot
 * where the probe ends. */
uint32_t lzw_encoder_probe_on(const lzw_encoder_table *table, uint32_t home, uint32_t key);

/* The slot that holds prefix's string followed by byte, or else the empty slot where the
 * probe ends. */
static inline uint32_t lzw_encoder_probe(const lzw_encoder_table *table, uint16_t prefix,
                                         uint8_t byte)
{
    const uint32_t key = lzw_encoder_key(prefix, byte);
    const uint32_t home = lzw_encoder_home(table, prefix, byte);

    if (table->codes[home] == 0 || table->keys[home] == key)
        return home;
    return lzw_encoder_probe_on(table, home, key);
}

#endif
