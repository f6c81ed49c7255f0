// The profile (.ini) calls as measured on the real ones: run on the simulation and under Wine.
#include <gtest/gtest.h>

#include <string>

#include "platform/os.h"
#include "support/conformance.h"
#include "support/workstation.h"

namespace {


const char POISON = (char)0xCC;

const char READ1[] = "; comment line\r\n# hash line\r\n[Vornex]\r\n  Key1  =  value one  \r\n"
                     "Key2=\"quoted value\"\r\nKey3='single quoted'\r\nKey4=\"  padded  \"\r\n"
                     "Key5=\r\nKey6=first\r\nKEY6=second\r\nNoEquals\r\n;Key7=commented\r\n"
                     "#Key8=hashed\r\nKey9=a ; trailing semicolon\r\n=emptykey\r\n"
                     "Key13=\"unbalanced\r\nKey14=\"a\" b \"c\"\r\nKey15=\t tabbed\t \r\n"
                     "Key16='\r\nKey17=\"\"\r\nKey18=a=b=c\r\n\r\n[vornex]\r\n"
                     "Key10=dup section\r\nKey1=dup section key1\r\n[ Vornex2 ]\r\n"
                     "Key11=blanks in brackets\r\n[]\r\nKey12=empty section name\r\n"
                     "[Unclosed\r\nKey19=after unclosed\r\n  [Indented]  \r\n"
                     "Key20=indented section\r\n[Trail] junk\r\nKey21=after trail\r\n";

class ProfileConformance : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = ws_fresh();
        ASSERT_FALSE(dir.empty());
        file = ws_join(dir, "p.ini");
    }
    // The call with a poisoned buffer; *out gets the bytes up to the count plus two more.
    DWORD get(const char *sec, const char *key, const char *def, DWORD size, std::string *out,
              const std::string &f = "")
    {
        memset(buf, POISON, sizeof buf);
        DWORD n = GetPrivateProfileStringA(sec, key, def, buf, size,
                                           (f.empty() ? file : f).c_str());
        *out = std::string(buf, n + 2 < sizeof buf ? n + 2 : sizeof buf);
        return n;
    }
    std::string bytes(const std::string &f = "")
    {
        std::string b;
        return ws_read_file(f.empty() ? file : f, &b) ? b : "<missing>";
    }
    std::string dir, file;
    char buf[2048];
};

// A value, then its NUL, then an untouched byte.
std::string terminated(const std::string &v)
{
    return v + '\0' + POISON;
}

TEST_F(ProfileConformance, ParsingOfLinesSectionsAndValues)
{
    ASSERT_TRUE(ws_write_file(file, READ1));
    struct Row {
        const char *what, *sec, *key, *def;
        const char *value;
    } rows[] = {
        {"blanks around key and value", "Vornex", "Key1", "", "value one"},
        {"blanks in the requested key", "Vornex", "  Key1  ", "", "value one"},
        {"double quotes removed", "Vornex", "Key2", "", "quoted value"},
        {"single quotes removed", "Vornex", "Key3", "", "single quoted"},
        {"blanks inside quotes kept", "Vornex", "Key4", "", "  padded  "},
        {"unbalanced quote kept", "Vornex", "Key13", "", "\"unbalanced"},
        {"first and last quote removed", "Vornex", "Key14", "", "a\" b \"c"},
        {"tabs trimmed", "Vornex", "Key15", "", "tabbed"},
        {"lone quote kept", "Vornex", "Key16", "", "'"},
        {"empty quotes", "Vornex", "Key17", "D", ""},
        {"key ends at the first =", "Vornex", "Key18", "", "a=b=c"},
        {"; inside a value", "Vornex", "Key9", "", "a ; trailing semicolon"},
        {"case-blind names", "VORNEX", "KEY2", "", "quoted value"},
        {"first duplicate key wins", "Vornex", "Key6", "", "first"},
        {"later duplicate section invisible", "Vornex", "Key10", "D", "D"},
        {"; line found by lookup", "Vornex", ";Key7", "", "commented"},
        {"# line is a key", "Vornex", "#Key8", "", "hashed"},
        {"line without =", "Vornex", "NoEquals", "D", "D"},
        {"empty key name", "Vornex", "", "D", "emptykey"},
        {"lines before the first header", "", "; comment line", "D", "D"},
        {"blanks in brackets", "Vornex2", "Key11", "", "blanks in brackets"},
        {"blanks in the requested section", " Vornex2 ", "Key11", "", "blanks in brackets"},
        {"[] is not section \"\"", "", "Key12", "D", "D"},
        {"unclosed header is no header", "Unclosed", "Key19", "D", "D"},
        {"indented header", "Indented", "Key20", "D", "indented section"},
        {"text after ] ignored", "Trail", "Key21", "D", "after trail"},
        {"empty value, default not used", "Vornex", "Key5", "D", ""},
        {"missing key, default", "Vornex", "Nope", "D", "D"},
        {"missing key, NULL default", "Vornex", "Nope", NULL, ""},
        {"default loses trailing blanks", "Vornex", "Nope", "def  ", "def"},
        {"default keeps leading blanks", "Vornex", "Nope", "  def", "  def"},
        {"default loses its quotes", "Vornex", "Nope", "\"q\"", "q"},
        {"missing section", "NoSec", "Key1", "D", "D"},
    };
    for (const Row &r : rows) {
        std::string out;
        DWORD n = get(r.sec, r.key, r.def, 64, &out);
        EXPECT_EQ(strlen(r.value), n) << r.what;
        EXPECT_EQ(terminated(r.value), out) << r.what;
    }
}

TEST_F(ProfileConformance, ValuesAreCutToTheBuffer)
{
    std::string big =
        "[S]\r\nL=" + std::string(1100, 'x') + "\r\nQ=\"quoted value\"\r\nV=value one\r\n";
    ASSERT_TRUE(ws_write_file(file, big));
    struct Row {
        const char *what, *key, *def;
        DWORD size;
        const char *value;
    } rows[] = {
        {"size 1", "V", "", 1, ""},
        {"size 2", "V", "", 2, "v"},
        {"size 4", "V", "", 4, "val"},
        {"quotes removed before the cut", "Q", "", 5, "quot"},
        {"default cut", "Nope", "0123456789", 5, "0123"},
    };
    for (const Row &r : rows) {
        std::string out;
        DWORD n = get("S", r.key, r.def, r.size, &out);
        EXPECT_EQ(strlen(r.value), n) << r.what;
        EXPECT_EQ(terminated(r.value), out) << r.what;
    }
    std::string out;
    EXPECT_EQ(1023u, get("S", "L", "", 1024, &out));
    EXPECT_EQ(terminated(std::string(1023, 'x')), out) << "1100 characters into 1024";
    EXPECT_EQ(0u, get("S", "V", "D", 0, &out));
    EXPECT_EQ(std::string(2, POISON), out) << "size 0 writes nothing";
}

TEST_F(ProfileConformance, KeyAndSectionListsThatDoNotFitAreCut)
{
    ASSERT_TRUE(ws_write_file(file, "[S]\r\nAB=1\r\nCD=2\r\nEF=3\r\n[Empty]\r\n[T]\r\nX=1\r\n"));
    const std::string keys("AB\0CD\0EF\0\0", 10), secs("S\0Empty\0T\0\0", 11);
    for (DWORD size = 2; size <= 12; size++) {
        // Anything not fitting fully, also an exact fit, is cut to size-2 bytes and a NUL. A
        // list too long for the buffer also has a second NUL in the last byte on Windows.
        for (int list = 0; list < 2; list++) {
            const std::string &full = list == 0 ? keys : secs;
            std::string out;
            DWORD n = get(list == 0 ? "S" : NULL, NULL, "", size, &out);
            std::string want = size > full.size() ? full : full.substr(0, size - 2) + '\0';
            std::string after(1, POISON);
            if (size >= 3 && size < full.size())
                after = ws_expected(WS_LIST_CUT_SHORT, std::string(1, '\0'), after);
            SCOPED_TRACE((list == 0 ? "key list, size " : "section list, size ") +
                         std::to_string(size));
            EXPECT_EQ(want.size() - 1, n);
            EXPECT_EQ(want + after, std::string(buf, want.size() + 1));
        }
    }
    std::string out;
    EXPECT_EQ(0u, get("Empty", NULL, "", 16, &out));
    EXPECT_EQ(terminated(""), out) << "an empty section gives one NUL";
    EXPECT_EQ(3u, get("Empty", NULL, "XYZ", 16, &out));
    EXPECT_EQ(terminated("XYZ"), out) << "or the default";
    EXPECT_EQ(1u, get("NoSec", NULL, "D", 16, &out));
    EXPECT_EQ(terminated("D"), out) << "a missing section gives the default";

    ASSERT_TRUE(ws_write_file(file, READ1));
    std::string want("Key1\0Key2\0Key3\0Key4\0Key5\0Key6\0KEY6\0#Key8\0Key9\0\0Key13\0Key14\0"
                     "Key15\0Key16\0Key17\0Key18\0\0", 84);
    EXPECT_EQ(want.size() - 1, get("Vornex", NULL, "XYZ", 400, &out));
    EXPECT_EQ(want + POISON, std::string(buf, want.size() + 1));
    want = std::string("Vornex\0vornex\0Vornex2\0Indented\0Trail\0\0", 38);
    EXPECT_EQ(want.size() - 1, get(NULL, "ignored", "", 400, &out));
    EXPECT_EQ(want + POISON, std::string(buf, want.size() + 1));
}

TEST_F(ProfileConformance, LineEndsAndFileLookup)
{
    struct Row {
        const char *what, *content, *key, *value;
    } rows[] = {
        {"LF", "[S]\nA=1\nB=two\n", "B", "two"},
        {"lone CR", "[S]\rA=1\rB=two\r", "B", "two"},
        {"no final line end", "[S]\r\nA=1\r\nB=last", "B", "last"},
        {"Ctrl-Z trimmed", "[S]\r\nA=1\x1a\r\nB=2\r\n", "A", "1"},
        {"lines after Ctrl-Z", "[S]\r\nA=1\x1a\r\nB=2\r\n", "B", "2"},
    };
    for (const Row &r : rows) {
        ASSERT_TRUE(ws_write_file(file, r.content)) << r.what;
        std::string out;
        get("S", r.key, "", 16, &out);
        EXPECT_EQ(terminated(r.value), out) << r.what;
    }
    ASSERT_TRUE(ws_write_file(file, "[S]\r\nA=22\r\n"));
    std::string out;
    get("S", "A", "", 16, &out);
    EXPECT_EQ(terminated("22"), out) << "a rewrite of the same size is seen";

    struct Err {
        const char *what;
        std::string file;
        DWORD error;
    } errs[] = {
        {"missing file", ws_join(dir, "nofile.ini"), ERROR_FILE_NOT_FOUND},
        {"missing directory", ws_join(dir, "nodir\\x.ini"), ERROR_PATH_NOT_FOUND},
    };
    for (const Err &e : errs) {
        SetLastError(0xDEAD);
        EXPECT_EQ(1u, get("S", "A", "D", 16, &out, e.file)) << e.what;
        EXPECT_EQ(e.error, GetLastError()) << e.what;
        EXPECT_EQ(terminated("D"), out) << e.what;
    }
    SetLastError(0xDEAD);
    EXPECT_EQ(1u, GetPrivateProfileStringA("S", "A", "D", buf, 16, ""));
    EXPECT_EQ((DWORD)ERROR_ACCESS_DENIED, GetLastError()) << "empty file name";

    // A bare name is the Windows directory's file.
    std::string bare = "vxconf-" + dir.substr(dir.rfind('\\') + 1) + ".ini";
    ASSERT_TRUE(WritePrivateProfileStringA("S", "Where", "windows dir", bare.c_str()));
    EXPECT_FALSE(ws_file_exists(ws_join(dir, bare)));
    std::string in_windows = "C:\\WINDOWS\\" + bare;
    EXPECT_EQ(terminated("windows dir"), (get("S", "Where", "", 32, &out, in_windows), out));
    get("S", "Where", "", 32, &out, bare);
    EXPECT_EQ(terminated("windows dir"), out);
    crt_remove(in_windows.c_str());
}

TEST_F(ProfileConformance, WritesRewriteTheFileInNormalForm)
{
    // Wine's measured rewrite; real Windows may keep blank lines and spacing it did not touch.
    struct Row {
        const char *what, *before, *sec, *key, *value, *after;
    } rows[] = {
        {"new file", NULL, "Vornex", "KEY", "value", "[Vornex]\r\nKEY=value\r\n"},
        {"empty file", "", "S", "A", "1", "[S]\r\nA=1\r\n"},
        {"new key before the next header", "[A]\r\nx=1\r\n[B]\r\ny=2\r\n", "A", "z", "3",
         "[A]\r\nx=1\r\nz=3\r\n[B]\r\ny=2\r\n"},
        {"new section at the end", "[Vornex]\r\nA=1\r\n", "Other", "A", "1",
         "[Vornex]\r\nA=1\r\n[Other]\r\nA=1\r\n"},
        {"section in other case", "[Vornex]\r\nA=1\r\n", "vornex", "B", "2",
         "[Vornex]\r\nA=1\r\nB=2\r\n"},
        {"key spelling kept", "[Vornex]\r\nKEY=value\r\n", "Vornex", "key", "VALUE2",
         "[Vornex]\r\nKEY=VALUE2\r\n"},
        {"blanks dropped", "[S]\r\n  Key1  =  old  \r\n", "S", "Key1", "new",
         "[S]\r\nKey1=new\r\n"},
        {"leading blanks of a value", "[S]\r\n", "S", "Blank", "  sp  ", "[S]\r\nBlank=sp  \r\n"},
        {"quotes written", "[S]\r\n", "S", "Q", "\"quoted\"", "[S]\r\nQ=\"quoted\"\r\n"},
        {"empty value", "[S]\r\n", "S", "Empty", "", "[S]\r\nEmpty=\r\n"},
        {"padded names", NULL, " PadSec ", " Pad ", "x", "[PadSec ]\r\nPad =x\r\n"},
        {"padding trimmed by the next rewrite", "[PadSec ]\r\nPad =x\r\nBlank=sp  \r\n", "PadSec",
         "B", "1", "[PadSec]\r\nPad=x\r\nBlank=sp\r\nB=1\r\n"},
        {"line without =", "[S]\r\nNoEquals\r\n", "S", "NoEquals", "v", "[S]\r\nNoEquals=v\r\n"},
        {"last line completed", "Orphan=1\r\n[S]\r\nA=1", "S", "B", "2",
         "Orphan=1\r\n[S]\r\nA=1\r\nB=2\r\n"},
        {"comments kept, blank lines gone, LF to CR LF", "; c\n[S]\n\nA=1\nword\n", "S", "B", "2",
         "; c\r\n[S]\r\nA=1\r\nword\r\nB=2\r\n"},
        {"value with a line end", "[S]\r\n", "S", "Multi", "a\r\nb", "[S]\r\nMulti=a\r\nb\r\n"},
        {"first of duplicate keys", "[S]\r\nK=1\r\nK=2\r\n", "S", "K", "9",
         "[S]\r\nK=9\r\nK=2\r\n"},
        {"key only in a later duplicate section", "[S]\r\nK=1\r\n[s]\r\nL=3\r\n", "S", "L", "4",
         "[S]\r\nK=1\r\nL=4\r\n[s]\r\nL=3\r\n"},
        {"delete the first matching key", "[S]\r\nK=1\r\nK=2\r\n", "S", "K", NULL,
         "[S]\r\nK=2\r\n"},
        {"delete a missing key", "[S]\r\nA=1\r\n", "S", "Nope", NULL, "[S]\r\nA=1\r\n"},
        {"delete a missing section", "[S]\r\nA=1\r\n", "Nope", NULL, NULL, "[S]\r\nA=1\r\n"},
        {"delete a section with its comments", "[A]\r\nx=1\r\n;c\r\n[B]\r\ny=2\r\n", "A", NULL,
         "ignored", "[B]\r\ny=2\r\n"},
        {"delete the first duplicate section", "[S]\r\nK=1\r\n[s]\r\nK=2\r\n", "S", NULL, NULL,
         "[s]\r\nK=2\r\n"},
        {"delete in a missing file", NULL, "S", "A", NULL, "<missing>"},
        {"delete a section of a missing file", NULL, "S", NULL, NULL, "<missing>"},
    };
    for (const Row &r : rows) {
        crt_remove(file.c_str());
        if (r.before != NULL) {
            ASSERT_TRUE(ws_write_file(file, r.before)) << r.what;
        }
        EXPECT_TRUE(WritePrivateProfileStringA(r.sec, r.key, r.value, file.c_str())) << r.what;
        EXPECT_EQ(r.after, bytes()) << r.what;
    }
    std::string out;
    ASSERT_TRUE(ws_write_file(file, "[S]\r\nMulti=a\r\nb\r\nQ=\"quoted\"\r\n"));
    EXPECT_EQ(terminated("a"), (get("S", "Multi", "", 16, &out), out));
    EXPECT_EQ(terminated("quoted"), (get("S", "Q", "", 16, &out), out));
}

TEST_F(ProfileConformance, RefusedWrites)
{
    ASSERT_TRUE(ws_write_file(file, "[S]\r\nA=old\r\n"));
    ASSERT_EQ(0, crt_chmod(file.c_str(), CRT_S_IREAD));
    ASSERT_TRUE(ws_write_file(ws_join(dir, "w.ini"), "[S]\r\nA=1\r\n"));
    struct Row {
        const char *what, *sec, *key, *value;
        std::string file;
        DWORD error;
    } rows[] = {
        {"read-only file, write", "S", "A", "new", file, ERROR_ACCESS_DENIED},
        {"read-only file, delete", "S", "A", NULL, file, ERROR_ACCESS_DENIED},
        {"missing directory", "S", "A", "1", ws_join(dir, "nodir\\x.ini"), ERROR_PATH_NOT_FOUND},
        {"a directory", "S", "A", "1", dir, ERROR_ACCESS_DENIED},
        // Wine reports 5 for these two as well when the file is read-only.
        {"section NULL", NULL, "A", "1", ws_join(dir, "w.ini"), ERROR_FILE_NOT_FOUND},
        {"all NULL", NULL, NULL, NULL, ws_join(dir, "w.ini"), 0},
    };
    for (const Row &r : rows) {
        SetLastError(0xDEAD);
        EXPECT_FALSE(WritePrivateProfileStringA(r.sec, r.key, r.value, r.file.c_str())) << r.what;
        EXPECT_EQ(r.error, GetLastError()) << r.what;
    }
    EXPECT_EQ("[S]\r\nA=old\r\n", bytes());
    EXPECT_FALSE(ws_file_exists(ws_join(dir, "nodir"))) << "the directory is not created";
    crt_chmod(file.c_str(), CRT_S_IREAD | CRT_S_IWRITE);
}

TEST_F(ProfileConformance, ASectionIsReplacedWhole)
{
    struct Row {
        const char *what, *before, *sec;
        std::string keys; // entries with their NULs, and the list's last one
        const char *after;
    } rows[] = {
        {"new file", NULL, "S", std::string("A=1\0B=2\0\0", 9), "[S]\r\nA=1\r\nB=2\r\n"},
        {"keys replaced, order of the list", "[S]\r\nB=old\r\nC=gone\r\n[T]\r\nX=1\r\n", "s",
         std::string("A=1\0B=2\0\0", 9), "[S]\r\nA=1\r\nB=2\r\n[T]\r\nX=1\r\n"},
        {"new section at the end", "[T]\r\nX=1\r\n", "S", std::string("A=1\0\0", 5),
         "[T]\r\nX=1\r\n[S]\r\nA=1\r\n"},
        {"an empty list empties the section", "[S]\r\nA=1\r\n[T]\r\nX=1\r\n", "S",
         std::string("\0\0", 2), "[S]\r\n[T]\r\nX=1\r\n"},
        {"a later duplicate section is emptied too", "[S]\r\nA=1\r\n[s]\r\nA=2\r\n", "S",
         std::string("B=3\0\0", 5), "[S]\r\nB=3\r\n[s]\r\n"},
        {"damaged lines of the section go", "[S]\r\n\x01\x02junk\r\nA=1\r\n", "S",
         std::string("A=2\0\0", 5), "[S]\r\nA=2\r\n"},
    };
    for (const Row &r : rows) {
        crt_remove(file.c_str());
        if (r.before != NULL) {
            ASSERT_TRUE(ws_write_file(file, r.before)) << r.what;
        }
        EXPECT_TRUE(WritePrivateProfileSectionA(r.sec, r.keys.data(), file.c_str())) << r.what;
        EXPECT_EQ(r.after, bytes()) << r.what;
    }
}

TEST_F(ProfileConformance, RefusedSectionWrites)
{
    ASSERT_TRUE(ws_write_file(file, "[S]\r\nA=old\r\n"));
    ASSERT_EQ(0, crt_chmod(file.c_str(), CRT_S_IREAD));
    const std::string keys("A=1\0\0", 5);
    struct Row {
        const char *what;
        std::string file;
        DWORD error;
    } rows[] = {
        {"read-only file", file, ERROR_ACCESS_DENIED},
        {"missing directory", ws_join(dir, "nodir\\x.ini"), ERROR_PATH_NOT_FOUND},
        {"a directory", dir, ERROR_ACCESS_DENIED},
    };
    for (const Row &r : rows) {
        SetLastError(0xDEAD);
        EXPECT_FALSE(WritePrivateProfileSectionA("S", keys.data(), r.file.c_str())) << r.what;
        EXPECT_EQ(r.error, GetLastError()) << r.what;
    }
    EXPECT_EQ("[S]\r\nA=old\r\n", bytes());
    EXPECT_FALSE(ws_file_exists(ws_join(dir, "nodir")));
    crt_chmod(file.c_str(), CRT_S_IREAD | CRT_S_IWRITE);
}

TEST_F(ProfileConformance, WinIniIsTheProfile)
{
    // WIN.INI is shared with the rest of the system: a section of our own, removed at the end.
    std::string sec = "VxConf-" + dir.substr(dir.rfind('\\') + 1);
    ASSERT_TRUE(WriteProfileStringA(sec.c_str(), "KEY", "value"));
    ASSERT_TRUE(WriteProfileStringA(sec.c_str(), "Empty", ""));
    ASSERT_TRUE(WriteProfileStringA(sec.c_str(), "Spaced", "  x  "));
    memset(buf, POISON, sizeof buf);
    EXPECT_EQ(5u, GetProfileStringA(sec.c_str(), "key", "", buf, 16));
    EXPECT_STREQ("value", buf);
    EXPECT_EQ(1u, GetProfileStringA(sec.c_str(), "Spaced", "", buf, 16));
    EXPECT_EQ(2u, GetProfileStringA(sec.c_str(), "KEY", "", buf, 3));
    EXPECT_STREQ("va", buf);
    memset(buf, POISON, sizeof buf);
    EXPECT_EQ(17u, GetProfileStringA(sec.c_str(), NULL, "", buf, 64));
    EXPECT_EQ(std::string("KEY\0Empty\0Spaced\0\0", 18), std::string(buf, 18));
    EXPECT_EQ(4u, GetProfileStringA(sec.c_str(), NULL, "", buf, 6));
    EXPECT_EQ(std::string("KEY\0\0", 5), std::string(buf, 5));
    ASSERT_TRUE(WriteProfileStringA(sec.c_str(), "KEY", NULL));
    EXPECT_EQ(1u, GetProfileStringA(sec.c_str(), "KEY", "D", buf, 16)) << "key deleted";
    ASSERT_TRUE(WriteProfileStringA(sec.c_str(), NULL, NULL));
    EXPECT_EQ(1u, GetProfileStringA(sec.c_str(), "Spaced", "D", buf, 16)) << "section deleted";
    EXPECT_TRUE(WriteProfileStringA(sec.c_str(), NULL, NULL)) << "deleted again";
    std::string win_ini;
    EXPECT_TRUE(ws_read_file("C:\\WINDOWS\\win.ini", &win_ini));
    EXPECT_EQ(std::string::npos, win_ini.find(sec));
}

} // namespace
