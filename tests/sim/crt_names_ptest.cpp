/* Conformance of rename, _access, _chmod and remove, on the simulation and under Wine. */
#include <gtest/gtest.h>

#include <string>

#include "platform/os.h"
#include "support/workstation.h"

namespace {

/* A fresh scratch directory with a plain file and a read-only file. */
struct Scratch {
    std::string dir, file, ro;
    Scratch()
    {
        dir = ws_fresh();
        file = ws_join(dir, "file.txt");
        ro = ws_join(dir, "ro.txt");
        ws_write_file(file, "file");
        ws_write_file(ro, "ro");
        crt_chmod(ro.c_str(), CRT_S_IREAD);
    }
    ~Scratch()
    {
        crt_chmod(ro.c_str(), CRT_S_IREAD | CRT_S_IWRITE);
    }
};

/* The portable boundary has no mkdir: where a directory is needed, the scratch directory
 * itself serves. */

TEST(CrtNames, RenameNeverReplaces)
{
    Scratch s;
    struct Row {
        const char *name;
        std::string from, to;
        int rc, err;
    } rows[] = {
        {"onto a file", s.file, s.ro, -1, EEXIST},
        {"onto a read-only file", s.file, s.ro, -1, EEXIST},
        {"onto a directory", s.file, s.dir, -1, EEXIST},
        {"missing source", ws_join(s.dir, "nosuch.txt"), ws_join(s.dir, "t.txt"), -1, ENOENT},
        {"into a missing directory", s.file, ws_join(s.dir, "nodir\\t.txt"), -1, ENOENT},
    };
    for (const Row &row : rows) {
        errno = 0;
        EXPECT_EQ(crt_rename(row.from.c_str(), row.to.c_str()), row.rc) << row.name;
        EXPECT_EQ(errno, row.err) << row.name;
        EXPECT_EQ(ws_content(s.file), "file") << row.name;
        EXPECT_EQ(ws_content(s.ro), "ro") << row.name;
    }
}

TEST(CrtNames, RenameMoves)
{
    Scratch s;
    std::string moved = ws_join(s.dir, "moved.txt");
    EXPECT_EQ(crt_rename(s.file.c_str(), moved.c_str()), 0);
    EXPECT_FALSE(ws_file_exists(s.file));
    EXPECT_EQ(ws_content(moved), "file");

    std::string upper = ws_join(s.dir, "MOVED.TXT");
    EXPECT_EQ(crt_rename(moved.c_str(), upper.c_str()), 0) << "a change of letter case only";
    EXPECT_EQ(ws_content(upper), "file");
    EXPECT_EQ(crt_rename(upper.c_str(), upper.c_str()), 0) << "the same name";

    std::string ro_moved = ws_join(s.dir, "ro-moved.txt");
    EXPECT_EQ(crt_rename(s.ro.c_str(), ro_moved.c_str()), 0) << "a read-only source moves";
    EXPECT_EQ(ws_content(ro_moved), "ro");
    errno = 0;
    FILE *f = crt_fopen(ro_moved.c_str(), "w");
    EXPECT_EQ(f, nullptr) << "the attribute moves with the file";
    if (f != NULL)
        fclose(f);
    crt_chmod(ro_moved.c_str(), CRT_S_IREAD | CRT_S_IWRITE);
}

TEST(CrtNames, RenameOfAnOpenSourceIsRefused)
{
    Scratch s;
    FILE *held = crt_fopen(s.file.c_str(), "rb");
    ASSERT_NE(held, nullptr);
    errno = 0;
    EXPECT_EQ(crt_rename(s.file.c_str(), ws_join(s.dir, "t.txt").c_str()), -1);
    EXPECT_EQ(errno, EACCES);
    fclose(held);
    EXPECT_EQ(crt_rename(s.file.c_str(), ws_join(s.dir, "t.txt").c_str()), 0) << "once closed";
}

TEST(CrtNames, Access)
{
    Scratch s;
    std::string root = s.dir.substr(0, 3); /* "C:\" */
    struct Row {
        const char *name;
        std::string path;
        int mode, rc, err;
    } rows[] = {
        {"file", s.file, 0, 0, 0},
        {"directory", s.dir, 0, 0, 0},
        {"directory with backslash", s.dir + "\\", 0, 0, 0},
        {"drive root", root, 0, 0, 0},
        {"drive without backslash", root.substr(0, 2), 0, 0, 0},
        {"file with backslash", s.file + "\\", 0, -1, ENOENT},
        {"missing file", ws_join(s.dir, "nosuch"), 0, -1, ENOENT},
        {"file in a missing directory", ws_join(s.dir, "nodir\\x"), 0, -1, ENOENT},
        {"file used as a directory", s.file + "\\x", 0, -1, ENOENT},
        {"empty name", "", 0, -1, ENOENT},
        {"invalid character", ws_join(s.dir, "a<b"), 0, -1, EINVAL},
        {"read-only, exists", s.ro, 0, 0, 0},
        {"read-only, read", s.ro, 4, 0, 0},
        {"read-only, write", s.ro, 2, -1, EACCES},
        {"read-only, read and write", s.ro, 6, -1, EACCES},
        {"plain file, write", s.file, 2, 0, 0},
        {"lower-case name", ws_join(s.dir, "FILE.TXT"), 0, 0, 0},
    };
    for (const Row &row : rows) {
        errno = 0;
        EXPECT_EQ(crt_access(row.path.c_str(), row.mode), row.rc) << row.name;
        if (row.rc != 0) {
            EXPECT_EQ(errno, row.err) << row.name;
        }
    }
}

TEST(CrtNames, ChmodTogglesReadOnly)
{
    Scratch s;
    EXPECT_EQ(crt_chmod(s.ro.c_str(), CRT_S_IREAD | CRT_S_IWRITE), 0);
    EXPECT_EQ(GetFileAttributesA(s.ro.c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
    EXPECT_EQ(crt_access(s.ro.c_str(), 2), 0);
    EXPECT_TRUE(ws_write_file(s.ro, "now writable"));

    EXPECT_EQ(crt_chmod(s.file.c_str(), CRT_S_IREAD), 0);
    EXPECT_EQ(GetFileAttributesA(s.file.c_str()) & FILE_ATTRIBUTE_READONLY,
              FILE_ATTRIBUTE_READONLY);
    EXPECT_FALSE(ws_write_file(s.file, "refused"));
    EXPECT_EQ(ws_content(s.file), "file");
    EXPECT_EQ(crt_chmod(s.file.c_str(), CRT_S_IWRITE), 0);
    EXPECT_EQ(GetFileAttributesA(s.file.c_str()) & FILE_ATTRIBUTE_READONLY, 0u);

    errno = 0;
    EXPECT_EQ(crt_chmod(ws_join(s.dir, "nosuch").c_str(), CRT_S_IREAD), -1);
    EXPECT_EQ(errno, ENOENT);
    errno = 0;
    EXPECT_EQ(crt_chmod(ws_join(s.dir, "nodir\\x").c_str(), CRT_S_IREAD), -1);
    EXPECT_EQ(errno, ENOENT);
}

TEST(CrtNames, Remove)
{
    Scratch s;
    struct Row {
        const char *name;
        std::string path;
        int err;
    } rows[] = {
        {"read-only file", s.ro, EACCES},
        {"missing file", ws_join(s.dir, "nosuch"), ENOENT},
        {"directory", s.dir, EACCES},
    };
    for (const Row &row : rows) {
        errno = 0;
        EXPECT_EQ(crt_remove(row.path.c_str()), -1) << row.name;
        EXPECT_EQ(errno, row.err) << row.name;
    }
    EXPECT_EQ(ws_content(s.ro), "ro");

    FILE *held = crt_fopen(s.file.c_str(), "rb");
    ASSERT_NE(held, nullptr);
    errno = 0;
    EXPECT_EQ(crt_remove(s.file.c_str()), -1) << "held open";
    EXPECT_EQ(errno, EACCES);
    fclose(held);
    EXPECT_EQ(crt_remove(s.file.c_str()), 0);
    EXPECT_FALSE(ws_file_exists(s.file));
}

} // namespace
