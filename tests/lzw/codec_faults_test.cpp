/* The codec under memory pressure and failing reads and writes, on the simulation. */
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lzw/bitfile.h"
#include "lzw/lzw_decoder.h"
#include "lzw/lzw_encoder.h"
#include "support/codec_testing.h"
#include "sim/sim.h"
#include "support/fault_sweep.h"
#include "support/workstation.h"

namespace {

using namespace lzwt;

class CodecFaultTest : public CodecSampleTest {
protected:
    void SetUp() override
    {
        write_sample(1);
        packed = ws_join(dir, "packed.lzw");
        ASSERT_TRUE(ws_write_file(packed, stream));
    }
    std::string packed;
};

/* What a bit stream file does with a workload: codes written, read back, bytes read. */
std::string bitfile_workload(const std::string &path)
{
    std::string log;
    bitfile *bf = bitfile_open_write(path.c_str(), "", "", "", 1);
    if (bf == NULL)
        return "no file";
    log += std::to_string(bf->buffer_size) + ";";
    for (uint32_t i = 0; i < 30000; i++)
        if (!bitfile_write_bits(bf, i % 8191, 9 + (int)(i % 8)))
            log += "write failed;";
    log += std::to_string(bf->byte_counter) + ";";
    log += bitfile_close(bf, 1) ? "closed;" : "close failed;";
    bf = bitfile_open_read(path.c_str(), "", "", "", 1);
    if (bf == NULL)
        return log + "no file";
    uint16_t v;
    for (uint32_t i = 0; i < 30000; i++)
        if (!bitfile_read_bits(bf, &v, 9 + (int)(i % 8)) || v != i % 8191)
            log += "read " + std::to_string(i) + " wrong;";
    uint8_t byte;
    log += bitfile_read_byte(bf, &byte) ? "a byte more;" : "end;";
    log += std::to_string(bf->byte_counter) + ";";
    bitfile_close(bf, 0);
    return log;
}

TEST_F(CodecFaultTest, SmallestBufferBehavesAsTheLargest)
{
    std::string full = bitfile_workload(ws_join(dir, "a.lzw"));
    ASSERT_EQ(full.substr(0, 6), "49152;");
    const struct {
        size_t above;
        const char *size;
    } rows[] = {{40000, "24576;"}, {10000, "6144;"}, {1000, "768;"}, {767, "384;"}};
    for (auto &row : rows) {
        SCOPED_TRACE(row.size);
        sim_fault_mem_above(row.above);
        std::string small = bitfile_workload(ws_join(dir, "b.lzw"));
        sim_fault_clear();
        EXPECT_EQ(small.substr(0, strlen(row.size)), row.size);
        EXPECT_EQ(small.substr(small.find(';') + 1), full.substr(full.find(';') + 1));
        EXPECT_TRUE(read_all(ws_join(dir, "a.lzw")) == read_all(ws_join(dir, "b.lzw")));
    }
    /* Not even 384 bytes: no file, nothing left behind. */
    sim_fault_mem_above(383);
    EXPECT_EQ(bitfile_open_read(plain.c_str(), "", "", "", 0), nullptr);
    EXPECT_EQ(bitfile_open_write(ws_join(dir, "c.lzw").c_str(), "", "", "", 1), nullptr);
    sim_fault_clear();
    EXPECT_EQ(sim_open_files(), 0);
    EXPECT_EQ(sim_live_blocks(), 0);
}

/* The decoder with the smallest buffers: a block read or write every 384 bytes, so that its
 * fast path meets the ends of both buffers over and over. */
TEST_F(CodecFaultTest, DecoderWithTheSmallestBuffers)
{
    for (uint32_t width : {9u, 13u}) {
        SCOPED_TRACE("width " + std::to_string(width));
        const std::string stream_w = reference_encode(data, width).bytes;
        ASSERT_TRUE(ws_write_file(packed, stream_w));
        const std::string out = ws_join(dir, "small.bin");
        sim_fault_mem_above(BITFILE_BUFFER_MIN);
        bitfile *in = bitfile_open_read(packed.c_str(), "", "", "", 1);
        bitfile *o = bitfile_open_write(out.c_str(), "", "", "", 0);
        sim_fault_clear();
        ASSERT_TRUE(in != NULL && o != NULL);
        EXPECT_EQ(in->buffer_size, BITFILE_BUFFER_MIN);
        EXPECT_EQ(o->buffer_size, BITFILE_BUFFER_MIN);
        lzw_decoder_state st;
        memset(&st, 0, sizeof st);
        uint32_t step = 1;
        status_t rc;
        do {
            uint32_t budget = o->byte_counter + step;
            step = step * 3 % 1001 + 1;
            rc = lzw_decode(in, o, &st, &budget);
        } while (rc == STATUS_OK && st.phase != LZW_DECODE_INPUT);
        EXPECT_EQ(rc, STATUS_OK);
        EXPECT_TRUE(bitfile_close(o, 1));
        bitfile_close(in, 0);
        lzw_decoder_table_free(st.table);
        EXPECT_TRUE(read_all(out) == data);
    }
}

TEST_F(CodecFaultTest, BitfileOpenSweep)
{
    for (sim_family family : {SIM_MEM, SIM_OPEN}) {
        for (truth_t read_mode : {0, 1}) {
            fault_sweep(
                family, [] {},
                [&]() -> status_t {
                    bitfile *bf = read_mode
                                      ? bitfile_open_read(plain.c_str(), "", "", "", 0)
                                      : bitfile_open_write(ws_join(dir, "w.lzw").c_str(), "", "",
                                                           "", 1);
                    if (bf == NULL)
                        return STATUS_FAILED;
                    /* A smaller buffer is no failure. */
                    bool ok = bf->buffer_size >= BITFILE_BUFFER_MIN;
                    bitfile_close(bf, 0);
                    return ok ? STATUS_OK : STATUS_NO_MEMORY;
                },
                [&](status_t rc, bool fired) {
                    if (!fired)
                        return;
                    /* The record's allocation or the open fails; a buffer halves. */
                    EXPECT_TRUE(rc == STATUS_FAILED || (family == SIM_MEM && rc == STATUS_OK))
                        << "status " << rc;
                });
        }
    }
}

/* One decode of the packed file into out.bin, without a budget. */
status_t decode_once(const std::string &packed, const std::string &out_path)
{
    lzw_decoder_state st;
    memset(&st, 0, sizeof st);
    bitfile *in = bitfile_open_read(packed.c_str(), "", "", "", 1);
    bitfile *out = bitfile_open_write(out_path.c_str(), "", "", "", 0);
    status_t rc = STATUS_NO_MEMORY;
    if (in != NULL && out != NULL) {
        uint32_t budget = 0xFFFFFFFFu;
        rc = lzw_decode(in, out, &st, &budget);
        if (rc == STATUS_OK && st.phase != LZW_DECODE_INPUT)
            rc = STATUS_FAILED;
    }
    if (!bitfile_close(out, 1) && rc == STATUS_OK)
        rc = STATUS_WRITE_ERROR;
    bitfile_close(in, 0);
    lzw_decoder_table_free(st.table);
    return rc;
}

TEST_F(CodecFaultTest, DecoderSweep)
{
    const std::string out = ws_join(dir, "out.bin");
    for (sim_family family : {SIM_MEM, SIM_READ, SIM_WRITE, SIM_CLOSE}) {
        fault_sweep(
            family, [] {}, [&] { return decode_once(packed, out); },
            [&](status_t rc, bool fired) {
                if (rc == STATUS_OK) {
                    EXPECT_TRUE(read_all(out) == data);
                    return;
                }
                ASSERT_TRUE(fired) << "status " << rc;
                switch (family) {
                case SIM_MEM: /* the records and the table; buffers halve */
                    EXPECT_EQ(rc, STATUS_NO_MEMORY);
                    break;
                case SIM_READ: /* a read error is no end of the stream */
                    EXPECT_EQ(rc, STATUS_READ_ERROR);
                    break;
                default:
                    EXPECT_EQ(rc, STATUS_WRITE_ERROR);
                    break;
                }
            });
    }
}

/* One encode of the plain file into packed.lzw, without a budget. */
status_t encode_once(const std::string &plain, const std::string &out_path)
{
    lzw_encoder_state *st = lzw_encoder_state_create(13);
    bitfile *in = bitfile_open_read(plain.c_str(), "", "", "", 0);
    bitfile *out = bitfile_open_write(out_path.c_str(), "", "", "", 1);
    status_t rc = STATUS_NO_MEMORY;
    if (st != NULL && in != NULL && out != NULL) {
        uint32_t budget = 0;
        rc = lzw_encode(in, out, st, 13, &budget);
    }
    if (!bitfile_close(out, 1) && rc == STATUS_OK)
        rc = STATUS_WRITE_ERROR;
    bitfile_close(in, 0);
    lzw_encoder_state_free(st);
    return rc;
}

TEST_F(CodecFaultTest, EncoderSweep)
{
    const std::string out = ws_join(dir, "again.lzw");
    for (sim_family family : {SIM_MEM, SIM_READ, SIM_WRITE, SIM_CLOSE}) {
        fault_sweep(
            family, [] {}, [&] { return encode_once(plain, out); },
            [&](status_t rc, bool fired) {
                if (rc == STATUS_OK) {
                    EXPECT_TRUE(read_all(out) == stream);
                    return;
                }
                ASSERT_TRUE(fired) << "status " << rc;
                if (family == SIM_MEM)
                    EXPECT_EQ(rc, STATUS_NO_MEMORY);
                else if (family == SIM_READ)
                    EXPECT_EQ(rc, STATUS_READ_ERROR);
                else
                    EXPECT_EQ(rc, STATUS_WRITE_ERROR);
            });
    }
}

TEST_F(CodecFaultTest, DecoderTableAndEncoderStateUnderMemoryPressure)
{
    for (uint32_t width : {9u, 13u, 16u}) {
        SCOPED_TRACE("width " + std::to_string(width));
        /* Each block that cannot be had, until all can: null, and nothing left behind. */
        for (unsigned nth = 1;; nth++) {
            sim_fault(SIM_MEM, nth, false, 0);
            lzw_decoder_table *t = lzw_decoder_table_create(width);
            bool fired = sim_fault_fired(SIM_MEM) > 0;
            sim_fault_clear();
            EXPECT_EQ(t == nullptr, fired) << "allocation " << nth;
            lzw_decoder_table_free(t);
            EXPECT_EQ(sim_live_blocks(), 0);
            if (!fired)
                break;
        }
        for (unsigned nth = 1;; nth++) {
            sim_fault(SIM_MEM, nth, false, 0);
            lzw_encoder_state *st = lzw_encoder_state_create(width);
            bool fired = sim_fault_fired(SIM_MEM) > 0;
            sim_fault_clear();
            EXPECT_EQ(st == nullptr, fired) << "allocation " << nth;
            lzw_encoder_state_free(st);
            EXPECT_EQ(sim_live_blocks(), 0);
            if (!fired)
                break;
        }
    }
    /* Inside the decoder: the table is its first block. */
    sim_fault_mem_above(100000);
    bit_writer w;
    w.put(16, 8);
    w.put(67, 9);
    ASSERT_TRUE(ws_write_file(packed, w.done()));
    EXPECT_EQ(decode_once(packed, ws_join(dir, "x.bin")), STATUS_NO_MEMORY) << "256 KiB table";
    sim_fault_clear();
    EXPECT_EQ(sim_live_blocks(), 0);
}

} // namespace
