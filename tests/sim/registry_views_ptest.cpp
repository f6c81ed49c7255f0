// The registry's two views: a 32-bit program on 64-bit Windows (as under Wine's 64-bit prefix)
// reaches HKEY_LOCAL_MACHINE\SOFTWARE through SOFTWARE\Wow6432Node; elsewhere there is one view.
#include <gtest/gtest.h>

#include <string>

#include "platform/os.h"
#include "support/workstation.h"

namespace {

const char KEY[] = "SOFTWARE\\VxViewTest";
const char REDIRECTED[] = "SOFTWARE\\Wow6432Node\\VxViewTest";

// Create the key in a view and give it V = text.
bool put(const char *path, REGSAM view, const char *text)
{
    HKEY k;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, NULL, REG_OPTION_NON_VOLATILE,
                        KEY_READ | KEY_WRITE | view, NULL, &k, NULL) != ERROR_SUCCESS)
        return false;
    LONG rc = RegSetValueExA(k, "V", 0, REG_SZ, (const BYTE *)text, (DWORD)strlen(text) + 1);
    RegCloseKey(k);
    return rc == ERROR_SUCCESS;
}

// V of the key in a view, or how it failed.
std::string get(const char *path, REGSAM view)
{
    HKEY k;
    LONG rc = RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ | view, &k);
    if (rc != ERROR_SUCCESS)
        return "error " + std::to_string(rc);
    char buf[32] = "";
    DWORD size = sizeof buf;
    rc = RegQueryValueExA(k, "V", NULL, NULL, (BYTE *)buf, &size);
    RegCloseKey(k);
    return rc == ERROR_SUCCESS ? std::string(buf) : "error " + std::to_string(rc);
}

class RegistryViewsPortable : public ::testing::Test {
protected:
    void SetUp() override { ws_fresh(); }
    void TearDown() override
    {
        ws_reg_delete_tree(KEY, true);
        ws_reg_delete_tree(KEY);
    }
};

TEST_F(RegistryViewsPortable, SettingsOfThe64BitViewAndOfTheProgramsOwn)
{
    // As a 64-bit registry editor writes them.
    ASSERT_TRUE(put(KEY, KEY_WOW64_64KEY, "64-bit"));
    if (!ws_wow64()) {
        EXPECT_EQ(get(KEY, 0), "64-bit") << "one view";
        return;
    }
    EXPECT_EQ(get(KEY, 0), "error 2") << "the 32-bit view does not see the 64-bit one";
    ASSERT_TRUE(put(KEY, 0, "32-bit"));
    EXPECT_EQ(get(KEY, 0), "32-bit");
    EXPECT_EQ(get(KEY, KEY_WOW64_64KEY), "64-bit") << "the 64-bit view keeps its own";
    EXPECT_EQ(get(REDIRECTED, KEY_WOW64_64KEY), "32-bit") << "where the 32-bit view keeps it";
    ws_reg_delete_tree(REDIRECTED, true);
}

} // namespace
