/* Bit-stream files: opening with a buffer that shrinks under memory pressure, block I/O, close. */
#include "lzw/bitfile.h"

#include "platform/mem.h"
#include "platform/os.h"
#include "platform/path.h"

static bitfile *bitfile_open(const char *root, const char *dir, const char *base,
                             const char *ext, truth_t compressed, truth_t read_mode)
{
    char path[PATH_CAP];
    bitfile *bf;
    uint32_t size;
    int n;

    bf = (bitfile *)mem_alloc(sizeof *bf);
    if (bf == NULL)
        return NULL;
    /* A path cut to fit would name another file. */
    if (!path_compose(path, root, dir, base, ext))
        goto fail_record;
    bf->stream = crt_fopen(path, read_mode ? "rb" : "wb");
    if (bf->stream == NULL)
        goto fail_record;

    bf->read_mode = read_mode;
    bf->compressed_side = compressed;
    bf->write_position = 31;
    bf->fill_position = 31;
    bf->byte_counter = 0;
    bf->accumulator = 0;
    /* No block read yet: the first fetch finds the buffer spent. */
    bf->last_index = -1;
    bf->buffer_position = 0;
    for (n = 0; n <= 16; n++)
        bf->masks[n] = (uint16_t)((1u << n) - 1);

    /* A smaller buffer only costs more block calls. */
    size = BITFILE_BUFFER_MAX;
    for (;;) {
        bf->buffer = (uint8_t *)mem_alloc(size);
        if (bf->buffer != NULL)
            break;
        size /= 2;
        if (size < BITFILE_BUFFER_MIN) {
            (void)fclose(bf->stream);
            goto fail_record;
        }
    }
    bf->buffer_size = size;
    return bf;

fail_record:
    mem_free(bf);
    return NULL;
}

bitfile *bitfile_open_read(const char *root, const char *dir, const char *base, const char *ext,
                           truth_t compressed)
{
    return bitfile_open(root, dir, base, ext, compressed, 1);
}

bitfile *bitfile_open_write(const char *root, const char *dir, const char *base,
                            const char *ext, truth_t compressed)
{
    return bitfile_open(root, dir, base, ext, compressed, 0);
}

truth_t bitfile_refill(bitfile *bf)
{
    size_t got = fread(bf->buffer, 1, bf->buffer_size, bf->stream);

    /* Bytes that came with an error are not trusted. The position and last index stay as
     * they were, so the next fetch tries another block read. */
    if (got == 0 || ferror(bf->stream))
        return 0;
    bf->last_index = (int32_t)got - 1;
    bf->buffer_position = 0;
    return 1;
}

truth_t bitfile_read_failed(const bitfile *bf)
{
    return ferror(bf->stream) != 0;
}

truth_t bitfile_drain(bitfile *bf)
{
    if (fwrite(bf->buffer, 1, bf->buffer_size, bf->stream) < bf->buffer_size)
        return 0;
    bf->buffer_position = 0;
    return 1;
}

truth_t bitfile_drain_trading(bitfile *bf, uint8_t **spare, uint32_t *spare_size)
{
    uint8_t *written = bf->buffer;

    if (*spare_size < bf->buffer_size || !bitfile_drain(bf))
        return 0;
    bf->buffer = *spare;
    *spare = written;
    *spare_size = bf->buffer_size;
    return 1;
}

/* One byte past the buffer. */
static truth_t bitfile_put_char(bitfile *bf)
{
    if (fputc((int)(bf->accumulator >> 24), bf->stream) == EOF)
        return 0;
    bf->byte_counter++;
    return 1;
}

truth_t bitfile_flush(bitfile *bf)
{
    while (bf->write_position < 24) {
        if (!bitfile_put_char(bf))
            return 0;
        bf->accumulator <<= 8;
        bf->write_position += 8;
    }
    if (bf->write_position == 31)
        return 1;
    /* The pending bits, then 1 to 7 bits that a reader takes for padding. */
    return bitfile_put_char(bf);
}

truth_t bitfile_close(bitfile *bf, truth_t flush)
{
    truth_t ok = 1;

    if (bf == NULL)
        return 1;
    if (!bf->read_mode) {
        /* A full disk shows up here or at the close: a file that lost its end is no copy. */
        if (bf->buffer_position > 0 &&
            fwrite(bf->buffer, 1, bf->buffer_position, bf->stream) < bf->buffer_position)
            ok = 0;
        if (ok && bf->compressed_side && flush && !bitfile_flush(bf))
            ok = 0;
        if (fclose(bf->stream) != 0)
            ok = 0;
    } else {
        (void)fclose(bf->stream);
    }
    mem_free(bf->buffer);
    mem_free(bf);
    return ok;
}
