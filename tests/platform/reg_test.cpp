/* Registry access on the simulated workstation: root names, typed values, remote registries,
 * the shared error table, and every key closed on every path. */
#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "platform/reg.h"
#include "sim/sim.h"

namespace {

const char *const PRODUCT_KEY = "SOFTWARE\\VORNEX";

int calls_named(const char *name)
{
    int n = 0;
    for (const sim_reg_call &c : sim_reg_calls())
        if (c.call == name)
            n++;
    return n;
}


struct read_result {
    status_t rc;
    char buf[REG_VALUE_CAP + 1]; /* one guard byte past the value buffer */
    uint16_t value_class;
    uint16_t size;
    int32_t expand;
};

read_result read_typed(const char *machine, const char *root, const char *subkey,
                       const char *name)
{
    read_result r;
    memset(r.buf, 0x5A, sizeof r.buf);
    r.value_class = 0x7777;
    r.size = 0x7777;
    r.expand = 0x7777;
    r.rc = reg_read_value_typed(machine, root, subkey, name, r.buf, &r.value_class, &r.size,
                                &r.expand);
    return r;
}

class RegTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        sim_reset();
        sim_add_machine("SERVER1");
    }
    void TearDown() override
    {
        EXPECT_EQ(sim_open_keys(), 0) << "a key was left open";
        for (const sim_reg_call &c : sim_reg_calls())
            EXPECT_FALSE(c.call == "RegCloseKey" && c.predefined)
                << "closed a predefined key: " << (void *)c.key;
    }
};

TEST(RegRootKey, NamesCaseFoldedWholeName)
{
    static const struct {
        const char *name;
        status_t rc;
        HKEY key;
    } rows[] = {
        {"HKEY_LOCAL_MACHINE", 0, HKEY_LOCAL_MACHINE},
        {"hkey_local_machine", 0, HKEY_LOCAL_MACHINE},
        {"HKEY_CURRENT_USER", 0, HKEY_CURRENT_USER},
        {"Hkey_Users", 0, HKEY_USERS},
        {"HKEY_CLASSES_ROOT", 0, HKEY_CLASSES_ROOT},
        {"HKEY_CURRENT_CONFIG", 60, NULL},
        {"HKEY_LOCAL_MACHINEX", 60, NULL},
        {"HKEY_LOCAL", 60, NULL},
        {"", 60, NULL},
        {NULL, 60, NULL},
    };
    for (const auto &r : rows) {
        HKEY key = (HKEY)(uintptr_t)0x1234;
        EXPECT_EQ(reg_root_key(r.name, &key), r.rc) << (r.name ? r.name : "(null)");
        EXPECT_EQ(key, r.rc == 0 ? r.key : (HKEY)(uintptr_t)0x1234)
            << (r.name ? r.name : "(null)");
    }
}

TEST_F(RegTest, TypedValuesOfEveryClass)
{
    const char multi[] = "a\0bc\0";
    const unsigned char binary[] = {0x01, 0x02, 0x00, 0x41};
    const unsigned char dword[] = {0x78, 0x56, 0x34, 0x12};
    ASSERT_TRUE(sim_reg_set_text("", HKEY_LOCAL_MACHINE, PRODUCT_KEY, "SZ", "abc"));
    ASSERT_TRUE(sim_reg_set("", HKEY_LOCAL_MACHINE, PRODUCT_KEY, "EXPAND", REG_EXPAND_SZ,
                            "%WINDIR%\\x", 11));
    ASSERT_TRUE(sim_reg_set("", HKEY_LOCAL_MACHINE, PRODUCT_KEY, "DWORD", REG_DWORD, dword, 4));
    ASSERT_TRUE(sim_reg_set("", HKEY_LOCAL_MACHINE, PRODUCT_KEY, "BIG", REG_DWORD_BIG_ENDIAN,
                            dword, 4));
    ASSERT_TRUE(sim_reg_set("", HKEY_LOCAL_MACHINE, PRODUCT_KEY, "MULTI", REG_MULTI_SZ, multi, 6));
    ASSERT_TRUE(sim_reg_set("", HKEY_LOCAL_MACHINE, PRODUCT_KEY, "BIN", REG_BINARY, binary, 4));
    ASSERT_TRUE(sim_reg_set("", HKEY_LOCAL_MACHINE, PRODUCT_KEY, "EMPTY", REG_SZ, "", 0));

    static const struct {
        const char *name;
        uint16_t value_class;
        uint16_t size;
        int32_t expand;
        const char *bytes; /* size bytes, then what follows them */
        size_t compare;
    } rows[] = {
        {"SZ", VALUE_CLASS_TEXT, 4, 0, "abc\0", 4},
        {"EXPAND", VALUE_CLASS_TEXT, 11, 1, "%WINDIR%\\x\0", 11},
        {"DWORD", VALUE_CLASS_NUMBER, 4, 0, "\x78\x56\x34\x12", 4},
        {"BIG", VALUE_CLASS_NUMBER, 4, 0, "\x78\x56\x34\x12", 4},
        {"MULTI", VALUE_CLASS_LIST, 6, 0, "a\0bc\0\0", 6},
        /* binary data is terminated after its bytes, so it also reads as text */
        {"BIN", VALUE_CLASS_TEXT, 4, 0, "\x01\x02\x00\x41\0", 5},
        {"EMPTY", VALUE_CLASS_TEXT, 0, 0, "\0", 1},
        {"sz", VALUE_CLASS_TEXT, 4, 0, "abc\0", 4},
    };
    for (const auto &r : rows) {
        read_result got = read_typed("", "HKEY_LOCAL_MACHINE", PRODUCT_KEY, r.name);
        ASSERT_EQ(got.rc, 0) << r.name;
        EXPECT_EQ(got.value_class, r.value_class) << r.name;
        EXPECT_EQ(got.size, r.size) << r.name;
        EXPECT_EQ(got.expand, r.expand) << r.name;
        EXPECT_EQ(std::string(got.buf, r.compare), std::string(r.bytes, r.compare)) << r.name;
        EXPECT_EQ((unsigned char)got.buf[REG_VALUE_CAP], 0x5A) << r.name << ": guard byte";
    }
    EXPECT_EQ(calls_named("RegConnectRegistryA"), 0) << "this machine needs no connection";
}

TEST_F(RegTest, MissingKeyOrValue)
{
    ASSERT_TRUE(sim_reg_set_text("", HKEY_LOCAL_MACHINE, PRODUCT_KEY, "SZ", "abc"));

    /* the key exists without the value: 22, buffer emptied, size and expand zeroed */
    read_result got = read_typed(NULL, "HKEY_LOCAL_MACHINE", PRODUCT_KEY, "NOPE");
    EXPECT_EQ(got.rc, 22);
    EXPECT_EQ(got.buf[0], '\0');
    EXPECT_EQ(got.size, 0);
    EXPECT_EQ(got.expand, 0);
    EXPECT_EQ(got.value_class, 0x7777) << "class is not written after a failed query";

    /* the key is missing: 22, nothing written */
    got = read_typed(NULL, "HKEY_LOCAL_MACHINE", "SOFTWARE\\NOPE", "SZ");
    EXPECT_EQ(got.rc, 22);
    EXPECT_EQ((unsigned char)got.buf[0], 0x5A);
    EXPECT_EQ(got.size, 0x7777);
    EXPECT_EQ(got.expand, 0x7777);

    /* a root name none of the four: 60 before anything is opened */
    size_t before = sim_calls().size();
    got = read_typed(NULL, "HKEY_CURRENT_CONFIG", PRODUCT_KEY, "SZ");
    EXPECT_EQ(got.rc, 60);
    EXPECT_EQ((unsigned char)got.buf[0], 0x5A);
    EXPECT_EQ(sim_calls().size(), before) << "no platform call for a bad root name";
}

TEST_F(RegTest, ValueSizesAroundTheBuffer)
{
    /* 1023 characters and the terminator fill the 1024 data bytes exactly; one more does not
     * fit and must neither overflow nor be half delivered. */
    static const struct {
        size_t chars;
        status_t rc;
    } rows[] = {{1022, 0}, {1023, 0}, {1024, 29}, {5000, 29}};
    for (const auto &r : rows) {
        sim_reset();
        sim_add_machine("SERVER1");
        std::string text(r.chars, 'v');
        ASSERT_TRUE(sim_reg_set_text("SERVER1", HKEY_LOCAL_MACHINE, PRODUCT_KEY, "LONG",
                                     text.c_str()));
        read_result got = read_typed("SERVER1", "HKEY_LOCAL_MACHINE", PRODUCT_KEY, "LONG");
        EXPECT_EQ(got.rc, r.rc) << r.chars << " characters";
        EXPECT_EQ((unsigned char)got.buf[REG_VALUE_CAP], 0x5A) << r.chars << ": guard byte";
        if (r.rc == 0) {
            EXPECT_EQ(std::string(got.buf), text) << r.chars;
            EXPECT_EQ(got.size, r.chars + 1) << r.chars;
        } else {
            EXPECT_EQ(got.buf[0], '\0') << r.chars << ": no partial value";
            EXPECT_EQ(got.size, 0) << r.chars;
        }
        EXPECT_EQ(sim_open_keys(), 0) << r.chars;
    }
}

TEST_F(RegTest, RemoteRegistryIsConnectedAndClosed)
{
    ASSERT_TRUE(sim_reg_set_text("", HKEY_LOCAL_MACHINE, PRODUCT_KEY, "CLIENTS_DIR_SHARE",
                                 "local"));
    ASSERT_TRUE(sim_reg_set_text("SERVER1", HKEY_LOCAL_MACHINE, PRODUCT_KEY,
                                 "CLIENTS_DIR_SHARE", "CLIENTS"));
    char buf[REG_VALUE_CAP];
    ASSERT_EQ(reg_read_value("SERVER1", "HKEY_LOCAL_MACHINE", PRODUCT_KEY, "CLIENTS_DIR_SHARE",
                             buf),
              0);
    EXPECT_STREQ(buf, "CLIENTS");
    EXPECT_EQ(calls_named("RegConnectRegistryA"), 1);
    for (const sim_reg_call &c : sim_reg_calls())
        if (c.call == "RegConnectRegistryA") {
            EXPECT_EQ(c.machine, "\\\\SERVER1");
            EXPECT_EQ(c.key, HKEY_LOCAL_MACHINE);
        }
    /* the subkey and the remote root */
    EXPECT_EQ(calls_named("RegCloseKey"), 2);

    ASSERT_EQ(reg_read_value("", "HKEY_LOCAL_MACHINE", PRODUCT_KEY, "CLIENTS_DIR_SHARE", buf), 0);
    EXPECT_STREQ(buf, "local");
    EXPECT_EQ(calls_named("RegConnectRegistryA"), 1) << "\"\" is this machine";
}

TEST_F(RegTest, RemoteMachineFailures)
{
    sim_add_machine("OFFLINE");
    sim_set_machine_unreachable("OFFLINE", ERROR_BAD_NETPATH);
    sim_add_machine("GUARDED");
    sim_set_machine_unreachable("GUARDED", ERROR_ACCESS_DENIED);
    static const struct {
        const char *machine;
        status_t rc;
    } rows[] = {
        {"NOSUCHHOST", 29},
        {"OFFLINE", 29},
        {"GUARDED", 27},
    };
    for (const auto &r : rows) {
        read_result got = read_typed(r.machine, "HKEY_LOCAL_MACHINE", PRODUCT_KEY, "X");
        EXPECT_EQ(got.rc, r.rc) << r.machine;
        EXPECT_EQ((unsigned char)got.buf[0], 0x5A) << r.machine;
        EXPECT_EQ(got.size, 0x7777) << r.machine;
    }
}

TEST_F(RegTest, MachineNameThatDoesNotFitIsRefused)
{
    /* two backslashes and the name must fit 512 bytes with the terminator */
    std::string fits(509, 'M');
    std::string too_long(510, 'M');
    sim_add_machine(fits.c_str());
    sim_add_machine(too_long.c_str());
    ASSERT_TRUE(sim_reg_set_text(fits.c_str(), HKEY_LOCAL_MACHINE, PRODUCT_KEY, "V", "x"));
    ASSERT_TRUE(sim_reg_set_text(too_long.c_str(), HKEY_LOCAL_MACHINE, PRODUCT_KEY, "V", "x"));

    read_result got = read_typed(fits.c_str(), "HKEY_LOCAL_MACHINE", PRODUCT_KEY, "V");
    EXPECT_EQ(got.rc, 0);
    size_t before = sim_calls().size();
    got = read_typed(too_long.c_str(), "HKEY_LOCAL_MACHINE", PRODUCT_KEY, "V");
    EXPECT_EQ(got.rc, 29);
    EXPECT_EQ(sim_calls().size(), before) << "a cut name is never tried";
}

TEST_F(RegTest, OpenRootDeliversPredefinedOrRemoteKey)
{
    HKEY key = NULL;
    ASSERT_EQ(reg_open_root(NULL, "HKEY_USERS", &key), 0);
    EXPECT_EQ(key, HKEY_USERS);
    ASSERT_EQ(reg_open_root("", "HKEY_CLASSES_ROOT", &key), 0);
    EXPECT_EQ(key, HKEY_CLASSES_ROOT);
    EXPECT_EQ(sim_open_keys(), 0);

    key = NULL;
    ASSERT_EQ(reg_open_root("SERVER1", "HKEY_LOCAL_MACHINE", &key), 0);
    EXPECT_NE(key, (HKEY)NULL);
    EXPECT_EQ(sim_open_keys(), 1) << "the caller owns the remote key";
    EXPECT_EQ(reg_close_and_map(key, ERROR_LOCK_VIOLATION), 54);
    EXPECT_EQ(reg_close_and_map(NULL, ERROR_SUCCESS), 0);
    EXPECT_EQ(reg_close_and_map(HKEY_LOCAL_MACHINE, ERROR_FILE_NOT_FOUND), 22);
}

TEST_F(RegTest, QueryOnAnOpenKeyAndEmptySubkey)
{
    ASSERT_TRUE(sim_reg_set_text("", HKEY_LOCAL_MACHINE, PRODUCT_KEY, "SZ", "abc"));
    char buf[REG_VALUE_CAP];
    uint16_t value_class = 9, size = 9;
    int32_t expand = 9;
    /* an empty subkey path reads the key itself, which is not closed */
    ASSERT_TRUE(sim_reg_set_text("", HKEY_LOCAL_MACHINE, "", "ROOTVAL", "r"));
    EXPECT_EQ(reg_query_value(HKEY_LOCAL_MACHINE, "", "ROOTVAL", buf, &value_class, &size,
                              &expand),
              0);
    EXPECT_STREQ(buf, "r");
    EXPECT_EQ(reg_query_value(HKEY_LOCAL_MACHINE, PRODUCT_KEY, "SZ", NULL, &value_class, &size,
                              &expand),
              29);
}

TEST_F(RegTest, DeniedKey)
{
    ASSERT_TRUE(sim_reg_set_text("SERVER1", HKEY_LOCAL_MACHINE, PRODUCT_KEY, "V", "x"));
    sim_reg_deny("SERVER1", HKEY_LOCAL_MACHINE, PRODUCT_KEY);
    read_result got = read_typed("SERVER1", "HKEY_LOCAL_MACHINE", PRODUCT_KEY, "V");
    EXPECT_EQ(got.rc, 27);
}

/* Fail each registry call of a remote read in turn, with each error of the table: the open,
 * connect and query failures give the mapped status, a failed close changes nothing. */
TEST_F(RegTest, FaultSweepOverEveryCallAndEveryRow)
{
    static const struct {
        DWORD error;
        status_t status;
    } rows[] = {
        {ERROR_FILE_NOT_FOUND, 22},   {ERROR_ACCESS_DENIED, 27},  {ERROR_WRITE_PROTECT, 21},
        {ERROR_SHARING_VIOLATION, 53}, {ERROR_LOCK_VIOLATION, 54}, {ERROR_PRIVILEGE_NOT_HELD, 27},
        {ERROR_BAD_NETPATH, 29},       {ERROR_MORE_DATA, 29},
    };
    for (const auto &row : rows) {
        unsigned n;
        for (n = 1; n < 20; n++) {
            sim_reset();
            sim_add_machine("SERVER1");
            ASSERT_TRUE(sim_reg_set_text("SERVER1", HKEY_LOCAL_MACHINE, PRODUCT_KEY, "V", "abc"));
            sim_fault(SIM_REGISTRY, n, false, (int)row.error);
            read_result got = read_typed("SERVER1", "HKEY_LOCAL_MACHINE", PRODUCT_KEY, "V");
            unsigned fired = sim_fault_fired(SIM_REGISTRY);
            std::string where = "error " + std::to_string(row.error) + ", call " +
                                std::to_string(n);
            if (fired == 0) {
                EXPECT_EQ(got.rc, 0) << where;
                EXPECT_STREQ(got.buf, "abc") << where;
                break;
            }
            std::string failed = n <= sim_reg_calls().size() ? sim_reg_calls()[n - 1].call : "";
            if (failed == "RegCloseKey") {
                EXPECT_EQ(got.rc, 0) << where << ": a close result counts for nothing";
                EXPECT_STREQ(got.buf, "abc") << where;
            } else {
                EXPECT_EQ(got.rc, row.status) << where << " (" << failed << ")";
                EXPECT_NE(got.rc, 0) << where;
                if (failed == "RegQueryValueExA") {
                    EXPECT_EQ(got.buf[0], '\0') << where;
                    EXPECT_EQ(got.size, 0) << where;
                }
                EXPECT_EQ(sim_open_keys(), 0) << where;
            }
        }
        EXPECT_GE(n, 4u) << "connect, open and query each failed once";
    }
}

} // namespace
