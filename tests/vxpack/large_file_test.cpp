/* vxpack on a file past 4 GiB: zeros, so the codec runs at its fastest and the test takes
 * seconds; once, in the plain build (the sanitizers would make it minutes). */
#include "vxpack_cli_testing.h"

#include <sys/statvfs.h>

#include "lzw/bitfile.h"
#include "lzw/lzw_encoder.h"
#include "sim/sim.h"

#if defined(__SANITIZE_ADDRESS__)
#define VX_LARGE_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VX_LARGE_SANITIZED 1
#endif
#endif

namespace {

/* 4 GiB and a little: the expanded file must pass the 32-bit counters' end. */
const uint64_t LARGE_SIZE = (1ull << 32) + 12345;
const uint64_t LARGE_FREE_NEEDED = 6ull << 30;

class VxpackLargeTest : public VxpackCliTest {};

/* vxpack compress refuses a source of 4 GiB or more, so the stream is made here with the
 * encoder itself, reading the host folder as a simulated drive. */
status_t encode_host_file(const fs::path &folder, const char *source, const char *target)
{
    sim_reset();
    if (!sim_add_drive('D', DRIVE_FIXED, folder.c_str()))
        return STATUS_FAILED;
    bitfile *in = bitfile_open_read(source, "", "", "", 0);
    bitfile *out = bitfile_open_write(target, "", "", "", 1);
    lzw_encoder_state *st = lzw_encoder_state_create(13);
    status_t rc = in != NULL && out != NULL && st != NULL ? STATUS_OK : STATUS_FAILED;
    while (rc == STATUS_OK) {
        uint32_t budget = out->byte_counter + 65536;
        rc = lzw_encode(in, out, st, 13, &budget);
        if (rc == STATUS_OK && st->phase == LZW_ENCODE_NEW)
            break;
    }
    lzw_encoder_state_free(st);
    if (out != NULL && !bitfile_close(out, rc == STATUS_OK) && rc == STATUS_OK)
        rc = STATUS_WRITE_ERROR;
    if (in != NULL)
        bitfile_close(in, 0);
    sim_reset();
    return rc;
}

TEST_F(VxpackLargeTest, CompressAndExpandPast4GiBKeepEveryByte)
{
#ifdef VX_LARGE_SANITIZED
    GTEST_SKIP() << "the file past 4 GiB is expanded in the plain build only";
#endif
    struct statvfs vfs;
    ASSERT_EQ(statvfs(dir.c_str(), &vfs), 0);
    uint64_t free_bytes = (uint64_t)vfs.f_bavail * vfs.f_frsize;
    if (free_bytes < LARGE_FREE_NEEDED)
        GTEST_SKIP() << "needs 6 GiB free under " << dir << " for a file past 4 GiB; has "
                     << (free_bytes >> 20) << " MiB";

    /* A sparse source: read as zeros, it takes no room. */
    {
        std::ofstream make(dir / "BIG.BIN", std::ios::binary);
    }
    fs::resize_file(dir / "BIG.BIN", LARGE_SIZE);
    ASSERT_EQ(encode_host_file(dir, "D:\\BIG.BIN", "D:\\_BIG.BIN"), STATUS_OK);
    fs::remove(dir / "BIG.BIN");

    fs::create_directories(dir / "out");
    run_result e = run({"expand", "-o", "out", "BIG.BIN", "--quiet"});
    EXPECT_EQ(e.code, 0) << e.err;
    fs::path out = dir / "out" / "BIG.BIN";
    ASSERT_TRUE(fs::exists(out)) << e.err;
    EXPECT_EQ(fs::file_size(out), LARGE_SIZE);

    /* The bytes either side of the counters' wrap, and the very end, are zeros. */
    std::ifstream in(out, std::ios::binary);
    char tail[4096];
    for (uint64_t at : {(uint64_t)(1ull << 32) - 2048, LARGE_SIZE - (uint64_t)sizeof tail}) {
        in.seekg((std::streamoff)at);
        in.read(tail, sizeof tail);
        ASSERT_EQ(in.gcount(), (std::streamsize)sizeof tail);
        EXPECT_EQ(std::string(tail, sizeof tail), std::string(sizeof tail, '\0')) << at;
    }
    in.close();
    fs::remove(out);
    expect_no_temporaries();
}

} // namespace
