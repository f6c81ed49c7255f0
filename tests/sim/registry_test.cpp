// The simulated registry where the real one cannot be arranged: remote machines, denial, faults.
#include <gtest/gtest.h>

#include <string.h>

#include "sim/sim.h"
#include "support/workstation.h"

namespace {

class SimRegistry : public ::testing::Test {
protected:
    void SetUp() override
    {
        ws_fresh();
        sim_add_machine("SERVER1");
        sim_reg_set_text("SERVER1", HKEY_LOCAL_MACHINE, "SOFTWARE\\VORNEX", "CLIENTS_DIR_SHARE",
                         "clients");
        sim_reg_set_text("", HKEY_LOCAL_MACHINE, "SOFTWARE\\VORNEX", "CLIENTS_DIR_SHARE", "local");
    }
    // The text value below HKLM of an open root.
    static std::string read(HKEY root, const char *path, const char *name, LONG *rc)
    {
        HKEY k;
        char buf[64] = "";
        DWORD size = sizeof buf;
        *rc = RegOpenKeyExA(root, path, 0, KEY_READ, &k);
        if (*rc != 0)
            return "";
        *rc = RegQueryValueExA(k, name, NULL, NULL, (LPBYTE)buf, &size);
        RegCloseKey(k);
        return buf;
    }
};

TEST_F(SimRegistry, RemoteMachinesHaveRegistriesOfTheirOwn)
{
    struct Row {
        const char *what, *machine;
        LONG rc;
        std::string value;
        int open_keys; // while connected
    } rows[] = {
        {"remote, backslashes", "\\\\SERVER1", 0, "clients", 1},
        {"remote, bare name, other case", "server1", 0, "clients", 1},
        {"own name", "\\\\WORKSTATION", 0, "local", 0},
        {"own name, other case", "workstation", 0, "local", 0},
        {"unknown", "\\\\SERVER2", ERROR_BAD_NETPATH, "", 0},
        {"localhost is not this machine", "\\\\localhost", ERROR_BAD_NETPATH, "", 0},
    };
    for (const Row &r : rows) {
        HKEY root = (HKEY)(uintptr_t)0x77;
        EXPECT_EQ(r.rc, RegConnectRegistryA(r.machine, HKEY_LOCAL_MACHINE, &root)) << r.what;
        EXPECT_EQ(r.open_keys, sim_open_keys()) << r.what;
        if (r.rc != 0) {
            EXPECT_EQ((HKEY)(uintptr_t)0x77, root) << r.what << ": handle untouched";
            continue;
        }
        LONG rc;
        EXPECT_EQ(r.value, read(root, "SOFTWARE\\VORNEX", "CLIENTS_DIR_SHARE", &rc)) << r.what;
        EXPECT_EQ(0, rc) << r.what;
        EXPECT_EQ(0, RegCloseKey(root)) << r.what;
        EXPECT_EQ(0, sim_open_keys()) << r.what << ": every key closed";
    }
}

TEST_F(SimRegistry, A32BitProgramOn64BitWindowsReachesSoftwareThroughWow6432Node)
{
    // SetUp wrote SOFTWARE\VORNEX as stored: the 64-bit view.
    sim_set_wow64(true);
    sim_reg_set_text("", HKEY_LOCAL_MACHINE, "SOFTWARE\\Wow6432Node\\VORNEX", "CLIENTS_DIR_SHARE",
                     "32-bit");
    struct Row {
        const char *what, *path;
        REGSAM view;
        std::string value;
    } rows[] = {
        {"redirected", "SOFTWARE\\VORNEX", 0, "32-bit"},
        {"other letter case", "software\\vornex", 0, "32-bit"},
        {"asked for the 32-bit view", "SOFTWARE\\VORNEX", KEY_WOW64_32KEY, "32-bit"},
        {"asked for the 64-bit view", "SOFTWARE\\VORNEX", KEY_WOW64_64KEY, "local"},
        {"the node named outright", "SOFTWARE\\Wow6432Node\\VORNEX", 0, "32-bit"},
    };
    for (const Row &r : rows) {
        HKEY k;
        ASSERT_EQ(0, RegOpenKeyExA(HKEY_LOCAL_MACHINE, r.path, 0, KEY_READ | r.view, &k)) << r.what;
        char buf[16] = "";
        DWORD size = sizeof buf;
        EXPECT_EQ(0, RegQueryValueExA(k, "CLIENTS_DIR_SHARE", NULL, NULL, (LPBYTE)buf, &size))
            << r.what;
        EXPECT_EQ(r.value, buf) << r.what;
        // Below an open key the view is already chosen.
        HKEY sub;
        EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExA(k, "Wow6432Node", 0, KEY_READ, &sub))
            << r.what;
        RegCloseKey(k);
    }
    // Keys the program creates land in the 32-bit view; other roots and remote machines are
    // not redirected.
    HKEY k;
    ASSERT_EQ(0, RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\New", 0, NULL, 0, KEY_WRITE, NULL,
                                 &k, NULL));
    RegCloseKey(k);
    EXPECT_TRUE(sim_reg_key_exists("", HKEY_LOCAL_MACHINE, "SOFTWARE\\Wow6432Node\\New"));
    EXPECT_FALSE(sim_reg_key_exists("", HKEY_LOCAL_MACHINE, "SOFTWARE\\New"));
    ASSERT_EQ(0, RegCreateKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\New", 0, NULL, 0, KEY_WRITE, NULL,
                                 &k, NULL));
    RegCloseKey(k);
    EXPECT_TRUE(sim_reg_key_exists("", HKEY_CURRENT_USER, "SOFTWARE\\New"));
    LONG rc;
    HKEY remote;
    ASSERT_EQ(0, RegConnectRegistryA("\\\\SERVER1", HKEY_LOCAL_MACHINE, &remote));
    EXPECT_EQ("clients", read(remote, "SOFTWARE\\VORNEX", "CLIENTS_DIR_SHARE", &rc));
    RegCloseKey(remote);
    EXPECT_EQ(0, sim_open_keys());

    sim_set_wow64(false);
    EXPECT_EQ("local", read(HKEY_LOCAL_MACHINE, "SOFTWARE\\VORNEX", "CLIENTS_DIR_SHARE", &rc))
        << "one view on 32-bit Windows";
}

TEST_F(SimRegistry, UnreachableMachinesAndRemoteRoots)
{
    HKEY root = (HKEY)(uintptr_t)0x77;
    sim_set_machine_unreachable("SERVER1", ERROR_ACCESS_DENIED);
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegConnectRegistryA("\\\\SERVER1", HKEY_LOCAL_MACHINE, &root));
    EXPECT_EQ((HKEY)(uintptr_t)0x77, root);
    sim_set_machine_unreachable("SERVER1", 0);
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegConnectRegistryA("\\\\SERVER1", HKEY_CURRENT_USER, &root))
        << "a remote registry offers HKLM and HKU only";
    ASSERT_EQ(0, RegConnectRegistryA("\\\\SERVER1", HKEY_USERS, &root));
    EXPECT_EQ(0, RegCloseKey(root));
    EXPECT_FALSE(sim_reg_create_key("SERVER9", HKEY_LOCAL_MACHINE, "X")) << "machines are added";
}

TEST_F(SimRegistry, DeniedKeysAndTheirSubtrees)
{
    sim_reg_create_key("", HKEY_LOCAL_MACHINE, "SOFTWARE\\VORNEX\\Sub");
    sim_reg_deny("", HKEY_LOCAL_MACHINE, "software\\vornex");
    HKEY k;
    DWORD disp;
    for (const char *path : {"SOFTWARE\\VORNEX", "SOFTWARE\\VORNEX\\Sub"}) {
        EXPECT_EQ(ERROR_ACCESS_DENIED, RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &k))
            << path;
        EXPECT_EQ(ERROR_ACCESS_DENIED, RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, NULL, 0,
                                                       0x2001F, NULL, &k, &disp))
            << path;
    }
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\VORNEX\\New", 0,
                                                   NULL, 0, 0x2001F, NULL, &k, &disp));
    EXPECT_FALSE(sim_reg_key_exists("", HKEY_LOCAL_MACHINE, "SOFTWARE\\VORNEX\\New"));
    EXPECT_EQ(0, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_READ, &k)) << "the parent";
    RegCloseKey(k);
    EXPECT_EQ(0, sim_open_keys());
}

TEST_F(SimRegistry, CreationRecordsClassAndSecurity)
{
    SECURITY_DESCRIPTOR sd;
    memset(&sd, 0xAB, sizeof sd);
    EXPECT_FALSE(InitializeSecurityDescriptor(&sd, 2)) << "only revision 1";
    ASSERT_TRUE(InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION));
    EXPECT_TRUE(sd.Owner == NULL && sd.Group == NULL && sd.Dacl == NULL && sd.Sacl == NULL);
    SECURITY_ATTRIBUTES sa = {12, &sd, TRUE};
    HKEY k;
    DWORD disp;
    ASSERT_EQ(0, RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\New\\Deep", 0,
                                 (LPSTR) "Application Global Data", 0, 0x2001F, &sa, &k, &disp));
    RegCloseKey(k);
    sim_reg_key_facts f;
    ASSERT_TRUE(sim_reg_key_info("", HKEY_LOCAL_MACHINE, "software\\new\\deep", &f));
    EXPECT_EQ("Application Global Data", f.class_name);
    EXPECT_TRUE(f.has_security);
    EXPECT_EQ(12u, f.security_length);
    EXPECT_EQ(TRUE, f.security_inherit);
    EXPECT_EQ(1, f.descriptor_revision);
    ASSERT_EQ(0, RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\New\\Deep", 0, (LPSTR) "Other",
                                 0, 0x2001F, NULL, &k, &disp));
    RegCloseKey(k);
    ASSERT_TRUE(sim_reg_key_info("", HKEY_LOCAL_MACHINE, "SOFTWARE\\New\\Deep", &f));
    EXPECT_EQ("Application Global Data", f.class_name) << "an existing key keeps its class";
    std::vector<std::string> keys = sim_reg_keys("", HKEY_LOCAL_MACHINE);
    EXPECT_EQ((std::vector<std::string>{"SOFTWARE", "SOFTWARE\\VORNEX", "SOFTWARE\\New",
                                        "SOFTWARE\\New\\Deep"}),
              keys);
}

TEST_F(SimRegistry, HandleRightsAreChecked)
{
    HKEY rd, wr, k;
    DWORD disp;
    ASSERT_EQ(0, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\VORNEX", 0, KEY_READ, &rd));
    ASSERT_EQ(0, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\VORNEX", 0, KEY_SET_VALUE, &wr));
    EXPECT_EQ(2, sim_open_keys());
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteValueA(rd, "CLIENTS_DIR_SHARE"));
    EXPECT_EQ(ERROR_ACCESS_DENIED,
              RegCreateKeyExA(rd, "New", 0, NULL, 0, 0x2001F, NULL, &k, &disp));
    DWORD size = 0;
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegQueryValueExA(wr, "CLIENTS_DIR_SHARE", NULL, NULL, NULL,
                                                    &size));
    EXPECT_EQ(0, RegSetValueExA(wr, "X", 0, REG_EXPAND_SZ, (const BYTE *)"%A%", 4));
    EXPECT_EQ(0, RegDeleteValueA(wr, "CLIENTS_DIR_SHARE"));
    EXPECT_EQ(0, RegOpenKeyExA(rd, "", 0, KEY_READ, &k)) << "a new handle to the same key";
    EXPECT_EQ(3, sim_open_keys());
    RegCloseKey(k);
    RegCloseKey(wr);
    RegCloseKey(rd);
    DWORD type;
    std::string data;
    ASSERT_TRUE(sim_reg_get("", HKEY_LOCAL_MACHINE, "SOFTWARE\\VORNEX", "x", &type, &data));
    EXPECT_EQ((DWORD)REG_EXPAND_SZ, type);
    EXPECT_EQ(std::string("%A%\0", 4), data);
    EXPECT_FALSE(sim_reg_get("", HKEY_LOCAL_MACHINE, "SOFTWARE\\VORNEX", "CLIENTS_DIR_SHARE",
                             &type, &data));
    EXPECT_EQ(0, sim_open_keys());
    ASSERT_EQ(0, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_READ, &k));
    ws_fresh();
    EXPECT_EQ(0, sim_open_keys()) << "a reset forgets every handle";
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(k)) << "and an old one stays invalid";
}

TEST_F(SimRegistry, FaultSwitchFailsEveryRegistryCall)
{
    HKEY k = (HKEY)(uintptr_t)0x77;
    sim_fault(SIM_REGISTRY, 1, false, ERROR_PRIVILEGE_NOT_HELD);
    EXPECT_EQ(ERROR_PRIVILEGE_NOT_HELD, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0,
                                                      KEY_READ, &k));
    EXPECT_EQ(NULL, k);
    ASSERT_EQ(0, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_READ, &k)) << "transient";
    sim_fault(SIM_REGISTRY, 1, true, 0);
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegCloseKey(k)) << "the family's usual error";
    EXPECT_EQ(0, sim_open_keys()) << "a failed close still releases the handle";
    HKEY root = (HKEY)(uintptr_t)0x77;
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegConnectRegistryA("SERVER1", HKEY_LOCAL_MACHINE, &root));
    EXPECT_EQ((HKEY)(uintptr_t)0x77, root);
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegSetValueExA(HKEY_LOCAL_MACHINE, "V", 0, REG_SZ,
                                                  (const BYTE *)"x", 2));
    EXPECT_EQ(4u, sim_fault_fired(SIM_REGISTRY));
    EXPECT_FALSE(sim_reg_get("", HKEY_LOCAL_MACHINE, "", "V", NULL, NULL)) << "nothing written";
}

} // namespace

namespace {

// The records tests read instead of the trace's text: every Reg* call with what it was given.
TEST_F(SimRegistry, RecordsEveryCallWithWhatItWasGiven)
{
    HKEY remote = NULL, key = NULL;
    ASSERT_EQ(RegConnectRegistryA("\\\\SERVER1", HKEY_LOCAL_MACHINE, &remote), ERROR_SUCCESS);
    ASSERT_EQ(RegOpenKeyExA(remote, "SOFTWARE\\VORNEX", 0, KEY_READ, &key), ERROR_SUCCESS);
    char buf[4];
    DWORD size = sizeof buf;
    EXPECT_EQ(RegQueryValueExA(key, "CLIENTS_DIR_SHARE", NULL, NULL, (LPBYTE)buf, &size),
              ERROR_MORE_DATA);
    EXPECT_EQ(RegQueryValueExA(key, NULL, NULL, NULL, NULL, NULL), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegSetValueExA(key, "V", 0, REG_SZ, (const BYTE *)"ab", 3), ERROR_ACCESS_DENIED);
    RegCloseKey(key);
    RegCloseKey(remote);
    RegCloseKey(HKEY_LOCAL_MACHINE);

    struct Expect {
        const char *call;
        const char *machine, *name;
        long size;
        REGSAM access;
        LONG result;
    } expected[] = {
        {"RegConnectRegistryA", "\\\\SERVER1", "", -1, 0, ERROR_SUCCESS},
        {"RegOpenKeyExA", "", "SOFTWARE\\VORNEX", -1, KEY_READ, ERROR_SUCCESS},
        {"RegQueryValueExA", "", "CLIENTS_DIR_SHARE", 4, 0, ERROR_MORE_DATA},
        {"RegQueryValueExA", "", "", -1, 0, ERROR_FILE_NOT_FOUND},
        {"RegSetValueExA", "", "V", 3, 0, ERROR_ACCESS_DENIED},
        {"RegCloseKey", "", "", -1, 0, ERROR_SUCCESS},
        {"RegCloseKey", "", "", -1, 0, ERROR_SUCCESS},
        {"RegCloseKey", "", "", -1, 0, ERROR_SUCCESS},
    };
    const std::vector<sim_reg_call> &calls = sim_reg_calls();
    ASSERT_EQ(calls.size(), sizeof expected / sizeof expected[0]);
    for (size_t i = 0; i < calls.size(); i++) {
        const Expect &e = expected[i];
        EXPECT_EQ(calls[i].call, e.call) << i;
        EXPECT_EQ(calls[i].machine, e.machine) << i;
        EXPECT_EQ(calls[i].name, e.name) << i;
        EXPECT_EQ(calls[i].size, e.size) << i;
        EXPECT_EQ(calls[i].access, e.access) << i;
        EXPECT_EQ(calls[i].result, e.result) << i;
    }
    EXPECT_EQ(calls[0].key, HKEY_LOCAL_MACHINE);
    EXPECT_TRUE(calls[0].predefined);
    EXPECT_EQ(calls[1].key, remote);
    EXPECT_FALSE(calls[1].predefined);
    EXPECT_EQ(calls[2].key, key);
    EXPECT_TRUE(calls[7].predefined) << "the close of HKEY_LOCAL_MACHINE";
    EXPECT_EQ(sim_calls_in_family(SIM_REGISTRY), calls.size());

    ws_fresh();
    EXPECT_TRUE(sim_reg_calls().empty()) << "a reset forgets them";
}

} // namespace
