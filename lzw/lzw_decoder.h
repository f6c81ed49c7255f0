/* The LZW decoder: its table, its resumable state and the decoding worker. */
#ifndef LZW_LZW_DECODER_H
#define LZW_LZW_DECODER_H

#include <stdint.h>

#include "lzw/bitfile.h"
#include "platform/status.h"

/* One stream's string table: one 32-bit entry per code. Entry c holds in bits 16 to 23 the
 * last byte of code c's string and in bits 0 to 15 its link, the code of the string without
 * that byte (0 for a single byte). Bits 24 to 31 cache the string's length, 255 standing for
 * 255 or more, so that a string can go straight into the output buffer. Entries 0 and 1 are
 * never written.
 *
 * A new code's string is the previous code's output followed by the first byte of the next:
 * while the decoder runs fast, that place in the output buffer is kept per code, and a string
 * found there is copied instead of walked link by link. A place holds the run's epoch in its
 * top 16 bits and the buffer index below; places of other runs mean nothing. */
typedef struct lzw_decoder_table {
    uint32_t *codes;     /* limit + 1 entries */
    uint32_t limit;      /* L: codes below it are assigned, up to L - 1 */
    uint16_t last_code;  /* highest code assigned; 257 after a reset */
    int32_t code_width;  /* width of the next code; 9 after a reset */
    uint32_t *growth;    /* 65536 bits: bit k set when assigning code k widens the codes */
    uint32_t *places;    /* limit + 1 places in the output buffer */
    uint32_t epoch;      /* of the latest fast run, 1 to 65535 */
} lzw_decoder_table;

#define LZW_DECODER_LENGTH_SHIFT 24
#define LZW_DECODER_LENGTH_MAX 255u

/* Where a paused decoder stands. */
enum lzw_decode_phase {
    LZW_DECODE_NEW = 0,            /* not paused: a call begins a stream with its header */
    LZW_DECODE_LAST_BYTE = 1,      /* o: before the last byte of a string */
    LZW_DECODE_RESET_BYTE = 2,     /* o: before the byte of the first code after a reset */
    LZW_DECODE_WALK = 3,           /* o: in the forward walk, before a byte not the last */
    LZW_DECODE_SPECIAL_BYTE = 4,   /* o: before the extra first byte of the special case */
    LZW_DECODE_INPUT = 5,          /* i: too few bits for the next code */
    LZW_DECODE_INPUT_RESET = 6,    /* i: too few bits for the first code after a reset */
    LZW_DECODE_FAILED = 7          /* a call failed: the stream cannot go on */
};

/* A decoder's place in its stream between calls. Zeroed (table null, phase 0), it begins a
 * new stream. */
typedef struct lzw_decoder_state {
    lzw_decoder_table *table; /* null until the header has been read */
    bitfile_bits input;       /* the input's bit state, saved in phases 5 and 6 */
    uint16_t previous_code;   /* the code decoded last */
    uint16_t node;            /* the entry being written (phases 1 and 3) */
    uint16_t next_node;       /* the entry to be written after it (phase 3) */
    uint16_t pending_code;    /* the special case's code, or 0 (phases 1, 3 and 4) */
    int32_t phase;            /* enum lzw_decode_phase */
    uint8_t first_character;  /* first byte of the string being written (phases 1, 3, 4) */
    uint8_t current_character; /* byte about to be written (phases 1, 2 and 3) */
} lzw_decoder_state;

/* A table for header width w (0 to 18), reset; null when a block cannot be had or w is above
 * 18. */
lzw_decoder_table *lzw_decoder_table_create(uint32_t width);
/* Codes 2 to 257 become the single bytes again, the width 9, the last code 257. */
void lzw_decoder_table_reset(lzw_decoder_table *table);
/* Replace code's link by link, keeping the rest of the entry; the entry as it was. */
uint32_t lzw_decoder_table_relink(lzw_decoder_table *table, uint16_t code, uint16_t link);
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
 * reset or string code where a single byte's code must come, the unassigned next code once
 * the table is full); 29 for a state that did not come from this worker, or a call after a
 * failure, which the stream cannot survive. *budget is untouched on failure. */
status_t lzw_decode(bitfile *in, bitfile *out, lzw_decoder_state *st, uint32_t *budget);

#endif
