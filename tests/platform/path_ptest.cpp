// Path composition and splitting, the compressed-file name and the typed drive root.
#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "platform/path.h"

namespace {

const char POISON = (char)0xA5;

struct Parts {
    const char *root, *dir, *base, *ext;
};

TEST(PathCompose, JoinsComponentsWithTheRightSeparators)
{
    struct Row {
        Parts in;
        const char *path;
    } rows[] = {
        {{"C:", "", "vxinst", "exe"}, "C:\\vxinst.exe"},
        {{"C:\\apps", ".", "x", ""}, "C:\\apps\\x"},
        {{"", "C:", "f", ""}, "C:f"},
        {{"", "", "", ""}, ""},
        {{"C:\\apps", "", "", ""}, "C:\\apps"},
        {{"C:\\", "", "agent", "exe"}, "C:\\agent.exe"},
        {{"C:\\apps\\bin", "", "", ""}, "C:\\apps\\bin"},
        {{"S:\\VORNEX", "bin", "vxinst", "exe"}, "S:\\VORNEX\\bin\\vxinst.exe"},
        {{"", "dir\\sub", "file", "txt"}, "dir\\sub\\file.txt"},
        {{"", "dir\\", "file", ""}, "dir\\file"},
        {{"", "dir", "", ""}, "dir"},
        {{"", "", "", "ini"}, ".ini"},
        {{"\\", "", "setup", "ini"}, "\\setup.ini"},
        {{NULL, "", "f", ""}, "f"},
        {{"C:\\apps", ".", "", ""}, "C:\\apps"},
    };
    for (const Row &r : rows) {
        char out[PATH_CAP + 1];
        memset(out, POISON, sizeof out);
        EXPECT_TRUE(path_compose(out, r.in.root, r.in.dir, r.in.base, r.in.ext)) << r.path;
        EXPECT_STREQ(r.path, out);
        EXPECT_EQ(POISON, out[PATH_CAP]);
    }
}

// A path that does not fit is refused, never cut to another name.
TEST(PathCompose, RefusesPathsLongerThanTheBuffer)
{
    // "C:\" + dir + "\" + base + ".txt": 3 + 240 + 1 + base + 4 characters.
    std::string dir(240, 'd');
    for (size_t base_len : {10u, 11u, 12u, 200u}) {
        std::string base(base_len, 'b');
        size_t len = 3 + dir.size() + 1 + base_len + 4;
        char out[PATH_CAP + 1];
        memset(out, POISON, sizeof out);
        bool ok = path_compose(out, "C:\\", dir.c_str(), base.c_str(), "txt");
        SCOPED_TRACE("path length " + std::to_string(len));
        EXPECT_EQ(POISON, out[PATH_CAP]) << "guard byte after the 260-byte buffer";
        if (len <= PATH_CAP - 1) {
            EXPECT_TRUE(ok);
            EXPECT_EQ(len, strlen(out));
        } else {
            EXPECT_FALSE(ok);
            EXPECT_STREQ("", out);
        }
    }
    // The separator or the full stop alone can be what does not fit.
    std::string root(258, 'r');
    char out[PATH_CAP];
    EXPECT_TRUE(path_compose(out, root.c_str(), "", "", "")); // 258 characters
    EXPECT_FALSE(path_compose(out, root.c_str(), "", "x", "")) << "259 characters plus the backslash";
    std::string base(258, 'b');
    EXPECT_FALSE(path_compose(out, "", "", base.c_str(), "e"));
    EXPECT_STREQ("", out);
    EXPECT_FALSE(path_compose(NULL, "C:", "", "x", ""));
}

TEST(PathCompose, AComponentMayBeTheOutputBuffer)
{
    char buf[PATH_CAP] = "C:\\apps";
    EXPECT_TRUE(path_compose(buf, buf, "", "agent", "exe"));
    EXPECT_STREQ("C:\\apps\\agent.exe", buf);
}

TEST(PathSplit, TheFourComponents)
{
    struct Row {
        const char *path;
        Parts out;
    } rows[] = {
        {"C:\\apps\\bin\\agent.exe", {"C:\\apps\\bin", "", "agent", "exe"}},
        {"C:\\agent.exe", {"C:\\", "", "agent", "exe"}},
        {"C:\\apps\\", {"C:\\apps\\", "", "", ""}},
        {"\\\\srv\\vol\\dir\\setup.ini", {"\\\\srv\\vol\\dir", "", "setup", "ini"}},
        {"\\setup.ini", {"\\", "", "setup", "ini"}},
        {"dir\\sub\\file.txt", {"", "dir\\sub", "file", "txt"}},
        {"file.txt", {"", "", "file", "txt"}},
        {"C:file.txt", {"", "C:", "file", "txt"}},
        {"C:\\rel1.0\\readme", {"C:\\rel1.0", "", "readme", ""}},
        {"..\\x", {"", "..", "x", ""}},
        {"C:\\dir\\.profile", {"C:\\dir", "", "", "profile"}},
        {"C:\\a.\\b", {"C:\\a.", "", "b", ""}},
        {"C:\\", {"C:\\", "", "", ""}},
        {"\\", {"\\", "", "", ""}},
        {"C:", {"", "C:", "", ""}},
        {"dir\\", {"", "dir\\", "", ""}},
        {"C:dir\\f.x", {"", "C:dir", "f", "x"}},
        {"a.b.c", {"", "", "a.b", "c"}},
        {"name.", {"", "", "name", ""}},
        {"C:\\dir\\archive.tar.gz", {"C:\\dir", "", "archive.tar", "gz"}},
        {"/unix/style.txt", {"", "", "/unix/style", "txt"}},
        {"", {"", "", "", ""}},
        {NULL, {"", "", "", ""}},
    };
    for (const Row &r : rows) {
        char root[PATH_CAP], dir[PATH_CAP], base[PATH_CAP], ext[PATH_CAP];
        memset(root, POISON, sizeof root);
        memset(dir, POISON, sizeof dir);
        memset(base, POISON, sizeof base);
        memset(ext, POISON, sizeof ext);
        path_split(r.path, root, dir, base, ext);
        const char *p = r.path ? r.path : "(null)";
        EXPECT_STREQ(r.out.root, root) << p;
        EXPECT_STREQ(r.out.dir, dir) << p;
        EXPECT_STREQ(r.out.base, base) << p;
        EXPECT_STREQ(r.out.ext, ext) << p;
    }
}

// A split recomposes: the directory from root and dir, the whole path from all four.
TEST(PathSplit, RecomposesToTheSamePath)
{
    struct Row {
        const char *path, *directory;
    } rows[] = {
        {"C:\\apps\\bin\\agent.exe", "C:\\apps\\bin"},
        {"C:\\agent.exe", "C:\\"},
        {"dir\\sub\\file.txt", "dir\\sub"},
        {"C:file.txt", "C:"},
        {"\\\\srv\\vol\\setup.ini", "\\\\srv\\vol"},
        {"file.txt", ""},
    };
    for (const Row &r : rows) {
        char root[PATH_CAP], dir[PATH_CAP], base[PATH_CAP], ext[PATH_CAP], out[PATH_CAP];
        path_split(r.path, root, dir, base, ext);
        EXPECT_TRUE(path_compose(out, root, dir, "", ""));
        EXPECT_STREQ(r.directory, out) << r.path;
        EXPECT_TRUE(path_compose(out, root, dir, base, ext));
        EXPECT_STREQ(r.path, out);
    }
}

TEST(PathSplit, PathsTooLongForABufferGiveNothing)
{
    for (size_t len : {258u, 259u, 260u, 1000u}) {
        std::string path = "C:\\" + std::string(len - 3 - 4, 'n') + ".txt";
        char parts[4][PATH_CAP + 1];
        for (auto &p : parts)
            memset(p, POISON, sizeof p);
        path_split(path.c_str(), parts[0], parts[1], parts[2], parts[3]);
        SCOPED_TRACE("length " + std::to_string(len));
        for (auto &p : parts)
            EXPECT_EQ(POISON, p[PATH_CAP]);
        if (len <= PATH_CAP - 1) {
            EXPECT_STREQ("C:\\", parts[0]);
            EXPECT_EQ(len - 7, strlen(parts[2]));
            EXPECT_STREQ("txt", parts[3]);
        } else {
            for (auto &p : parts)
                EXPECT_STREQ("", p);
        }
    }
}

TEST(PathCompressedName, UnderscoreInFrontOrOverTheFirst)
{
    struct Row {
        const char *base, *stored;
    } rows[] = {
        {"SETUP", "_SETUP"},
        {"ABCDEFG", "_ABCDEFG"},
        {"ABCDEFGH", "_BCDEFGH"},
        {"ABCDEFGHIJ", "_BCDEFGHIJ"},
        {"", "_"},
    };
    for (const Row &r : rows) {
        char buf[PATH_CAP];
        memset(buf, POISON, sizeof buf);
        strcpy(buf, r.base);
        path_compressed_name(buf);
        EXPECT_STREQ(r.stored, buf) << r.base;
        EXPECT_EQ(POISON, buf[strlen(r.stored) + 1]) << r.base;
    }
    char nine[9] = "ABCDEFG";
    path_compressed_name(nine); // the smallest buffer a 7-character base may come in
    EXPECT_STREQ("_ABCDEFG", nine);
    path_compressed_name(NULL);
}

TEST(PathDriveRoot, TheLetterAColonAndABackslash)
{
    for (char letter : {'A', 'S', 'z'}) {
        char root[PATH_DRIVE_ROOT_CAP + 1];
        memset(root, 0x5A, sizeof root);
        path_drive_root(root, letter);
        EXPECT_EQ(std::string(root), std::string(1, letter) + ":\\") << letter;
        EXPECT_EQ(root[PATH_DRIVE_ROOT_CAP], 0x5A) << "nothing past the root's buffer";
    }
    path_drive_root(NULL, 'C');
}

TEST(PathTrimRoot, SlashesAndTrailingBlanks)
{
    struct Row {
        const char *typed, *root;
    } rows[] = {
        {"a:/  ", "a:\\"},
        {"A:\\\t\n", "A:\\"},
        {"  b:/x/ \n", "  b:\\x\\"},
        {" \t\n", ""},
        {"a:\\\r", "a:\\\r"}, // only spaces, TABs and LFs are cut
        {"", ""},
    };
    for (const Row &r : rows) {
        char buf[32];
        strcpy(buf, r.typed);
        path_trim_root(buf);
        EXPECT_STREQ(r.root, buf) << '"' << r.typed << '"';
    }
    path_trim_root(NULL);
}

} // namespace
