/* The encoder's streams, held to hashes recorded before its table was rebuilt for speed: how the
 * table finds strings may change, the codes it writes may not. Every input kind at every
 * header width, with enough input to fill and reset the table at each, unlimited and through
 * small targets. */
#include <gtest/gtest.h>

#include <stdint.h>
#include <stdio.h>

#include <string>

#include "support/codec_testing.h"
#include "support/workstation.h"

namespace {

using namespace lzwt;

/* FNV-1a, 64 bits: a recording of a stream that fits on a line. */
uint64_t stream_hash(const std::string &bytes)
{
    uint64_t h = 0xCBF29CE484222325ull;
    for (unsigned char c : bytes) {
        h ^= c;
        h *= 0x100000001B3ull;
    }
    return h;
}

enum { KIND_ZEROS = SAMPLE_KINDS, KIND_PHRASE, RECORDED_KINDS };
const char *const kKindNames[] = {"text", "executable", "random", "run", "zeros", "phrase"};

/* 192 KiB: random bytes fill a table of width 16 once and reset it. */
const size_t kInputBytes = 192 * 1024;

std::string recorded_input(int kind)
{
    if (kind < SAMPLE_KINDS)
        return sample(kind, kInputBytes, 18);
    if (kind == KIND_ZEROS)
        return std::string(kInputBytes, '\0');
    /* One phrase of 300 bytes over and over: long matches that grow a string a byte a time. */
    std::string phrase = sample(SAMPLE_TEXT, 300, 7), s;
    while (s.size() < kInputBytes)
        s += phrase;
    s.resize(kInputBytes);
    return s;
}

const uint32_t kWidths[] = {0, 9, 10, 11, 12, 13, 14, 15, 16, 18};
const size_t kWidthCount = sizeof kWidths / sizeof kWidths[0];

/* The streams of the encoder as it was before its table changed, per kind and width. */
const uint64_t kRecorded[RECORDED_KINDS][kWidthCount] = {
    /* text */
    {0x041E70A021B42B81ull, 0xF8D791D55AB6CC2Aull, 0x2A5A49F5279757B6ull, 0xD49491030B40047Bull,
     0x1AA0628AA5040D81ull, 0xF8251DE501C5C026ull, 0xBDCA8C885F030E49ull, 0x3665CEA1B335CEC7ull,
     0x35B608791FBAD772ull, 0x03296727E9A10498ull},
    /* executable */
    {0x9532B67FFB1D661Aull, 0x8BF5EA8E9A4B7F51ull, 0x262E9135A69224EAull, 0x97982C50D2733C7Bull,
     0xBC8074F2838D9792ull, 0x55E81D32328C62BEull, 0x4B2EEE4A49E8C08Eull, 0xE72552411A05811Aull,
     0x967B63B55AB6101Aull, 0x41F7C179E7BDA8F4ull},
    /* random */
    {0x33F0F6FD543CA336ull, 0x3B5EE2B59027D9E1ull, 0xC4212F56878D5144ull, 0x60B3858AACC9190Bull,
     0xC125F30B133A6B86ull, 0x024FB08A3AFA8B4Eull, 0xFD3E1A861AB11B59ull, 0xFD24A3D96688E3ADull,
     0x15C8CDEDA53E0C56ull, 0x3FCBE75F4A726218ull},
    /* run */
    {0x15C6C1CE3F5EFDF7ull, 0x312B8E8A9C9FA174ull, 0xDAB6AA1C04884F18ull, 0xCCE7EF91C96C73C7ull,
     0x112FAC4783C5815Eull, 0xBED8136A903874BDull, 0x2B03530DA57E1DA4ull, 0xA41532CF6CBEC2A3ull,
     0x95A8B4BA7A13B46Aull, 0x243423395B2AD000ull},
    /* zeros */
    {0x0FA4936036CE1D25ull, 0x6C9A88A7205E9F2Aull, 0x4294149CD77044BFull, 0x6DEE5B99EDCC3970ull,
     0xDC2F78B73CFE5991ull, 0xFD849AABAB1AEAC2ull, 0x772A6AD7DCBAB903ull, 0xF71B99E2DA622504ull,
     0x768B21B2FD322C75ull, 0xDD7A32EE1244CE57ull},
    /* phrase */
    {0x24532C6CADD52F2Cull, 0x30BC862079FEF81Dull, 0x0BA92666BABC5DC2ull, 0xADF6318A7473FDB9ull,
     0xEAECC10538C6A024ull, 0x1BDFBF05841D8696ull, 0x64BB8D985788A4A7ull, 0x76E271C68F3CA97Cull,
     0x068D29926F6B5D95ull, 0xA3BD6ACFF9B9EA43ull},
};

std::string hex64(uint64_t v)
{
    char s[24];
    snprintf(s, sizeof s, "0x%016llXull", (unsigned long long)v);
    return s;
}

class RecordedStreamsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = ws_fresh();
        ASSERT_FALSE(dir.empty());
    }
    std::string dir;
};

TEST_F(RecordedStreamsTest, EveryKindAndWidthWritesTheRecordedStream)
{
    std::string table; /* the hashes as found, to record them anew should the format change */
    bool all_same = true;
    for (int kind = 0; kind < RECORDED_KINDS; kind++) {
        const std::string data = recorded_input(kind);
        table += std::string("    /* ") + kKindNames[kind] + " */\n    {";
        for (size_t w = 0; w < kWidthCount; w++) {
            SCOPED_TRACE(std::string(kKindNames[kind]) + " at width " +
                         std::to_string(kWidths[w]));
            encode_run r = encode_through_files(dir, data, kWidths[w], [](int) { return 0u; });
            ASSERT_EQ(r.status, STATUS_OK);
            ASSERT_EQ(r.sizes.size(), 1u);
            ASSERT_EQ(reference_decode(r.joined).out, data) << "no stream of this input";
            const uint64_t got = stream_hash(r.joined);
            EXPECT_EQ(hex64(got), hex64(kRecorded[kind][w]));
            all_same = all_same && got == kRecorded[kind][w];
            table += (w == 0 ? "" : ", ") + hex64(got);
        }
        table += "},\n";
    }
    if (!all_same)
        ADD_FAILURE() << "the streams as written now:\n" << table;
}

/* The careful loop writes the codes near a full target and resumes in the next one: the
 * targets joined are the same stream. */
TEST_F(RecordedStreamsTest, SmallTargetsJoinedWriteTheRecordedStream)
{
    const size_t w13 = 5;
    ASSERT_EQ(kWidths[w13], 13u);
    for (int kind = 0; kind < RECORDED_KINDS; kind++) {
        SCOPED_TRACE(kKindNames[kind]);
        std::mt19937 gen(kind);
        encode_run r = encode_through_files(dir, recorded_input(kind), 13,
                                            [&gen](int) { return 2u + gen() % 200; });
        ASSERT_EQ(r.status, STATUS_OK);
        EXPECT_GT(r.sizes.size(), 2u);
        EXPECT_EQ(hex64(stream_hash(r.joined)), hex64(kRecorded[kind][w13]));
    }
}

} // namespace
