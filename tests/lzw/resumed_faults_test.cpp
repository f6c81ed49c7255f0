/* The codec's resumable workers under failing allocations, reads, writes and closes that meet
 * them after a pause: in a later input file, a paused walk, a later target. */
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lzw/bitfile.h"
#include "support/codec_testing.h"
#include "lzw/lzw_decoder.h"
#include "lzw/lzw_encoder.h"
#include "sim/sim.h"
#include "support/fault_sweep.h"
#include "support/workstation.h"

namespace {

using namespace lzwt;

class ResumedFaultTest : public CodecSampleTest {
protected:
    void SetUp() override { write_sample(5); }
};

/* The stream in three input files, decoded with budgets that pause it over and over. */
status_t decode_resumed(const std::vector<std::string> &pieces, const std::string &out_path)
{
    lzw_decoder_state st;
    memset(&st, 0, sizeof st);
    bitfile *out = bitfile_open_write(out_path.c_str(), "", "", "", 0);
    status_t rc = out != NULL ? STATUS_OK : STATUS_NO_MEMORY;
    uint32_t step = 1;
    for (size_t k = 0; k < pieces.size() && rc == STATUS_OK; k++) {
        bitfile *in = bitfile_open_read(pieces[k].c_str(), "", "", "", 1);
        if (in == NULL) {
            rc = STATUS_NO_MEMORY;
            break;
        }
        do {
            uint32_t budget = out->byte_counter + step;
            step = step * 7 % 20011 + 1;
            rc = lzw_decode(in, out, &st, &budget);
        } while (rc == STATUS_OK && st.phase != LZW_DECODE_INPUT &&
                 st.phase != LZW_DECODE_INPUT_RESET);
        bitfile_close(in, 0);
    }
    if (!bitfile_close(out, 1) && rc == STATUS_OK)
        rc = STATUS_WRITE_ERROR;
    lzw_decoder_table_free(st.table);
    return rc;
}

/* The target files of encode_resumed. */
std::string target_name(const std::string &dir, int k)
{
    return ws_join(dir, "t" + std::to_string(k) + ".lzw");
}

/* The plain file encoded into targets of budget bytes each; *targets: how many. */
status_t encode_resumed(const std::string &plain, const std::string &dir, uint32_t budget,
                        int *targets)
{
    lzw_encoder_state *st = lzw_encoder_state_create(13);
    bitfile *in = bitfile_open_read(plain.c_str(), "", "", "", 0);
    status_t rc = st != NULL && in != NULL ? STATUS_OK : STATUS_NO_MEMORY;
    *targets = 0;
    while (rc == STATUS_OK) {
        bitfile *out = bitfile_open_write(target_name(dir, *targets).c_str(), "", "", "", 1);
        if (out == NULL) {
            rc = STATUS_NO_MEMORY;
            break;
        }
        ++*targets;
        uint32_t b = budget;
        rc = lzw_encode(in, out, st, 13, &b);
        bool last = rc != STATUS_OK || st->phase == LZW_ENCODE_NEW;
        if (!bitfile_close(out, last) && rc == STATUS_OK)
            rc = STATUS_WRITE_ERROR;
        if (last)
            break;
    }
    bitfile_close(in, 0);
    lzw_encoder_state_free(st);
    return rc;
}

TEST_F(ResumedFaultTest, DecoderOverThreeFilesAndEncoderOverTargets)
{
    std::vector<std::string> pieces;
    const size_t cuts[] = {0, stream.size() / 3 + 1, stream.size() * 2 / 3, stream.size()};
    for (int k = 0; k < 3; k++) {
        pieces.push_back(ws_join(dir, "piece" + std::to_string(k) + ".lzw"));
        ASSERT_TRUE(ws_write_file(pieces[k], stream.substr(cuts[k], cuts[k + 1] - cuts[k])));
    }
    const std::string out = ws_join(dir, "resumed.bin");
    for (sim_family family : {SIM_MEM, SIM_READ, SIM_WRITE, SIM_CLOSE}) {
        fault_sweep(
            family, [] {}, [&] { return decode_resumed(pieces, out); },
            [&](status_t rc, bool fired) {
                if (rc == STATUS_OK) {
                    EXPECT_TRUE(read_all(out) == data);
                    return;
                }
                ASSERT_TRUE(fired) << "status " << rc;
                EXPECT_EQ(rc, family == SIM_MEM    ? STATUS_NO_MEMORY
                              : family == SIM_READ ? STATUS_READ_ERROR
                                                   : STATUS_WRITE_ERROR);
            });
    }
    int targets = 0;
    for (sim_family family : {SIM_MEM, SIM_READ, SIM_WRITE, SIM_CLOSE}) {
        fault_sweep(
            family, [] {}, [&] { return encode_resumed(plain, dir, 40000, &targets); },
            [&](status_t rc, bool fired) {
                if (rc == STATUS_OK) {
                    std::string joined;
                    for (int k = 0; k < targets; k++)
                        joined += read_all(target_name(dir, k));
                    EXPECT_GT(targets, 2);
                    EXPECT_TRUE(joined == stream);
                    return;
                }
                ASSERT_TRUE(fired) << "status " << rc;
                EXPECT_EQ(rc, family == SIM_MEM    ? STATUS_NO_MEMORY
                              : family == SIM_READ ? STATUS_READ_ERROR
                                                   : STATUS_WRITE_ERROR);
            });
    }
}

} // namespace
