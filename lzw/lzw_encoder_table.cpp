/* The LZW encoder's hashed string table and the encoder state that owns it. */
#include "lzw/lzw_encoder.h"

#include "lzw/lzw_encoder_probe.h"
#include "lzw/lzw_format.h"
#include "platform/mem.h"
#include "platform/os.h"

/* Bits a number up to n needs. */
static uint32_t lzw_encoder_bits(uint32_t n)
{
    uint32_t bits = 0;

    while (bits < 32 && (n >> bits) != 0)
        bits++;
    return bits;
}

lzw_encoder_table *lzw_encoder_table_create(uint32_t size, uint16_t highest_code)
{
    lzw_encoder_table *table;
    uint32_t slot_bits;
    uint32_t b;

    /* Every probe must meet an empty slot, every code must be one a reader can know. */
    if (highest_code <= LZW_LAST_LITERAL || highest_code >= 65535u || size == 0 ||
        (size & (size - 1)) != 0 || size <= highest_code || size > (1u << 24))
        return NULL;
    table = (lzw_encoder_table *)mem_alloc(sizeof *table);
    if (table == NULL)
        return NULL;
    table->size = size;
    table->highest_code = highest_code;
    /* Prefixes reach the top bit of a slot; a multiplicative hash spreads the bytes over all
     * of them, which keeps apart the strings that differ a little. */
    slot_bits = lzw_encoder_bits(size - 1);
    table->shift = (uint8_t)(slot_bits - lzw_encoder_bits(highest_code));
    /* A slot holds its code shifted, in sixteen bits: for width 16 the prefixes then stop one
     * bit short of the top, which the byte's part alone sets. */
    while (((uint32_t)highest_code << table->shift) > 0xFFFFu)
        table->shift--;
    for (b = 0; b < 256; b++)
        table->byte_homes[b] = (uint32_t)(((b + 1) * 0x9E3779B1u) >> (32 - slot_bits));
    table->codes = (uint16_t *)mem_alloc(size * sizeof table->codes[0]);
    table->keys = (uint32_t *)mem_alloc(((size_t)highest_code + 1) * sizeof table->keys[0]);
    if (table->keys == NULL || table->codes == NULL) {
        lzw_encoder_table_free(table);
        return NULL;
    }
    lzw_encoder_table_reset(table);
    return table;
}

void lzw_encoder_table_free(lzw_encoder_table *table)
{
    if (table == NULL)
        return;
    mem_free(table->codes);
    mem_free(table->keys);
    mem_free(table);
}

void lzw_encoder_table_reset(lzw_encoder_table *table)
{
    memset(table->codes, 0, table->size * sizeof table->codes[0]);
    table->last_code = LZW_LAST_LITERAL;
}

truth_t lzw_encoder_table_add(lzw_encoder_table *table, uint16_t prefix, uint8_t byte)
{
    uint32_t slot;

    if (table->last_code >= table->highest_code)
        return 0;
    table->last_code++;
    /* A string of one byte has its code already; callers add only strings the table does
     * not hold, so the probe ends empty. */
    if (prefix != 0) {
        slot = lzw_encoder_probe(table, prefix, byte);
        table->codes[slot] = (uint16_t)(table->last_code << table->shift);
        table->keys[table->last_code] = lzw_encoder_key((uint32_t)prefix << table->shift, byte);
    }
    return 1;
}

uint16_t lzw_encoder_table_find(const lzw_encoder_table *table, uint16_t prefix, uint8_t byte)
{
    if (prefix == 0)
        return (uint16_t)(byte + LZW_FIRST_LITERAL);
    return (uint16_t)(table->codes[lzw_encoder_probe(table, prefix, byte)] >> table->shift);
}

int lzw_encoder_code_width(const lzw_encoder_table *table)
{
    uint32_t last = table->last_code;
    int width = LZW_MIN_WIDTH;

    while (width < LZW_MAX_WIDTH && last > (1u << width) - 1)
        width++;
    return width;
}

/* Slots per width: eight times the codes a table can hold up to width 13, so that nearly every
 * find ends at its home slot, and a miss, which most bytes of random data are, rarely probes
 * (for the transfer engine's width 128 KiB of slots, which the second level cache holds; four
 * times was 9 to 14 % slower on programs and random data, sixteen times 50 % slower on long
 * runs); twice above, which keeps width 16 at 512 KiB with the keys. */
static uint32_t lzw_encoder_slots(uint32_t limit)
{
    uint32_t size = 1;

    while (size < limit)
        size <<= 1;
    return size <= 8192 ? size * 8 : size * 2;
}

lzw_encoder_state *lzw_encoder_state_create(uint32_t max_width)
{
    lzw_encoder_state *st;
    uint32_t limit = lzw_table_limit(max_width);
    uint32_t size;

    if (limit == 0)
        return NULL;
    st = (lzw_encoder_state *)mem_alloc(sizeof *st);
    if (st == NULL)
        return NULL;
    memset(st, 0, sizeof *st);
    size = lzw_encoder_slots(limit);
    st->table = lzw_encoder_table_create(size, (uint16_t)(limit - 1));
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
