/* The substitution filter over real files: tokens, %%, cut tokens, limits, failures. The same
 * tests on the simulation and, under Wine, over the real C runtime. */
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "platform/mem.h"
#include "platform/os.h"
#include "support/workstation.h"
#include "transfer/substitute.h"
#include "transfer/transfer.h"

namespace {

/* The resolver's values, the calls it saw, and a result to give for one token. */
std::map<std::string, std::string> g_values;
std::vector<std::string> g_tokens;
std::string g_fail_token;
status_t g_fail_status;

status_t resolve(int32_t c1, int32_t c2, const char *token, char *buf, uint16_t cap, int32_t r1,
                 int32_t r2, const char *r3, const char *r4)
{
    EXPECT_EQ(c1, 11);
    EXPECT_EQ(c2, 22);
    EXPECT_EQ(cap, 1024);
    EXPECT_EQ(r1, 0);
    EXPECT_EQ(r2, 0);
    EXPECT_STREQ(r3, "");
    EXPECT_STREQ(r4, "");
    g_tokens.push_back(token);
    if (token == g_fail_token)
        return g_fail_status;
    auto it = g_values.find(token);
    std::string v = it != g_values.end() ? it->second : "<" + std::string(token) + ">";
    if (strlen(token) > 100)
        v = "<long>";
    if (v.size() >= cap)
        return STATUS_FAILED;
    memcpy(buf, v.c_str(), v.size() + 1);
    return STATUS_OK;
}

/* One filtered stream over several inputs, each a file of its own. */
struct Filtered {
    status_t rc = STATUS_OK;
    std::string output;
    std::vector<uint32_t> counts;
    bool pending = false;
    std::string pending_token;
};

class Substitute : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = ws_fresh();
        ASSERT_FALSE(dir.empty());
        g_values = {{"%HOME%", "C:\\V"}, {"%X%", "x-value"}, {"%A%", "a"}, {"%EMPTY%", ""}};
        g_tokens.clear();
        g_fail_token.clear();
        g_fail_status = STATUS_OK;
    }

    /* out_mode "rb" gives an output that takes no byte. */
    Filtered filter(const std::vector<std::string> &inputs,
                    transfer_resolver_fn resolver = resolve, const char *out_mode = "wb")
    {
        Filtered run;
        std::string in_path = ws_join(dir, "in.txt"), out_path = ws_join(dir, "out.txt");
        substitute_state *st = substitute_state_create(11, 22, resolver);
        EXPECT_NE(st, nullptr);
        EXPECT_TRUE(ws_write_file(out_path, ""));
        FILE *out = crt_fopen(out_path.c_str(), out_mode);
        EXPECT_NE(out, nullptr);
        for (const std::string &input : inputs) {
            EXPECT_TRUE(ws_write_file(in_path, input));
            FILE *in = crt_fopen(in_path.c_str(), "rb");
            EXPECT_NE(in, nullptr);
            uint32_t count = 12345;
            run.rc = substitute_variables(in, out, st, &count);
            fclose(in);
            run.counts.push_back(count);
            if (run.rc != STATUS_OK)
                break;
        }
        fclose(out);
        run.pending = st->pending != 0;
        run.pending_token = st->pending_token;
        mem_free(st);
        EXPECT_TRUE(ws_read_file(out_path, &run.output));
        return run;
    }

    std::string dir;
};

TEST_F(Substitute, OneInput)
{
    const std::string name1023(1023, 'N'), name1024(1024, 'N');
    struct Row {
        const char *what;
        std::string input, output;
        status_t rc;
        bool pending;
        std::string pending_token;
    } rows[] = {
        {"doubled percent", "100%% sure", "100% sure", 0, false, ""},
        {"token in a path", "%HOME%\\bin", "C:\\V\\bin", 0, false, ""},
        {"%% then a token", "%%%X%", "%x-value", 0, false, ""},
        {"single % at the end", "abc%", "abc", 0, true, ""},
        {"cut token", "a%HO", "a", 0, true, "%HO"},
        {"closing % opens no token", "%A%B%", "aB", 0, true, ""},
        {"empty value", "[%EMPTY%]", "[]", 0, false, ""},
        {"blanks and line ends in a name", "%A B\r\nC%.", "<%A B\r\nC%>.", 0, false, ""},
        {"every other byte", std::string("\0\x1A\xFF\r\n", 5), std::string("\0\x1A\xFF\r\n", 5),
         0, false, ""},
        {"name of 1023", "%" + name1023 + "%!", "<long>!", 0, false, ""},
        {"name of 1024", "ok%" + name1024 + "%", "ok", STATUS_FAILED, false, ""},
    };
    for (const Row &row : rows) {
        Filtered run = filter({row.input});
        EXPECT_EQ(run.rc, row.rc) << row.what;
        EXPECT_EQ(run.output, row.output) << row.what;
        EXPECT_EQ(run.pending, row.pending) << row.what;
        if (row.pending) {
            EXPECT_EQ(run.pending_token, row.pending_token) << row.what;
        }
        if (row.rc == STATUS_OK) {
            EXPECT_EQ(run.counts[0], row.input.size()) << row.what << ": every character counts";
        }
    }
    EXPECT_EQ(filter({"100%% sure"}).counts[0], 10u);
}

TEST_F(Substitute, TokensCutBetweenInputs)
{
    struct Row {
        std::vector<std::string> inputs;
        std::string output;
        std::vector<std::string> tokens;
    } rows[] = {
        {{"a%HO", "ME%b"}, "aC:\\Vb", {"%HOME%"}},
        {{"a%", "%b"}, "a%b", {}},
        {{"a%", "HOME%b"}, "aC:\\Vb", {"%HOME%"}},
        {{"a%", "", "%b"}, "a%b", {}},
        /* A piece shorter than the rest of the token, or an empty one: the inputs still filter
         * as one stream. */
        {{"a%H", "OM", "E%b"}, "aC:\\Vb", {"%HOME%"}},
        {{"a%HO", "", "ME%b"}, "aC:\\Vb", {"%HOME%"}},
        {{"a%", "", "HOME%b"}, "aC:\\Vb", {"%HOME%"}},
        /* A NUL byte inside a cut name is kept with it (the resolver sees the text up to it). */
        {{std::string("%A\0", 3), "B%c"}, "<%A>c", {"%A"}},
    };
    for (const Row &row : rows) {
        std::string what = row.inputs[0] + " | " + row.inputs[1];
        g_tokens.clear();
        Filtered run = filter(row.inputs);
        EXPECT_EQ(run.rc, STATUS_OK) << what;
        EXPECT_EQ(run.output, row.output) << what;
        EXPECT_FALSE(run.pending) << what;
        EXPECT_EQ(g_tokens, row.tokens) << what;
    }
}

TEST_F(Substitute, EverySplitFiltersAsOneInput)
{
    const std::string text = "x%%y%HOME%\\%A%%%%X%z%EMPTY%%A%%%";
    Filtered whole = filter({text});
    ASSERT_EQ(whole.rc, STATUS_OK);
    ASSERT_FALSE(whole.pending);
    for (size_t i = 0; i <= text.size(); i++) {
        for (size_t j = i; j <= text.size(); j++) {
            Filtered run = filter({text.substr(0, i), text.substr(i, j - i), text.substr(j)});
            EXPECT_EQ(run.rc, STATUS_OK) << i << "," << j;
            EXPECT_EQ(run.output, whole.output) << i << "," << j;
            EXPECT_FALSE(run.pending) << i << "," << j;
            EXPECT_EQ(run.counts[0] + run.counts[1] + run.counts[2], text.size()) << i << "," << j;
        }
    }
}

TEST_F(Substitute, LongNameCutStillCountsItsLimit)
{
    const std::string name(1024, 'N');
    Filtered run = filter({"%" + name.substr(0, 600), name.substr(600) + "%"});
    EXPECT_EQ(run.rc, STATUS_FAILED);
    run = filter({"%" + name.substr(0, 600), name.substr(601) + "%"});
    EXPECT_EQ(run.rc, STATUS_OK);
}

TEST_F(Substitute, ResolverFailuresEndTheCallAndWriteNothingForTheToken)
{
    g_fail_token = "%X%";
    g_fail_status = 6;
    Filtered run = filter({"ab%A%cd%X%ef"});
    EXPECT_EQ(run.rc, 6);
    EXPECT_EQ(run.output, "abacd");
    EXPECT_EQ(run.counts[0], 10u);

    /* No resolver at all. */
    EXPECT_EQ(filter({"q%A%"}, NULL).rc, STATUS_FAILED);
}

status_t unterminated(int32_t, int32_t, const char *, char *buf, uint16_t cap, int32_t, int32_t,
                      const char *, const char *)
{
    memset(buf, 'v', cap);
    return STATUS_OK;
}

TEST_F(Substitute, AValueWithoutTerminatorIsRefused)
{
    Filtered run = filter({"a%X%b"}, unterminated);
    EXPECT_EQ(run.rc, STATUS_FAILED);
    EXPECT_EQ(run.output, "a");
}

TEST_F(Substitute, AnOutputThatTakesNothingFailsWithWriteError)
{
    const struct {
        const char *input;
        status_t rc;
    } rows[] = {
        {"a", STATUS_WRITE_ERROR},   {"%A%", STATUS_WRITE_ERROR}, {"%%", STATUS_WRITE_ERROR},
        {"x%", STATUS_WRITE_ERROR},  {"%EMPTY%", STATUS_OK},      {"%", STATUS_OK},
    };
    for (const auto &row : rows)
        EXPECT_EQ(filter({row.input}, resolve, "rb").rc, row.rc) << row.input;
}

/* The substitute mode of the engine: a copy through the filter. */
status_t substitute_copy(const std::string &from, const std::string &to,
                         transfer_progress_fn progress)
{
    transfer_request req =
        transfer_request_make(from.c_str(), to.c_str(), &TRANSFER_MODE_SUBSTITUTING);
    req.progress = progress;
    req.user = 5;
    req.context1 = 11;
    req.context2 = 22;
    req.resolver = resolve;
    return transfer_run(&req);
}

std::vector<uint32_t> g_progress;
void record_progress(int32_t user, uint32_t bytes)
{
    EXPECT_EQ(user, 5);
    g_progress.push_back(bytes);
}

TEST_F(Substitute, CopyExpandsTokensAndFailsWhenTheFileEndsInsideOne)
{
    std::string src = ws_join(dir, "tmpl.ini"), dst = ws_join(dir, "out.ini");
    ASSERT_TRUE(ws_write_file(src, "[Paths]\r\nHome=%HOME%\r\nRate=100%%\r\n"));
    g_progress.clear();
    ASSERT_EQ(substitute_copy(src, dst, record_progress), STATUS_OK);
    std::string got;
    ASSERT_TRUE(ws_read_file(dst, &got));
    EXPECT_EQ(got, "[Paths]\r\nHome=C:\\V\r\nRate=100%\r\n");
    ASSERT_EQ(g_progress.size(), 2u);
    EXPECT_EQ(g_progress[0], 34u) << "characters read, not written";

    struct Row {
        const char *input;
        status_t rc;
        const char *kept;
    } rows[] = {
        {"text then %", STATUS_READ_ERROR, "text then "},
        {"text then %HOM", STATUS_READ_ERROR, "text then "},
    };
    for (const Row &row : rows) {
        ASSERT_TRUE(ws_write_file(src, row.input));
        EXPECT_EQ(substitute_copy(src, dst, NULL), row.rc) << row.input;
        ASSERT_TRUE(ws_read_file(dst, &got));
        EXPECT_EQ(got, row.kept) << row.input;
        EXPECT_TRUE(DeleteFileA(dst.c_str())) << "the target was left open";
    }
    g_fail_token = "%HOME%";
    g_fail_status = 6;
    ASSERT_TRUE(ws_write_file(src, "h=%HOME%"));
    EXPECT_EQ(substitute_copy(src, dst, NULL), 6);
}

} // namespace
