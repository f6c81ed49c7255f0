// The simulated event log: what it keeps, and the handles Windows refuses. (Wine accepts any
// handle in ReportEventA and DeregisterEventSource, so these checks cannot run under it.)
#include <gtest/gtest.h>

#include <stdint.h>

#include "sim/sim.h"

namespace {

TEST(SimEventLog, ABadHandleIsRefused)
{
    LPCSTR strings[] = {"x"};
    HANDLE bogus = (HANDLE)(uintptr_t)0x7ff0;
    SetLastError(0xDEAD);
    EXPECT_FALSE(ReportEventA(NULL, EVENTLOG_ERROR_TYPE, 0, 0, NULL, 1, 0, strings, NULL));
    EXPECT_EQ((DWORD)ERROR_INVALID_HANDLE, GetLastError());
    SetLastError(0xDEAD);
    EXPECT_FALSE(DeregisterEventSource(bogus));
    EXPECT_EQ((DWORD)ERROR_INVALID_HANDLE, GetLastError());
}

TEST(SimEventLog, KeepsEachEventWithItsSourceAndStrings)
{
    sim_reset();
    HANDLE log = RegisterEventSourceA(NULL, "Source");
    ASSERT_NE(log, (HANDLE)NULL);
    LPCSTR strings[] = {"27", "text"};
    EXPECT_TRUE(ReportEventA(log, EVENTLOG_ERROR_TYPE, 0, 5, NULL, 2, 0, strings, NULL));
    EXPECT_TRUE(DeregisterEventSource(log));
    SetLastError(0);
    EXPECT_FALSE(ReportEventA(log, EVENTLOG_ERROR_TYPE, 0, 5, NULL, 2, 0, strings, NULL))
        << "a closed source";
    EXPECT_EQ((DWORD)ERROR_INVALID_HANDLE, GetLastError());
    ASSERT_EQ(sim_events().size(), 1u);
    EXPECT_EQ(sim_events()[0].source, "Source");
    EXPECT_EQ(sim_events()[0].id, 5u);
    EXPECT_EQ(sim_events()[0].strings, (std::vector<std::string>{"27", "text"}));
    SetLastError(0);
    EXPECT_EQ(RegisterEventSourceA("\\\\FAR", "Source"), (HANDLE)NULL);
    EXPECT_EQ((DWORD)RPC_S_SERVER_UNAVAILABLE, GetLastError());
    sim_reset();
}

} // namespace
