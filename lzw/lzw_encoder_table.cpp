/* The LZW encoder's hashed string table and the encoder state that owns it. */
#include "lzw/lzw_encoder.h"

#include "lzw/lzw_encoder_probe.h"
#include "lzw/lzw_format.h"
#include "platform/mem.h"
#include "platform/os.h"

uint32_t lzw_encoder_probe_on(const lzw_encoder_table *table, uint32_t home, uint32_t key)
{
    /* After the home slot h: size - 1 - h, then the slots after that one, wrapping. */
    uint32_t slot = table->size - 1 - home;

    while (table->codes[slot] != 0 && table->keys[slot] != key)
        slot = slot + 1 == table->size ? 0 : slot + 1;
    return slot;
}

/* Bits a code up to highest needs. */
static uint32_t lzw_encoder_code_bits(uint32_t highest)
{
    uint32_t bits = 0;

    while (bits < 32 && (highest >> bits) != 0)
        bits++;
    return bits;
}

lzw_encoder_table *lzw_encoder_table_create(uint32_t size, uint8_t shift, uint16_t highest_code)
{
    lzw_encoder_table *table;
    uint32_t i;

    /* Every probe must meet an empty slot, every code must be one a reader can know, and the
     * byte must sit above the prefix within 32 bits. */
    if (highest_code <= LZW_LAST_LITERAL || highest_code >= 65535u ||
        size <= (uint32_t)highest_code - 1u || shift > 24 ||
        shift < 7 + lzw_encoder_code_bits(highest_code))
        return NULL;
    table = (lzw_encoder_table *)mem_alloc(sizeof *table);
    if (table == NULL)
        return NULL;
    table->size = size;
    table->shift = shift;
    table->highest_code = highest_code;
    table->keys = (uint32_t *)mem_alloc(size * sizeof table->keys[0]);
    if (table->keys == NULL)
        goto fail_record;
    table->codes = (uint16_t *)mem_alloc(size * sizeof table->codes[0]);
    if (table->codes == NULL)
        goto fail_keys;
    table->prefix_homes =
        (uint32_t *)mem_alloc(((uint32_t)highest_code + 1) * sizeof table->prefix_homes[0]);
    if (table->prefix_homes == NULL)
        goto fail_codes;
    for (i = 0; i <= highest_code; i++)
        table->prefix_homes[i] = (i << 7) % size;
    table->slot_homes = (uint32_t *)mem_alloc(size * sizeof table->slot_homes[0]);
    if (table->slot_homes == NULL)
        goto fail_homes;
    for (i = 0; i < 256; i++)
        table->byte_homes[i] = (i << shift) % size;
    lzw_encoder_table_reset(table);
    return table;

fail_homes:
    mem_free(table->prefix_homes);
fail_codes:
    mem_free(table->codes);
fail_keys:
    mem_free(table->keys);
fail_record:
    mem_free(table);
    return NULL;
}

void lzw_encoder_table_free(lzw_encoder_table *table)
{
    if (table == NULL)
        return;
    mem_free(table->slot_homes);
    mem_free(table->prefix_homes);
    mem_free(table->codes);
    mem_free(table->keys);
    mem_free(table);
}

void lzw_encoder_table_reset(lzw_encoder_table *table)
{
    uint32_t slot;
    uint32_t b;

    memset(table->codes, 0, table->size * sizeof table->codes[0]);
    for (b = 0; b < 256; b++) {
        slot = lzw_encoder_probe(table, 0, (uint8_t)b);
        table->keys[slot] = lzw_encoder_key(0, (uint8_t)b);
        table->codes[slot] = (uint16_t)(b + LZW_FIRST_LITERAL);
        table->slot_homes[slot] = table->prefix_homes[b + LZW_FIRST_LITERAL];
    }
    table->last_code = LZW_LAST_LITERAL;
}

truth_t lzw_encoder_table_add(lzw_encoder_table *table, uint16_t prefix, uint8_t byte)
{
    uint32_t slot;

    if (table->last_code >= table->highest_code)
        return 0;
    /* Callers add only strings the table does not hold, so the probe ends empty. */
    slot = lzw_encoder_probe(table, prefix, byte);
    table->last_code++;
    table->keys[slot] = lzw_encoder_key(prefix, byte);
    table->codes[slot] = table->last_code;
    table->slot_homes[slot] = table->prefix_homes[table->last_code];
    return 1;
}

uint16_t lzw_encoder_table_find(const lzw_encoder_table *table, uint16_t prefix, uint8_t byte)
{
    return table->codes[lzw_encoder_probe(table, prefix, byte)];
}

int lzw_encoder_code_width(const lzw_encoder_table *table)
{
    uint32_t last = table->last_code;
    int width = LZW_MIN_WIDTH;

    while (width < LZW_MAX_WIDTH && last > (1u << width) - 1)
        width++;
    return width;
}

/* Slots per width: primes about four times the codes a table holds up to width 13, twice above,
 * so that most finds end at their home slot. For width 13 (the transfer engine's) this size
 * with a shift of 24 measured fewest probes over text, programs and random bytes: the
 * home slots of strings that differ a little in prefix and byte lie far apart. */
static const uint32_t LZW_ENCODER_SIZES[] = {
    2039,  /* up to 9 */
    4093,  /* 10 */
    8191,  /* 11 */
    16381, /* 12 */
    32707, /* 13 */
    32749, /* 14 */
    65521, /* 15 */
    131071 /* 16 to 18 */
};
#define LZW_ENCODER_SHIFT 24

lzw_encoder_state *lzw_encoder_state_create(uint32_t max_width)
{
    lzw_encoder_state *st;
    uint32_t limit = lzw_table_limit(max_width);
    uint32_t index;

    if (limit == 0)
        return NULL;
    st = (lzw_encoder_state *)mem_alloc(sizeof *st);
    if (st == NULL)
        return NULL;
    memset(st, 0, sizeof *st);
    index = max_width <= LZW_MIN_WIDTH ? 0 : max_width >= LZW_MAX_WIDTH ? 7 : max_width - 9;
    st->table = lzw_encoder_table_create(LZW_ENCODER_SIZES[index], LZW_ENCODER_SHIFT,
                                         (uint16_t)(limit - 1));
    if (st->table == NULL) {
        mem_free(st);
        return NULL;
    }
    st->phase = LZW_ENCODE_NEW;
    return st;
}

void lzw_encoder_state_free(lzw_encoder_state *st)
{
    if (st == NULL)
        return;
    lzw_encoder_table_free(st->table);
    mem_free(st);
}
