/* Key-value updates keep every other line, on the simulation and the real runtime. */
#include <gtest/gtest.h>

#include <string>

#include "platform/os.h"
#include "stores/store.h"
#include "support/workstation.h"

namespace {

const std::string ABSENT = "<absent>";

struct kv_row {
    const char *what;
    std::string before; /* file bytes, or ABSENT */
    const char *name;
    const char *value;
    const char *spec;
    status_t rc;
    std::string after; /* file bytes, or ABSENT */
};

const std::string kLong(1023, 'x');

TEST(StoreSetKv, RewritesAppendsAndRefusals)
{
    const std::string nul_line("A\0B=1\r\nC=2\r\n", 12);
    const std::string nul_after("A\0B=1\r\nC=3\r\n", 12);
    const std::string long_file = kLong + "\r\nB=2\r\n";
    const kv_row rows[] = {
        {"change", "A=1\r\nB=2\r\n", "B", "3", "=", 0, "A=1\r\nB=3\r\n"},
        {"delete", "A=1\r\nB=2\r\n", "B", "", "=", 0, "A=1\r\n"},
        {"add", "A=1\r\nB=2\r\n", "D", "4", "=", 0, "A=1\r\nB=2\r\nD=4\r\n"},
        {"add after a last line without line end", "A=1", "D", "4", "=", 0, "A=1\r\nD=4\r\n"},
        {"change a last line without line end", "A=1\r\nB=2", "B", "3", "=", 0,
         "A=1\r\nB=3\r\n"},
        {"delete a last line without line end", "A=1\r\nB=2", "b", "", "=", 0, "A=1\r\n"},
        {"key part kept, blanks dropped", "  B = 2\r\n", "B", "x y", " = ", 0, "  B =xy\r\n"},
        {"first duplicate only", "B=1\r\nB=2\r\n", "B", "9", "=", 0, "B=9\r\nB=2\r\n"},
        {"delete the first duplicate", "B=1\r\nB=2\r\n", "B", "", "=", 0, "B=2\r\n"},
        {"new file", ABSENT, "K", "V", "=", 0, "K=V\r\n"},
        {"delete from no file", ABSENT, "K", "", "=", 0, ABSENT},
        {"empty file", "", "K", "V", "=", 0, "K=V\r\n"},
        {"LF line ends come out CR LF", "A=1\nB=2\n", "B", "3", "=", 0, "A=1\r\nB=3\r\n"},
        {"a line without separator gets one", "FLAG\r\nX=1\r\n", "FLAG", "on", "=", 0,
         "FLAG=on\r\nX=1\r\n"},
        {"the same as the last line", "X=1\r\nFLAG", "FLAG", "on", "=", 0, "X=1\r\nFLAG=on\r\n"},
        {"separators before the key", "==KEY=V\r\n", "KEY", "W", "=", 0, "==KEY=W\r\n"},
        {"TAB separates under a space spec", "KEY\tVALUE\r\n", "KEY", "new", " ", 0,
         "KEY\tnew\r\n"},
        {"a lone CR is text", "A=1\rX\r\nB=2\r\n", "B", "3", "=", 0, "A=1\rX\r\nB=3\r\n"},
        {"a NUL in a line is kept", nul_line, "C", "3", "=", 0, nul_after},
        {"a key part of 1023 characters", long_file, "B", "3", "=", STATUS_BAD_FORMAT, long_file},
        {"a Ctrl-Z ends text input early", "A=1\r\n\x1A" "B=2\r\n", "C", "3", "=",
         STATUS_READ_ERROR, "A=1\r\n\x1A" "B=2\r\n"},
        {"a Ctrl-Z end marker is dropped", "A=1\r\n\x1A\x1A", "C", "3", "=", 0,
         "A=1\r\nC=3\r\n"},
        {"no line appended behind a Ctrl-Z", "A=1\r\n\x1A", "", "hello", "=", STATUS_READ_ERROR,
         "A=1\r\n\x1A"},
        {"malformed spec", "A=1\r\n", "A", "2", "ab", STATUS_BAD_FORMAT, "A=1\r\n"},
        {"append", "A=1", "", "hello", "=", 0, "A=1\r\nhello\r\n"},
        {"append to no file", ABSENT, "", "hello", "=", 0, "hello\r\n"},
        // Every rewrite leaves the file ending in a line end, whatever it changed.
        {"a delete that matches nothing completes the last line", "A=1", "B", "", "=", 0,
         "A=1\r\n"},
        {"the same after a line without separator", "A=1\r\nFLAG", "B", "", "=", 0,
         "A=1\r\nFLAG\r\n"},
        {"a change above completes the last line", "A=1\r\nB=2", "A", "9", "=", 0,
         "A=9\r\nB=2\r\n"},
        {"a delete above completes the last line", "A=1\r\nB=2", "A", "", "=", 0, "B=2\r\n"},
        {"deleting the only line leaves an empty file", "B=2", "B", "", "=", 0, ""},
    };
    for (const kv_row &row : rows) {
        SCOPED_TRACE(row.what);
        std::string dir = ws_fresh();
        std::string path = ws_join(dir, "hosts.lst");
        if (row.before != ABSENT) {
            ASSERT_TRUE(ws_write_file(path, row.before));
        }
        EXPECT_EQ(store_set_value(row.name, row.value, path.c_str(), row.spec, 0), row.rc);
        std::string got;
        if (!ws_read_file(path, &got))
            got = ABSENT;
        EXPECT_EQ(got, row.after);
        EXPECT_FALSE(ws_file_exists(ws_join(dir, "hosts.x1z"))) << "temporary file left";
    }
}

TEST(StoreSetKv, StoreNamedLikeItsTemporaryFileIsRefused)
{
    std::string path = ws_join(ws_fresh(), "hosts.X1Z");
    ASSERT_TRUE(ws_write_file(path, "A=1\r\n"));
    EXPECT_EQ(store_set_value("A", "2", path.c_str(), NULL, 0), STATUS_INVALID_NAME);
    EXPECT_EQ(store_set_value("", "line", path.c_str(), NULL, 0), STATUS_INVALID_NAME);
    std::string got;
    ASSERT_TRUE(ws_read_file(path, &got));
    EXPECT_EQ(got, "A=1\r\n");
}

/* The temporary file's name is the store's with the extension x1z: a store whose temporary
 * path would pass the path buffer is refused, not rewritten through a cut name. */
TEST(StoreSetKv, TemporaryPathThatDoesNotFitIsRefused)
{
    std::string dir = ws_fresh();
    struct {
        size_t temp_length;
        status_t rc;
    } rows[] = {{259, STATUS_OK}, {260, STATUS_INVALID_NAME}};
    for (auto &row : rows) {
        /* dir\NNN.b, whose temporary file dir\NNN.x1z is two characters longer. */
        std::string base(row.temp_length - 2 - dir.size() - 1 - 2, 'n');
        std::string path = ws_join(dir, base + ".b");
        ASSERT_TRUE(ws_write_file(path, "A=1\r\n"));
        EXPECT_EQ(store_set_value("A", "2", path.c_str(), NULL, 0), row.rc) << row.temp_length;
        std::string got;
        ASSERT_TRUE(ws_read_file(path, &got));
        EXPECT_EQ(got, row.rc == STATUS_OK ? "A=2\r\n" : "A=1\r\n") << row.temp_length;
        EXPECT_EQ(crt_remove(path.c_str()), 0);
    }
}

TEST(StoreSetKv, ReadOnlyStoreIsReplacedThroughTheFallbackMove)
{
    /* The replacing move refuses a read-only target; the move that deletes it first does not. */
    std::string dir = ws_fresh();
    std::string path = ws_join(dir, "hosts.lst");
    ASSERT_TRUE(ws_write_file(path, "A=1\r\n"));
    ASSERT_EQ(crt_chmod(path.c_str(), CRT_S_IREAD), 0);
    EXPECT_EQ(store_set_value("A", "2", path.c_str(), NULL, 0), STATUS_OK);
    std::string got;
    ASSERT_TRUE(ws_read_file(path, &got));
    EXPECT_EQ(got, "A=2\r\n");
    EXPECT_FALSE(ws_file_exists(ws_join(dir, "hosts.x1z")));
}

TEST(StoreSetKv, ReadBackThroughTheLookup)
{
    std::string path = ws_join(ws_fresh(), "vals.txt");
    ASSERT_TRUE(ws_write_file(path, "FLAG\r\nX=1"));
    ASSERT_EQ(store_set_value("FLAG", "on", path.c_str(), NULL, 0), STATUS_OK);
    ASSERT_EQ(store_set_value("Y", "2", path.c_str(), NULL, 0), STATUS_OK);
    const char *expect[][2] = {{"FLAG", "on"}, {"X", "1"}, {"Y", "2"}};
    for (auto &e : expect) {
        char name[16];
        char buf[STORE_VALUE_CAP];
        strcpy(name, e[0]);
        EXPECT_EQ(store_get_value(name, path.c_str(), NULL, buf, sizeof buf, 0), STATUS_OK)
            << e[0];
        EXPECT_STREQ(buf, e[1]) << e[0];
    }
}

// A line end or a Ctrl-Z inside a name or a value would make lines of its own (x LF B=evil
// sets B) or end text input early (every later rewrite would fail): refused, nothing written.
TEST(StoreSetKv, LineEndsAndCtrlZInNamesAndValuesAreRefused)
{
    struct row {
        const char *what;
        const char *store; /* file name in the scratch directory */
        const char *name;
        const char *value;
        const char *section;
    } rows[] = {
        {"LF in a value", "hosts.lst", "A", "x\nB=evil", "="},
        {"CR LF in a value", "hosts.lst", "A", "x\r\nB=evil", "="},
        {"a lone CR in a value", "hosts.lst", "A", "x\rB", "="},
        {"Ctrl-Z in a value", "hosts.lst", "A", "x\x1Ay", "="},
        {"LF in a name", "hosts.lst", "B=evil\nA", "x", "="},
        {"Ctrl-Z in a name", "hosts.lst", "A\x1A", "x", "="},
        {"LF in a value under a blank-dropping spec", "hosts.lst", "A", "x\nB", " = "},
        {"LF in a new key's value", "hosts.lst", "NEW", "x\nB=evil", "="},
        {"LF in an appended line", "hosts.lst", "", "x\nB=evil", "="},
        {"Ctrl-Z in an appended line", "hosts.lst", "", "x\x1A", "="},
        {"LF as the separator", "hosts.lst", "A", "x", "\n"},
        {"Ctrl-Z as the separator", "hosts.lst", "A", "x", "\x1A"},
        {"CR as the separator, key blanks dropped", "hosts.lst", "A", "x", " \r"},
        {"LF in a profile value", "app.ini", "A", "x\nB=evil", "S"},
        {"CR in a profile value", "app.ini", "A", "x\rB=evil", "S"},
        {"LF in a profile key", "app.ini", "B=evil\nA", "x", "S"},
        {"LF in a profile section", "app.ini", "A", "x", "S]\n[T"},
    };
    for (const row &r : rows) {
        SCOPED_TRACE(r.what);
        std::string dir = ws_fresh();
        std::string path = ws_join(dir, r.store);
        const std::string before = "[S]\r\nA=1\r\n";
        ASSERT_TRUE(ws_write_file(path, before));
        EXPECT_EQ(store_set_value(r.name, r.value, path.c_str(), r.section, 0), STATUS_BAD_FORMAT);
        std::string after;
        ASSERT_TRUE(ws_read_file(path, &after));
        EXPECT_EQ(after, before);
    }
    // A missing store file is not created either.
    std::string path = ws_join(ws_fresh(), "new.lst");
    EXPECT_EQ(store_set_value("A", "x\nB=evil", path.c_str(), NULL, 0), STATUS_BAD_FORMAT);
    EXPECT_FALSE(ws_file_exists(path));
}

} // namespace
