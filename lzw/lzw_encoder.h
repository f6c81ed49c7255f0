/* The LZW encoder: its hashed string table, its resumable state and the encoding worker. */
#ifndef LZW_LZW_ENCODER_H
#define LZW_LZW_ENCODER_H

#include <stdint.h>

#include "lzw/bitfile.h"
#include "platform/status.h"

/* A hashed string table with open addressing over a power of two of slots, which hold codes
 * only, each shifted left by the table's shift: a code so shifted is "placed", and stays below
 * 2^16. Keys are kept per code: a string's key is its last byte shifted left by 16, or-ed with
 * its prefix (the string without that byte) as placed. Its home slot is byte_homes[byte] ^
 * placed prefix: the byte's part, from a table, is spread over all the slots and does not wait
 * for the match, so that the find of the next byte waits only for the slot of the last one and
 * an exclusive-or. A probe goes on from the home slot to the slots after it, wrapping at the
 * end. How strings are found never changes which codes are written.
 *
 * The single bytes have no slots: their codes are byte + 2, and a match starts with one. */
typedef struct lzw_encoder_table {
    uint16_t *codes;          /* size placed codes; 0 marks an empty slot */
    uint32_t *keys;           /* highest_code + 1 keys, by code */
    uint32_t size;            /* a power of two above highest_code: a probe always ends */
    uint8_t shift;            /* spreads the prefixes over the slots, as far as 16 bits hold */
    uint16_t highest_code;    /* the highest code the table assigns */
    uint16_t last_code;       /* the highest code assigned; 257 after a reset */
    uint32_t byte_homes[256]; /* below size */
} lzw_encoder_table;

/* Where a paused encoder stands. */
enum lzw_encode_phase {
    LZW_ENCODE_NEW = 0,   /* not paused: a call begins a stream with its header */
    LZW_ENCODE_CODE = 1,  /* o: before writing the code of a matched string */
    LZW_ENCODE_RESET = 2, /* o: before writing a reset code for the full table */
    LZW_ENCODE_FAILED = 3 /* a call failed: the stream cannot go on */
};

/* An encoder's place in its stream between calls. */
typedef struct lzw_encoder_state {
    lzw_encoder_table *table;
    uint16_t prefix_code;      /* code of the matched string (phases 1 and 2) */
    bitfile_bits output;       /* the target's bit state, saved at every pause and at the end */
    int32_t phase;             /* enum lzw_encode_phase */
    uint8_t current_character; /* the input byte that ended the match (phases 1 and 2) */
    truth_t input_ended;       /* the input had ended when the call paused (phases 1, 2) */
} lzw_encoder_state;

/* A reset table of size slots that assigns codes up to highest_code (258 to 65534); null when
 * a block cannot be had, or when size is no power of two above highest_code or beyond 2^24. */
lzw_encoder_table *lzw_encoder_table_create(uint32_t size, uint16_t highest_code);
/* Release the table; null is ignored. */
void lzw_encoder_table_free(lzw_encoder_table *table);
/* Only the 256 single bytes again, last code 257. */
void lzw_encoder_table_reset(lzw_encoder_table *table);
/* Add prefix's string followed by byte as the next code: false when the table is full. */
truth_t lzw_encoder_table_add(lzw_encoder_table *table, uint16_t prefix, uint8_t byte);
/* The code of prefix's string followed by byte, or 0 when the table does not hold it. */
uint16_t lzw_encoder_table_find(const lzw_encoder_table *table, uint16_t prefix, uint8_t byte);
/* The width of the next code: 9 up to last code 511, 10 up to 1023, ... 16 above 32767. */
int lzw_encoder_code_width(const lzw_encoder_table *table);

/* A state in phase 0 with a reset table for streams whose header says max_width (0 to 18):
 * codes up to the reader's limit for that width minus one (8190 for 13), in a table sized for
 * quick finds. Null when a block cannot be had or the width is above 18. */
lzw_encoder_state *lzw_encoder_state_create(uint32_t max_width);
/* Release the state and its table; null is ignored. */
void lzw_encoder_state_free(lzw_encoder_state *st);

/* Write the plain bytes of in (read mode, plain side) as an LZW stream into out (write mode,
 * compressed side), resuming where st stands. max_width goes into the stream's header. *budget
 * [in,out]: on entry, the byte count out must not exceed; on a return of 0, out's byte counter.
 *
 * The call pauses, returning 0, when out is within two bytes of the budget (budget - 2, in
 * unsigned arithmetic, at or below its byte counter: budgets 0 and 1 never pause); the next
 * call continues the same bit stream in a new out, with the same in, and first writes the
 * code or reset code it paused before, untested, so that every out takes one (with a budget
 * of 2, full when opened, the last out may so hold 3 bytes once closed). After the
 * input's end the phase is 0. Close every out but the last with the flush flag 0 and the last
 * with 1: the pending bits travel in st from one out to the next.
 *
 * Statuses: 0; 21 when writing the header, a code or a reset code fails; 20 when in's first
 * byte cannot be read (an empty input, refused after the header went into out's buffer), or
 * when in ends on a read error (its error indicator set) rather than at its end; 29
 * for a table that assigns codes a reader of max_width does not know (or a max_width above
 * 18), a state that did not come from this worker, or a call after a failure. *budget is
 * untouched on failure. */
status_t lzw_encode(bitfile *in, bitfile *out, lzw_encoder_state *st, uint32_t max_width,
                    uint32_t *budget);

#endif
