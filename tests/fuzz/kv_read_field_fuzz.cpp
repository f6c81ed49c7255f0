// libFuzzer target: the key-value field reader over arbitrary file bytes, specs and capacities.
// The first input byte picks the spec and the buffer capacity; the rest is the file.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "stores/kv.h"

static const char *const fuzz_specs[] = {NULL, "=", "", " ", "  ", "   ", " =", "= ", " = ", ":"};

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    uint8_t pick = data[0];
    const char *spec = fuzz_specs[pick % (sizeof fuzz_specs / sizeof fuzz_specs[0])];
    uint16_t cap = (uint16_t)(pick / 10 % 24); // 0..23: the smallest buffers are the traps
    if (pick >= 240)
        cap = 1024;
    data++;
    size--;

    char sep;
    truth_t keep_key, keep_value;
    if (kv_parse_separator_spec(spec, &sep, &keep_key, &keep_value) != STATUS_OK)
        abort();
    // Exactly cap bytes each, so that the sanitizer sees any write past them.
    char *field = (char *)malloc(cap > 0 ? cap : 1);
    char *raw = (char *)malloc(cap > 0 ? cap : 1);
    FILE *in = fmemopen(size > 0 ? (void *)data : (void *)"", size > 0 ? size : 1, "r");
    if (in == NULL || field == NULL || raw == NULL)
        abort();
    if (size == 0)
        fgetc(in); // an empty file: the one byte given to fmemopen is consumed

    for (int line = 0; line < 100000; line++) {
        status_t rc = kv_read_field(in, sep, keep_key, field, cap, raw);
        if (rc != STATUS_OK && rc != STATUS_END_OF_FILE && rc != STATUS_BAD_FORMAT &&
            rc != STATUS_FAILED)
            abort();
        if (cap >= 2 && (memchr(field, '\0', cap) == NULL || memchr(raw, '\0', cap) == NULL))
            abort(); // every result leaves both terminated inside their buffers
        if (rc != STATUS_OK)
            break;
        rc = kv_read_field(in, '\0', keep_value, field, cap, raw);
        if (rc != STATUS_OK)
            break;
        int c;
        do
            c = fgetc(in);
        while (c != EOF && c != '\n');
        if (c == EOF)
            break;
    }
    fclose(in);
    free(raw);
    free(field);
    return 0;
}
