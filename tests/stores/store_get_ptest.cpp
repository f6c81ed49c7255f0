// Value lookup in key-value files and private profile files, and the store selection rules that
// need no registry.
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "platform/os.h"
#include "stores/store.h"
#include "support/workstation.h"

namespace {

const char POISON = (char)0xA5;

class StoreGetFile : public ::testing::Test {
protected:
    std::string dir;
    void SetUp() override
    {
        dir = ws_fresh();
        ASSERT_FALSE(dir.empty());
    }
    std::string file(const std::string &name, const std::string &bytes)
    {
        std::string path = ws_join(dir, name);
        EXPECT_TRUE(ws_write_file(path, bytes));
        return path;
    }
};

struct Result {
    status_t rc;
    std::string text; // up to the first terminator
    std::vector<char> bytes;
};

// One lookup into a poisoned buffer of size bytes with a guard byte after it.
Result get(const std::string &name, const char *store, const char *section, uint16_t size,
           const char *platform = "win32", std::string *name_after = nullptr)
{
    std::vector<char> n(name.begin(), name.end());
    n.push_back('\0');
    std::vector<char> buf((size_t)size + 1, POISON);
    Result r;
    r.rc = store_get_value_for_platform(n.data(), store, section, buf.data(), size, 0, platform);
    EXPECT_EQ(POISON, buf[size]) << "guard byte after the " << size << "-byte buffer, name "
                                 << name;
    if (r.rc == STATUS_OK && size > 0)
        r.text.assign(buf.data(), strnlen(buf.data(), size));
    r.bytes.assign(buf.begin(), buf.end() - 1);
    if (name_after != nullptr)
        *name_after = n.data();
    return r;
}

// The key list as names, read up to the empty name that ends it.
std::vector<std::string> names(const Result &r)
{
    std::vector<std::string> out;
    size_t i = 0;
    while (i < r.bytes.size() && r.bytes[i] != '\0') {
        std::string name(&r.bytes[i], strnlen(&r.bytes[i], r.bytes.size() - i));
        out.push_back(name);
        i += name.size() + 1;
    }
    return out;
}

TEST_F(StoreGetFile, KeyValueLookups)
{
    std::string lst = file("hosts.lst", "A=1\r\nB=\r\nE=3\r\nA=2\r\nFLAG\r\nLAST");
    struct Row {
        const char *name;
        status_t rc;
        const char *value;
    } rows[] = {
        {"A", STATUS_OK, "1"}, // the first line of a key counts
        {"a", STATUS_OK, "1"},
        {"B", STATUS_OK, ""},
        {"E", STATUS_OK, "3"},
        {"D", STATUS_VALUE_ABSENT, ""},
        {"FLAG", STATUS_OK, ""},
        {"LAST", STATUS_OK, ""}, // no separator and no line end: still a key
        {"LAS", STATUS_VALUE_ABSENT, ""},
    };
    for (const Row &row : rows) {
        Result r = get(row.name, lst.c_str(), "=", 1024);
        EXPECT_EQ(row.rc, r.rc) << row.name;
        if (row.rc == STATUS_OK) {
            EXPECT_EQ(row.value, r.text) << row.name;
        }
    }
    // The same through the build platform's entry point, and with the default spec.
    char name[] = "E";
    char buf[16];
    EXPECT_EQ(STATUS_OK, store_get_value(name, lst.c_str(), NULL, buf, sizeof buf, 0));
    EXPECT_STREQ("3", buf);
}

TEST_F(StoreGetFile, KeyValueKeyList)
{
    std::string lst = file("hosts.lst", "A=1\r\nB=\r\nE=3\r\n");
    Result r = get("", lst.c_str(), "=", 1024);
    ASSERT_EQ(STATUS_OK, r.rc);
    EXPECT_EQ(0, memcmp(r.bytes.data(), "A\0E\0\0\0", 6)) << "each key, then two terminators";
    EXPECT_EQ(POISON, r.bytes[6]);

    struct Row {
        const char *desc;
        std::string bytes;
        const char *spec;
        std::vector<std::string> keys;
    } rows[] = {
        {"duplicates listed as often as they occur", "A=1\nA=2\nB=x\n", "=", {"A", "A", "B"}},
        {"empty lines and lines without value dropped", "\r\nX\r\nY=\r\nZ=z\r\n", "=", {"Z"}},
        {"last line without separator or line end", "A=1\nTAIL", "=", {"A"}},
        {"last line without line end", "A=1\nB=2", "=", {"A", "B"}},
        {"blanks of keys and values dropped", " K 1 = v \n K2 =   \n", " = ", {"K1"}},
        {"empty spec: every value is empty", "A=1\nB=2\n", "", {}},
        {"empty file", "", "=", {}},
        {"a value longer than the scratch area counts", "K=" + std::string(1500, 'v') + "\n",
         "=", {"K"}},
        {"a value behind a long run of dropped blanks counts",
         "K=" + std::string(1500, ' ') + "x\nE=" + std::string(1500, '\t') + "\n", "= ", {"K"}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.desc);
        std::string path = file("list.lst", row.bytes);
        Result l = get("", path.c_str(), row.spec, 1024);
        ASSERT_EQ(STATUS_OK, l.rc);
        EXPECT_EQ(row.keys, names(l));
        size_t end = 0;
        for (const std::string &k : row.keys)
            end += k.size() + 1;
        EXPECT_EQ('\0', l.bytes[end]);
        EXPECT_EQ('\0', l.bytes[end + 1]) << "an empty list is two zero bytes";
    }
}

// What the list shows agrees with the lookup, whatever the buffer: a value behind a run of
// dropped blanks longer than the buffer is found, and one of blanks alone is empty.
TEST_F(StoreGetFile, KeyValueKeyListAgreesWithTheLookup)
{
    for (uint16_t size : {64, 1024, 8192}) {
        SCOPED_TRACE(size);
        std::string blanks(3000, ' ');
        std::string lst = file("hosts.lst", "K=" + blanks + "x\r\nE=" + blanks +
                                                "\r\nT=\t" + blanks + "y" + blanks + "z\r\n");
        Result value = get("K", lst.c_str(), "= ", size);
        ASSERT_EQ(STATUS_OK, value.rc);
        EXPECT_EQ("x", value.text);
        Result empty = get("E", lst.c_str(), "= ", size);
        ASSERT_EQ(STATUS_OK, empty.rc);
        EXPECT_EQ("", empty.text);
        Result inner = get("T", lst.c_str(), "= ", size);
        ASSERT_EQ(STATUS_OK, inner.rc);
        EXPECT_EQ("yz", inner.text);
        Result list = get("", lst.c_str(), "= ", size);
        ASSERT_EQ(STATUS_OK, list.rc);
        EXPECT_EQ((std::vector<std::string>{"K", "T"}), names(list));
    }
}

// A list that does not fit ends with 4 and writes nothing past the buffer: exact fit, one
// short, and the usual buffer sizes.
TEST_F(StoreGetFile, KeyValueKeyListThatDoesNotFit)
{
    std::string lst = file("hosts.lst", "AB=1\nCD=2\nEF=3\n"); // list: 3 * 3 + 2 = 11 bytes
    struct Row {
        uint16_t size;
        status_t rc;
    } rows[] = {{12, STATUS_OK}, {11, STATUS_OK}, {10, STATUS_LIST_TRUNCATED},
                {8, STATUS_LIST_TRUNCATED}, {4, STATUS_LIST_TRUNCATED},
                {3, STATUS_BAD_FORMAT}}; // 3 bytes: a 2-character key alone is too long
    for (const Row &row : rows)
        EXPECT_EQ(row.rc, get("", lst.c_str(), "=", row.size).rc) << "size " << row.size;

    // Many keys: 200 of 5 characters need 200 * 6 + 2 = 1202 bytes.
    std::string many;
    for (int i = 0; i < 200; i++)
        many += "K" + std::to_string(1000 + i) + "=v\r\n";
    std::string big = file("big.lst", many);
    for (uint16_t size : {260, 1024, 1025, 1201})
        EXPECT_EQ(STATUS_LIST_TRUNCATED, get("", big.c_str(), "=", size).rc) << size;
    Result fits = get("", big.c_str(), "=", 1202);
    EXPECT_EQ(STATUS_OK, fits.rc);
    EXPECT_EQ(200u, names(fits).size());
    // A key that alone reaches size - 1 characters is too long, as in a lookup.
    std::string long_key = file("long.lst", std::string(1023, 'k') + "=v\n");
    EXPECT_EQ(STATUS_BAD_FORMAT, get("", long_key.c_str(), "=", 1024).rc);
}

// A separator that no line holds reads every line as a key with an empty value, as a line
// without separator reads: nothing to refuse, since a read writes nothing.
TEST_F(StoreGetFile, KeyValueSeparatorThatNoLineHolds)
{
    std::string lst = file("hosts.lst", "A=1\r\nB\r\n");
    for (const char *spec : {"\n", "\r", "\x1A", " \n "}) {
        SCOPED_TRACE(testing::PrintToString(spec));
        Result found = get("B", lst.c_str(), spec, 64);
        EXPECT_EQ(STATUS_OK, found.rc);
        EXPECT_EQ("", found.text);
        EXPECT_EQ(STATUS_VALUE_ABSENT, get("A", lst.c_str(), spec, 64).rc) << "the key is A=1";
        Result list = get("", lst.c_str(), spec, 64);
        ASSERT_EQ(STATUS_OK, list.rc);
        EXPECT_TRUE(names(list).empty()) << "every value is empty";
    }
}

TEST_F(StoreGetFile, KeyValueBlanksAndSpecs)
{
    std::string lst = file("spaced.lst", "  B  =  x y\r\n");
    std::string name_after;
    Result r = get(" B ", lst.c_str(), " = ", 64, "win32", &name_after);
    EXPECT_EQ(STATUS_OK, r.rc);
    EXPECT_EQ("xy", r.text);
    EXPECT_EQ("B", name_after) << "insignificant key blanks strip the caller's name";

    r = get(" B ", lst.c_str(), "=", 64, "win32", &name_after);
    EXPECT_EQ(STATUS_VALUE_ABSENT, r.rc) << "with \"=\" the key is \"  B  \"";
    EXPECT_EQ(" B ", name_after);

    EXPECT_EQ(STATUS_BAD_FORMAT, get("B", lst.c_str(), "ab", 64).rc);
    EXPECT_EQ(STATUS_READ_ERROR, get("B", ws_join(dir, "none.lst").c_str(), "ab", 64).rc)
        << "the file is opened before the spec is read";
}

TEST_F(StoreGetFile, KeyValueLongLines)
{
    std::string lst =
        file("long.lst", "SKIP=" + std::string(3000, 's') + "\nK1=" + std::string(1022, 'v') +
                             "\nK2=" + std::string(1023, 'v') + "\n" + std::string(1023, 'k') +
                             "=x\nK3=after\n");
    struct Row {
        const char *name;
        uint16_t size;
        status_t rc;
        size_t len;
    } rows[] = {
        {"K1", 1024, STATUS_OK, 1022},       // a long non-matching line is skipped unread
        {"K2", 1024, STATUS_BAD_FORMAT, 0},  // the value reaches size - 1
        {"K2", 1025, STATUS_OK, 1023},
        {"K3", 1024, STATUS_BAD_FORMAT, 0},  // a key before the match reaches size - 1
        {"K3", 1025, STATUS_OK, 5},
        {"K1", 260, STATUS_BAD_FORMAT, 0},
    };
    for (const Row &row : rows) {
        Result r = get(row.name, lst.c_str(), "=", row.size);
        EXPECT_EQ(row.rc, r.rc) << row.name << " size " << row.size;
        if (row.rc == STATUS_OK) {
            EXPECT_EQ(row.len, r.text.size()) << row.name;
        }
    }
}

TEST_F(StoreGetFile, FileStoreNames)
{
    struct Row {
        const char *desc;
        std::string store;
        const char *platform;
        status_t rc;
    } rows[] = {
        {"missing key-value file", ws_join(dir, "none.lst"), "win32", STATUS_READ_ERROR},
        {"trailing backslash: no base name", dir + "\\", "win32", STATUS_INVALID_NAME},
        {"extension only", ws_join(dir, ".lst"), "win32", STATUS_INVALID_NAME},
        {"$ name on 16-bit Windows is a file name", "$VORNEX", "windows", STATUS_READ_ERROR},
        {"$ name on netware", "$ENV", "NetWare", STATUS_READ_ERROR},
        {"name longer than a path", "C:\\" + std::string(300, 'n') + ".lst", "win32",
         STATUS_INVALID_NAME},
        {"platform mac", ws_join(dir, "none.lst"), "mac", STATUS_FAILED},
        {"platform aux", ws_join(dir, "none.lst"), "aux", STATUS_FAILED},
        {"platform null", ws_join(dir, "none.lst"), NULL, STATUS_FAILED},
        {"platform name with a blank", ws_join(dir, "none.lst"), "win32 ", STATUS_FAILED},
    };
    for (const Row &row : rows)
        EXPECT_EQ(row.rc, get("K", row.store.c_str(), NULL, 64, row.platform).rc) << row.desc;

    char name[] = "K";
    char buf[4];
    std::string lst = file("a.lst", "K=1\n");
    EXPECT_EQ(STATUS_FAILED, store_get_value(name, lst.c_str(), NULL, buf, 0, 0));
    EXPECT_EQ(STATUS_FAILED, store_get_value(name, lst.c_str(), NULL, NULL, 4, 0));
    EXPECT_EQ(STATUS_FAILED, store_get_value(NULL, lst.c_str(), NULL, buf, 4, 0));
}

TEST_F(StoreGetFile, PrivateProfile)
{
    std::string ini = file("VCSM.INI", "[Vornex]\r\nHOST_MACHINE=SERVER1\r\nBACKUP=\r\n"
                                       "[Other]\r\nHOST_MACHINE=SERVER2\r\n");
    struct Row {
        const char *name;
        const char *section;
        status_t rc;
        const char *value;
    } rows[] = {
        {"HOST_MACHINE", NULL, STATUS_OK, "SERVER1"}, // null section: "Vornex"
        {"host_machine", "vornex", STATUS_OK, "SERVER1"},
        {"HOST_MACHINE", "Other", STATUS_OK, "SERVER2"},
        {"BACKUP", NULL, STATUS_VALUE_ABSENT, ""}, // present but empty
        {"MISSING", NULL, STATUS_VALUE_ABSENT, ""},
        {"HOST_MACHINE", "Nowhere", STATUS_VALUE_ABSENT, ""},
    };
    for (const Row &row : rows) {
        Result r = get(row.name, ini.c_str(), row.section, 1024);
        EXPECT_EQ(row.rc, r.rc) << row.name << " in " << (row.section ? row.section : "(null)");
        if (row.rc == STATUS_OK) {
            EXPECT_EQ(row.value, r.text);
        }
    }
    // Lower-case extension too; a missing file is simply an absent value.
    std::string lower = file("setup.ini", "[Vornex]\nK=v\n");
    EXPECT_EQ("v", get("K", lower.c_str(), NULL, 64).text);
    EXPECT_EQ(STATUS_VALUE_ABSENT, get("K", ws_join(dir, "none.ini").c_str(), NULL, 64).rc);
}

TEST_F(StoreGetFile, PrivateProfileKeyList)
{
    // Complete list "AB\0CD\0EF\0\0": 10 bytes.
    std::string ini = file("list.ini", "[S]\r\nAB=1\r\nCD=\r\nEF=3\r\n[Empty]\r\n");
    Result r = get("", ini.c_str(), "S", 64);
    ASSERT_EQ(STATUS_OK, r.rc);
    EXPECT_EQ(0, memcmp(r.bytes.data(), "AB\0CD\0EF\0\0", 10));
    EXPECT_EQ(STATUS_VALUE_ABSENT, get("", ini.c_str(), "Empty", 64).rc);
    EXPECT_EQ(STATUS_VALUE_ABSENT, get("", ini.c_str(), "Missing", 64).rc);

    // The platform's count cannot tell a list of exactly size - 1 bytes from a cut one.
    struct Row {
        uint16_t size;
        status_t rc;
    } rows[] = {{12, STATUS_OK}, {11, STATUS_LIST_TRUNCATED}, {10, STATUS_LIST_TRUNCATED},
                {5, STATUS_LIST_TRUNCATED}, {2, STATUS_LIST_TRUNCATED}};
    for (const Row &row : rows)
        EXPECT_EQ(row.rc, get("", ini.c_str(), "S", row.size).rc) << "size " << row.size;
}

} // namespace
