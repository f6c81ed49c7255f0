// The event-log calls as a program sees them: handles, return values and last errors. Run on
// the simulation and under Wine.
#include <gtest/gtest.h>

#include <stdint.h>

#include "platform/os.h"

namespace {

const char SOURCE[] = "Vornex Client Software Agent";

TEST(EventLogConformance, AnEventIsReportedThroughAnOpenSource)
{
    HANDLE log = RegisterEventSourceA(NULL, SOURCE);
    ASSERT_NE(log, (HANDLE)NULL);
    LPCSTR strings[] = {"27", "a text"};
    EXPECT_TRUE(ReportEventA(log, EVENTLOG_ERROR_TYPE, 0, 0, NULL, 2, 0, strings, NULL));
    EXPECT_TRUE(DeregisterEventSource(log));
}

} // namespace
