/* The substituting copy on the simulation: a read error is no end, and faults lose nothing. */
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/os.h"
#include "sim/sim.h"
#include "support/fault_sweep.h"
#include "support/workstation.h"
#include "transfer/transfer.h"

namespace {

status_t echo(int32_t, int32_t, const char *token, char *buf, uint16_t, int32_t, int32_t,
              const char *, const char *)
{
    strcpy(buf, strlen(token) > 2 ? "value" : "");
    return STATUS_OK;
}

status_t substitute_copy(const std::string &from, const std::string &to)
{
    transfer_request req =
        transfer_request_make(from.c_str(), to.c_str(), &TRANSFER_MODE_SUBSTITUTING);
    req.resolver = echo;
    return transfer_run(&req);
}

TEST(SubstituteSim, AReadErrorIsNoEndOfTheFile)
{
    std::string dir = ws_fresh();
    std::string src = ws_join(dir, "in.ini"), dst = ws_join(dir, "out.ini");
    std::string text;
    for (int i = 0; text.size() < 20000; i++)
        text += "key" + std::to_string(i) + "=%HOME%\\x\r\n";
    ASSERT_TRUE(ws_write_file(src, text));
    /* The first block read succeeds, the next breaks off. */
    sim_fault(SIM_READ, 2, true, EIO);
    EXPECT_EQ(substitute_copy(src, dst), STATUS_READ_ERROR);
    sim_fault_clear();
    EXPECT_EQ(sim_open_files(), 0);
}

TEST(SubstituteSim, FaultSweepLosesNothing)
{
    std::string dir = ws_fresh();
    std::string src = ws_join(dir, "in.ini"), dst = ws_join(dir, "out.ini");
    const std::string text = "a=%HOME%\r\nb=100%%\r\n";
    ASSERT_TRUE(ws_write_file(src, text));
    for (sim_family family : {SIM_MEM, SIM_OPEN, SIM_READ, SIM_WRITE, SIM_CLOSE, SIM_STAMPS}) {
        fault_sweep(
            family, [] {}, [&] { return substitute_copy(src, dst); },
            [&](status_t rc, bool) {
                std::string again;
                EXPECT_TRUE(ws_read_file(src, &again) && again == text);
                if (rc == STATUS_OK) {
                    std::string got;
                    EXPECT_TRUE(ws_read_file(dst, &got));
                    EXPECT_EQ(got, "a=value\r\nb=100%\r\n");
                }
            });
    }
}

} // namespace
