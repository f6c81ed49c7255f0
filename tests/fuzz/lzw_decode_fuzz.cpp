// libFuzzer target: the LZW decoder over arbitrary bytes, paused by arbitrary output budgets
// and fed from the stream cut into arbitrary input files. The first three bytes choose the
// set-up (block buffer sizes, budgets, a fresh output file at every output pause, the cuts);
// the rest is the stream. Whatever the set-up, the status, the bytes written before it and the
// phase the stream ends in must be those of the plain whole-stream reader, and every call must
// make progress: put a byte, or use up its input file, or fail.
#include <stdint.h>
#include <stdlib.h>

#include <algorithm>
#include <string>
#include <vector>

#include "lzw/lzw_decoder.h"
#include "support/reference_codec.h"
#include "memory_bitfile.h"

// Budget steps: 0 means no limit; otherwise each call's budget lies 1 to most bytes above the
// output's counter.
static const uint32_t FUZZ_MOST_STEP[] = {0, 1, 2, 3, 8, 64, 300, 5000};

// At most this many calls for one input: a stream that expands a lot gets larger steps.
static const uint32_t FUZZ_MOST_CALLS = 20000;

// Streams that expand beyond this are left out: a few thousand codes can stand for megabytes,
// and strings longer than the output buffer (which the decoder writes from its held copy) are
// reached well below it.
static const size_t FUZZ_MOST_OUTPUT = 1u << 20;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 3)
        return 0;
    fuzz_forget_calls();
    const uint8_t setup = data[0];
    const std::string stream((const char *)data + 3, size - 3);
    const lzwt::reference_result want = lzwt::reference_decode(stream, FUZZ_MOST_OUTPUT);
    if (want.cut_short)
        return 0;

    const uint32_t in_buffer = fuzz_buffer_size(setup);
    const uint32_t out_buffer = fuzz_buffer_size(setup >> 3);
    const bool new_outputs = (setup & 0x40) != 0;
    uint32_t most = FUZZ_MOST_STEP[data[1] % 8];
    if (most != 0)
        most += (uint32_t)(want.out.size() / FUZZ_MOST_CALLS);
    uint32_t budget_seed = data[1] >> 3;

    // The header and the first code come in the first file (its first three bytes); the other
    // cuts fall anywhere after them, several at one place making empty files.
    std::vector<size_t> cuts = {0};
    uint32_t cut_seed = data[2];
    if (stream.size() > 3)
        for (unsigned k = data[2] % 8; k > 0; k--)
            cuts.push_back(3 + fuzz_next(&cut_seed) % (stream.size() - 3));
    std::sort(cuts.begin(), cuts.end());
    cuts.push_back(stream.size());

    lzw_decoder_state st;
    memset(&st, 0, sizeof st);
    std::string out_bytes;
    fuzz_sink sink;
    bitfile *out = sink.open(out_buffer, 0);
    status_t rc = STATUS_OK;
    size_t calls = 0;
    for (size_t k = 0; k + 1 < cuts.size() && rc == STATUS_OK; k++) {
        const std::string piece = stream.substr(cuts[k], cuts[k + 1] - cuts[k]);
        bitfile *in = fuzz_bitfile_read(piece, in_buffer, 1);
        for (;;) {
            const uint32_t asked =
                most == 0 ? 0xFFFFFFFFu : out->byte_counter + 1 + fuzz_next(&budget_seed) % most;
            uint32_t budget = asked;
            calls++;
            rc = lzw_decode(in, out, &st, &budget);
            if (rc != STATUS_OK) {
                if (budget != asked)
                    abort(); // a failure leaves the budget as it was
                break;
            }
            if (budget != out->byte_counter)
                abort();
            if (st.phase == LZW_DECODE_INPUT || st.phase == LZW_DECODE_INPUT_RESET)
                break;
            if (budget != asked)
                abort(); // a pause for room comes exactly at the budget
            if (new_outputs) {
                if (!bitfile_close(out, 1))
                    abort();
                out_bytes += sink.take();
                out = sink.open(out_buffer, 0);
            }
        }
        bitfile_close(in, 0);
    }
    if (!bitfile_close(out, 1))
        abort();
    out_bytes += sink.take();
    lzw_decoder_table_free(st.table);

    // Every call but one per input file and the failing one put at least one byte.
    if (calls > out_bytes.size() + cuts.size())
        abort();
    if (rc != want.status || out_bytes != want.out)
        abort();
    if (rc == STATUS_OK &&
        st.phase != (want.ended_after_reset ? LZW_DECODE_INPUT_RESET : LZW_DECODE_INPUT))
        abort();
    return 0;
}
