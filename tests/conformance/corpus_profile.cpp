/* The corpus's profile family: files made of every kind of line, GetPrivateProfileStringA with
 * every section, key, default and size shape, WritePrivateProfileStringA writes and deletes. */
#include "conformance/corpus.h"

#include <string.h>

#include "platform/os.h"
#include "support/workstation.h"

/* Set before every call: a last error left alone reads back as "-". */
#define CORPUS_GLE_UNTOUCHED 0x0BADC0DEu
static const unsigned char CORPUS_POISON = 0xCC;

struct corpus_line {
    const char *line;
    const char *name;  /* the key or section name a call may ask for; NULL for none */
    const char *value; /* the value as the line holds it, for writes of an unchanged value */
};

static const corpus_line corpus_headers[] = {
    {"[S]", "S", NULL},          {"[s]", "s", NULL},        {"[ T ]", "T", NULL},
    {"[Empty]", "Empty", NULL},  {"[]", "", NULL},          {"[Unclosed", "Unclosed", NULL},
    {"  [In]  ", "In", NULL},    {"[Tr] junk", "Tr", NULL}, {"[U]", "U", NULL},
    {"[S]", "S", NULL},          {"[\tV\t]", "V", NULL},
};

static const corpus_line corpus_entries[] = {
    {"A=1", "A", "1"},
    {"a=2", "a", "2"},
    {"  B  =  two  ", "B", "two"},
    {"C=", "C", ""},
    {"=e", "", "e"},
    {"  =blank", "", "blank"},
    {"NoEq", "NoEq", NULL},
    {";K=c", ";K", "c"},
    {"#H=h", "#H", "h"},
    {"Q=\"q v\"", "Q", "\"q v\""},
    {"R='r'", "R", "'r'"},
    {"X=a=b", "X", "a=b"},
    {"T=\tt\t", "T", "t"},
    {"Z=z\x1a", "Z", "z"},
    {"L=0123456789abcdefghij", "L", "0123456789abcdefghij"},
    {"D= d d ", "D", "d d"},
    {"E=\"unbal", "E", "\"unbal"},
    {"B=again", "B", "again"},
    {"A =sp", "A", "sp"},
    {"F=\"\"", "F", "\"\""},
    {"G=  ", "G", ""},
};

static const char *const corpus_blank_lines[] = {"", "  ", "\t"};

static const char *const corpus_asked_sections[] = {
    "S", "s", " S ", "S\t", "T", " T ", "t", "Empty", "", "In", "Tr", "U", "Unclosed", "V",
    "Nope",
};
static const char *const corpus_asked_keys[] = {
    "A", "a", " A ", "A\t", "B", "C", "", "E", "NoEq", ";K", "#H", "Q", "R", "X", "T", "Z",
    "L", "D", "F", "G", "Nope",
};
static const char *const corpus_defaults[] = {
    "", "D", "def  ", "def\t", "  def", "\"q\"", "'q'", "d \t ", "d\t ", "0123456789", "a b",
    "\"q\" ", "\t", " ", "\"", "x\x1a",
};
static const char *const corpus_new_sections[] = {"New", " Pad ", "S2", "Empty", "\tTab"};
static const char *const corpus_new_keys[] = {"K", " Pk ", "k", "New", "Pk\t"};
static const char *const corpus_values[] = {
    "v", "  sp  ", "\"q\"", "", "a=b", "two", "1", "x y", "t\t", "\tlead",
};

static corpus_text corpus_null(void)
{
    return corpus_text{true, ""};
}

static corpus_text corpus_given(const std::string &text)
{
    return corpus_text{false, text};
}

/* A file's lines: headers, entries and blank lines with mixed line ends. *headers and
 * *entries receive the vocabulary rows used, for the calls to ask about. */
static std::string corpus_make_file(corpus_rng *rng, std::vector<const corpus_line *> *headers,
                                    std::vector<const corpus_line *> *entries)
{
    std::string out;
    uint32_t lines = corpus_rng_below(rng, 11);
    bool header_first = corpus_rng_chance(rng, 75);
    for (uint32_t i = 0; i < lines; i++) {
        std::string line;
        uint32_t kind = corpus_rng_below(rng, 100);
        if ((i == 0 && header_first) || (i > 0 && kind < 22)) {
            const corpus_line *h = &corpus_pick(rng, corpus_headers);
            headers->push_back(h);
            line = h->line;
        } else if (kind < 90) {
            const corpus_line *e = &corpus_pick(rng, corpus_entries);
            entries->push_back(e);
            line = e->line;
        } else {
            line = corpus_pick(rng, corpus_blank_lines);
        }
        uint32_t end = corpus_rng_below(rng, 100);
        bool last = i + 1 == lines;
        if (last && end < 20)
            out += line; /* a last line without its end */
        else
            out += line + (end < 70 ? "\r\n" : end < 85 ? "\n" : "\r");
    }
    return out;
}

static corpus_place corpus_pick_place(corpus_rng *rng, bool read)
{
    uint32_t p = corpus_rng_below(rng, 100);
    if (read)
        return p < 88   ? CORPUS_FILE
               : p < 92 ? CORPUS_MISSING
               : p < 94 ? CORPUS_NO_DIR
               : p < 96 ? CORPUS_DIRECTORY
               : p < 98 ? CORPUS_EMPTY_NAME
                        : CORPUS_READ_ONLY;
    return p < 75   ? CORPUS_FILE
           : p < 85 ? CORPUS_MISSING
           : p < 93 ? CORPUS_READ_ONLY
           : p < 95 ? CORPUS_NO_DIR
           : p < 97 ? CORPUS_DIRECTORY
                    : CORPUS_EMPTY_NAME;
}

/* A name of the file's (often), else one of the list's. */
static corpus_text corpus_pick_name(corpus_rng *rng,
                                    const std::vector<const corpus_line *> &present,
                                    const char *const *others, size_t n_others,
                                    const corpus_line **chosen)
{
    *chosen = NULL;
    if (!present.empty() && corpus_rng_chance(rng, 55)) {
        *chosen = present[corpus_rng_below(rng, (uint32_t)present.size())];
        std::string name = (*chosen)->name;
        uint32_t v = corpus_rng_below(rng, 10);
        if (v == 0 && !name.empty())
            name[0] = (char)(name[0] ^ 0x20); /* the other letter case */
        else if (v == 1)
            name = " " + name + " ";
        else if (v == 2)
            name += "\t";
        return corpus_given(name);
    }
    return corpus_given(others[corpus_rng_below(rng, (uint32_t)n_others)]);
}

void corpus_make_profile_read(corpus_rng *rng, corpus_profile_case *out)
{
    std::vector<const corpus_line *> headers, entries;
    const corpus_line *chosen;
    out->place = corpus_pick_place(rng, true);
    out->content = corpus_make_file(rng, &headers, &entries);
    corpus_profile_call call;
    uint32_t s = corpus_rng_below(rng, 100);
    call.section = s < 12 ? corpus_null()
                          : corpus_pick_name(rng, headers, corpus_asked_sections,
                                             CORPUS_COUNT(corpus_asked_sections), &chosen);
    call.key = corpus_rng_chance(rng, 25)
                   ? corpus_null()
                   : corpus_pick_name(rng, entries, corpus_asked_keys,
                                      CORPUS_COUNT(corpus_asked_keys), &chosen);
    call.value = corpus_rng_chance(rng, 8) ? corpus_null()
                                           : corpus_given(corpus_pick(rng, corpus_defaults));
    out->calls.assign(1, call);
    uint32_t z = corpus_rng_below(rng, 100);
    out->size = z < 10 ? 1024 : z < 14 ? 0 : 1 + corpus_rng_below(rng, 40);
}

void corpus_make_profile_write(corpus_rng *rng, corpus_profile_case *out)
{
    std::vector<const corpus_line *> headers, entries;
    out->place = corpus_pick_place(rng, false);
    out->content = corpus_make_file(rng, &headers, &entries);
    out->size = 0;
    uint32_t n = corpus_rng_below(rng, 100);
    n = n < 60 ? 1 : n < 85 ? 2 : 3;
    out->calls.clear();
    for (uint32_t i = 0; i < n; i++) {
        corpus_profile_call call;
        const corpus_line *sec = NULL, *key = NULL;
        uint32_t s = corpus_rng_below(rng, 100);
        if (s < 4)
            call.section = corpus_null();
        else if (s < 7)
            call.section = corpus_given("");
        else
            call.section = corpus_pick_name(rng, headers, corpus_new_sections,
                                            CORPUS_COUNT(corpus_new_sections), &sec);
        uint32_t k = corpus_rng_below(rng, 100);
        if (k < 12)
            call.key = corpus_null();
        else if (k < 15)
            call.key = corpus_given("");
        else
            call.key = corpus_pick_name(rng, entries, corpus_new_keys,
                                        CORPUS_COUNT(corpus_new_keys), &key);
        uint32_t v = corpus_rng_below(rng, 100);
        if (v < 25)
            call.value = corpus_null();
        else if (v < 40 && key != NULL && key->value != NULL)
            call.value = corpus_given(key->value); /* the value the key has already */
        else
            call.value = corpus_given(corpus_pick(rng, corpus_values));
        /* Wine 8 crashes on a section deletion without a section; the flush call it would
         * otherwise be (all three null) is asked instead. */
        if (call.section.null && call.key.null)
            call.value = corpus_null();
        out->calls.push_back(call);
    }
}

static const char *corpus_place_name(corpus_place place)
{
    switch (place) {
    case CORPUS_FILE: return "file";
    case CORPUS_MISSING: return "missing file";
    case CORPUS_NO_DIR: return "file in a missing directory";
    case CORPUS_READ_ONLY: return "read-only file";
    case CORPUS_DIRECTORY: return "a directory";
    default: return "file name \"\"";
    }
}

static bool corpus_has_content(corpus_place place)
{
    return place == CORPUS_FILE || place == CORPUS_READ_ONLY;
}

std::string corpus_describe_profile(const corpus_profile_case &c, bool read)
{
    std::string out;
    for (const corpus_profile_call &call : c.calls) {
        if (!out.empty())
            out += "; ";
        out += read ? "GetPrivateProfileStringA(" : "WritePrivateProfileStringA(";
        out += corpus_quote_text(call.section) + ", " + corpus_quote_text(call.key) + ", " +
               corpus_quote_text(call.value);
        if (read)
            out += ", size " + corpus_num(c.size);
        out += ")";
    }
    out += std::string(" on ") + corpus_place_name(c.place);
    if (corpus_has_content(c.place))
        out += " " + corpus_quote(c.content);
    return out;
}

static const char *corpus_arg(const corpus_text &t)
{
    return t.null ? NULL : t.text.c_str();
}

static std::string corpus_gle(void)
{
    DWORD gle = GetLastError();
    return gle == CORPUS_GLE_UNTOUCHED ? "-" : corpus_num(gle);
}

/* The bytes up to the last one the call wrote (the buffer is poisoned beforehand). */
static std::string corpus_written(const std::vector<unsigned char> &buf)
{
    size_t n = buf.size();
    while (n > 0 && buf[n - 1] == CORPUS_POISON)
        n--;
    return corpus_quote(std::string((const char *)buf.data(), n));
}

std::string corpus_run_profile(const corpus_profile_case &c, bool read, int id,
                               const corpus_place_root &root)
{
    std::string file = ws_join(root.dir, "p" + corpus_num(id) + ".ini");
    std::string path;
    switch (c.place) {
    case CORPUS_NO_DIR: path = ws_join(root.dir, "nodir\\p.ini"); break;
    case CORPUS_DIRECTORY: path = root.dir; break;
    case CORPUS_EMPTY_NAME: path = ""; break;
    default: path = file; break;
    }
    if (corpus_has_content(c.place) && !ws_write_file(file, c.content))
        return "set-up failed: the file could not be written";
    if (c.place == CORPUS_READ_ONLY && crt_chmod(file.c_str(), CRT_S_IREAD) != 0)
        return "set-up failed: the file could not be made read-only";

    std::string out;
    for (const corpus_profile_call &call : c.calls) {
        if (!out.empty())
            out += "; ";
        SetLastError(CORPUS_GLE_UNTOUCHED);
        if (read) {
            std::vector<unsigned char> buf(c.size + 8, CORPUS_POISON);
            DWORD n = GetPrivateProfileStringA(corpus_arg(call.section), corpus_arg(call.key),
                                               corpus_arg(call.value), (LPSTR)buf.data(), c.size,
                                               path.c_str());
            out += "ret " + corpus_num(n) + " gle " + corpus_gle() + " buf " +
                   corpus_written(buf);
            /* A list's whole length, which tells a cut list from one that fits. */
            if (call.section.null || call.key.null) {
                std::vector<unsigned char> all(4096, CORPUS_POISON);
                DWORD full = GetPrivateProfileStringA(
                    corpus_arg(call.section), corpus_arg(call.key), corpus_arg(call.value),
                    (LPSTR)all.data(), (DWORD)all.size() - 8, path.c_str());
                out += " full " + corpus_num(full) + " " + corpus_written(all);
            }
        } else {
            BOOL ok = WritePrivateProfileStringA(corpus_arg(call.section), corpus_arg(call.key),
                                                 corpus_arg(call.value), path.c_str());
            /* After a success the last error holds whatever the call met on its way. */
            out += "ret " + corpus_num(ok) + (ok ? "" : " gle " + corpus_gle());
        }
    }
    if (!read) {
        std::string bytes;
        out += "; file " + (ws_read_file(file, &bytes) ? corpus_quote(bytes) : "missing");
    }
    crt_chmod(file.c_str(), CRT_S_IREAD | CRT_S_IWRITE);
    crt_remove(file.c_str());
    return out;
}
