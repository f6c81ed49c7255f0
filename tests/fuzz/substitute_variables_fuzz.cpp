// libFuzzer target: the substitution filter over arbitrary bytes cut into up to four inputs.
// The first byte picks how many inputs, the next three where they are cut; the rest is the
// text. Whatever the cuts, the output, the status and what stays pending must be those of a
// plain one-pass expansion of the whole text.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/mem.h"
#include "transfer/substitute.h"

// Values by the token's first name character: 'F' fails with 6, 'U' leaves the value without
// a terminator, 'L' gives the longest value offered, 'E' an empty one; others echo the name.
static status_t fuzz_resolve(int32_t, int32_t, const char *token, char *buf, uint16_t cap,
                             int32_t, int32_t, const char *, const char *)
{
    size_t len = strlen(token);
    switch (token[1]) {
    case 'F':
        return 6;
    case 'U':
        memset(buf, 'u', cap);
        return STATUS_OK;
    case 'L':
        memset(buf, 'l', cap - 1u);
        buf[cap - 1u] = '\0';
        return STATUS_OK;
    case 'E':
        buf[0] = '\0';
        return STATUS_OK;
    default:
        break;
    }
    size_t n = std::min(len, (size_t)cap - 1u);
    memcpy(buf, token, n);
    buf[n] = '\0';
    return STATUS_OK;
}

struct fuzz_result {
    status_t rc;
    std::string out;
    bool pending;
};

// The expansion in one pass over the whole text, written for clarity only.
static fuzz_result fuzz_oracle(const std::string &text)
{
    fuzz_result r = {STATUS_OK, std::string(), false};
    size_t i = 0;
    while (i < text.size()) {
        char c = text[i++];
        if (c != '%') {
            r.out += c;
            continue;
        }
        if (i == text.size()) {
            r.pending = true;
            return r;
        }
        if (text[i] == '%') {
            r.out += '%';
            i++;
            continue;
        }
        std::string token = "%";
        for (;;) {
            if (i == text.size()) {
                r.pending = true;
                return r;
            }
            c = text[i++];
            if (c == '%')
                break;
            if (token.size() >= 1 + SUBSTITUTE_NAME_MAX) {
                r.rc = STATUS_FAILED;
                return r;
            }
            token += c;
        }
        token += '%';
        char value[SUBSTITUTE_BUF_CAP];
        value[0] = '\0';
        r.rc = fuzz_resolve(0, 0, token.c_str(), value, SUBSTITUTE_VALUE_CAP, 0, 0, "", "");
        if (r.rc != STATUS_OK)
            return r;
        if (memchr(value, '\0', SUBSTITUTE_VALUE_CAP) == NULL) {
            r.rc = STATUS_FAILED;
            return r;
        }
        r.out += value;
    }
    return r;
}

static FILE *fuzz_input(const std::string &bytes)
{
    // fmemopen refuses an empty buffer: give one byte and consume it.
    static const char one = 'x';
    FILE *f = bytes.empty() ? fmemopen((void *)&one, 1, "r")
                            : fmemopen((void *)bytes.data(), bytes.size(), "r");
    if (f == NULL)
        abort();
    if (bytes.empty())
        fgetc(f);
    return f;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 4)
        return 0;
    size_t pieces = data[0] % 4 + 1;
    std::string text((const char *)data + 4, size - 4);
    std::vector<size_t> cuts = {0, text.size()};
    for (size_t k = 1; k < pieces; k++)
        cuts.push_back(data[k] * text.size() / 255);
    std::sort(cuts.begin(), cuts.end());

    substitute_state *st = substitute_state_create(0, 0, fuzz_resolve);
    if (st == NULL)
        abort();
    char *out_buf = NULL;
    size_t out_len = 0;
    FILE *out = open_memstream(&out_buf, &out_len);
    if (out == NULL)
        abort();
    fuzz_result got = {STATUS_OK, std::string(), false};
    uint32_t consumed = 0;
    for (size_t k = 0; k + 1 < cuts.size(); k++) {
        std::string piece = text.substr(cuts[k], cuts[k + 1] - cuts[k]);
        FILE *in = fuzz_input(piece);
        uint32_t count = 0xDEADBEEFu;
        got.rc = substitute_variables(in, out, st, &count);
        fclose(in);
        if (count > piece.size())
            abort(); // never more characters than the input held
        consumed += count;
        if (got.rc != STATUS_OK)
            break;
        if (count != piece.size())
            abort(); // a call that succeeds reads its input to the end
    }
    fclose(out);
    got.out.assign(out_buf, out_len);
    free(out_buf);
    got.pending = st->pending != 0;
    if (st->pending_length > 1 + SUBSTITUTE_NAME_MAX)
        abort();
    mem_free(st);

    fuzz_result want = fuzz_oracle(text);
    if (got.rc != want.rc || got.out != want.out)
        abort();
    if (got.rc == STATUS_OK && (got.pending != want.pending || consumed != text.size()))
        abort();
    return 0;
}
