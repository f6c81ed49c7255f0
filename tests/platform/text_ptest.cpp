// Text utilities: bounded copies, folding comparisons, splitting, replacement, numbers.
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "platform/text.h"

namespace {

const char POISON = (char)0xA5;

// A buffer of cap bytes filled with poison, with one guard byte just past it.
struct Guarded {
    std::vector<char> bytes;
    size_t cap;
    explicit Guarded(size_t n) : bytes(n + 1, POISON), cap(n) {}
    char *p() { return bytes.data(); }
    bool guard_intact() const { return bytes[cap] == POISON; }
    bool untouched() const
    {
        for (char c : bytes)
            if (c != POISON)
                return false;
        return true;
    }
};

TEST(TextCopy, CopiesAtMostCountAndTerminates)
{
    char buf[8];
    memset(buf, POISON, sizeof buf);
    EXPECT_EQ(3, text_copy(buf, "abcde", 3));
    EXPECT_STREQ("abc", buf);
    EXPECT_EQ(POISON, buf[4]) << "only count + 1 bytes may be written";

    memset(buf, POISON, sizeof buf);
    EXPECT_EQ(0, text_copy(buf, "abcde", 0));
    EXPECT_EQ('\0', buf[0]);
    EXPECT_EQ(POISON, buf[1]);

    memset(buf, POISON, sizeof buf);
    EXPECT_EQ(2, text_copy(buf, "ab", TEXT_NO_LIMIT));
    EXPECT_STREQ("ab", buf);
    EXPECT_EQ(POISON, buf[3]);

    EXPECT_EQ(0, text_copy(NULL, "ab", 5));
    memset(buf, POISON, sizeof buf);
    EXPECT_EQ(0, text_copy(buf, NULL, 5));
    EXPECT_EQ(POISON, buf[0]) << "a null source writes nothing";

    strcpy(buf, "ab");
    EXPECT_EQ(2, text_append(buf, "cdef", 2));
    EXPECT_STREQ("abcd", buf);
    EXPECT_EQ(0, text_append(buf, NULL, 2));
    EXPECT_STREQ("abcd", buf);
}

// The bounded copies at the sizes the system uses: room to spare, exact fit, one byte short.
TEST(TextCopyFit, ExactFitOneShortAndGuardBytes)
{
    for (size_t cap : {1u, 2u, 260u, 1024u, 1025u}) {
        for (long delta : {-1L, 0L, 1L}) {
            // A source of cap - 1 + delta characters: one short of filling, exact, one over.
            long len = (long)cap - 1 + delta;
            if (len < 0)
                continue;
            std::string src((size_t)len, 'x');
            SCOPED_TRACE("cap " + std::to_string(cap) + ", source length " + std::to_string(len));

            Guarded copy(cap);
            truth_t fit = text_copy_fit(copy.p(), (uint16_t)cap, src.c_str());
            EXPECT_TRUE(copy.guard_intact());
            if (delta <= 0) {
                EXPECT_TRUE(fit);
                EXPECT_EQ(src, std::string(copy.p()));
            } else {
                EXPECT_FALSE(fit);
                EXPECT_TRUE(copy.untouched()) << "a text that does not fit leaves dst unchanged";
            }

            // Appending the same source after a one-character text.
            if (cap < 2)
                continue;
            Guarded app(cap);
            app.p()[0] = 'y';
            app.p()[1] = '\0';
            fit = text_append_fit(app.p(), (uint16_t)cap, src.c_str());
            EXPECT_TRUE(app.guard_intact());
            if (len + 2 <= (long)cap) {
                EXPECT_TRUE(fit);
                EXPECT_EQ("y" + src, std::string(app.p()));
            } else {
                EXPECT_FALSE(fit);
                EXPECT_STREQ("y", app.p());
                EXPECT_EQ(POISON, app.p()[2]);
            }
        }
    }
}

TEST(TextCopyFit, RefusesWhatCannotBeHeld)
{
    char buf[4] = {'a', 'b', 'c', 'd'}; // no terminator inside the buffer
    EXPECT_FALSE(text_append_fit(buf, sizeof buf, ""));
    EXPECT_EQ(0, memcmp(buf, "abcd", 4));
    EXPECT_FALSE(text_copy_fit(buf, 0, ""));
    EXPECT_FALSE(text_copy_fit(NULL, 4, "a"));
    EXPECT_TRUE(text_copy_fit(buf, sizeof buf, NULL));
    EXPECT_STREQ("", buf) << "a null source is an empty text";
}

TEST(TextEqual, FoldsOnlyAsciiLettersAndHonoursCount)
{
    struct Row {
        const char *a, *b;
        uint16_t count;
        bool equal;
    } rows[] = {
        {"Vornex", "VORNEX", TEXT_NO_LIMIT, true},
        {"\xE9t\xE9", "\xC9T\xC9", TEXT_NO_LIMIT, false}, // letters above 127 do not fold
        {"abcX", "ABCy", 3, true},
        {"abcX", "ABCy", 4, false},
        {"abc", "abcd", TEXT_NO_LIMIT, false},
        {"abc", "abcd", 3, true},
        {"ab", "abc", 3, false},
        {"", "", TEXT_NO_LIMIT, true},
        {"x", "y", 0, true},
        {NULL, NULL, TEXT_NO_LIMIT, true},
        {NULL, "", TEXT_NO_LIMIT, false},
        {"", NULL, TEXT_NO_LIMIT, false},
        {NULL, "a", 0, true},
        {"[", "{", TEXT_NO_LIMIT, false}, // only A-Z fold: 0x5B and 0x7B stay apart
        {"@", "`", TEXT_NO_LIMIT, false},
    };
    for (const Row &r : rows) {
        EXPECT_EQ(r.equal, (bool)text_equal(r.a, r.b, r.count))
            << (r.a ? r.a : "(null)") << " vs " << (r.b ? r.b : "(null)") << " count " << r.count;
    }
}

TEST(TextSmallOperations, StripUpperCutCountSkip)
{
    char s[] = " a\tb\r\nc d \n";
    EXPECT_EQ(4, text_strip_blanks(s));
    EXPECT_STREQ("abcd", s);
    EXPECT_EQ(0, text_strip_blanks(NULL));

    char u[] = "abc\xE9-xyz1";
    text_upper(u);
    EXPECT_STREQ("ABC\xE9-XYZ1", u);
    text_upper(NULL);

    char c[8] = "abcdef";
    c[7] = POISON;
    EXPECT_EQ(c, text_cut(c, 3));
    EXPECT_STREQ("abc", c);
    text_cut(c, 7); // past the terminator: nothing is written
    EXPECT_STREQ("abc", c);
    EXPECT_EQ(POISON, c[7]);
    EXPECT_EQ(NULL, text_cut(NULL, 1));

    EXPECT_EQ(3, text_count_char("a\\b\\\\", '\\'));
    EXPECT_EQ(0, text_count_char(NULL, 'a'));
    EXPECT_EQ(0, text_count_char("abc", '\0'));

    struct Row {
        const char *text;
        uint16_t n;
        uint16_t pos;
    } skips[] = {{"\\\\host\\share", 0, 0}, {"\\\\host\\share", 1, 1}, {"\\\\host\\share", 3, 7},
                 {"\\\\host\\share", 4, 12}, {"", 1, 0}, {NULL, 1, 0}};
    for (const Row &r : skips)
        EXPECT_EQ(r.pos, text_skip_to_nth(r.text, r.n, '\\')) << "n " << r.n;
}

std::vector<std::string> split(const char *text, char sep, bool drop_empty, uint16_t *count_out)
{
    uint16_t count = 0xBEEF;
    char **list = (char **)&count; // poisoned: must be overwritten
    EXPECT_EQ(1, text_split(text, sep, &count, &list, drop_empty));
    std::vector<std::string> out;
    for (uint16_t i = 0; i < count; i++)
        out.push_back(list[i]);
    if (count == 0) {
        EXPECT_EQ(nullptr, list);
    }
    text_free_list(list, count);
    *count_out = count;
    return out;
}

TEST(TextSplit, PiecesWithAndWithoutEmptyOnes)
{
    using V = std::vector<std::string>;
    struct Row {
        const char *text;
        char sep;
        bool drop;
        V pieces;
    } rows[] = {
        {"\\\\host\\share", '\\', true, V{"host", "share"}},
        {"\\\\host\\share", '\\', false, V{"", "", "host", "share"}},
        {"a,b,", ',', false, V{"a", "b", ""}},
        {"a", ',', true, V{"a"}},
        {",,,", ',', true, V{}},
        {",", ',', false, V{"", ""}},
        {"", ',', false, V{}},
        {NULL, ',', false, V{}},
    };
    for (const Row &r : rows) {
        uint16_t count;
        V got = split(r.text, r.sep, r.drop, &count);
        EXPECT_EQ(r.pieces, got) << (r.text ? r.text : "(null)") << " drop " << r.drop;
        EXPECT_EQ(r.pieces.size(), count);
    }
    text_free_list(NULL, 3);
}

TEST(TextReplace, NaiveFoldedMatchesWithoutOverlap)
{
    struct Row {
        const char *text, *pattern, *replacement, *result;
    } rows[] = {
        {"c:\\apps\\C:\\x", "C:\\", "Y:\\", "Y:\\apps\\Y:\\x"},
        {"aaa", "aa", "b", "ba"},          // no overlap
        {"aab", "ab", "X", "aX"},          // restart after a failed partial match
        {"abab", "ab", "", ""},            // replacement empty
        {"abc", "", "X", "abc"},           // empty pattern copies
        {"xAbCy", "abc", "-", "x-y"},      // folded
        {"ab", "abc", "X", "ab"},          // partial match at the end
        {"", "a", "b", ""},
        {"%HOME%\\%HOME%", "%home%", "C:\\h", "C:\\h\\C:\\h"},
    };
    for (const Row &r : rows) {
        char out[64];
        memset(out, POISON, sizeof out);
        EXPECT_TRUE(text_replace(r.text, r.pattern, r.replacement, out, sizeof out)) << r.text;
        EXPECT_STREQ(r.result, out) << r.text << " / " << r.pattern;
    }
}

TEST(TextReplace, ReportsOverflowAndNullArguments)
{
    // "Y:\apps" is 7 characters: 8 bytes fit exactly, 7 are one short.
    for (size_t cap : {9u, 8u, 7u, 1u}) {
        Guarded out(cap);
        truth_t ok = text_replace("C:\\apps", "c:", "Y:", out.p(), (uint16_t)cap);
        SCOPED_TRACE("cap " + std::to_string(cap));
        EXPECT_TRUE(out.guard_intact());
        if (cap >= 8) {
            EXPECT_TRUE(ok);
            EXPECT_STREQ("Y:\\apps", out.p());
        } else {
            EXPECT_FALSE(ok);
            EXPECT_STREQ("", out.p()) << "out is emptied, never cut";
        }
    }
    // A growing replacement over a 1024-byte buffer.
    std::string text(600, 'a');
    Guarded big(1024);
    EXPECT_FALSE(text_replace(text.c_str(), "a", "bb", big.p(), 1024));
    EXPECT_TRUE(big.guard_intact());
    EXPECT_STREQ("", big.p());

    char out[8] = "junk";
    EXPECT_TRUE(text_replace(NULL, "a", "b", out, sizeof out));
    EXPECT_STREQ("", out);
    strcpy(out, "junk");
    EXPECT_TRUE(text_replace("a", NULL, "b", out, sizeof out));
    EXPECT_STREQ("", out);
    strcpy(out, "junk");
    EXPECT_TRUE(text_replace("a", "a", NULL, out, sizeof out));
    EXPECT_STREQ("", out);
    strcpy(out, "junk");
    EXPECT_FALSE(text_replace("a", "a", "b", out, 0));
    EXPECT_STREQ("junk", out);
}

TEST(TextParseDecimal, SpacesDigitsAndTheSignedRange)
{
    struct Row {
        const char *text;
        bool ok;
        int32_t value;
    } rows[] = {
        {"12", true, 12},
        {" 12 ", true, 12},
        {"12 3", false, 0},
        {"", true, 0},
        {"   ", true, 0},
        {"007", true, 7},
        {"2147483647", true, 2147483647},
        {"2147483648", false, 0},
        {"4294967296", false, 0},
        {"99999999999999999999", false, 0},
        {"-1", false, 0},
        {"+1", false, 0},
        {"1a", false, 0},
        {"\t1", false, 0},
        {"1\t", false, 0},
    };
    for (const Row &r : rows) {
        int32_t v = -77;
        EXPECT_EQ(r.ok, (bool)text_parse_decimal(r.text, &v)) << '"' << r.text << '"';
        EXPECT_EQ(r.ok ? r.value : -77, v) << '"' << r.text << "\": a failure stores nothing";
    }
    int32_t v = 5;
    EXPECT_FALSE(text_parse_decimal(NULL, &v));
    EXPECT_EQ(5, v);
}

TEST(TextContains, FoldedSearchAndNulls)
{
    struct Row {
        const char *text, *pattern;
        bool found;
    } rows[] = {
        {"S:\\VORNEX\\BIN", "s:\\vornex", true},
        {"aaab", "aab", true}, // restart one past where the partial match began
        {"abc", "", true},
        {"", "", true},
        {"", "a", false},
        {"ab", "abc", false},
        {"xyz", "Z", true},
        {NULL, NULL, true},
        {NULL, "a", false},
        {"a", NULL, false},
    };
    for (const Row &r : rows) {
        EXPECT_EQ(r.found, (bool)text_contains(r.text, r.pattern))
            << (r.text ? r.text : "(null)") << " / " << (r.pattern ? r.pattern : "(null)");
    }
}

TEST(TextVersionsEqual, ComponentByComponent)
{
    struct Row {
        const char *a, *b;
        uint16_t levels;
        bool equal;
    } rows[] = {
        {"3.2.2.0", "3.2.2.0", 1024, true},
        // Past the third component every one still counts, up to the levels asked for.
        {"3.2.2.0", "3.2.2.1", 1024, false},
        {"3.2.2.1", "3,2,2,1", 1024, true},
        {"1.2.3.4.5.6.7", "1.2.3.4.5.6.8", 1024, false},
        {"1.2.3.4", "1.2.3.5", 4, false},
        {"1.2.3.4", "1.2.3.5", 3, true},
        {"3.2.2", "3,2,2", 1024, true},
        {"3.2", "3.2.0", 1024, false},
        {"3.2.0", "3.2", 1024, false},
        {"1.10", "1.1", 1024, false},
        {" 7", "7", 1024, true},
        {"1.2a", "1.2A", 1024, true},
        {"1.2a", "1.2b", 1024, false},
        {"01.2", "1.02", 1024, true},
        {"1.2.3", "1.2.4", 2, true}, // only two numbers compared
        {"1.2.3", "1.3.3", 2, false},
        {"", "", 1024, true},
        {"", "1", 1024, false},
        {"1", "", 1024, false},
        {"a", "1", 1024, false},
        {"1", "a", 1024, false},
        {"x", "X", 1024, true},
        {"99999999999999999999.1", "99999999999999999999.1", 1024, true},
        {"99999999999999999999", "99999999999999999998", 1024, false},
        {NULL, "1", 1024, false},
        {"1", NULL, 1024, false},
    };
    for (const Row &r : rows) {
        EXPECT_EQ(r.equal, (bool)text_versions_equal(r.a, r.b, r.levels))
            << (r.a ? r.a : "(null)") << " vs " << (r.b ? r.b : "(null)") << " levels "
            << r.levels;
    }
}

} // namespace
