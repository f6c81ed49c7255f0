// The registry calls as measured on the real ones: run on the simulation and under Wine.
#include <gtest/gtest.h>

#include <string>

#include "platform/os.h"
#include "support/workstation.h"

namespace {

const unsigned char POISON = 0xCC;

class RegistryConformance : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string dir = ws_fresh();
        ASSERT_FALSE(dir.empty());
        base = "SOFTWARE\\VxConformance\\" + dir.substr(dir.rfind('\\') + 1);
        ASSERT_TRUE(InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION));
        SECURITY_ATTRIBUTES sa = {12, &sd, TRUE};
        DWORD disp = 0;
        ASSERT_EQ(0, RegCreateKeyExA(HKEY_LOCAL_MACHINE, base.c_str(), 0,
                                     (LPSTR) "Application Global Data", 0, 0x2001F, &sa, &key,
                                     &disp));
        EXPECT_EQ((DWORD)REG_CREATED_NEW_KEY, disp);
    }
    void TearDown() override
    {
        if (key != NULL)
            RegCloseKey(key);
        ws_reg_delete_tree(base);
        ws_reg_delete_if_empty("SOFTWARE\\VxConformance");
    }
    LONG set(const char *name, DWORD type, const void *data, DWORD size)
    {
        return RegSetValueExA(key, name, 0, type, (const BYTE *)data, size);
    }
    std::string base;
    SECURITY_DESCRIPTOR sd;
    HKEY key = NULL;
};

TEST_F(RegistryConformance, CreateReportsWhetherTheKeyIsNew)
{
    HKEY k;
    DWORD disp = 0;
    ASSERT_EQ(0, RegCreateKeyExA(HKEY_LOCAL_MACHINE, base.c_str(), 0, (LPSTR) "Other", 0,
                                 0x2001F, NULL, &k, &disp));
    EXPECT_EQ((DWORD)REG_OPENED_EXISTING_KEY, disp);
    EXPECT_EQ(0, RegCloseKey(k));
    ASSERT_EQ(0, RegCreateKeyExA(key, "A\\B", 0, (LPSTR) "", 0, 0x2001F, NULL, &k, &disp));
    EXPECT_EQ((DWORD)REG_CREATED_NEW_KEY, disp) << "two missing levels at once";
    EXPECT_EQ(0, RegCloseKey(k));
    EXPECT_EQ(0, RegOpenKeyExA(key, "a\\b", 0, KEY_READ, &k));
    EXPECT_EQ(0, RegCloseKey(k));
}

TEST_F(RegistryConformance, StoredBytesFollowTheTerminatorRule)
{
    const DWORD dw = 0x12345678;
    struct Row {
        const char *what;
        DWORD type;
        const void *data;
        DWORD size;
        std::string stored;
    } rows[] = {
        {"sz with terminator", REG_SZ, "abc", 4, std::string("abc\0", 4)},
        {"sz without terminator", REG_SZ, "abc", 3, std::string("abc\0", 4)},
        {"expand_sz without terminator", REG_EXPAND_SZ, "abc", 3, std::string("abc\0", 4)},
        {"sz of one NUL", REG_SZ, "", 1, std::string("\0", 1)},
        {"sz size 0", REG_SZ, "abc", 0, ""},
        {"sz NULL size 0", REG_SZ, NULL, 0, ""},
        {"sz with two NULs", REG_SZ, "ab\0", 4, std::string("ab\0\0", 4)},
        {"multi_sz complete", REG_MULTI_SZ, "a\0bc\0", 6, std::string("a\0bc\0\0", 6)},
        {"multi_sz gains one NUL", REG_MULTI_SZ, "a\0bc", 4, std::string("a\0bc\0", 5)},
        {"binary as given", REG_BINARY, "\x01\x02\x00\x41", 4, std::string("\x01\x02\x00\x41", 4)},
        {"dword", REG_DWORD, &dw, 4, std::string("\x78\x56\x34\x12", 4)},
        {"big-endian dword", REG_DWORD_BIG_ENDIAN, "\x12\x34\x56\x78", 4,
         std::string("\x12\x34\x56\x78", 4)},
    };
    for (const Row &r : rows) {
        ASSERT_EQ(0, set(r.what, r.type, r.data, r.size)) << r.what;
        unsigned char buf[64];
        memset(buf, POISON, sizeof buf);
        DWORD type = 99, size = sizeof buf;
        ASSERT_EQ(0, RegQueryValueExA(key, r.what, NULL, &type, buf, &size)) << r.what;
        EXPECT_EQ(r.type, type) << r.what;
        EXPECT_EQ(r.stored, std::string((char *)buf, size)) << r.what;
        EXPECT_EQ(POISON, buf[size]) << r.what << ": nothing written past the data";
    }
    EXPECT_EQ(0, set("dword of 3 bytes", REG_DWORD, &dw, 3)) << "accepted";
}

TEST_F(RegistryConformance, QuerySizesAndShortBuffers)
{
    static char big[1100];
    memset(big, 'x', 1024);
    ASSERT_EQ(0, set("LONG", REG_SZ, "abcdef", 7));
    ASSERT_EQ(0, set("BIG1025", REG_SZ, big, 1025));
    ASSERT_EQ(0, set("BIG1024", REG_SZ, big + 1, 1024));
    ASSERT_EQ(0, set("DW", REG_DWORD, "\x01\x02\x03\x04", 4));
    ASSERT_EQ(0, set("EMPTY", REG_SZ, "", 0));
    struct Row {
        const char *what;
        const char *name;
        DWORD cap;
        bool null_buf;
        LONG rc;
        DWORD type, size;
    } rows[] = {
        {"cb 4 for 7 bytes", "LONG", 4, false, ERROR_MORE_DATA, REG_SZ, 7},
        {"cb 6: fits only without terminator", "LONG", 6, false, ERROR_MORE_DATA, REG_SZ, 7},
        {"cb 7: exact", "LONG", 7, false, 0, REG_SZ, 7},
        {"cb 0 with a buffer", "LONG", 0, false, ERROR_MORE_DATA, REG_SZ, 7},
        {"size query", "LONG", 0, true, 0, REG_SZ, 7},
        {"name in other case", "long", 7, false, 0, REG_SZ, 7},
        {"1025 bytes into 1024", "BIG1025", 1024, false, ERROR_MORE_DATA, REG_SZ, 1025},
        {"1024 bytes into 1024", "BIG1024", 1024, false, 0, REG_SZ, 1024},
        {"dword into 2", "DW", 2, false, ERROR_MORE_DATA, REG_DWORD, 4},
        {"stored empty", "EMPTY", 1024, false, 0, REG_SZ, 0},
        {"missing: type cleared, size kept", "NOPE", 1024, false, ERROR_FILE_NOT_FOUND, 0, 1024},
        {"unnamed never set", "", 1024, false, ERROR_FILE_NOT_FOUND, 0, 1024},
    };
    for (const Row &r : rows) {
        static unsigned char buf[1100];
        memset(buf, POISON, sizeof buf);
        DWORD type = 99, size = r.cap;
        LONG rc = RegQueryValueExA(key, r.name, NULL, &type, r.null_buf ? NULL : buf, &size);
        EXPECT_EQ(r.rc, rc) << r.what;
        EXPECT_EQ(r.type, type) << r.what;
        EXPECT_EQ(r.size, size) << r.what;
        size_t written = rc == 0 && !r.null_buf ? r.size : 0;
        for (size_t i = written; i < sizeof buf; i++)
            ASSERT_EQ(POISON, buf[i]) << r.what << ": byte " << i << " touched";
    }
    DWORD size = 0;
    EXPECT_EQ(0, RegQueryValueExA(key, "LONG", NULL, NULL, NULL, &size)) << "lpType NULL";
    EXPECT_EQ(7u, size);
}

TEST_F(RegistryConformance, UnnamedValueAndDeletion)
{
    ASSERT_EQ(0, set("", REG_SZ, "unnamed", 8));
    char buf[16];
    DWORD size = sizeof buf;
    EXPECT_EQ(0, RegQueryValueExA(key, NULL, NULL, NULL, (LPBYTE)buf, &size)) << "NULL is \"\"";
    EXPECT_STREQ("unnamed", buf);
    ASSERT_EQ(0, set("V", REG_SZ, "x", 2));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteValueA(key, "Missing"));
    EXPECT_EQ(0, RegDeleteValueA(key, "v"));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteValueA(key, "V")) << "deleted twice";
    EXPECT_EQ(0, RegDeleteValueA(key, ""));
    size = sizeof buf;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExA(key, NULL, NULL, NULL, (LPBYTE)buf, &size));
}

TEST_F(RegistryConformance, OpenPathsAndHandles)
{
    HKEY sub;
    ASSERT_EQ(0, RegCreateKeyExA(key, "Sub", 0, NULL, 0, 0x2001F, NULL, &sub, NULL));
    RegCloseKey(sub);
    struct Row {
        const char *what;
        std::string path;
        LONG rc;
    } rows[] = {
        {"as created", base + "\\Sub", 0},
        {"lower case", base + "\\sub", 0},
        {"trailing backslash", base + "\\Sub\\", 0},
        {"doubled backslash", base + "\\\\Sub", 0},
        {"leading backslash", "\\" + base, ERROR_BAD_PATHNAME},
        {"missing key", base + "\\Nope", ERROR_FILE_NOT_FOUND},
        {"missing parent", base + "\\Nope\\Sub", ERROR_FILE_NOT_FOUND},
    };
    for (const Row &r : rows) {
        HKEY k = (HKEY)(uintptr_t)0x5A5A;
        LONG rc = RegOpenKeyExA(HKEY_LOCAL_MACHINE, r.path.c_str(), 0, KEY_READ, &k);
        EXPECT_EQ(r.rc, rc) << r.what;
        if (rc == 0) {
            EXPECT_EQ(0, RegCloseKey(k)) << r.what;
        } else if (rc == ERROR_FILE_NOT_FOUND) {
            EXPECT_EQ(NULL, k) << r.what << ": the handle is cleared";
        }
    }
    HKEY k;
    EXPECT_EQ(0, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "", 0, KEY_READ, &k));
    EXPECT_EQ(HKEY_LOCAL_MACHINE, k);
    EXPECT_EQ(0, RegOpenKeyExA(HKEY_LOCAL_MACHINE, NULL, 0, KEY_READ, &k));
    EXPECT_EQ(HKEY_LOCAL_MACHINE, k);

    ASSERT_EQ(0, RegOpenKeyExA(HKEY_LOCAL_MACHINE, base.c_str(), 0, KEY_READ, &k));
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegSetValueExA(k, "W", 0, REG_SZ, (const BYTE *)"x", 2))
        << "a KEY_READ handle refuses writes";
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteValueA(k, "W")) << "and deletions";
    HKEY again;
    ASSERT_EQ(0, RegOpenKeyExA(k, "", 0, KEY_READ, &again));
    EXPECT_NE(k, again) << "no subkey of an open key: a new handle to it";
    EXPECT_EQ(0, RegCloseKey(again));
    EXPECT_EQ(0, RegCloseKey(k));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(k)) << "closed twice";
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(NULL));
    EXPECT_EQ(0, RegCloseKey(HKEY_LOCAL_MACHINE));
    EXPECT_EQ(0, RegOpenKeyExA(HKEY_LOCAL_MACHINE, base.c_str(), 0, KEY_READ, &k))
        << "HKLM keeps working after it was \"closed\"";
    RegCloseKey(k);
}

TEST_F(RegistryConformance, ConnectToThisMachineOrNone)
{
    struct Row {
        const char *what;
        const char *machine;
        LONG rc;
    } rows[] = {
        {"NULL", NULL, 0},
        {"empty", "", 0},
        {"unknown host", "\\\\NOSUCHHOST-VXCONF", ERROR_BAD_NETPATH},
        {"unknown host, no backslashes", "NOSUCHHOST-VXCONF", ERROR_BAD_NETPATH},
        {"two backslashes only", "\\\\", ERROR_BAD_NETPATH},
    };
    for (const Row &r : rows) {
        HKEY k = (HKEY)(uintptr_t)0x5A5A;
        EXPECT_EQ(r.rc, RegConnectRegistryA(r.machine, HKEY_LOCAL_MACHINE, &k)) << r.what;
        EXPECT_EQ(r.rc == 0 ? HKEY_LOCAL_MACHINE : (HKEY)(uintptr_t)0x5A5A, k)
            << r.what << ": local gives the predefined key, a failure leaves the handle";
    }
}

} // namespace
