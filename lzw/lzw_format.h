/* The LZW stream format that the decoder reads and the encoder writes. */
#ifndef LZW_LZW_FORMAT_H
#define LZW_LZW_FORMAT_H

#include <stdint.h>

/* The stream: an 8-bit header holding the maximum code width, then codes packed most
 * significant bit first, 9 bits wide at the start and after every reset code, one bit wider
 * each time the reader assigns code 511, 1023, ... 32767. There is no end code: the stream ends
 * with its last file, whose last byte carries 0 to 7 bits of padding. */
#define LZW_HEADER_BITS 8
#define LZW_MIN_WIDTH 9
#define LZW_MAX_WIDTH 16

/* Code values. 0 is never used; 2 to 257 stand for the bytes 0 to 255; 258 and up are the
 * strings added while the stream is read. */
#define LZW_RESET_CODE 1u
#define LZW_FIRST_LITERAL 2u
#define LZW_LAST_LITERAL 257u

/* The highest header width a reader accepts; widths 16 to 18 all read as 16. */
#define LZW_MAX_HEADER_WIDTH 18u

/* The reader's table limit L for header width w (511 for 0 to 9, 2^w - 1 up to 16, 65535 for
 * 17 and 18): codes up to L - 1 are ever assigned. 0 for a width above 18, which no reader
 * accepts. */
static inline uint32_t lzw_table_limit(uint32_t width)
{
    if (width > LZW_MAX_HEADER_WIDTH)
        return 0;
    if (width <= LZW_MIN_WIDTH)
        return 511;
    if (width >= LZW_MAX_WIDTH)
        return 65535;
    return (1u << width) - 1;
}

#endif
