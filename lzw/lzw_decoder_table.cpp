/* The LZW decoder's string table: one 32-bit entry per code and the width growth bitmap. */
#include "lzw/lzw_decoder.h"

#include "lzw/lzw_format.h"
#include "platform/mem.h"
#include "platform/os.h"

#define LZW_GROWTH_BYTES 8192u

/* Assigning one of these codes makes the next code one bit wider. */
static const uint16_t LZW_GROWTH_CODES[] = {511, 1023, 2047, 4095, 8191, 16383, 32767};

lzw_decoder_table *lzw_decoder_table_create(uint32_t width)
{
    lzw_decoder_table *table;
    uint32_t limit = lzw_table_limit(width);

    if (limit == 0)
        return NULL;
    table = (lzw_decoder_table *)mem_alloc(sizeof *table);
    if (table == NULL)
        return NULL;
    table->limit = limit;
    table->codes = (uint32_t *)mem_alloc((limit + 1) * sizeof table->codes[0]);
    if (table->codes == NULL)
        goto fail_record;
    table->growth = (uint32_t *)mem_alloc(LZW_GROWTH_BYTES);
    if (table->growth == NULL)
        goto fail_codes;
    memset(table->growth, 0, LZW_GROWTH_BYTES);
    table->places = (uint32_t *)mem_alloc((limit + 1) * sizeof table->places[0]);
    if (table->places == NULL)
        goto fail_growth;
    memset(table->places, 0, (limit + 1) * sizeof table->places[0]);
    table->epoch = 0;
    lzw_decoder_table_reset(table);
    return table;

fail_growth:
    mem_free(table->growth);
fail_codes:
    mem_free(table->codes);
fail_record:
    mem_free(table);
    return NULL;
}

void lzw_decoder_table_reset(lzw_decoder_table *table)
{
    uint32_t c;
    size_t i;

    for (c = LZW_FIRST_LITERAL; c <= LZW_LAST_LITERAL; c++)
        table->codes[c] = (1u << LZW_DECODER_LENGTH_SHIFT) | ((c - LZW_FIRST_LITERAL) << 16);
    for (i = 0; i < sizeof LZW_GROWTH_CODES / sizeof LZW_GROWTH_CODES[0]; i++)
        table->growth[LZW_GROWTH_CODES[i] / 32] |= 1u << (LZW_GROWTH_CODES[i] % 32);
    table->last_code = LZW_LAST_LITERAL;
    table->code_width = LZW_MIN_WIDTH;
}

uint32_t lzw_decoder_table_relink(lzw_decoder_table *table, uint16_t code, uint16_t link)
{
    uint32_t old = table->codes[code];

    table->codes[code] = (old & 0xFFFF0000u) | link;
    return old;
}

void lzw_decoder_table_free(lzw_decoder_table *table)
{
    if (table == NULL)
        return;
    mem_free(table->places);
    mem_free(table->growth);
    mem_free(table->codes);
    mem_free(table);
}
