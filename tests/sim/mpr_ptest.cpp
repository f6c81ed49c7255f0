// WNetGetConnectionA on drives that are not network connections, as the real call answers.
#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "platform/os.h"
#include "support/conformance.h"
#include "support/workstation.h"

namespace {

const ws_difference UNASSIGNED_LETTER = {
    "WNetGetConnectionA of a letter no drive has", WS_WINE,
    "measured: Wine answers ERROR_BAD_DEVICE; Windows documents ERROR_NOT_CONNECTED for a device "
    "that is not redirected and ERROR_BAD_DEVICE for a name that is not a device"};

TEST(NetPortable, LocalDrivesAreNotConnections)
{
    std::string dir = ws_fresh(); // on the drive the tests run from
    std::string drive = dir.substr(0, 2);
    std::string lower = drive;
    lower[0] = (char)(lower[0] | 0x20);
    struct Row {
        const char *name;
        std::string local;
        DWORD on_wine, on_windows;
    } rows[] = {
        {"the scratch directory's drive", drive, ERROR_NOT_CONNECTED, ERROR_NOT_CONNECTED},
        {"the same in lower case", lower, ERROR_NOT_CONNECTED, ERROR_NOT_CONNECTED},
        {"a letter without its colon", drive.substr(0, 1), ERROR_BAD_DEVICE, ERROR_BAD_DEVICE},
        {"a letter no drive has", "Q:", ERROR_BAD_DEVICE, ERROR_NOT_CONNECTED},
    };
    for (const Row &row : rows) {
        char remote[64];
        memset(remote, '#', sizeof remote);
        DWORD length = sizeof remote;
        DWORD rc = WNetGetConnectionA(row.local.c_str(), remote, &length);
        if (row.on_wine == row.on_windows)
            EXPECT_EQ(rc, row.on_wine) << row.name;
        else if (ws_side_here(UNASSIGNED_LETTER) == WS_WINE)
            EXPECT_EQ(rc, row.on_wine) << row.name;
        else
            EXPECT_TRUE(rc == row.on_windows || rc == row.on_wine) << row.name << ": " << rc;
        EXPECT_EQ(length, (DWORD)sizeof remote) << row.name << ": the length is left alone";
        EXPECT_EQ(remote[0], '#') << row.name << ": the buffer is left alone";
    }
}

} // namespace
