// WinExec as the real loader answers it: only an executable image starts, on the simulation and
// under Wine. (An MS-DOS program, an MZ header alone, is left out: Wine hands it to its DOS
// emulator, 64-bit Windows refuses it, and the simulation refuses it too.)
#include <gtest/gtest.h>

#include <string>

#include "platform/os.h"
#include "support/workstation.h"

namespace {

TEST(WinExecPortable, OnlyAnImageStarts)
{
    std::string dir = ws_fresh();
    ASSERT_FALSE(dir.empty());
    std::string image = ws_join(dir, "vxinst.exe");
    std::string text = ws_join(dir, "text.exe");
    ASSERT_TRUE(ws_write_file(image, ws_program_image()));
    ASSERT_TRUE(ws_write_file(text, "A stand-in for the installer, as text.\r\n"));
    struct Row {
        const char *name;
        std::string line;
        bool starts;
        UINT result; // when it does not start
        DWORD gle;
    } rows[] = {
        {"image", image + " -a b /configure", true, 0, 0},
        {"image without its extension", image.substr(0, image.size() - 4) + " /x", true, 0, 0},
        {"text file", text + " /configure", false, ERROR_BAD_FORMAT, 193},
        {"missing file", ws_join(dir, "nosuch.exe") + " a", false, ERROR_FILE_NOT_FOUND, 2},
        {"directory", dir, false, ERROR_FILE_NOT_FOUND, 2},
    };
    for (const Row &row : rows) {
        SetLastError(0);
        UINT got = WinExec(row.line.c_str(), SW_SHOWNORMAL);
        if (row.starts) {
            EXPECT_GT(got, 31u) << row.name;
        } else {
            EXPECT_EQ(got, row.result) << row.name;
            EXPECT_EQ(GetLastError(), row.gle) << row.name;
        }
    }
}

} // namespace
