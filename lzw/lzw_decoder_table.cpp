/* The LZW decoder's string table: entries, lengths, places and the held string. */
#include "lzw/lzw_decoder.h"

#include "lzw/lzw_format.h"
#include "platform/mem.h"
#include "platform/os.h"

lzw_decoder_table *lzw_decoder_table_create(uint32_t width)
{
    lzw_decoder_table *table;
    uint32_t limit = lzw_table_limit(width);
    size_t entries;

    if (limit == 0)
        return NULL;
    entries = (size_t)limit + 1;
    table = (lzw_decoder_table *)mem_alloc(sizeof *table);
    if (table == NULL)
        return NULL;
    memset(table, 0, sizeof *table);
    table->limit = limit;
    table->codes = (uint32_t *)mem_alloc(entries * sizeof table->codes[0]);
    table->lengths = (uint16_t *)mem_alloc(entries * sizeof table->lengths[0]);
    table->places = (uint32_t *)mem_alloc(entries * sizeof table->places[0]);
    /* A code's string is at most limit - 256 bytes long: 258 holds two, each code one more. */
    table->string = (uint8_t *)mem_alloc(limit + LZW_COPY_OVERRUN);
    table->window_size = BITFILE_BUFFER_MAX + LZW_COPY_OVERRUN;
    table->window = (uint8_t *)mem_alloc(table->window_size);
    if (table->codes == NULL || table->lengths == NULL || table->places == NULL ||
        table->string == NULL || table->window == NULL) {
        lzw_decoder_table_free(table);
        return NULL;
    }
    memset(table->lengths, 0, entries * sizeof table->lengths[0]);
    memset(table->places, 0, entries * sizeof table->places[0]);
    memset(table->string, 0, limit + LZW_COPY_OVERRUN);
    memset(table->window, 0, table->window_size);
    lzw_decoder_table_reset(table);
    return table;
}

void lzw_decoder_table_reset(lzw_decoder_table *table)
{
    uint32_t c;

    for (c = LZW_FIRST_LITERAL; c <= LZW_LAST_LITERAL; c++) {
        table->codes[c] = (c - LZW_FIRST_LITERAL) << 16;
        table->lengths[c] = 1;
    }
    table->last_code = LZW_LAST_LITERAL;
    table->code_width = LZW_MIN_WIDTH;
    table->string_code = 0;
}

void lzw_decoder_table_free(lzw_decoder_table *table)
{
    if (table == NULL)
        return;
    mem_free(table->window);
    mem_free(table->string);
    mem_free(table->places);
    mem_free(table->lengths);
    mem_free(table->codes);
    mem_free(table);
}
