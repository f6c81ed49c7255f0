/* The LZW encoder's hashed string table and the encoder state that owns it. */
#include "lzw/lzw_encoder.h"

#include "lzw/lzw_encoder_probe.h"
#include "lzw/lzw_format.h"
#include "platform/mem.h"
#include "platform/os.h"

lzw_encoder_table *lzw_encoder_table_create(uint32_t size, uint8_t shift, uint16_t highest_code)
{
    lzw_encoder_table *table;

    /* Every probe must meet an empty slot, and every code must be one a reader can know. */
    if (highest_code <= LZW_LAST_LITERAL || highest_code >= 65535u ||
        size <= (uint32_t)highest_code - 1u || shift > 24)
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
    lzw_encoder_table_reset(table);
    return table;

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

/* Slots per width: the largest prime below twice the reader's limit keeps the table at most
 * half full, so most finds end at their home slot. */
static const uint32_t LZW_ENCODER_SIZES[] = {
    1021,  /* up to 9 */
    2039,  /* 10 */
    4093,  /* 11 */
    8191,  /* 12 */
    16381, /* 13 */
    32749, /* 14 */
    65521, /* 15 */
    131071 /* 16 to 18 */
};

lzw_encoder_state *lzw_encoder_state_create(uint32_t max_width)
{
    lzw_encoder_state *st;
    uint32_t limit = lzw_table_limit(max_width);
    uint32_t index;
    uint8_t shift;

    if (limit == 0)
        return NULL;
    st = (lzw_encoder_state *)mem_alloc(sizeof *st);
    if (st == NULL)
        return NULL;
    memset(st, 0, sizeof *st);
    index = max_width <= LZW_MIN_WIDTH ? 0 : max_width >= LZW_MAX_WIDTH ? 7 : max_width - 9;
    /* The prefix fills the bits from 7 up; the byte goes above it. */
    shift = (uint8_t)(7 + (index + LZW_MIN_WIDTH));
    st->table = lzw_encoder_table_create(LZW_ENCODER_SIZES[index], shift, (uint16_t)(limit - 1));
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
