// Value lookup in the registry stores and WIN.INI on the simulated workstation, the stores'
// registry table, the running platform, and the release of keys, files and heap blocks when
// calls fail.
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "sim/sim.h"
#include "stores/store.h"
#include "support/workstation.h"

namespace {

const char POISON = (char)0xA5;
const char *const PRODUCT = "SOFTWARE\\VORNEX";
const char *const ENVIRONMENT = "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";

struct Got {
    status_t rc;
    std::vector<char> bytes; // the whole buffer, without the guard byte
    std::string text() const { return std::string(bytes.data(), strnlen(bytes.data(), bytes.size())); }
};

class StoreGetSim : public ::testing::Test {
protected:
    std::string dir;
    void SetUp() override
    {
        dir = ws_fresh();
        ASSERT_FALSE(dir.empty());
    }
    void TearDown() override
    {
        EXPECT_EQ(0, sim_open_keys()) << "every opened key is closed";
        EXPECT_EQ(0, sim_open_files()) << "every opened file is closed";
        EXPECT_EQ(0, sim_live_blocks()) << "every heap block is released";
        sim_fault_clear();
    }
    Got get(const char *name, const char *store, const char *section, uint16_t size,
            int32_t use_subkey = 0, const char *platform = "win32")
    {
        std::string n = name;
        std::vector<char> nbuf(n.begin(), n.end());
        nbuf.push_back('\0');
        std::vector<char> buf((size_t)size + 1, POISON);
        Got g;
        g.rc = store_get_value_for_platform(nbuf.data(), store, section, buf.data(), size,
                                            use_subkey, platform);
        EXPECT_EQ(POISON, buf[size]) << "guard byte after the " << size << "-byte buffer, "
                                     << name;
        g.bytes.assign(buf.begin(), buf.end() - 1);
        return g;
    }
    bool reg_calls_made() { return !sim_reg_calls().empty(); }
};

TEST_F(StoreGetSim, ProductKeyByEveryStoreName)
{
    ASSERT_TRUE(sim_reg_set_text("", HKEY_LOCAL_MACHINE, PRODUCT, "TIMESTAMP", "3.2.2.0"));
    struct Row {
        const char *desc;
        const char *store;
        const char *platform;
    } rows[] = {
        {"$vornex", "$vornex", "win32"},
        {"$VORNEX", "$VORNEX", "nt"},
        {"null store", NULL, "win32"},
        {"empty store", "", "win95"},
    };
    for (const Row &r : rows) {
        Got g = get("TIMESTAMP", r.store, NULL, 1024, 0, r.platform);
        EXPECT_EQ(STATUS_OK, g.rc) << r.desc;
        EXPECT_EQ("3.2.2.0", g.text()) << r.desc;
    }
    char name[] = "TIMESTAMP";
    char buf[STORE_VALUE_CAP];
    EXPECT_EQ(STATUS_OK, store_get_value(name, "$Vornex", NULL, buf, sizeof buf, 0));
    EXPECT_STREQ("3.2.2.0", buf);
}

TEST_F(StoreGetSim, MissingAndEmptyRegistryValues)
{
    ASSERT_TRUE(sim_reg_set_text("", HKEY_LOCAL_MACHINE, PRODUCT, "EMPTY", ""));
    ASSERT_TRUE(sim_reg_set("", HKEY_LOCAL_MACHINE, PRODUCT, "ZERO", REG_SZ, "", 0));
    Got g = get("MISSING", "$VORNEX", NULL, 1024);
    EXPECT_EQ(STATUS_NOT_FOUND, g.rc) << "a missing registry value is 22, not 6";
    g = get("EMPTY", "$VORNEX", NULL, 1024);
    EXPECT_EQ(STATUS_OK, g.rc);
    EXPECT_EQ("", g.text());
    g = get("ZERO", "$VORNEX", NULL, 1024);
    EXPECT_EQ(STATUS_OK, g.rc) << "a value stored with no bytes at all";
    EXPECT_EQ('\0', g.bytes[0]);
    EXPECT_EQ(STATUS_NOT_FOUND, get("TIMESTAMP", "$VORNEX", "Main", 1024, 1).rc)
        << "a missing subkey";
}

TEST_F(StoreGetSim, SubkeyOnlyWithFlagAndSection)
{
    ASSERT_TRUE(sim_reg_set_text("", HKEY_LOCAL_MACHINE, PRODUCT, "V", "top"));
    ASSERT_TRUE(sim_reg_set_text("", HKEY_LOCAL_MACHINE, "SOFTWARE\\VORNEX\\Main", "V", "main"));
    struct Row {
        const char *section;
        int32_t use_subkey;
        const char *value;
    } rows[] = {{"Main", 1, "main"}, {NULL, 1, "top"}, {"", 1, "top"}, {"Main", 0, "top"}};
    for (const Row &r : rows) {
        Got g = get("V", NULL, r.section, 64, r.use_subkey);
        EXPECT_EQ(STATUS_OK, g.rc);
        EXPECT_EQ(r.value, g.text()) << (r.section ? r.section : "(null)") << " flag "
                                     << r.use_subkey;
    }
    // A subkey name too long for a key path is refused before the registry is asked.
    std::string huge(400, 's');
    EXPECT_EQ(STATUS_FAILED, get("V", NULL, huge.c_str(), 64, 1).rc);
}

TEST_F(StoreGetSim, EnvironmentStore)
{
    ASSERT_TRUE(sim_reg_set("", HKEY_LOCAL_MACHINE, ENVIRONMENT, "PATH", REG_EXPAND_SZ,
                            "%SystemRoot%\\system32", 22));
    for (const char *store : {"$ENV", "$", "$anything"}) {
        Got g = get("PATH", store, "ignored", 1024, 1, "nt");
        EXPECT_EQ(STATUS_OK, g.rc) << store;
        EXPECT_EQ("%SystemRoot%\\system32", g.text()) << store;
    }
    sim_reset();
    EXPECT_EQ(STATUS_FAILED, get("PATH", "$ENV", NULL, 1024, 0, "win95").rc);
    EXPECT_FALSE(reg_calls_made()) << "win95 has no environment store: no registry access";
}

TEST_F(StoreGetSim, UnnamedValueAndOtherTypes)
{
    ASSERT_TRUE(sim_reg_set_text("", HKEY_LOCAL_MACHINE, PRODUCT, "", "default"));
    const unsigned char dword[4] = {0x78, 0x56, 0x34, 0x12};
    ASSERT_TRUE(sim_reg_set("", HKEY_LOCAL_MACHINE, PRODUCT, "N", REG_DWORD, dword, 4));
    ASSERT_TRUE(sim_reg_set("", HKEY_LOCAL_MACHINE, PRODUCT, "RAW", REG_SZ, "abc", 3));
    Got g = get("", "$VORNEX", NULL, 64);
    EXPECT_EQ(STATUS_OK, g.rc);
    EXPECT_EQ("default", g.text()) << "an empty name reads the key's unnamed value";
    g = get("N", "$VORNEX", NULL, 64);
    EXPECT_EQ(STATUS_OK, g.rc);
    EXPECT_EQ(0, memcmp(g.bytes.data(), "\x78\x56\x34\x12\0", 5)) << "data as stored, then a terminator";
    g = get("RAW", "$VORNEX", NULL, 64);
    EXPECT_EQ(STATUS_OK, g.rc);
    EXPECT_EQ("abc", g.text()) << "data stored without terminator gains one";
}

// The terminator needs its byte: size - 1 bytes of data fit, size do not.
TEST_F(StoreGetSim, RegistryValueSizes)
{
    struct Row {
        size_t chars; // a REG_SZ of this many characters and its terminator
        uint16_t size;
        status_t rc;
    } rows[] = {
        {1022, 1024, STATUS_OK},    {1023, 1024, STATUS_FAILED}, {1023, 1025, STATUS_OK},
        {1024, 1025, STATUS_FAILED}, {258, 260, STATUS_OK},      {259, 260, STATUS_FAILED},
        {0, 1, STATUS_FAILED},       // the stored terminator alone does not fit 0 bytes
    };
    for (const Row &r : rows) {
        std::string v(r.chars, 'v');
        ASSERT_TRUE(sim_reg_set_text("", HKEY_LOCAL_MACHINE, PRODUCT, "BIG", v.c_str()));
        Got g = get("BIG", "$VORNEX", NULL, r.size);
        EXPECT_EQ(r.rc, g.rc) << r.chars << " characters in " << r.size << " bytes";
        if (r.rc == STATUS_OK) {
            EXPECT_EQ(v, g.text());
        }
    }
}

TEST_F(StoreGetSim, RegistryErrorTable)
{
    struct Row {
        LONG error;
        status_t status;
    } rows[] = {
        {ERROR_FILE_NOT_FOUND, STATUS_NOT_FOUND},
        {ERROR_ACCESS_DENIED, STATUS_ACCESS_DENIED},
        {ERROR_WRITE_PROTECT, STATUS_WRITE_ERROR},
        {ERROR_SHARING_VIOLATION, STATUS_SHARING_VIOLATION},
        {ERROR_LOCK_VIOLATION, STATUS_LOCK_VIOLATION},
        {ERROR_MORE_DATA, STATUS_FAILED},
        {ERROR_DISK_OPERATION_FAILED, STATUS_FAILED},
        {ERROR_PRIVILEGE_NOT_HELD, STATUS_FAILED},
        {ERROR_INVALID_HANDLE, STATUS_FAILED},
    };
    // The open (call 1) and the query (call 2) each failing.
    ASSERT_TRUE(sim_reg_set_text("", HKEY_LOCAL_MACHINE, PRODUCT, "V", "x"));
    for (unsigned nth : {1u, 2u}) {
        for (const Row &r : rows) {
            sim_fault(SIM_REGISTRY, nth, false, (int)r.error);
            EXPECT_EQ(r.status, get("V", "$VORNEX", NULL, 64).rc)
                << "call " << nth << " fails with " << r.error;
            sim_fault_clear();
            EXPECT_EQ(0, sim_open_keys()) << "call " << nth << ", error " << r.error;
        }
    }
    sim_reg_deny("", HKEY_LOCAL_MACHINE, PRODUCT);
    EXPECT_EQ(STATUS_ACCESS_DENIED, get("V", "$VORNEX", NULL, 64).rc);
}

TEST_F(StoreGetSim, WinIni)
{
    std::string win_ini = "C:\\WINDOWS\\win.ini";
    ASSERT_TRUE(ws_write_file(win_ini, "[mail]\r\nmapi=1\r\n[Vornex]\r\nKEY=value\r\n"
                                       "Empty=\r\nSpaced=  x  \r\n"));
    struct Row {
        const char *name;
        const char *section;
        status_t rc;
        const char *value;
    } rows[] = {
        {"KEY", NULL, STATUS_OK, "value"},
        {"key", "mail", STATUS_OK, "value"}, // the section is always "Vornex"
        {"Spaced", NULL, STATUS_OK, "x"},
        {"Empty", NULL, STATUS_VALUE_ABSENT, ""},
        {"mapi", NULL, STATUS_VALUE_ABSENT, ""},
    };
    for (const Row &r : rows) {
        Got g = get(r.name, NULL, r.section, 1024, 0, "windows");
        EXPECT_EQ(r.rc, g.rc) << r.name;
        if (r.rc == STATUS_OK) {
            EXPECT_EQ(r.value, g.text()) << r.name;
        }
    }
    EXPECT_EQ(STATUS_OK, get("KEY", "", NULL, 1024, 0, "netware").rc) << "empty store: WIN.INI";

    // Key list "KEY\0Empty\0Spaced\0\0" is 18 bytes.
    Got list = get("", NULL, NULL, 64, 0, "windows");
    EXPECT_EQ(STATUS_OK, list.rc);
    EXPECT_EQ(0, memcmp(list.bytes.data(), "KEY\0Empty\0Spaced\0\0", 18));
    struct Size {
        uint16_t size;
        status_t rc;
    } sizes[] = {{20, STATUS_OK}, {19, STATUS_LIST_TRUNCATED}, {18, STATUS_LIST_TRUNCATED},
                 {6, STATUS_LIST_TRUNCATED}};
    for (const Size &s : sizes)
        EXPECT_EQ(s.rc, get("", NULL, NULL, s.size, 0, "windows").rc) << "size " << s.size;

    ASSERT_TRUE(ws_write_file(win_ini, "[mail]\r\nmapi=1\r\n"));
    EXPECT_EQ(STATUS_VALUE_ABSENT, get("", NULL, NULL, 64, 0, "windows").rc) << "empty list";
    EXPECT_EQ(STATUS_READ_ERROR, get("KEY", "$VORNEX", NULL, 64, 0, "windows").rc)
        << "on 16-bit Windows $VORNEX is a file name";
}

TEST_F(StoreGetSim, RunningPlatform)
{
    sim_set_version(VER_PLATFORM_WIN32_NT, 6, 1);
    EXPECT_STREQ("nt", store_running_platform());
    sim_set_version(VER_PLATFORM_WIN32_WINDOWS, 4, 0);
    EXPECT_STREQ("win95", store_running_platform());
    sim_set_version(VER_PLATFORM_WIN32s, 3, 1);
    EXPECT_EQ(nullptr, store_running_platform());
    sim_set_version(VER_PLATFORM_WIN32_NT, 6, 1);
    sim_set_version_fails(true);
    EXPECT_EQ(nullptr, store_running_platform());
}

// Key-value files: every failure of a platform call gives its status and releases the file
// and the heap blocks (checked in TearDown).
TEST_F(StoreGetSim, KeyValueFaults)
{
    std::string lst = ws_join(dir, "hosts.lst");
    ASSERT_TRUE(ws_write_file(lst, "A=1\r\nB=2\r\n"));
    struct Row {
        const char *desc;
        sim_family family;
        unsigned nth;
        const char *name;
        status_t rc;
    } rows[] = {
        {"no memory for the raw copy", SIM_MEM, 1, "B", STATUS_NO_MEMORY},
        {"no memory for the list's key buffer", SIM_MEM, 2, "", STATUS_NO_MEMORY},
        {"the file cannot be opened", SIM_OPEN, 1, "B", STATUS_READ_ERROR},
        {"a read error", SIM_READ, 1, "B", STATUS_FAILED},
        {"a read error in a list", SIM_READ, 1, "", STATUS_FAILED},
    };
    for (const Row &r : rows) {
        sim_fault(r.family, r.nth, true, 0);
        EXPECT_EQ(r.rc, get(r.name, lst.c_str(), "=", 1024).rc) << r.desc;
        EXPECT_GE(sim_fault_fired(r.family), 1u) << r.desc;
        sim_fault_clear();
        EXPECT_EQ(0, sim_open_files()) << r.desc;
        EXPECT_EQ(0, sim_live_blocks()) << r.desc;
    }
}

// A read error after some lines were read: a long file, failing at a later buffer fill.
TEST_F(StoreGetSim, KeyValueReadErrorMidFile)
{
    std::string lines;
    for (int i = 0; i < 20000; i++)
        lines += "K" + std::to_string(i) + "=v\r\n";
    std::string lst = ws_join(dir, "big.lst");
    ASSERT_TRUE(ws_write_file(lst, lines));
    EXPECT_EQ(STATUS_OK, get("K19999", lst.c_str(), "=", 1024).rc);
    sim_fault(SIM_READ, 2, true, 0);
    EXPECT_EQ(STATUS_FAILED, get("K19999", lst.c_str(), "=", 1024).rc)
        << "not 6: the file was not read to its end";
    EXPECT_GE(sim_fault_fired(SIM_READ), 1u);
    sim_fault_clear();
    sim_fault(SIM_READ, 2, true, 0);
    EXPECT_EQ(STATUS_FAILED, get("", lst.c_str(), "=", 65535).rc);
}

} // namespace
