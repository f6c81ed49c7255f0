// Holds the simulation to the corpus's answers as recorded under Wine: every case of every
// family, run again on the simulation, must answer as recorded, or follow a marked difference.
#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <map>
#include <string>

#include "conformance/corpus.h"
#include "conformance/corpus_marks.h"
#include "support/conformance.h"
#include "support/workstation.h"

namespace {

struct recorded_case {
    std::string family, description, answer;
};

struct recording {
    bool loaded = false;
    std::string problem; // why it could not be read
    int generator = 0;
    uint32_t seed = 0;
    std::string platform;
    std::map<int, recorded_case> cases;
};

std::string field(const std::string &line, size_t *pos)
{
    size_t tab = line.find('\t', *pos);
    std::string out = line.substr(*pos, tab == std::string::npos ? std::string::npos : tab - *pos);
    *pos = tab == std::string::npos ? line.size() : tab + 1;
    return out;
}

const recording &the_recording(void)
{
    static recording rec;
    if (rec.loaded || !rec.problem.empty())
        return rec;
    FILE *f = fopen(VX_CORPUS_RECORDING, "rb");
    if (f == NULL) {
        rec.problem = std::string("cannot open ") + VX_CORPUS_RECORDING;
        return rec;
    }
    std::string line;
    int c;
    while ((c = fgetc(f)) != EOF || !line.empty()) {
        if (c != '\n' && c != EOF) {
            line += (char)c;
            continue;
        }
        if (line.rfind("# generator ", 0) == 0) {
            rec.generator = atoi(line.c_str() + 12);
        } else if (line.rfind("# seed ", 0) == 0) {
            rec.seed = (uint32_t)strtoul(line.c_str() + 7, NULL, 0);
        } else if (line.rfind("# platform ", 0) == 0) {
            rec.platform = line.substr(11);
        } else if (!line.empty() && line[0] != '#') {
            size_t pos = 0;
            int id = atoi(field(line, &pos).c_str());
            recorded_case r;
            r.family = field(line, &pos);
            r.description = field(line, &pos);
            r.answer = field(line, &pos);
            rec.cases[id] = r;
        }
        line.clear();
        if (c == EOF)
            break;
    }
    fclose(f);
    rec.loaded = true;
    return rec;
}

// ---- Marked differences --------------------------------------------------------------------
// A case a marker covers is held to the answer of the side the simulation follows, derived from
// the recorded (Wine) answer by the marker's rule.


// The quoted bytes after "key " in an answer, unquoted; npos-free positions of the quotes.
bool quoted_field(const std::string &answer, const std::string &key, size_t *open, size_t *close)
{
    size_t at = answer.find(" " + key + " \"");
    if (at == std::string::npos)
        return false;
    *open = at + key.size() + 2;
    for (size_t i = *open + 1; i < answer.size(); i++) {
        if (answer[i] == '\\')
            i++;
        else if (answer[i] == '"') {
            *close = i;
            return true;
        }
    }
    return false;
}

// A list read whose whole list (" full COUNT BYTES", ending in two NULs) is longer than the
// buffer: Windows ends the cut list with a NUL in the buffer's last byte too.
bool list_cut_short(const corpus_case &c, const std::string &recorded, std::string *windows)
{
    if (c.family != CORPUS_PROFILE_READ || c.profile.size < 3)
        return false;
    size_t full_at = recorded.find(" full ");
    if (full_at == std::string::npos)
        return false;
    long full = atol(recorded.c_str() + full_at + 6);
    size_t open, close;
    std::string tail = recorded.substr(full_at);
    bool is_list = tail.size() > 5 && tail.compare(tail.size() - 5, 5, "\\0\\0\"") == 0;
    if (!is_list || (long)c.profile.size >= full + 1)
        return false;
    if (!quoted_field(recorded, "buf", &open, &close))
        return false;
    *windows = recorded.substr(0, close) + "\\0" + recorded.substr(close);
    return true;
}

// The answer the simulation must give: the recorded one, or the marked side's.
std::string expected_answer(const corpus_case &c, const std::string &recorded,
                            const ws_difference **marker)
{
    std::string windows;
    *marker = NULL;
    if (list_cut_short(c, recorded, &windows)) {
        *marker = &WS_LIST_CUT_SHORT;
        ws_difference_met(WS_LIST_CUT_SHORT);
        return windows;
    }
    if (corpus_file_windows_answer(c, recorded, &windows, marker)) {
        ws_difference_met(**marker);
        return windows;
    }
    return recorded;
}

// ---- The comparison ------------------------------------------------------------------------

const unsigned SHOWN_IN_FULL = 15;

class Corpus : public ::testing::TestWithParam<corpus_family> {};

TEST(CorpusRecording, IsCurrentAndLarge)
{
    const recording &rec = the_recording();
    ASSERT_TRUE(rec.loaded) << rec.problem;
    EXPECT_EQ(rec.generator, CORPUS_GENERATOR_VERSION)
        << "the recording was made by another version of the generator: run "
           "scripts/record-corpus.sh where Wine runs";
    EXPECT_EQ(rec.platform.rfind("Wine ", 0), 0u) << "recorded on " << rec.platform;
    EXPECT_GE(rec.cases.size(), 5000u);
    EXPECT_EQ(rec.cases.size(), corpus_generate(rec.seed).size())
        << "the recording misses cases (it stopped early?)";
}

TEST_P(Corpus, SimulationAnswersAsRecorded)
{
    const recording &rec = the_recording();
    ASSERT_TRUE(rec.loaded) << rec.problem;
    ASSERT_EQ(rec.generator, CORPUS_GENERATOR_VERSION);
    corpus_place_root root;
    root.dir = ws_fresh();
    root.hklm_key = "SOFTWARE\\VxCorpus";
    unsigned compared = 0, marked = 0, differ = 0;
    std::string shown;
    for (const corpus_case &c : corpus_generate(rec.seed)) {
        if (c.family != GetParam())
            continue;
        std::map<int, recorded_case>::const_iterator r = rec.cases.find(c.id);
        ASSERT_NE(r, rec.cases.end()) << "case " << c.id << " is not in the recording";
        std::string description = corpus_describe(c);
        ASSERT_EQ(r->second.description, description)
            << "case " << c.id << " was recorded from other calls: run scripts/record-corpus.sh";
        const ws_difference *marker;
        std::string want = expected_answer(c, r->second.answer, &marker);
        std::string got = corpus_run(c, root);
        compared++;
        if (marker != NULL)
            marked++;
        if (got == want)
            continue;
        if (++differ <= SHOWN_IN_FULL) {
            shown += "case " + std::to_string(c.id) + ": " + description + "\n";
            if (c.family >= CORPUS_FILE_NAMES && c.family <= CORPUS_FILE_STAMPS)
                shown += "  in a folder of: " + corpus_file_fixture() + "\n";
            shown += "  recorded (" + rec.platform + "): " + r->second.answer + "\n";
            if (marker != NULL)
                shown += "  expected (" + std::string(marker->name) + "): " + want + "\n";
            shown += "  simulation: " + got + "\n";
        }
    }
    printf("%s: %u cases compared with %s, %u of them by a marked difference\n",
           corpus_family_name(GetParam()), compared, rec.platform.c_str(), marked);
    EXPECT_GT(compared, 0u);
    EXPECT_EQ(differ, 0u) << differ << " of " << compared
                          << " cases answer otherwise on the simulation (the first "
                          << SHOWN_IN_FULL << " shown):\n"
                          << shown;
}

INSTANTIATE_TEST_SUITE_P(Recorded, Corpus,
                         ::testing::Values(CORPUS_PROFILE_READ, CORPUS_PROFILE_WRITE,
                                           CORPUS_REGISTRY, CORPUS_CRT, CORPUS_FILE_NAMES,
                                           CORPUS_FILE_MOVES, CORPUS_FILE_SHARING,
                                           CORPUS_FILE_STAMPS, CORPUS_VOLUME),
                         [](const ::testing::TestParamInfo<corpus_family> &info) {
                             std::string name = corpus_family_name(info.param);
                             for (char &ch : name)
                                 if (ch == '-')
                                     ch = '_';
                             return name;
                         });

} // namespace
