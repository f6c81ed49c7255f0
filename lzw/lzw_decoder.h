/* The LZW decoder: its table, its resumable state and the decoding worker. */
#ifndef LZW_LZW_DECODER_H
#define LZW_LZW_DECODER_H

#include <stdint.h>

#include "lzw/bitfile.h"
#include "platform/status.h"

/* A copy moves whole chunks of 16 bytes, the last running up to this far past the string's
 * end: the held string keeps that much room after it, and a copy from the output buffer or
 * the window is made only where its block has it. */
#define LZW_COPY_OVERRUN 16u

/* One stream's string table. Entry c of codes holds in bits 16 to 23 the last byte of code c's
 * string and in bits 0 to 15 its link, the code of the string without that byte (0 for a single
 * byte); lengths[c] is the string's length, its prefix's plus one. Entries 0 and 1 are never
 * written; entry limit only holds nothing.
 *
 * A string is copied rather than walked link by link whenever a copy of it is at hand:
 * - places[c], where code c's string was last written in the output buffer. A new code's string
 *   is the previous code's output followed by the next one's first byte, so it has a place as
 *   soon as it is added. A place holds the run's epoch in its top 16 bits and the buffer index
 *   below; places of other runs (the buffer written out since, another output file) mean
 *   nothing.
 * - window, the output buffer as it was last written out (window_epoch its places' epoch, 0
 *   for none): the strings of the buffer before stay at hand after it is gone. The buffer's
 *   block becomes the window as it goes out, and the window's block the next buffer: no copy.
 * - string, the whole output of one code (string_code, 0 for none), made there when the
 *   output could not take it at once: it is written from there, a budget's worth at a time,
 *   and stays for the codes that repeat it. */
typedef struct lzw_decoder_table {
    uint32_t *codes;      /* limit + 1 entries */
    uint16_t *lengths;    /* limit + 1 entries */
    uint32_t *places;     /* limit + 1 places in the output buffer */
    uint8_t *string;      /* limit + 16 bytes: the longest output and a copy's overrun */
    uint32_t limit;       /* L: codes below it are assigned, up to L - 1 */
    uint16_t last_code;   /* highest code assigned; 257 after a reset */
    int32_t code_width;   /* width of the next code; 9 after a reset */
    uint32_t epoch;       /* of the latest fast run, 1 to 65535 */
    uint16_t string_code; /* the code whose string string holds, or 0 */
    uint8_t *window;      /* window_size bytes, from mem_alloc */
    uint32_t window_size; /* BITFILE_BUFFER_MAX + 16 at first, then a traded buffer's size */
    uint32_t window_epoch; /* in its top 16 bits, as in a place; 0 for none */
} lzw_decoder_table;

/* The decoder's states, one switch over them; a call returns in the three that wait for the
 * caller. */
enum lzw_decode_phase {
    LZW_DECODE_NEW = 0,         /* not paused: a call begins a stream with its header */
    LZW_DECODE_WRITE = 1,       /* o: the table's string, from byte written on, is due */
    LZW_DECODE_INPUT = 2,       /* i: too few bits for the next code */
    LZW_DECODE_INPUT_RESET = 3, /* i: too few bits for the first code after a reset */
    LZW_DECODE_FAILED = 4       /* a call failed: the stream cannot go on */
};

/* A decoder's place in its stream between calls. Zeroed (table null, phase 0), it begins a
 * new stream. */
typedef struct lzw_decoder_state {
    lzw_decoder_table *table; /* null until the header has been read */
    bitfile_bits input;       /* the input's bit state, saved in the input phases */
    uint16_t previous_code;   /* the code decoded last */
    uint16_t length;          /* bytes of the table's string to write (phase 1) */
    uint16_t written;         /* of them written already (phase 1) */
    int32_t phase;            /* enum lzw_decode_phase */
} lzw_decoder_state;

/* A table for header width w (0 to 18), reset; null when a block cannot be had or w is above
 * 18. */
lzw_decoder_table *lzw_decoder_table_create(uint32_t width);
/* Codes 2 to 257 become the single bytes again, the width 9, the last code 257; the held string
 * is no code's any more. */
void lzw_decoder_table_reset(lzw_decoder_table *table);
/* Release the table; null is ignored. */
void lzw_decoder_table_free(lzw_decoder_table *table);

/* Expand the LZW stream of in (read mode, compressed side) into out (write mode), resuming
 * where st stands. *budget [in,out]: on entry, the value of out's byte counter at which to
 * pause; on a return of 0, out's byte counter.
 *
 * The call pauses, returning 0, when out has received the budget's bytes or in has too few
 * bits for the next code; the next call continues from st, with a new in after an input pause
 * (the next file of the stream: its first bits complete the cut code) and the same in
 * otherwise, and with the same or a new out. A stream normally ends in phase 5: there is no
 * end code, and only the caller knows whether another file follows.
 *
 * Statuses: 0; 20 when the header or the first code cannot be read (fewer than three bytes),
 * or when in ran out on a read error (its error indicator set) rather than at its end;
 * 5 when no table can be had; 21 when a block write of out's buffer is short; 50 for a stream
 * that no writer makes (header width above 18, code 0, a code above the next free one, a
 * reset or string code where a single byte's code must come, the next code of a full table
 * twice in a row: the second stands for a string no table holds); 29 for a state that did not come from this worker, or a call after a
 * failure, which the stream cannot survive. *budget is untouched on failure. */
status_t lzw_decode(bitfile *in, bitfile *out, lzw_decoder_state *st, uint32_t *budget);

#endif
