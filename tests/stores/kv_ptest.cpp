// Key-value files: the separator spec, the field reader over text streams, the line writer.
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "platform/os.h"
#include "stores/kv.h"
#include "support/workstation.h"

namespace {

const char POISON = (char)0xA5;

TEST(KvSeparatorSpec, EveryForm)
{
    struct Row {
        const char *spec;
        status_t rc;
        char sep;
        bool keep_key, keep_value;
    } rows[] = {
        {NULL, STATUS_OK, '=', true, true},
        {"=", STATUS_OK, '=', true, true},
        {"", STATUS_OK, '\0', true, false},
        {":", STATUS_OK, ':', true, true},
        {" =", STATUS_OK, '=', false, true},
        {"= ", STATUS_OK, '=', true, false},
        {" = ", STATUS_OK, '=', false, false},
        {" ", STATUS_OK, ' ', true, true},
        {"  ", STATUS_OK, ' ', false, true},
        {"   ", STATUS_OK, ' ', false, false},
        {"=:", STATUS_BAD_FORMAT, 0, false, false},
        {"ab", STATUS_BAD_FORMAT, 0, false, false},
        {"x y", STATUS_BAD_FORMAT, 0, false, false},
        {"a  ", STATUS_BAD_FORMAT, 0, false, false},
        {"  a", STATUS_BAD_FORMAT, 0, false, false},
        {"    ", STATUS_BAD_FORMAT, 0, false, false},
        {" = =", STATUS_BAD_FORMAT, 0, false, false},
        // No line can hold these as its separator: a read simply finds none, and only a write
        // refuses them (kv_separator_writable).
        {"\n", STATUS_OK, '\n', true, true},
        {" \r", STATUS_OK, '\r', false, true},
        {"\x1A ", STATUS_OK, '\x1A', true, false},
    };
    for (const Row &r : rows) {
        char sep = 'X';
        truth_t kk = 7, kv = 7;
        std::string name = r.spec ? "\"" + std::string(r.spec) + "\"" : "null";
        EXPECT_EQ(r.rc, kv_parse_separator_spec(r.spec, &sep, &kk, &kv)) << name;
        if (r.rc == STATUS_OK) {
            EXPECT_EQ(r.sep, sep) << name;
            EXPECT_EQ(r.keep_key, (bool)kk) << name;
            EXPECT_EQ(r.keep_value, (bool)kv) << name;
        } else {
            EXPECT_EQ('X', sep) << name << ": outputs untouched";
            EXPECT_EQ(7, kk) << name;
            EXPECT_EQ(7, kv) << name;
        }
    }
}

class KvFile : public ::testing::Test {
protected:
    std::string dir;
    FILE *in = nullptr;
    void SetUp() override
    {
        dir = ws_fresh();
        ASSERT_FALSE(dir.empty());
    }
    void TearDown() override
    {
        if (in != nullptr)
            fclose(in);
    }
    // Write bytes to a fresh file and open it for reading as text.
    void open_with(const std::string &bytes)
    {
        if (in != nullptr)
            fclose(in);
        std::string path = ws_join(dir, "store.lst");
        ASSERT_TRUE(ws_write_file(path, bytes));
        in = crt_fopen(path.c_str(), "r");
        ASSERT_NE(nullptr, in);
    }
};

// One line read as the lookup reads it: the key with the spec's separator, then the value.
TEST_F(KvFile, KeyThenValueUnderEachSpec)
{
    struct Row {
        const char *desc;
        const char *spec;
        std::string bytes;
        status_t key_rc;
        const char *key, *raw;
        status_t value_rc;
        const char *value;
    } rows[] = {
        {"value holds further separators", NULL, "KEY=a=b\r\nX=1\r\n", 0, "KEY", "KEY=", 0, "a=b"},
        {"leading separators skipped", "=", "==KEY=V\n", 0, "KEY", "==KEY=", 0, "V"},
        {"no separator", "=", "FLAG\r\nX=1\r\n", 0, "FLAG", "FLAG", 0, ""},
        {"empty line", "=", "\r\nA=1\r\n", 0, "", "", 0, ""},
        {"last line without line end", "=", "K=V", 0, "K", "K=", 1, "V"},
        {"empty file", "=", "", 1, "", "", 1, ""},
        {"all blanks insignificant", " = ", "  MY KEY  =  a b\r\n", 0, "MYKEY", "  MY KEY  =", 0,
         "ab"},
        {"key blanks significant", "= ", " A B = x y\n", 0, " A B ", " A B =", 0, "xy"},
        {"blanks significant: leading ones too", "=", "  A=1\n", 0, "  A", "  A=", 0, "1"},
        {"space separator, further spaces in the value", " ", "KEY   VALUE\n", 0, "KEY", "KEY ",
         0, "  VALUE"},
        {"TAB separates when the space does", " ", "KEY\tVALUE\n", 0, "KEY", "KEY\t", 0,
         "VALUE"},
        {"TAB separator takes the blanks along", "  ", "KEY\t\t VALUE\n", 0, "KEY", "KEY\t", 0,
         "VALUE"},
        {"space separator with key blanks insignificant", "  ", "KEY   VALUE\n", 0, "KEY",
         "KEY ", 0, "  VALUE"},
        {"TAB separator at the end of the file", "  ", "KEY\t  ", 0, "KEY", "KEY\t", 1, ""},
        {"empty spec: the line is the key", "", "A=1\r\nB=2\r\n", 0, "A=1", "A=1", 0, ""},
        {"a lone CR is an ordinary character", "=", "A=b\rc\r\n", 0, "A", "A=", 0, "b\rc"},
        {"LF alone ends the line", "=", "A=1\nB=2\n", 0, "A", "A=", 0, "1"},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.desc);
        open_with(r.bytes);
        char sep;
        truth_t keep_key, keep_value;
        ASSERT_EQ(STATUS_OK, kv_parse_separator_spec(r.spec, &sep, &keep_key, &keep_value));
        char field[64], raw[64];
        EXPECT_EQ(r.key_rc, kv_read_field(in, sep, keep_key, field, sizeof field, raw));
        EXPECT_STREQ(r.key, field);
        EXPECT_STREQ(r.raw, raw);
        EXPECT_EQ(r.value_rc, kv_read_field(in, '\0', keep_value, field, sizeof field, raw));
        EXPECT_STREQ(r.value, field);
        int next = fgetc(in);
        EXPECT_TRUE(next == '\n' || next == EOF) << "the line end stays unread, got " << next;
    }
}

// A field holds at most cap - 2 characters, its raw copy cap - 1; nothing passes cap.
TEST_F(KvFile, LongFieldsAndRawCopiesEndWithBadFormat)
{
    struct Row {
        const char *desc;
        size_t cap;
        std::string line;
        const char *spec;
        status_t rc;
        size_t key_len;
    } rows[] = {
        {"1022-character key", 1024, std::string(1022, 'k') + "=v\n", "=", 0, 1022},
        {"1023-character key", 1024, std::string(1023, 'k') + "=v\n", "=", STATUS_BAD_FORMAT, 0},
        {"1022 characters then the end of file", 1024, std::string(1022, 'k'), "=",
         STATUS_END_OF_FILE, 1022},
        {"1023-character key, 1025 buffer", 1025, std::string(1023, 'k') + "=v\n", "=", 0, 1023},
        {"1024-character key, 1025 buffer", 1025, std::string(1024, 'k') + "\n", "=",
         STATUS_BAD_FORMAT, 0},
        {"raw copy of exactly cap - 1", 1024, "=" + std::string(1021, 'k') + "=v\n", "=", 0,
         1021},
        {"raw copy one over", 1024, "=" + std::string(1022, 'k') + "=v\n", "=", STATUS_BAD_FORMAT,
         0},
        {"dropped blanks fill the raw copy", 1024, "a" + std::string(1100, ' ') + "=v\n", " = ",
         STATUS_BAD_FORMAT, 0},
        {"skipped separators fill the raw copy", 260, std::string(300, '=') + "k=v\n", "=",
         STATUS_BAD_FORMAT, 0},
        {"259-byte key in 260", 260, std::string(258, 'k') + "=v\n", "=", 0, 258},
        {"smallest buffer, empty key", 2, "\n", "=", 0, 0},
        {"smallest buffer, one character", 2, "k=v\n", "=", STATUS_BAD_FORMAT, 0},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.desc);
        open_with(r.line);
        char sep;
        truth_t keep_key, keep_value;
        ASSERT_EQ(STATUS_OK, kv_parse_separator_spec(r.spec, &sep, &keep_key, &keep_value));
        std::vector<char> field(r.cap + 1, POISON), raw(r.cap + 1, POISON);
        EXPECT_EQ(r.rc, kv_read_field(in, sep, keep_key, field.data(), (uint16_t)r.cap,
                                      raw.data()));
        EXPECT_EQ(POISON, field[r.cap]) << "guard byte after the field buffer";
        EXPECT_EQ(POISON, raw[r.cap]) << "guard byte after the raw copy";
        if (r.rc != STATUS_BAD_FORMAT) {
            EXPECT_EQ(r.key_len, strlen(field.data()));
        }
    }
}

TEST_F(KvFile, LongValue)
{
    for (size_t len : {1022u, 1023u}) {
        open_with("K=" + std::string(len, 'v') + "\r\n");
        char field[1025], raw[1025];
        field[1024] = raw[1024] = POISON;
        ASSERT_EQ(STATUS_OK, kv_read_field(in, '=', 1, field, 1024, raw));
        status_t rc = kv_read_field(in, '\0', 1, field, 1024, raw);
        EXPECT_EQ(len == 1022 ? STATUS_OK : STATUS_BAD_FORMAT, rc) << len;
        EXPECT_EQ(POISON, field[1024]);
        EXPECT_EQ(POISON, raw[1024]);
    }
}

// Without a raw copy, only the field's own characters count against the buffer: dropped
// blanks and skipped separators of any number are read through.
TEST_F(KvFile, WithoutRawCopy)
{
    char field[9];
    field[8] = POISON;
    open_with("K=" + std::string(5000, ' ') + "v a l\n");
    ASSERT_EQ(STATUS_OK, kv_read_field(in, '=', 1, field, 8, NULL));
    EXPECT_STREQ("K", field);
    EXPECT_EQ(STATUS_OK, kv_read_field(in, '\0', 0, field, 8, NULL));
    EXPECT_STREQ("val", field) << "every blank dropped";
    open_with(std::string(5000, '=') + "KEY=v\n");
    EXPECT_EQ(STATUS_OK, kv_read_field(in, '=', 1, field, 8, NULL));
    EXPECT_STREQ("KEY", field);
    open_with("K=" + std::string(7, 'v') + "\n");
    ASSERT_EQ(STATUS_OK, kv_read_field(in, '=', 1, field, 8, NULL));
    EXPECT_EQ(STATUS_BAD_FORMAT, kv_read_field(in, '\0', 1, field, 8, NULL))
        << "a field that reaches cap - 1 is still too long";
    EXPECT_EQ(POISON, field[8]);
}

TEST_F(KvFile, BadArguments)
{
    open_with("A=1\n");
    char field[8], raw[8];
    EXPECT_EQ(STATUS_FAILED, kv_read_field(NULL, '=', 1, field, sizeof field, raw));
    EXPECT_EQ(STATUS_FAILED, kv_read_field(in, '=', 1, NULL, sizeof field, raw));
    field[1] = raw[1] = POISON;
    EXPECT_EQ(STATUS_BAD_FORMAT, kv_read_field(in, '=', 1, field, 1, raw));
    EXPECT_EQ(POISON, field[1]);
    EXPECT_EQ(POISON, raw[1]);
    EXPECT_EQ(STATUS_BAD_FORMAT, kv_read_field(in, '=', 1, field, 0, raw));
    // Nothing was consumed by the refused calls.
    EXPECT_EQ(STATUS_OK, kv_read_field(in, '=', 1, field, sizeof field, raw));
    EXPECT_STREQ("A", field);
}

TEST_F(KvFile, WriteLineInTextMode)
{
    struct Row {
        const char *key;
        char sep;
        const char *value;
        std::string bytes;
    } rows[] = {
        {"K", '=', NULL, "K=\r\n"},
        {"", '\0', "hello", "hello\r\n"},
        {"KEY", '=', "a b", "KEY=a b\r\n"},
        {"K", '\0', "V", "KV\r\n"},
        {"K", ' ', "", "K \r\n"},
    };
    std::string path = ws_join(dir, "out.lst");
    for (const Row &r : rows) {
        FILE *out = crt_fopen(path.c_str(), "w");
        ASSERT_NE(nullptr, out);
        EXPECT_EQ(STATUS_OK, kv_write_line(out, r.key, r.sep, r.value)) << r.bytes;
        ASSERT_EQ(0, fclose(out));
        std::string got;
        ASSERT_TRUE(ws_read_file(path, &got));
        EXPECT_EQ(r.bytes, got);
    }
    // A stream that cannot be written: 21 at the first character.
    open_with("A=1\n");
    EXPECT_EQ(STATUS_WRITE_ERROR, kv_write_line(in, "K", '=', "V"));
    EXPECT_EQ(STATUS_WRITE_ERROR, kv_write_line(NULL, "K", '=', "V"));
}

} // namespace
