/* The front end's REGEDIT4 and world-file readers, and the write-back that keeps a person's
 * lines. */
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/klagent-sim/inifile.h"
#include "tools/klagent-sim/regfile.h"

using namespace ksim;

namespace {

const std::string H = "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\VORNEX]\r\n";

std::string str(const char *text)
{
    return std::string(text, strlen(text) + 1);
}

const reg_model_value *find(const std::vector<reg_model_key> &keys, const std::string &path,
                            const std::string &name)
{
    for (const reg_model_key &k : keys)
        if (reg_names_equal(k.path, path))
            for (const reg_model_value &v : k.values)
                if (reg_names_equal(v.name, name))
                    return &v;
    return NULL;
}

TEST(RegFile, MalformedLinesAreNamedWithFileAndLine)
{
    struct row {
        const char *name;
        std::string text;
        const char *where; /* the expected "file:line:" */
    } rows[] = {
        {"no header", "[HKEY_LOCAL_MACHINE\\X]\r\n", "w.reg:1:"},
        {"other header", "\r\nREGEDIT5\r\n", "w.reg:2:"},
        {"empty file", "", "w.reg:1:"},
        {"value before any key", "REGEDIT4\r\n\"A\"=\"x\"\r\n", "w.reg:2:"},
        {"unknown root", "REGEDIT4\r\n[HKLM\\SOFTWARE]\r\n", "w.reg:2:"},
        {"unterminated key line", "REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\r\n", "w.reg:2:"},
        {"empty key name", "REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\A\\\\B]\r\n", "w.reg:2:"},
        {"no equals sign", H + "\"A\" \"x\"\r\n", "w.reg:4:"},
        {"unterminated name", H + "\"A=\"x\r\n", "w.reg:4:"},
        {"unknown escape", H + "\"A\"=\"C:\\VORNEX\"\r\n", "w.reg:4:"},
        {"unterminated text", H + "\"A\"=\"x\r\n", "w.reg:4:"},
        {"text after the value", H + "\"A\"=\"x\" y\r\n", "w.reg:4:"},
        {"dword too long", H + "\"A\"=dword:000000001\r\n", "w.reg:4:"},
        {"dword not hex", H + "\"A\"=dword:0000000g\r\n", "w.reg:4:"},
        {"bad hex byte", H + "\"A\"=hex:01,2\r\n", "w.reg:4:"},
        {"hex without commas", H + "\"A\"=hex:01 02\r\n", "w.reg:4:"},
        {"hex ends in a comma", H + "\"A\"=hex:01,\r\n", "w.reg:4:"},
        {"bad byte on a continuation", H + "\"A\"=hex:01,\\\r\n  zz\r\n", "w.reg:5:"},
        {"continuation past the end", H + "\"A\"=hex:01,\\", "w.reg:4:"},
        {"bad hex type", H + "\"A\"=hex(q):01\r\n", "w.reg:4:"},
        {"unknown data", H + "\"A\"=string:x\r\n", "w.reg:4:"},
        {"stray line", H + "VORNEX_HOME=C:\r\n", "w.reg:4:"},
        {"UTF-16 text", std::string("R\0E\0G\0", 6), "w.reg:1:"},
    };
    for (const row &r : rows) {
        reg_file f;
        std::string error;
        EXPECT_FALSE(reg_parse("w.reg", r.text, &f, &error)) << r.name;
        EXPECT_EQ(error.compare(0, strlen(r.where), r.where), 0) << r.name << ": " << error;
        EXPECT_GT(error.size(), strlen(r.where) + 2) << r.name << ": says what is wrong";
    }
}

TEST(RegFile, EveryValueKindReadsAsRegeditWroteIt)
{
    std::string text = "REGEDIT4\n"
                       "; a comment\n"
                       "[HKEY_LOCAL_MACHINE\\SOFTWARE\\VORNEX]\n"
                       "\"HOME\"=\"C:\\\\VORNEX \\\"A\\\"\"\n"
                       "@=\"unnamed\"\n"
                       "\"N\"=dword:0000002a\n"
                       "\"B\"=hex:01,ff\n"
                       "\"E\"=hex(2):25,41,25,\\\n"
                       "  00\n"
                       "\"M\"=hex(7):61,00,00\n"
                       "\"GONE\"=\"x\"\n"
                       "\"GONE\"=-\n"
                       "[HKEY_LOCAL_MACHINE\\SOFTWARE\\OLD\\SUB]\n"
                       "\"X\"=\"1\"\n"
                       "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\OLD]\n"
                       "[HKEY_CURRENT_USER\\Empty]\n";
    reg_file f;
    std::string error;
    ASSERT_TRUE(reg_parse("w.reg", text, &f, &error)) << error;
    EXPECT_EQ(f.eol, "\n");
    std::vector<reg_model_key> keys = reg_model(f);
    struct row {
        const char *name;
        DWORD type;
        std::string data;
    } rows[] = {
        {"HOME", REG_SZ, str("C:\\VORNEX \"A\"")},
        {"", REG_SZ, str("unnamed")},
        {"N", REG_DWORD, std::string("\x2a\0\0\0", 4)},
        {"B", REG_BINARY, "\x01\xff"},
        {"E", REG_EXPAND_SZ, str("%A%")},
        {"M", REG_MULTI_SZ, std::string("a\0\0", 3)},
    };
    for (const row &r : rows) {
        const reg_model_value *v = find(keys, "SOFTWARE\\VORNEX", r.name);
        ASSERT_NE(v, nullptr) << r.name;
        EXPECT_EQ(v->type, r.type) << r.name;
        EXPECT_EQ(v->data, r.data) << r.name;
    }
    EXPECT_EQ(find(keys, "SOFTWARE\\VORNEX", "GONE"), nullptr);
    EXPECT_EQ(find(keys, "SOFTWARE\\OLD\\SUB", "X"), nullptr);
    ASSERT_EQ(keys.size(), 2u);
    EXPECT_EQ(keys[1].root, "HKEY_CURRENT_USER");
}

TEST(RegFile, FormattedValuesReadBackUnchanged)
{
    struct row {
        const char *name;
        DWORD type;
        std::string data;
        const char *first_line;
    } rows[] = {
        {"text with escapes", REG_SZ, str("S:\\VORNEX \"x\""), "\"text with escapes\"=\"S:\\\\VORNEX \\\"x\\\"\""},
        {"", REG_SZ, str("unnamed"), "@=\"unnamed\""},
        {"expand", REG_EXPAND_SZ, str("z:\\"), "\"expand\"=hex(2):7a,3a,5c,00"},
        {"number", REG_DWORD, std::string("\x01\x02\x03\x04", 4), "\"number\"=dword:04030201"},
        {"text without terminator", REG_SZ, "ab", "\"text without terminator\"=hex(1):61,62"},
        {"empty binary", REG_BINARY, "", "\"empty binary\"=hex:"},
        {"long", REG_BINARY, std::string(100, '\x5a'), NULL},
    };
    for (const row &r : rows) {
        std::vector<std::string> lines = reg_format_value(r.name, r.type, r.data);
        if (r.first_line != NULL) {
            EXPECT_EQ(lines[0], r.first_line) << r.name;
        }
        std::string text = H;
        for (const std::string &l : lines) {
            EXPECT_LT(l.size(), 80u) << r.name << ": " << l;
            text += l + "\r\n";
        }
        reg_file f;
        std::string error;
        ASSERT_TRUE(reg_parse("w.reg", text, &f, &error)) << r.name << ": " << error;
        std::vector<reg_model_key> keys = reg_model(f);
        const reg_model_value *v = find(keys, "SOFTWARE\\VORNEX", r.name);
        ASSERT_NE(v, nullptr) << r.name;
        EXPECT_EQ(v->type, r.type) << r.name;
        EXPECT_EQ(v->data, r.data) << r.name;
    }
}

TEST(RegFile, ChangesKeepEveryOtherLine)
{
    const std::string text = "REGEDIT4\r\n"
                             "\r\n"
                             "; the workstation\r\n"
                             "[HKEY_LOCAL_MACHINE\\SOFTWARE\\VORNEX]\r\n"
                             "\"A\"=\"old\"\r\n"
                             "\"B\"=hex:01,\\\r\n"
                             "  02\r\n"
                             "\"A\"=\"older still wins no more\"\r\n"
                             "; keep me\r\n"
                             "\r\n"
                             "[HKEY_LOCAL_MACHINE\\SOFTWARE\\OTHER]\r\n"
                             "\"Z\"=\"z\"\r\n";
    reg_file f;
    std::string error;
    ASSERT_TRUE(reg_parse("w.reg", text, &f, &error)) << error;
    std::vector<reg_change> changes = {
        {"HKEY_LOCAL_MACHINE", "SOFTWARE\\VORNEX", "A", false, false, REG_SZ, str("new")},
        {"HKEY_LOCAL_MACHINE", "SOFTWARE\\VORNEX", "B", true, false, 0, ""},
        {"HKEY_LOCAL_MACHINE", "software\\vornex", "C", false, false, REG_SZ, str("added")},
        {"HKEY_LOCAL_MACHINE", "SOFTWARE\\NEW", "D", false, false, REG_SZ, str("d")},
        {"HKEY_LOCAL_MACHINE", "SOFTWARE\\NEW", "E", false, false, REG_SZ, str("e")},
        {"HKEY_LOCAL_MACHINE", "SOFTWARE\\EMPTY", "", false, true, 0, ""},
    };
    std::string out = reg_apply_changes(f, changes);
    EXPECT_EQ(out, "REGEDIT4\r\n"
                   "\r\n"
                   "; the workstation\r\n"
                   "[HKEY_LOCAL_MACHINE\\SOFTWARE\\VORNEX]\r\n"
                   "\"A\"=\"old\"\r\n"
                   "\"A\"=\"new\"\r\n"
                   "\"C\"=\"added\"\r\n"
                   "; keep me\r\n"
                   "\r\n"
                   "[HKEY_LOCAL_MACHINE\\SOFTWARE\\OTHER]\r\n"
                   "\"Z\"=\"z\"\r\n"
                   "\r\n"
                   "[HKEY_LOCAL_MACHINE\\SOFTWARE\\NEW]\r\n"
                   "\"D\"=\"d\"\r\n"
                   "\"E\"=\"e\"\r\n"
                   "\r\n"
                   "[HKEY_LOCAL_MACHINE\\SOFTWARE\\EMPTY]\r\n");
    reg_file g;
    ASSERT_TRUE(reg_parse("w.reg", out, &g, &error)) << error;
    std::vector<reg_model_key> keys = reg_model(g);
    EXPECT_EQ(find(keys, "SOFTWARE\\VORNEX", "A")->data, str("new"));
    EXPECT_EQ(find(keys, "SOFTWARE\\VORNEX", "B"), nullptr);
}

TEST(WorldFile, MalformedLinesAreNamedAndChangesKeepComments)
{
    struct row {
        const char *name;
        const char *text;
        const char *where;
    } rows[] = {
        {"entry before a section", "a = b\n", "w.ini:1:"},
        {"no equals sign", "[drives]\nC fixed\n", "w.ini:2:"},
        {"unterminated section", "\n[drives\n", "w.ini:2:"},
        {"empty key", "[drives]\n = fixed\n", "w.ini:2:"},
    };
    for (const row &r : rows) {
        ini_file f;
        std::string error;
        EXPECT_FALSE(ini_parse("w.ini", r.text, &f, &error)) << r.name;
        EXPECT_EQ(error.compare(0, strlen(r.where), r.where), 0) << r.name << ": " << error;
    }

    ini_file f;
    std::string error;
    ASSERT_TRUE(ini_parse("w.ini",
                          "[connections]\n; letter = share\nS = \\\\A\\B ; note\n\n"
                          "[programs]\n; none yet\n\n; about the next part\n[drives]\nC = fixed\n",
                          &f, &error))
        << error;
    EXPECT_EQ(f.sections[0].entries[0].value, "\\\\A\\B");
    std::string out = ini_apply_changes(f, {{"connections", "s", "\\\\A\\C", false},
                                            {"connections", "Z", "\\\\A\\Z", false},
                                            {"programs", "X", "2", false},
                                            {"drives", "C", "", true},
                                            {"server B", "share X", "x", false}});
    EXPECT_EQ(out, "[connections]\n; letter = share\ns = \\\\A\\C\nZ = \\\\A\\Z\n\n"
                   "[programs]\n; none yet\nX = 2\n\n; about the next part\n[drives]\n\n"
                   "[server B]\nshare X = x\n");
}

/* A rewrite gives back every line it does not change byte for byte: its own line end, stray CRs
 * before it, a last line without one, a byte-order mark. */
TEST(WorldFile, UnchangedLinesKeepEveryByte)
{
    struct row {
        const char *what;
        std::string text;
        std::string expect; /* after setting [s] B = z */
    } rows[] = {
        {"a line ending in CR CR LF among LF lines", "[s]\nA = x\r\r\nB = y\n",
         "[s]\nA = x\r\r\nB = z\n"},
        {"CR LF lines", "[s]\r\nA = x\r\r\nB = y\r\n", "[s]\r\nA = x\r\r\nB = z\r\n"},
        {"a last line of CRs without LF", "[s]\nB = y\nA = x\r\r", "[s]\nB = z\nA = x\r\r"},
        {"a line added after a last line without LF", "[s]\nA = x\r\r",
         "[s]\nA = x\r\r\nB = z\n"},
        {"mixed line ends", "[s]\nA = 1\r\nC = 2\nB = y\n",
         "[s]\nA = 1\r\nC = 2\nB = z\n"},
        {"a byte-order mark", "\xEF\xBB\xBF[s]\nB = y\n", "\xEF\xBB\xBF[s]\nB = z\n"},
    };
    for (const row &r : rows) {
        ini_file f;
        std::string error;
        ASSERT_TRUE(ini_parse("w.ini", r.text, &f, &error)) << r.what << ": " << error;
        EXPECT_EQ(ini_apply_changes(f, {{"s", "B", "z", false}}), r.expect) << r.what;
    }

    const std::string reg = "\xEF\xBB\xBFREGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\VORNEX]\n"
                            "; a note\r\r\n\"A\"=\"1\"\r\n\"B\"=\"2\"";
    reg_file f;
    std::string error;
    ASSERT_TRUE(reg_parse("w.reg", reg, &f, &error)) << error;
    EXPECT_EQ(reg_apply_changes(f, {{"HKEY_LOCAL_MACHINE", "SOFTWARE\\VORNEX", "C", false, false,
                                     REG_SZ, str("3")}}),
              reg + "\n\"C\"=\"3\"\n");
}

} // namespace
