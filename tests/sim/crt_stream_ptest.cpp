/* Conformance of C runtime streams on Windows paths, on the simulation and under Wine. */
#include <gtest/gtest.h>

#include <string>

#include "platform/os.h"
#include "support/conformance.h"
#include "support/workstation.h"

namespace {

const ws_difference APPEND_DROPS_CTRL_Z = {
    "\"a+\" on a text file ending in Ctrl-Z", WS_WINDOWS,
    "documented: \"a+\" removes the end-of-file marker before appending; Wine keeps it"};

std::string hex(const std::string &bytes)
{
    std::string out;
    char b[4];
    for (unsigned char c : bytes) {
        snprintf(b, sizeof b, "%02X ", c);
        out += b;
    }
    return out;
}

/* Every character getc delivers until EOF. */
std::string read_all_text(FILE *f)
{
    std::string out;
    int c;
    while ((c = getc(f)) != EOF)
        out += (char)c;
    return out;
}

struct TextRead {
    const char *name;
    std::string raw;
    std::string chars;
};

TEST(CrtStream, TextModeReadsCrLfAndLoneLfAsLf)
{
    std::string dir = ws_fresh();
    const TextRead rows[] = {
        {"crlf", "a\r\nb", "a\nb"},
        {"lone lf", "a\nb", "a\nb"},
        {"lone cr stays", "a\rb", "a\rb"},
        {"cr cr lf", "a\r\r\nb", "a\r\nb"},
        {"cr at end", "a\r", "a\r"},
        {"ctrl-z ends input", std::string("a\x1A" "b\r\n"), "a"},
        {"nul kept", std::string("a\0b", 3), std::string("a\0b", 3)},
        {"0xff kept", "\xff\r\n", "\xff\n"},
    };
    for (const TextRead &row : rows) {
        std::string path = ws_join(dir, "read.txt");
        ASSERT_TRUE(ws_write_file(path, row.raw)) << row.name;
        FILE *f = crt_fopen(path.c_str(), "r");
        ASSERT_NE(f, nullptr) << row.name;
        EXPECT_EQ(hex(read_all_text(f)), hex(row.chars)) << row.name;
        EXPECT_TRUE(feof(f)) << row.name;
        EXPECT_FALSE(ferror(f)) << row.name;
        EXPECT_EQ(fclose(f), 0) << row.name;
    }
}

TEST(CrtStream, CrLfSplitAcrossBuffersIsStillOneNewline)
{
    std::string dir = ws_fresh();
    std::string path = ws_join(dir, "split.txt");
    for (size_t before : {4094u, 4095u, 4096u, 8191u, 8192u, 16383u}) {
        std::string raw(before, 'a');
        raw += "\r\nb\r\n";
        ASSERT_TRUE(ws_write_file(path, raw));
        FILE *f = crt_fopen(path.c_str(), "rt");
        ASSERT_NE(f, nullptr);
        std::string got(before + 8, '?');
        size_t n = fread(&got[0], 1, got.size(), f);
        got.resize(n);
        EXPECT_EQ(got, std::string(before, 'a') + "\nb\n") << "CR at offset " << before;
        fclose(f);
    }
}

TEST(CrtStream, TextModeWritesLfAsCrLf)
{
    std::string dir = ws_fresh();
    struct Row {
        const char *name;
        const char *mode;
        std::string chars;
        std::string raw;
    } rows[] = {
        {"lf", "w", "\n", "\r\n"},
        {"cr unchanged", "w", "\r", "\r"},
        {"cr lf doubles the cr", "w", "\r\n", "\r\r\n"},
        {"ctrl-z and 0xff unchanged", "w", "\x1A\xff", "\x1A\xff"},
        {"binary keeps lf", "wb", "a\n", "a\n"},
        {"lines", "wt", "K=V\nL=W\n", "K=V\r\nL=W\r\n"},
    };
    for (const Row &row : rows) {
        std::string path = ws_join(dir, "write.txt");
        FILE *f = crt_fopen(path.c_str(), row.mode);
        ASSERT_NE(f, nullptr) << row.name;
        EXPECT_EQ(fwrite(row.chars.data(), 1, row.chars.size(), f), row.chars.size()) << row.name;
        EXPECT_EQ(fclose(f), 0) << row.name;
        std::string raw;
        ASSERT_TRUE(ws_read_file(path, &raw)) << row.name;
        EXPECT_EQ(hex(raw), hex(row.raw)) << row.name;
    }
    std::string path = ws_join(dir, "putc.txt");
    FILE *f = crt_fopen(path.c_str(), "w");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(fputc('\n', f), 10);
    EXPECT_EQ(fputc(0x1A, f), 26);
    EXPECT_EQ(fputc(0xFF, f), 255);
    EXPECT_EQ(fclose(f), 0);
}

TEST(CrtStream, FtellCountsFileBytesInTextMode)
{
    std::string dir = ws_fresh();
    std::string path = ws_join(dir, "tell.txt");
    ASSERT_TRUE(ws_write_file(path, "ab\r\ncd\r\n"));
    FILE *f = crt_fopen(path.c_str(), "r");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(getc(f), 'a');
    EXPECT_EQ(ftell(f), 1);
    EXPECT_EQ(getc(f), 'b');
    EXPECT_EQ(getc(f), '\n');
    EXPECT_EQ(ftell(f), 4);
    /* Again after a seek, when the runtime may cache positions. */
    EXPECT_EQ(fseek(f, 0, SEEK_SET), 0);
    for (int i = 0; i < 5; i++)
        getc(f);
    EXPECT_EQ(ftell(f), 6) << "after reading ab\\ncd";
    EXPECT_EQ(getc(f), '\n');
    EXPECT_EQ(ftell(f), 8);
    EXPECT_EQ(getc(f), EOF);
    fclose(f);
}

TEST(CrtStream, SeekFromEndLandsOnTheLastRawByte)
{
    std::string dir = ws_fresh();
    struct Row {
        const char *name;
        std::string raw;
        int seek;
        int c;
    } rows[] = {
        {"ends crlf", "x\r\n", 0, 0x0A},
        {"ends lf", "x\n", 0, 0x0A},
        {"ends digit", "x1", 0, 0x31},
        {"ends cr", "x\r", 0, 0x0D},
        {"ends ctrl-z", "x\x1A", 0, EOF},
        {"ends crlf ctrl-z", "x\r\n\x1A", 0, EOF},
        {"empty file", "", -1, EOF},
    };
    for (const Row &row : rows) {
        std::string path = ws_join(dir, "end.txt");
        ASSERT_TRUE(ws_write_file(path, row.raw)) << row.name;
        FILE *f = crt_fopen(path.c_str(), "r");
        ASSERT_NE(f, nullptr) << row.name;
        errno = 0;
        EXPECT_EQ(fseek(f, -1, SEEK_END), row.seek) << row.name;
        if (row.seek != 0) {
            EXPECT_EQ(errno, EINVAL) << row.name;
        }
        EXPECT_EQ(getc(f), row.c) << row.name;
        if (row.c == EOF) {
            EXPECT_TRUE(feof(f)) << row.name;
        }
        fclose(f);
    }
}

TEST(CrtStream, PushBack)
{
    std::string dir = ws_fresh();
    std::string path = ws_join(dir, "unget.txt");
    ASSERT_TRUE(ws_write_file(path, "A\r\nB"));
    FILE *f = crt_fopen(path.c_str(), "r");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(getc(f), 'A');
    EXPECT_EQ(getc(f), '\n');
    EXPECT_EQ(ungetc('\n', f), 10);
    EXPECT_EQ(getc(f), 0x0A);
    EXPECT_EQ(getc(f), 'B');
    EXPECT_EQ(ungetc(EOF, f), EOF);
    EXPECT_EQ(getc(f), EOF);
    EXPECT_TRUE(feof(f));
    EXPECT_EQ(ungetc('\n', f), 10) << "push-back at end of file";
    EXPECT_FALSE(feof(f)) << "push-back clears the end-of-file state";
    EXPECT_EQ(getc(f), 0x0A);
    EXPECT_EQ(getc(f), EOF);
    fclose(f);
}

TEST(CrtStream, AppendModes)
{
    std::string dir = ws_fresh();
    std::string path = ws_join(dir, "append.txt");
    /* "ab+" creates, starts reading at 0 and writes at the end even after a seek. */
    FILE *f = crt_fopen(path.c_str(), "ab+");
    ASSERT_NE(f, nullptr);
    EXPECT_GE(fputs("one\n", f), 0);
    fclose(f);
    f = crt_fopen(path.c_str(), "ab+");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(ftell(f), 0);
    EXPECT_EQ(getc(f), 'o') << "reading starts at the beginning";
    EXPECT_EQ(fseek(f, 0, SEEK_SET), 0);
    EXPECT_GE(fputs("two\n", f), 0);
    EXPECT_EQ(fclose(f), 0);
    std::string raw;
    ASSERT_TRUE(ws_read_file(path, &raw));
    EXPECT_EQ(raw, "one\ntwo\n");

    struct Row {
        const char *mode;
        std::string raw;
    } rows[] = {
        {"a", std::string("x\x1Ay\r\n")},
        {"a+", std::string("x\x1Ay\r\n")},
        {"ab+", std::string("x\x1Ay\n")},
        {"ab", std::string("x\x1Ay\n")},
    };
    for (const Row &row : rows) {
        ASSERT_TRUE(ws_write_file(path, "x\x1A"));
        FILE *g = crt_fopen(path.c_str(), row.mode);
        ASSERT_NE(g, nullptr) << row.mode;
        EXPECT_GE(fputs("y\n", g), 0) << row.mode;
        EXPECT_EQ(fclose(g), 0) << row.mode;
        ASSERT_TRUE(ws_read_file(path, &raw)) << row.mode;
        std::string want = row.raw;
        if (std::string(row.mode) == "a+")
            want = ws_expected(APPEND_DROPS_CTRL_Z, std::string("xy\r\n"), row.raw);
        EXPECT_EQ(hex(raw), hex(want)) << row.mode;
    }
    int serial = 0;
    for (const char *mode : {"a", "a+", "ab+"}) {
        std::string fresh = ws_join(dir, "new" + std::to_string(++serial) + ".txt");
        FILE *g = crt_fopen(fresh.c_str(), mode);
        ASSERT_NE(g, nullptr) << mode << " creates a missing file";
        fclose(g);
        EXPECT_TRUE(ws_file_exists(fresh)) << mode;
    }
}

TEST(CrtStream, OpenRefusals)
{
    std::string dir = ws_fresh();
    std::string ro = ws_join(dir, "ro.txt");
    ASSERT_TRUE(ws_write_file(ro, "keep"));
    ASSERT_EQ(crt_chmod(ro.c_str(), CRT_S_IREAD), 0);
    struct Row {
        const char *name;
        std::string path;
        const char *mode;
        int err; /* 0: opens */
    } rows[] = {
        {"read-only w", ro, "w", EACCES},
        {"read-only wb", ro, "wb", EACCES},
        {"read-only ab+", ro, "ab+", EACCES},
        {"read-only a+", ro, "a+", EACCES},
        {"read-only r+", ro, "r+", EACCES},
        {"read-only r", ro, "r", 0},
        {"directory r", dir, "r", EACCES},
        {"directory w", dir, "w", EACCES},
        {"missing r", ws_join(dir, "nosuch.txt"), "r", ENOENT},
        {"w in missing directory", ws_join(dir, "nodir\\x.txt"), "w", ENOENT},
        {"empty name", "", "r", ENOENT},
    };
    for (const Row &row : rows) {
        errno = 0;
        FILE *f = crt_fopen(row.path.c_str(), row.mode);
        if (row.err == 0) {
            EXPECT_NE(f, nullptr) << row.name;
            if (f != NULL)
                fclose(f);
        } else {
            EXPECT_EQ(f, nullptr) << row.name;
            EXPECT_EQ(errno, row.err) << row.name;
            if (f != NULL)
                fclose(f);
        }
    }
    std::string raw;
    ASSERT_TRUE(ws_read_file(ro, &raw));
    EXPECT_EQ(raw, "keep") << "a refused open changes nothing";
    EXPECT_EQ(crt_chmod(ro.c_str(), CRT_S_IREAD | CRT_S_IWRITE), 0);

    std::string full = ws_join(dir, "full.txt");
    ASSERT_TRUE(ws_write_file(full, "some bytes"));
    FILE *f = crt_fopen(full.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(fclose(f), 0);
    ASSERT_TRUE(ws_read_file(full, &raw));
    EXPECT_EQ(raw, "") << "wb truncates";
}

TEST(CrtStream, NamesResolveWithoutRegardToCase)
{
    std::string dir = ws_fresh();
    ASSERT_TRUE(ws_write_file(ws_join(dir, "MixedCase.Txt"), "m"));
    std::string raw;
    EXPECT_TRUE(ws_read_file(ws_join(dir, "MIXEDCASE.TXT"), &raw));
    EXPECT_EQ(raw, "m");
    EXPECT_TRUE(ws_read_file(ws_join(dir, "mixedcase.txt"), &raw));
    std::string upper_dir = dir;
    for (char &c : upper_dir)
        c = (char)toupper((unsigned char)c);
    EXPECT_TRUE(ws_read_file(ws_join(upper_dir, "mixedcase.txt"), &raw)) << upper_dir;
}

} // namespace
