/* Conformance of kernel32's file calls, on the simulation and under Wine. */
#include <gtest/gtest.h>

#include <string>

#include "platform/os.h"
#include "support/conformance.h"
#include "support/workstation.h"

namespace {

const ws_difference REPLACE_READ_ONLY = {
    "MoveFileExA replacing a read-only file", WS_WINDOWS,
    "documented: a read-only target is not superseded (ERROR_ACCESS_DENIED); Wine replaces it"};
const ws_difference STAMPS_THROUGH_READ_HANDLE = {
    "SetFileTime through a handle opened for reading", WS_WINDOWS,
    "documented: the handle needs FILE_WRITE_ATTRIBUTES (ERROR_ACCESS_DENIED); Wine sets them"};
const ws_difference DRIVE_TYPE_OF_A_DIRECTORY = {
    "GetDriveTypeA of a directory below a root", WS_WINE,
    "measured: Wine answers for the drive; documented: the root is expected, and Windows may "
    "answer DRIVE_NO_ROOT_DIR"};

struct Scratch {
    std::string dir, file, ro;
    Scratch()
    {
        dir = ws_fresh();
        file = ws_join(dir, "file.txt");
        ro = ws_join(dir, "ro.txt");
        ws_write_file(file, "file");
        ws_write_file(ro, "ro");
        SetFileAttributesA(ro.c_str(), FILE_ATTRIBUTE_READONLY);
    }
    ~Scratch()
    {
        SetFileAttributesA(ro.c_str(), FILE_ATTRIBUTE_NORMAL);
    }
};

HANDLE as_handle(HFILE h)
{
    return (HANDLE)(intptr_t)h;
}

TEST(Files, DeleteFileRefusals)
{
    Scratch s;
    struct Row {
        const char *name;
        std::string path;
        DWORD gle;
    } rows[] = {
        {"missing file", ws_join(s.dir, "nosuch.txt"), ERROR_FILE_NOT_FOUND},
        {"file in a missing directory", ws_join(s.dir, "nodir\\x.txt"), ERROR_PATH_NOT_FOUND},
        {"read-only file", s.ro, ERROR_ACCESS_DENIED},
        {"directory", s.dir, ERROR_ACCESS_DENIED},
        {"empty name", "", ERROR_PATH_NOT_FOUND},
        {"invalid character", ws_join(s.dir, "a<b"), ERROR_INVALID_NAME},
    };
    for (const Row &row : rows) {
        SetLastError(0);
        EXPECT_FALSE(DeleteFileA(row.path.c_str())) << row.name;
        EXPECT_EQ(GetLastError(), row.gle) << row.name;
    }
    EXPECT_EQ(ws_content(s.ro), "ro");
}

TEST(Files, DeleteFileOfAnOpenFileIsASharingViolation)
{
    Scratch s;
    FILE *f = crt_fopen(s.file.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    SetLastError(0);
    EXPECT_FALSE(DeleteFileA(s.file.c_str())) << "held by a stream";
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SHARING_VIOLATION);
    fclose(f);

    HFILE h = _lopen(s.file.c_str(), OF_READ);
    ASSERT_NE(h, HFILE_ERROR);
    SetLastError(0);
    EXPECT_FALSE(DeleteFileA(s.file.c_str())) << "held by _lopen";
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SHARING_VIOLATION);
    EXPECT_EQ(_lclose(h), 0);

    EXPECT_TRUE(DeleteFileA(s.file.c_str()));
    EXPECT_FALSE(ws_file_exists(s.file));
    EXPECT_EQ(GetFileAttributesA(s.file.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(Files, MoveFile)
{
    Scratch s;
    struct Row {
        const char *name;
        std::string from, to;
        DWORD gle;
    } rows[] = {
        {"onto an existing file", s.file, s.ro, ERROR_ALREADY_EXISTS},
        {"onto an existing directory", s.file, s.dir, ERROR_ALREADY_EXISTS},
        {"missing source", ws_join(s.dir, "nosuch"), ws_join(s.dir, "t"), ERROR_FILE_NOT_FOUND},
        {"into a missing directory", s.file, ws_join(s.dir, "nodir\\t"), ERROR_PATH_NOT_FOUND},
    };
    for (const Row &row : rows) {
        SetLastError(0);
        EXPECT_FALSE(MoveFileA(row.from.c_str(), row.to.c_str())) << row.name;
        EXPECT_EQ(GetLastError(), row.gle) << row.name;
        EXPECT_EQ(ws_content(s.file), "file") << row.name;
    }
    std::string moved = ws_join(s.dir, "moved.txt");
    EXPECT_TRUE(MoveFileA(s.file.c_str(), moved.c_str()));
    EXPECT_EQ(ws_content(moved), "file");
    EXPECT_FALSE(ws_file_exists(s.file));
}

TEST(Files, MoveFileExReplacesInOneStep)
{
    Scratch s;
    std::string target = ws_join(s.dir, "target.txt");
    ASSERT_TRUE(ws_write_file(target, "old"));
    SetLastError(0);
    EXPECT_FALSE(MoveFileExA(s.file.c_str(), target.c_str(), 0)) << "no flag: no replacing";
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ALREADY_EXISTS);
    EXPECT_TRUE(MoveFileExA(s.file.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(ws_content(target), "file");
    EXPECT_FALSE(ws_file_exists(s.file));

    std::string fresh = ws_join(s.dir, "fresh.txt");
    EXPECT_TRUE(MoveFileExA(target.c_str(), fresh.c_str(), MOVEFILE_REPLACE_EXISTING))
        << "the flag with no target is a plain move";
    EXPECT_EQ(ws_content(fresh), "file");

    SetLastError(0);
    BOOL replaced = MoveFileExA(fresh.c_str(), s.ro.c_str(), MOVEFILE_REPLACE_EXISTING);
    if (ws_side_here(REPLACE_READ_ONLY) == WS_WINE) {
        EXPECT_TRUE(replaced);
    } else {
        EXPECT_FALSE(replaced) << "a read-only target is not replaced";
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
        EXPECT_EQ(ws_content(s.ro), "ro");
    }
}

TEST(Files, Attributes)
{
    Scratch s;
    EXPECT_EQ(GetFileAttributesA(s.dir.c_str()) & FILE_ATTRIBUTE_DIRECTORY,
              FILE_ATTRIBUTE_DIRECTORY);
    DWORD plain = GetFileAttributesA(s.file.c_str());
    EXPECT_NE(plain, INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(plain & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY), 0u);
    EXPECT_EQ(GetFileAttributesA(s.ro.c_str()) & FILE_ATTRIBUTE_READONLY,
              FILE_ATTRIBUTE_READONLY);

    EXPECT_TRUE(SetFileAttributesA(s.file.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(crt_access(s.file.c_str(), 2), -1);
    EXPECT_TRUE(SetFileAttributesA(s.file.c_str(), FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(crt_access(s.file.c_str(), 2), 0);

    SetLastError(0);
    EXPECT_EQ(GetFileAttributesA(ws_join(s.dir, "nosuch").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
    SetLastError(0);
    EXPECT_FALSE(SetFileAttributesA(ws_join(s.dir, "nosuch").c_str(), FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
}

TEST(Files, Lopen)
{
    Scratch s;
    struct Row {
        const char *name;
        std::string path;
        int mode;
        DWORD gle; /* 0: opens */
    } rows[] = {
        {"missing, read", ws_join(s.dir, "nosuch"), OF_READ, ERROR_FILE_NOT_FOUND},
        {"missing, read-write", ws_join(s.dir, "nosuch"), OF_READWRITE, ERROR_FILE_NOT_FOUND},
        {"missing directory", ws_join(s.dir, "nodir\\x"), OF_READ, ERROR_PATH_NOT_FOUND},
        {"read-only, read", s.ro, OF_READ, 0},
        {"read-only, write", s.ro, OF_WRITE, ERROR_ACCESS_DENIED},
        {"read-only, read-write", s.ro, OF_READWRITE, ERROR_ACCESS_DENIED},
        {"directory", s.dir, OF_READ, ERROR_ACCESS_DENIED},
        {"plain, read-write", s.file, OF_READWRITE, 0},
    };
    for (const Row &row : rows) {
        SetLastError(0);
        HFILE h = _lopen(row.path.c_str(), row.mode);
        if (row.gle == 0) {
            EXPECT_NE(h, HFILE_ERROR) << row.name;
            if (h != HFILE_ERROR) {
                EXPECT_EQ(_lclose(h), 0) << row.name;
            }
        } else {
            EXPECT_EQ(h, HFILE_ERROR) << row.name;
            EXPECT_EQ(GetLastError(), row.gle) << row.name;
        }
    }
    /* Streams and read handles share reading and writing with a later read-write open. */
    for (const char *mode : {"rb", "ab+"}) {
        FILE *f = crt_fopen(s.file.c_str(), mode);
        ASSERT_NE(f, nullptr) << mode;
        HFILE h = _lopen(s.file.c_str(), OF_READWRITE);
        EXPECT_NE(h, HFILE_ERROR) << "beside fopen " << mode;
        if (h != HFILE_ERROR)
            _lclose(h);
        fclose(f);
    }
    HFILE r = _lopen(s.file.c_str(), OF_READ);
    ASSERT_NE(r, HFILE_ERROR);
    HFILE w = _lopen(s.file.c_str(), OF_READWRITE);
    EXPECT_NE(w, HFILE_ERROR) << "beside _lopen OF_READ";
    if (w != HFILE_ERROR)
        _lclose(w);
    _lclose(r);
}

TEST(Files, FileTimesCopyExactly)
{
    Scratch s;
    std::string target = ws_join(s.dir, "target.txt");
    ASSERT_TRUE(ws_write_file(target, "t"));
    HFILE src = _lopen(s.file.c_str(), OF_READ);
    HFILE dst = _lopen(target.c_str(), OF_READWRITE);
    ASSERT_NE(src, HFILE_ERROR);
    ASSERT_NE(dst, HFILE_ERROR);
    FILETIME c, a, w;
    ASSERT_TRUE(GetFileTime(as_handle(src), &c, &a, &w));
    /* One value for all three: Wine keeps no creation time of its own. */
    uint64_t stamp = (((uint64_t)w.dwHighDateTime << 32) | w.dwLowDateTime) - 86400ULL * 10000000 + 4567;
    FILETIME t;
    t.dwLowDateTime = (DWORD)stamp;
    t.dwHighDateTime = (DWORD)(stamp >> 32);
    EXPECT_TRUE(SetFileTime(as_handle(dst), &t, &t, &t));
    FILETIME c2, a2, w2;
    ASSERT_TRUE(GetFileTime(as_handle(dst), &c2, &a2, &w2));
    for (const FILETIME *ft : {&c2, &a2, &w2}) {
        EXPECT_EQ(ft->dwLowDateTime, t.dwLowDateTime);
        EXPECT_EQ(ft->dwHighDateTime, t.dwHighDateTime);
    }
    EXPECT_TRUE(GetFileTime(as_handle(dst), NULL, NULL, &w2)) << "NULL stamps are skipped";

    SetLastError(0);
    BOOL through_read = SetFileTime(as_handle(src), &t, &t, &t);
    if (ws_side_here(STAMPS_THROUGH_READ_HANDLE) == WS_WINE) {
        EXPECT_TRUE(through_read);
    } else {
        EXPECT_FALSE(through_read) << "a read handle may not write attributes";
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    }
    _lclose(src);
    _lclose(dst);
    /* The stamps stay with the file after the handles are gone. */
    HFILE again = _lopen(target.c_str(), OF_READ);
    ASSERT_NE(again, HFILE_ERROR);
    ASSERT_TRUE(GetFileTime(as_handle(again), NULL, NULL, &w2));
    EXPECT_EQ(w2.dwLowDateTime, t.dwLowDateTime);
    EXPECT_EQ(w2.dwHighDateTime, t.dwHighDateTime);
    _lclose(again);

    SetLastError(0);
    EXPECT_FALSE(GetFileTime((HANDLE)(intptr_t)-1, &c, &a, &w));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
}

TEST(Files, DriveTypeAndSpaceOfTheScratchDrive)
{
    Scratch s;
    std::string root = s.dir.substr(0, 3); /* "C:\" */
    std::string lower = root;
    lower[0] = (char)tolower((unsigned char)lower[0]);
    struct Row {
        const char *name;
        std::string root;
        bool null; /* pass NULL instead */
        UINT type;
    } rows[] = {
        {"root", root, false, DRIVE_FIXED},
        {"without backslash", root.substr(0, 2), false, DRIVE_FIXED},
        {"lower case", lower, false, DRIVE_FIXED},
        {"missing directory", s.dir + "\\nosuchdir\\", false, DRIVE_NO_ROOT_DIR},
        {"letter alone", root.substr(0, 1), false, DRIVE_NO_ROOT_DIR},
        {"empty", "", false, DRIVE_NO_ROOT_DIR},
        {"NULL", "", true, DRIVE_FIXED},
        {"backslash", "\\", false, DRIVE_FIXED},
        {"start of a UNC name", "\\\\s", false, DRIVE_NO_ROOT_DIR},
    };
    for (const Row &row : rows)
        EXPECT_EQ(GetDriveTypeA(row.null ? NULL : row.root.c_str()), row.type) << row.name;
    UINT sub = GetDriveTypeA((s.dir + "\\").c_str());
    if (ws_side_here(DRIVE_TYPE_OF_A_DIRECTORY) == WS_WINE)
        EXPECT_EQ(sub, (UINT)DRIVE_FIXED);
    else
        EXPECT_TRUE(sub == DRIVE_FIXED || sub == DRIVE_NO_ROOT_DIR);

    DWORD spc = 0, bps = 0, free_clusters = 0, total = 0;
    EXPECT_TRUE(GetDiskFreeSpaceA(root.c_str(), &spc, &bps, &free_clusters, &total));
    EXPECT_GT(spc, 0u);
    EXPECT_GT(bps, 0u);
    EXPECT_GT(total, 0u);
    EXPECT_LE(free_clusters, total);
    EXPECT_TRUE(GetDiskFreeSpaceA(NULL, &spc, &bps, &free_clusters, &total));
    EXPECT_TRUE(GetDiskFreeSpaceA((s.dir + "\\").c_str(), &spc, &bps, &free_clusters, &total))
        << "a directory below the root is accepted";
    SetLastError(0);
    EXPECT_FALSE(GetDiskFreeSpaceA("", &spc, &bps, &free_clusters, &total));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_PATH_NOT_FOUND);
}

} // namespace
