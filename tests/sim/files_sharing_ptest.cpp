/* Share modes, on the simulation and under Wine: a second open that the holder does not share
 * fails and changes nothing (a stream opened with "w" does not truncate first). */
#include <gtest/gtest.h>

#include <errno.h>

#include <string>

#include "platform/os.h"
#include "support/workstation.h"

namespace {

struct Held {
    std::string dir, file;
    HFILE h;
    Held(int share)
    {
        dir = ws_fresh();
        file = ws_join(dir, "held.txt");
        ws_write_file(file, "kept");
        h = _lopen(file.c_str(), OF_READ | share);
    }
    ~Held()
    {
        if (h != HFILE_ERROR)
            _lclose(h);
    }
};

/* What a second open answers: "ok", "errno N" or "GLE N". */
std::string fopen_answer(const std::string &file, const char *mode)
{
    errno = 0;
    FILE *f = crt_fopen(file.c_str(), mode);
    if (f == NULL)
        return "errno " + std::to_string(errno);
    fclose(f);
    return "ok";
}

std::string lopen_answer(const std::string &file, int mode)
{
    SetLastError(0);
    HFILE h = _lopen(file.c_str(), mode);
    if (h == HFILE_ERROR)
        return "GLE " + std::to_string(GetLastError());
    _lclose(h);
    return "ok";
}

TEST(FilesSharing, SecondOpensMeetTheHoldersShareMode)
{
    const std::string refused = "errno " + std::to_string(EACCES);
    struct Row {
        const char *what;
        int share;                 /* the holder's, with OF_READ */
        const char *fopen_mode;    /* the second open */
        int lopen_mode;            /* or this, when fopen_mode is NULL */
        std::string answer;
    } rows[] = {
        {"nothing shared: a writer", OF_SHARE_EXCLUSIVE, "w", 0, refused},
        {"nothing shared: a reader", OF_SHARE_EXCLUSIVE, "rb", 0, refused},
        {"nothing shared: _lopen", OF_SHARE_EXCLUSIVE, NULL, OF_READ, "GLE 32"},
        {"reading shared: a reader", OF_SHARE_DENY_WRITE, "rb", 0, "ok"},
        {"reading shared: an appender", OF_SHARE_DENY_WRITE, "ab", 0, refused},
        {"reading shared: _lopen to write", OF_SHARE_DENY_WRITE, NULL, OF_WRITE, "GLE 32"},
        {"all shared: a writer", OF_SHARE_DENY_NONE, "r+b", 0, "ok"},
        {"a second open that shares nothing", OF_SHARE_DENY_NONE, NULL,
         OF_READ | OF_SHARE_EXCLUSIVE, "GLE 32"},
    };
    for (const Row &row : rows) {
        Held held(row.share);
        ASSERT_NE(held.h, HFILE_ERROR) << row.what;
        std::string answer = row.fopen_mode != NULL ? fopen_answer(held.file, row.fopen_mode)
                                                    : lopen_answer(held.file, row.lopen_mode);
        EXPECT_EQ(answer, row.answer) << row.what;
        _lclose(held.h); /* a holder that shares nothing keeps the check out too */
        held.h = HFILE_ERROR;
        EXPECT_EQ(ws_content(held.file), "kept") << row.what << ": nothing truncated";
    }
}

TEST(FilesSharing, AHeldFileIsNeitherDeletedNorMoved)
{
    Held held(OF_SHARE_DENY_NONE);
    ASSERT_NE(held.h, HFILE_ERROR);
    SetLastError(0);
    EXPECT_FALSE(DeleteFileA(held.file.c_str()));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SHARING_VIOLATION);
    SetLastError(0);
    EXPECT_FALSE(MoveFileA(held.file.c_str(), ws_join(held.dir, "moved.txt").c_str()));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SHARING_VIOLATION);
    errno = 0;
    EXPECT_EQ(crt_rename(held.file.c_str(), ws_join(held.dir, "moved.txt").c_str()), -1);
    EXPECT_EQ(errno, EACCES);
    _lclose(held.h);
    held.h = HFILE_ERROR;
    EXPECT_EQ(fopen_answer(held.file, "w"), "ok") << "free again once closed";
}

TEST(FilesSharing, AReadOnlyFileIsReadButNotWritten)
{
    std::string dir = ws_fresh();
    std::string ro = ws_join(dir, "ro.txt");
    ASSERT_TRUE(ws_write_file(ro, "read me"));
    ASSERT_TRUE(SetFileAttributesA(ro.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(ws_content(ro), "read me");
    EXPECT_EQ(fopen_answer(ro, "r+b"), "errno " + std::to_string(EACCES));
    EXPECT_EQ(fopen_answer(ro, "wb"), "errno " + std::to_string(EACCES));
    EXPECT_EQ(ws_content(ro), "read me");
    SetFileAttributesA(ro.c_str(), FILE_ATTRIBUTE_NORMAL);
}

} // namespace
