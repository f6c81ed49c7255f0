/* store_set_value on the simulation: every store, fault sweeps and rewrite crash points. */
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "platform/os.h"
#include "sim/sim.h"
#include "stores/store.h"
#include "support/workstation.h"

namespace {

const char *const kProduct = "SOFTWARE\\VORNEX";
const char *const kEnvironment = "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";
const std::string ABSENT = "<absent>";

std::string reg_value(const char *path, const char *name, DWORD *type = NULL)
{
    std::string data;
    DWORD t = 0;
    if (!sim_reg_get(NULL, HKEY_LOCAL_MACHINE, path, name, &t, &data))
        return ABSENT;
    if (type != NULL)
        *type = t;
    return data;
}

std::string file_of(const std::string &path)
{
    std::string s;
    return ws_read_file(path, &s) ? s : ABSENT;
}

std::string profile_value(const char *section, const char *key, const char *file)
{
    char buf[256];
    GetPrivateProfileStringA(section, key, "<absent>", buf, sizeof buf, file);
    return buf;
}

class StoreSetTest : public ::testing::Test {
protected:
    void SetUp() override { dir = ws_fresh(); }
    std::string dir;
};

TEST_F(StoreSetTest, RegistryStoreCreatesTheKeyAndTypesByTheRunningSystem)
{
    struct {
        const char *store;
        DWORD platform_id;
        DWORD type;
    } rows[] = {
        {"$Vornex", VER_PLATFORM_WIN32_NT, REG_EXPAND_SZ},
        {NULL, VER_PLATFORM_WIN32_NT, REG_EXPAND_SZ},
        {"", VER_PLATFORM_WIN32_NT, REG_EXPAND_SZ}, /* as the lookup selects */
        {"$VORNEX", VER_PLATFORM_WIN32_WINDOWS, REG_SZ},
    };
    for (auto &row : rows) {
        SCOPED_TRACE(row.store == NULL ? "null store" : row.store);
        ws_fresh();
        sim_set_version(row.platform_id, 4, 0);
        ASSERT_EQ(store_set_value("CLIENTS_DIR", "Y:\\", row.store, NULL, 0), STATUS_OK);
        DWORD type = 0;
        EXPECT_EQ(reg_value(kProduct, "CLIENTS_DIR", &type), std::string("Y:\\\0", 4));
        EXPECT_EQ(type, row.type);
        bool created = false;
        for (const sim_reg_call &c : sim_reg_calls()) {
            if (c.call == "RegCreateKeyExA") {
                EXPECT_EQ(c.access, (REGSAM)0x2001F);
                created = true;
            }
        }
        EXPECT_TRUE(created);
        sim_reg_key_facts facts;
        ASSERT_TRUE(sim_reg_key_info(NULL, HKEY_LOCAL_MACHINE, kProduct, &facts));
        EXPECT_EQ(facts.class_name, "Application Global Data");
        EXPECT_TRUE(facts.has_security);
        EXPECT_EQ(facts.security_length, 12u);
        EXPECT_EQ(facts.security_inherit, 1);
        EXPECT_EQ(sim_open_keys(), 0);
    }

    ASSERT_EQ(store_set_value("V", "1", "$VORNEX", "Main", 1), STATUS_OK);
    EXPECT_EQ(reg_value("SOFTWARE\\VORNEX\\Main", "V"), std::string("1\0", 2));
    ASSERT_EQ(store_set_value("CLIENTS_DIR", "", NULL, NULL, 0), STATUS_OK);
    EXPECT_EQ(reg_value(kProduct, "CLIENTS_DIR"), ABSENT);
    EXPECT_EQ(store_set_value("CLIENTS_DIR", "", NULL, NULL, 0), STATUS_OK) << "deleted twice";
}

TEST_F(StoreSetTest, RegistryErrorsGoThroughTheStoresTable)
{
    /* The table's rows are StoreGetSim.RegistryErrorTable's; here only that both of set's
     * calls reach it: a row of the table and its default. */
    struct {
        int error;
        status_t rc;
    } rows[] = {{ERROR_SHARING_VIOLATION, STATUS_SHARING_VIOLATION},
                {ERROR_NOT_ENOUGH_MEMORY, STATUS_FAILED}};
    for (auto &row : rows) {
        for (unsigned call = 1; call <= 2; call++) { /* the create, then the set */
            SCOPED_TRACE("error " + std::to_string(row.error) + " at call " +
                         std::to_string(call));
            sim_fault(SIM_REGISTRY, call, false, row.error);
            EXPECT_EQ(store_set_value("K", "v", NULL, NULL, 0), row.rc);
            sim_fault_clear();
            EXPECT_EQ(sim_open_keys(), 0);
        }
    }
}

/* That the process's two copies and the registry change is StoreEnvironmentPortable's, on both
 * platforms; here what only the simulation sees: the broadcast, and Windows 95's refusal. */
TEST_F(StoreSetTest, EnvironmentStoreTellsEveryWindowAndIsRefusedOnWindows95)
{
    ASSERT_EQ(store_set_value("VXTOOLS", "C:\\vx", "$ENV", NULL, 0), STATUS_OK);
    std::string v;
    ASSERT_EQ(sim_broadcasts().size(), 1u);
    const sim_broadcast &b = sim_broadcasts()[0];
    EXPECT_EQ(b.window, HWND_BROADCAST);
    EXPECT_EQ(b.message, (UINT)WM_WININICHANGE);
    EXPECT_EQ(b.wparam, 0u);
    EXPECT_EQ(b.text, "Environment");
    EXPECT_EQ(b.flags, (UINT)SMTO_ABORTIFHUNG);
    EXPECT_EQ(b.timeout_ms, 5000u);

    ASSERT_EQ(store_set_value("VXTOOLS", "", "$ENV", NULL, 0), STATUS_OK);
    EXPECT_EQ(sim_broadcasts().size(), 2u) << "a delete is broadcast too";

    sim_set_version(VER_PLATFORM_WIN32_WINDOWS, 4, 0);
    EXPECT_EQ(store_set_value("VXTOOLS", "x", "$ENV", NULL, 0), STATUS_FAILED);
    EXPECT_FALSE(sim_env_get("VXTOOLS", &v));
    EXPECT_FALSE(sim_reg_key_exists(NULL, HKEY_LOCAL_MACHINE, kEnvironment) &&
                 reg_value(kEnvironment, "VXTOOLS") != ABSENT);
    EXPECT_EQ(sim_broadcasts().size(), 2u);
}

TEST_F(StoreSetTest, ProfileStoresAndSelectionRefusals)
{
    ASSERT_EQ(store_set_value_for_platform("KEY", "value", NULL, NULL, 0, "windows"), STATUS_OK);
    EXPECT_EQ(profile_value("Vornex", "KEY", "win.ini"), "value");
    ASSERT_EQ(store_set_value_for_platform("", "ignored", NULL, NULL, 0, "netware"), STATUS_OK);
    EXPECT_EQ(profile_value("Vornex", "KEY", "win.ini"), "<absent>") << "section removed";
    EXPECT_EQ(store_set_value_for_platform("KEY", "x\r\nB=evil", NULL, NULL, 0, "windows"),
              STATUS_BAD_FORMAT);
    EXPECT_EQ(store_set_value_for_platform("B=evil\nKEY", "x", NULL, NULL, 0, "windows"),
              STATUS_BAD_FORMAT);
    EXPECT_EQ(profile_value("Vornex", "B", "win.ini"), "<absent>") << "nothing written";
    EXPECT_EQ(profile_value("Vornex", "KEY", "win.ini"), "<absent>") << "nothing written";

    std::string ini = ws_join(dir, "app.INI");
    ASSERT_EQ(store_set_value("A", "1", ini.c_str(), NULL, 0), STATUS_OK);
    EXPECT_EQ(profile_value("Vornex", "A", ini.c_str()), "1");
    ASSERT_EQ(store_set_value("A", "", ini.c_str(), NULL, 0), STATUS_OK);
    EXPECT_EQ(profile_value("Vornex", "A", ini.c_str()), "<absent>");
    ASSERT_TRUE(ws_write_file(ini, "[S]\r\nA=1\r\n"));
    ASSERT_EQ(crt_chmod(ini.c_str(), CRT_S_IREAD), 0);
    EXPECT_EQ(store_set_value("A", "2", ini.c_str(), "S", 0), STATUS_WRITE_ERROR);

    std::string slash = dir + "\\";
    EXPECT_EQ(store_set_value_for_platform("A", "1", NULL, NULL, 0, "mac"), STATUS_FAILED);
    EXPECT_EQ(store_set_value("A", "1", slash.c_str(), NULL, 0), STATUS_INVALID_NAME);
    EXPECT_EQ(store_set_value(NULL, "1", NULL, NULL, 0), STATUS_INVALID_NAME);
}

TEST_F(StoreSetTest, RewriteFailuresLeaveTheFileAsItWas)
{
    std::string path = ws_join(dir, "hosts.lst");
    struct {
        const char *what;
        sim_family family;
        unsigned nth;
        bool persistent;
        int error;
        status_t rc;
    } rows[] = {
        /* even an error that says "absent": the file is there */
        {"store cannot be opened", SIM_OPEN, 1, false, ENOENT, STATUS_READ_ERROR},
        {"no working copies", SIM_MEM, 1, false, 0, STATUS_NO_MEMORY},
        {"temporary file cannot be created", SIM_OPEN, 3, false, 0, STATUS_WRITE_ERROR},
        {"the store cannot be read", SIM_READ, 1, true, 0, STATUS_READ_ERROR},
        {"the temporary file loses its end", SIM_WRITE, 1, true, ENOSPC, STATUS_WRITE_ERROR},
    };
    for (auto &row : rows) {
        SCOPED_TRACE(row.what);
        ASSERT_TRUE(ws_write_file(path, "A=1\r\nB=2\r\n"));
        sim_fault(row.family, row.nth, row.persistent, row.error);
        EXPECT_EQ(store_set_value("B", "3", path.c_str(), NULL, 0), row.rc);
        EXPECT_GE(sim_fault_fired(row.family), 1u);
        sim_fault_clear();
        EXPECT_EQ(file_of(path), "A=1\r\nB=2\r\n");
        EXPECT_FALSE(ws_file_exists(ws_join(dir, "hosts.x1z")));
    }
}

/* ---- Fault sweeps over every store --------------------------------------------------------- */

struct store_case {
    const char *what;
    std::function<void()> prepare;
    std::function<status_t()> op;
    std::function<std::string()> state; /* what the store holds */
    std::string before, after;          /* its state before and after a successful op */
    bool in_place;                      /* an append whose close failed may have reached the
                                           disk all the same */
};

TEST_F(StoreSetTest, FaultSweepLeavesEveryStoreOldOrNewAndNothingOpen)
{
    const std::string kv = ws_join(dir, "hosts.lst");
    const std::string ini = ws_join(dir, "app.ini");
    const std::string lines = "A=1\r\nB=2\r\nC=3\r\n";
    auto write_kv = [=](const std::string &bytes) { return [=] { ws_write_file(kv, bytes); }; };
    const std::vector<store_case> cases = {
        {"registry", [] { sim_reg_set_text(NULL, HKEY_LOCAL_MACHINE, kProduct, "K", "old"); },
         [] { return store_set_value("K", "new", NULL, NULL, 0); },
         [] { return reg_value(kProduct, "K"); }, std::string("old\0", 4),
         std::string("new\0", 4), false},
        {"environment", [] { sim_reg_set_text(NULL, HKEY_LOCAL_MACHINE, kEnvironment, "E", "old"); },
         [] { return store_set_value("E", "new", "$ENV", NULL, 0); },
         [] { return reg_value(kEnvironment, "E"); }, std::string("old\0", 4),
         std::string("new\0", 4), false},
        {"WIN.INI", [] { WriteProfileStringA("Vornex", "K", "old"); },
         [] { return store_set_value_for_platform("K", "new", NULL, NULL, 0, "windows"); },
         [] { return profile_value("Vornex", "K", "win.ini"); }, "old", "new", false},
        {"private profile", [=] { ws_write_file(ini, "[Vornex]\r\nK=old\r\n"); },
         [=] { return store_set_value("K", "new", ini.c_str(), NULL, 0); },
         [=] { return profile_value("Vornex", "K", ini.c_str()); }, "old", "new", false},
        {"key-value change", write_kv(lines),
         [=] { return store_set_value("B", "9", kv.c_str(), NULL, 0); },
         [=] { return file_of(kv); }, lines, "A=1\r\nB=9\r\nC=3\r\n", false},
        {"key-value delete", write_kv(lines),
         [=] { return store_set_value("A", "", kv.c_str(), NULL, 0); },
         [=] { return file_of(kv); }, lines, "B=2\r\nC=3\r\n", false},
        {"key-value new file", [=] { DeleteFileA(kv.c_str()); },
         [=] { return store_set_value("K", "V", kv.c_str(), NULL, 0); },
         [=] { return file_of(kv); }, ABSENT, "K=V\r\n", false},
        {"key-value append", write_kv("A=1"),
         [=] { return store_set_value("", "line", kv.c_str(), NULL, 0); },
         [=] { return file_of(kv); }, "A=1", "A=1\r\nline\r\n", true},
    };
    const sim_family families[] = {SIM_MEM,    SIM_OPEN,   SIM_READ,     SIM_WRITE,  SIM_CLOSE,
                                   SIM_RENAME, SIM_DELETE, SIM_REGISTRY, SIM_PROFILE};
    for (const store_case &c : cases) {
        for (sim_family family : families) {
            for (int persistent = 0; persistent < 2; persistent++) {
                for (unsigned nth = 1;; nth++) {
                    SCOPED_TRACE(std::string(c.what) + ", family " + std::to_string(family) +
                                 ", call " + std::to_string(nth) + (persistent ? " on" : ""));
                    c.prepare();
                    DeleteFileA(ws_join(dir, "hosts.x1z").c_str());
                    long blocks = sim_live_blocks();
                    sim_fault(family, nth, persistent != 0, 0);
                    status_t rc = c.op();
                    bool fired = sim_fault_fired(family) > 0;
                    sim_fault_clear();
                    EXPECT_EQ(sim_open_files(), 0);
                    EXPECT_EQ(sim_open_keys(), 0);
                    EXPECT_EQ(sim_live_blocks(), blocks);
                    std::string state = c.state();
                    if (rc != STATUS_OK && c.in_place && state == c.after)
                        state = c.before;
                    EXPECT_EQ(state, rc == STATUS_OK ? c.after : c.before) << "status " << rc;
                    const status_t documented[] = {0, 5, 20, 21, 22, 27, 29, 53, 54};
                    EXPECT_EQ(std::count(std::begin(documented), std::end(documented), rc), 1)
                        << "status " << rc;
                    if (!fired) {
                        EXPECT_EQ(rc, STATUS_OK);
                        break;
                    }
                    ASSERT_LT(nth, 100u);
                }
            }
        }
    }
}

/* ---- Crash points through a rewrite -------------------------------------------------------- */

TEST_F(StoreSetTest, CrashAtAnyPointOfARewriteLeavesTheOldOrTheNewFile)
{
    const std::string kv = ws_join(dir, "hosts.lst");
    const std::string temp = ws_join(dir, "hosts.x1z");
    std::string lines;
    for (int i = 0; i < 3000; i++) /* a file of several buffers */
        lines += "KEY" + std::to_string(i) + "=value " + std::to_string(i) + "\r\n";
    struct {
        const char *what;
        std::string before;
        const char *name;
        const char *value;
        std::string after;
    } rows[] = {
        {"change", lines, "KEY1500", "x", lines},
        {"delete", lines, "KEY0", "", lines.substr(lines.find('\n') + 1)},
        {"add", lines, "NEW", "y", lines + "NEW=y\r\n"},
        {"new file", ABSENT, "K", "V", "K=V\r\n"},
    };
    size_t at = lines.find("KEY1500=") + 8;
    rows[0].after = lines.substr(0, at) + "x" + lines.substr(lines.find('\r', at));

    for (auto &row : rows) {
        for (unsigned k = 1;; k++) {
            SCOPED_TRACE(std::string(row.what) + ", crash after " + std::to_string(k));
            DeleteFileA(kv.c_str());
            DeleteFileA(temp.c_str());
            if (row.before != ABSENT) {
                ASSERT_TRUE(ws_write_file(kv, row.before));
            }
            sim_crash_after(k);
            status_t rc = store_set_value(row.name, row.value, kv.c_str(), NULL, 0);
            sim_crash_after(0);
            std::string state = file_of(kv);
            ASSERT_TRUE(state == row.before || state == row.after) << "status " << rc;
            EXPECT_EQ(rc == STATUS_OK, state == row.after) << "status " << rc;
            EXPECT_EQ(sim_open_files(), 0);

            /* The next update after the crash, with whatever it left (a stale temporary file
             * included), loses nothing. */
            ASSERT_EQ(store_set_value("LATER", "z", kv.c_str(), NULL, 0), STATUS_OK);
            EXPECT_TRUE(file_of(kv) == state + "LATER=z\r\n" ||
                        (state == ABSENT && file_of(kv) == "LATER=z\r\n"));
            if (rc == STATUS_OK)
                break;
            ASSERT_LT(k, 200u);
        }
    }
}

/* A file larger than the runtime's buffers: the temporary file's writes fail while lines are
 * still being copied (before, at and after the matching line), not only at its close. */
TEST_F(StoreSetTest, WriteFailuresInTheMiddleOfARewriteLeaveTheFileAsItWas)
{
    const std::string kv = ws_join(dir, "hosts.lst");
    std::string lines;
    for (int i = 0; i < 3000; i++)
        lines += "KEY" + std::to_string(i) + "=value " + std::to_string(i) + "\r\n";
    struct {
        const char *what;
        const char *name;
        const char *value;
    } rows[] = {
        {"change near the end: copying the lines before it", "KEY2999", "x"},
        {"change at the start: copying the lines after it", "KEY0", "x"},
        {"delete in the middle", "KEY1500", ""},
        {"add: copying every line", "NEW", "y"},
    };
    for (auto &row : rows) {
        for (unsigned nth = 1; nth <= 3; nth++) {
            SCOPED_TRACE(std::string(row.what) + ", write " + std::to_string(nth));
            ASSERT_TRUE(ws_write_file(kv, lines));
            sim_fault(SIM_WRITE, nth, true, ENOSPC);
            EXPECT_EQ(store_set_value(row.name, row.value, kv.c_str(), NULL, 0),
                      STATUS_WRITE_ERROR);
            EXPECT_GE(sim_fault_fired(SIM_WRITE), 1u);
            sim_fault_clear();
            EXPECT_EQ(file_of(kv), lines);
            EXPECT_FALSE(ws_file_exists(ws_join(dir, "hosts.x1z")));
            EXPECT_EQ(sim_open_files(), 0);
        }
    }
}

} // namespace
