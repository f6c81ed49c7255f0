/* The corpus's file families: one call (or a held name and a call, or a stamp change) in a
 * fresh folder with a small fixture, answered by what the call returned, its last error or
 * errno, and the folder's listing afterwards. */
#include "conformance/corpus.h"

#include <errno.h>
#include <string.h>
#include <time.h>

#include "platform/os.h"
#include "support/workstation.h"

/* ---- Names ---------------------------------------------------------------------------------- */

/* Names for the calls that only look, or fail without changing anything outside the case's
 * folder: separators after a file, dots and blanks, letter case, long and invalid names. */
static const char *const corpus_look_names[] = {
    "a.txt",        "A.TXT",       "mixed.txt",     "MIXED.TXT",     "ro.txt",
    "RO.TXT",       "missing.txt", "new.txt",       "d",             "D",
    "d\\",          "d\\in.txt",   "d\\IN.TXT",     "e",             "e\\",
    "e\\new.txt",   "nodir\\x.txt", "a.txt\\",      "a.txt\\..",     "a.txt\\...",
    "a.txt\\x",     "ro.txt\\",    "d\\in.txt\\",   "missing.txt\\", "a.txt.",
    "a.txt ",       "a.txt. .",    "new\\",         "new.txt\\",     "d\\..\\a.txt",
    ".\\a.txt",     "a.txt/",      "d/in.txt",      "   ",           "bad<name",
    "bad?.txt",     "bad|x",       "<long 250>",    "<long 259>",    "<long 260>",
    "<long 261>",   "<long 300>",  ".",             "d\\.",          "e\\..\\ro.txt",
    "=C:\\",        "=",           "=   ",          "=Q:\\x.txt",    "=C:\\nowhere\\x.txt",
};
/* The last five are not relative to the case's folder: calls that change things get only the
 * names before them. */
static const size_t corpus_change_names = CORPUS_COUNT(corpus_look_names) - 5;

static const char *const corpus_move_sources[] = {
    "a.txt",    "A.TXT",   "ro.txt",      "Mixed.TXT",    "mixed.txt", "missing.txt",
    "d",        "D",       "d\\",         "e",            "e\\",       "d\\in.txt",
    "a.txt\\",  "a.txt\\..", "<long 250>", "nodir\\x.txt", ".",        "a.txt.",
    "=Q:\\x.txt",
};
static const char *const corpus_move_targets[] = {
    "new.txt",    "NEW.TXT",      "a.txt",      "A.TXT",      "ro.txt",      "mixed.txt",
    "MIXED.TXT",  "Mixed.TXT",    "d",          "e",          "d\\new.txt",  "e\\new.txt",
    "d\\sub",     "e\\d",         "d\\in.txt",  "new\\",      "new.txt\\",   "a.txt\\",
    "a.txt\\x",   "nodir\\x.txt", "<long 259>", "<long 260>", "<long 261>",  "bad<name",
    "   ",        "a.txt.",       ".",          "d\\.",       "=C:\\",       "=Q:\\x.txt",
};

static const long corpus_attribute_values[] = {
    0, 0x80, 0x1, 0x2, 0x4, 0x6, 0x3, 0x20, 0x10, 0x100, 0x2000, 0x81, 0x7,
};
static const long corpus_access_modes[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, -1, 0x10};
static const long corpus_chmod_modes[] = {0, 0x100, 0x80, 0x180};
static const long corpus_lopen_access[] = {0, 1, 2, 3};
static const long corpus_lopen_share[] = {0, 0x10, 0x20, 0x30, 0x40, 0x70};
static const char *const corpus_fopen_modes[] = {
    "r",  "w",   "a",   "r+",  "w+",  "a+", "rb", "wb", "ab", "rt", "wt",
    "bt", "tb",  "rbt", "r+b", "rb+", "",   "x",  "rw", "r ", "rc", "wn",
};
static const long corpus_move_flags[] = {0, 1, 2, 3, 8, 9, 11};

/* ---- Stamps --------------------------------------------------------------------------------- */

/* 2001-01-01 00:00 UTC, the stamp every fixture file starts with. */
#define CORPUS_FIXTURE_STAMP 126227808000000000ull

static const uint64_t corpus_stamps[] = {
    0,                       /* "do not change" */
    0xFFFFFFFFFFFFFFFFull,   /* "stop updating through this handle" */
    1,                       /* just after 1601 */
    94354848000000000ull,    /* 1900-01-01 */
    116444735990000000ull,   /* 1969-12-31 23:59:59 */
    116444736000000000ull,   /* 1970-01-01 */
    129210336000000000ull,   /* 2010-06-15 */
    137919572480000000ull,   /* 2038-01-19 03:14:08, past a 32-bit time_t */
    157469184000000000ull,   /* 2100-01-01 */
    0x7FFFFFFFFFFFFFFFull,   /* the largest a LARGE_INTEGER holds */
    0x8000000000000000ull,   /* negative as a LARGE_INTEGER */
    0xFFFFFFFEFFFFFFFFull,
};

uint64_t corpus_stamp_value(int index)
{
    return index >= 0 && (size_t)index < CORPUS_COUNT(corpus_stamps) ? corpus_stamps[index] : 0;
}

/* ---- Making cases --------------------------------------------------------------------------- */

static std::string corpus_pick_name(corpus_rng *rng, bool changes)
{
    size_t n = changes ? corpus_change_names : CORPUS_COUNT(corpus_look_names);
    return corpus_look_names[corpus_rng_below(rng, (uint32_t)n)];
}

static long corpus_lopen_mode(corpus_rng *rng)
{
    return corpus_pick(rng, corpus_lopen_access) | corpus_pick(rng, corpus_lopen_share);
}

static void corpus_make_names(corpus_rng *rng, corpus_file_op *op)
{
    uint32_t k = corpus_rng_below(rng, 100);
    if (k < 12) {
        op->call = CORPUS_GET_ATTRIBUTES;
        op->a = corpus_pick_name(rng, false);
    } else if (k < 24) {
        op->call = CORPUS_SET_ATTRIBUTES;
        op->a = corpus_pick_name(rng, true);
        op->arg = corpus_pick(rng, corpus_attribute_values);
    } else if (k < 33) {
        op->call = CORPUS_DELETE;
        op->a = corpus_pick_name(rng, false);
    } else if (k < 40) {
        op->call = CORPUS_REMOVE;
        op->a = corpus_pick_name(rng, false);
    } else if (k < 50) {
        op->call = CORPUS_ACCESS;
        op->a = corpus_pick_name(rng, false);
        op->arg = corpus_pick(rng, corpus_access_modes);
    } else if (k < 57) {
        op->call = CORPUS_CHMOD;
        op->a = corpus_pick_name(rng, true);
        op->arg = corpus_pick(rng, corpus_chmod_modes);
    } else if (k < 72) {
        op->call = CORPUS_LOPEN;
        op->arg = corpus_lopen_mode(rng);
        op->a = corpus_pick_name(rng, (op->arg & 3) != 0);
    } else {
        op->call = CORPUS_FOPEN;
        op->mode = corpus_pick(rng, corpus_fopen_modes);
        op->a = corpus_pick_name(rng, op->mode.empty() || op->mode[0] != 'r' ||
                                          op->mode.find('+') != std::string::npos);
    }
}

static void corpus_make_moves(corpus_rng *rng, corpus_file_op *op)
{
    uint32_t k = corpus_rng_below(rng, 100);
    op->call = k < 30 ? CORPUS_MOVE : k < 75 ? CORPUS_MOVE_EX : CORPUS_RENAME;
    op->a = corpus_pick(rng, corpus_move_sources);
    op->b = corpus_pick(rng, corpus_move_targets);
    if (op->call == CORPUS_MOVE_EX)
        op->arg = corpus_pick(rng, corpus_move_flags);
}

static const char *const corpus_held_names[] = {"a.txt", "ro.txt", "d\\in.txt"};
static const char *const corpus_hold_fmodes[] = {"r", "rb", "r+", "a", "w"};
static const char *const corpus_second_fmodes[] = {"r", "rb", "w", "a", "r+", "w+"};

static std::string corpus_upper(std::string s)
{
    for (char &c : s)
        if (c >= 'a' && c <= 'z')
            c = (char)(c - 'a' + 'A');
    return s;
}

static void corpus_make_sharing(corpus_rng *rng, corpus_file_case *out)
{
    out->held = corpus_pick(rng, corpus_held_names);
    if (corpus_rng_chance(rng, 60)) {
        out->holder = CORPUS_HOLD_LOPEN;
        out->hold_mode = corpus_lopen_mode(rng);
        if ((out->hold_mode & 3) == 3)
            out->hold_mode &= ~1L;
    } else {
        out->holder = CORPUS_HOLD_FOPEN;
        out->hold_fmode = corpus_pick(rng, corpus_hold_fmodes);
    }
    uint32_t t = corpus_rng_below(rng, 10);
    std::string target = t < 6 ? out->held : t < 9 ? corpus_upper(out->held) : "Mixed.TXT";
    corpus_file_op &op = out->op;
    op.a = target;
    switch (corpus_rng_below(rng, 12)) {
    case 0:
    case 1:
        op.call = CORPUS_FOPEN;
        op.mode = corpus_pick(rng, corpus_second_fmodes);
        break;
    case 2:
    case 3:
        op.call = CORPUS_LOPEN;
        op.arg = corpus_lopen_mode(rng);
        break;
    case 4: op.call = CORPUS_DELETE; break;
    case 5: op.call = CORPUS_REMOVE; break;
    case 6:
        op.call = CORPUS_MOVE;
        op.b = "new.txt";
        break;
    case 7:
        op.call = CORPUS_MOVE_EX;
        op.a = "Mixed.TXT";
        op.b = target;
        op.arg = 1;
        break;
    case 8:
        op.call = CORPUS_RENAME;
        op.b = "new.txt";
        break;
    case 9:
        op.call = CORPUS_SET_ATTRIBUTES;
        op.arg = corpus_rng_chance(rng, 50) ? 0x1 : 0x80;
        break;
    case 10:
        op.call = CORPUS_CHMOD;
        op.arg = corpus_rng_chance(rng, 50) ? 0x100 : 0x180;
        break;
    default:
        op.call = CORPUS_ACCESS;
        op.arg = corpus_rng_chance(rng, 50) ? 6 : 0;
        break;
    }
}

static void corpus_make_stamps(corpus_rng *rng, corpus_file_case *out)
{
    out->held = corpus_rng_chance(rng, 80) ? "a.txt" : "ro.txt";
    out->hold_mode = (long)corpus_rng_below(rng, 3) | (corpus_rng_chance(rng, 30) ? 0x40 : 0);
    out->set_time = corpus_rng_chance(rng, 90);
    for (int &s : out->stamps)
        s = corpus_rng_chance(rng, 35) ? -1
                                       : (int)corpus_rng_below(rng, CORPUS_COUNT(corpus_stamps));
}

void corpus_make_file(corpus_rng *rng, corpus_family family, corpus_file_case *out)
{
    *out = corpus_file_case();
    switch (family) {
    case CORPUS_FILE_NAMES: corpus_make_names(rng, &out->op); break;
    case CORPUS_FILE_MOVES: corpus_make_moves(rng, &out->op); break;
    case CORPUS_FILE_SHARING: corpus_make_sharing(rng, out); break;
    default: corpus_make_stamps(rng, out); break;
    }
}

/* ---- Describing cases ----------------------------------------------------------------------- */

static std::string corpus_op_text(const corpus_file_op &op)
{
    std::string a = corpus_quote(op.a), b = corpus_quote(op.b);
    switch (op.call) {
    case CORPUS_GET_ATTRIBUTES: return "GetFileAttributesA(" + a + ")";
    case CORPUS_SET_ATTRIBUTES: return "SetFileAttributesA(" + a + ", " + corpus_num(op.arg) + ")";
    case CORPUS_DELETE: return "DeleteFileA(" + a + ")";
    case CORPUS_REMOVE: return "remove(" + a + ")";
    case CORPUS_ACCESS: return "_access(" + a + ", " + corpus_num(op.arg) + ")";
    case CORPUS_CHMOD: return "_chmod(" + a + ", " + corpus_num(op.arg) + ")";
    case CORPUS_LOPEN: return "_lopen(" + a + ", " + corpus_num(op.arg) + "); _lclose";
    case CORPUS_FOPEN: return "fopen(" + a + ", " + corpus_quote(op.mode) + ")";
    case CORPUS_MOVE: return "MoveFileA(" + a + ", " + b + ")";
    case CORPUS_MOVE_EX: return "MoveFileExA(" + a + ", " + b + ", " + corpus_num(op.arg) + ")";
    default: return "rename(" + a + ", " + b + ")";
    }
}

static std::string corpus_stamp_text(int index)
{
    if (index < 0)
        return "NULL";
    char buf[32];
    uint64_t v = corpus_stamps[index];
    snprintf(buf, sizeof buf, "%08lx:%08lx", (unsigned long)(v >> 32), (unsigned long)(uint32_t)v);
    return buf;
}

std::string corpus_describe_file(const corpus_file_case &c, corpus_family family)
{
    std::string held = corpus_quote(c.held);
    if (family == CORPUS_FILE_STAMPS) {
        std::string out = "_lopen(" + held + ", " + corpus_num(c.hold_mode) + ")";
        if (c.set_time)
            out += "; SetFileTime(" + corpus_stamp_text(c.stamps[0]) + ", " +
                   corpus_stamp_text(c.stamps[1]) + ", " + corpus_stamp_text(c.stamps[2]) + ")";
        return out + "; GetFileTime; _lclose";
    }
    std::string out;
    if (c.holder == CORPUS_HOLD_LOPEN)
        out = "held by _lopen(" + held + ", " + corpus_num(c.hold_mode) + "): ";
    else if (c.holder == CORPUS_HOLD_FOPEN)
        out = "held by fopen(" + held + ", " + corpus_quote(c.hold_fmode) + "): ";
    return out + corpus_op_text(c.op);
}

/* ---- The fixture and the listing ------------------------------------------------------------ */

/* A name as a call gets it: relative to the case's folder unless it begins with "=", and
 * "<long N>" a run of L that makes the whole path N characters long. */
static std::string corpus_expand(const std::string &dir, const std::string &name)
{
    if (!name.empty() && name[0] == '=')
        return name.substr(1);
    unsigned total;
    if (sscanf(name.c_str(), "<long %u>", &total) == 1) {
        size_t used = dir.size() + 1;
        return ws_join(dir, std::string(total > used ? total - used : 1, 'L'));
    }
    return ws_join(dir, name);
}

/* A name of the listing: a long run of L as the length of its whole path, since the case's
 * folder lies deeper under Wine than on the simulation. */
static std::string corpus_listed_name(const std::string &dir, const std::string &name)
{
    if (name.size() >= 20 && name.find_first_not_of('L') == std::string::npos)
        return "<long " + corpus_num((long long)(dir.size() + 1 + name.size())) + ">";
    return corpus_quote(name);
}

static std::string corpus_attribute_marks(unsigned long attributes)
{
    std::string out;
    if (attributes & 0x1)
        out += "r";
    if (attributes & 0x2)
        out += "h";
    if (attributes & 0x4)
        out += "s";
    unsigned long rest = attributes & ~0x37ul; /* archive is every file's, and varies */
    if (rest != 0)
        out += "+" + corpus_num((long long)rest);
    return out.empty() ? out : "[" + out + "]";
}

static std::string corpus_listing(const std::string &dir, int depth)
{
    std::vector<ws_listed> entries;
    if (!ws_list(dir, &entries))
        return "<no folder>";
    std::string out;
    for (const ws_listed &e : entries) {
        if (!out.empty())
            out += ", ";
        out += corpus_listed_name(dir, e.name);
        if (dir.size() + 1 + e.name.size() > MAX_PATH) {
            /* Neither its attributes nor its bytes can be reached by an ANSI name. */
            out += " past MAX_PATH";
            continue;
        }
        out += corpus_attribute_marks(e.attributes);
        if ((e.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 && e.attributes != INVALID_FILE_ATTRIBUTES)
            /* A folder whose "name\*" passes MAX_PATH cannot be searched by an ANSI name. */
            out += depth < 3 && dir.size() + e.name.size() + 3 <= MAX_PATH
                       ? "/{" + corpus_listing(ws_join(dir, e.name), depth + 1) + "}"
                       : "/";
        else
            out += " " + corpus_quote(e.content);
    }
    return out;
}

static bool corpus_set_stamps(const std::string &path)
{
    FILETIME t[3];
    for (FILETIME &ft : t) {
        ft.dwLowDateTime = (DWORD)CORPUS_FIXTURE_STAMP;
        ft.dwHighDateTime = (DWORD)(CORPUS_FIXTURE_STAMP >> 32);
    }
    return ws_write_stamps(path, t);
}

/* The fixture: files, a read-only file, a letter-case variant, a folder with a file, an empty
 * folder, and a name that makes its path 250 characters long. */
static bool corpus_make_fixture(const std::string &dir)
{
    if (!ws_make_dir(dir) || !ws_write_file(ws_join(dir, "a.txt"), "alpha") ||
        !ws_write_file(ws_join(dir, "ro.txt"), "read-only") ||
        !ws_write_file(ws_join(dir, "Mixed.TXT"), "mixed") || !ws_make_dir(ws_join(dir, "d")) ||
        !ws_write_file(ws_join(dir, "d\\in.txt"), "inner") || !ws_make_dir(ws_join(dir, "e")) ||
        !ws_write_file(corpus_expand(dir, "<long 250>"), "long"))
        return false;
    if (!corpus_set_stamps(ws_join(dir, "a.txt")) || !corpus_set_stamps(ws_join(dir, "ro.txt")))
        return false;
    return SetFileAttributesA(ws_join(dir, "ro.txt").c_str(), FILE_ATTRIBUTE_READONLY) != 0;
}

const char *corpus_fixture_listing(void)
{
    return "<long 250> \"long\", \"Mixed.TXT\" \"mixed\", \"a.txt\" \"alpha\", "
           "\"d\"/{\"in.txt\" \"inner\"}, \"e\"/{}, \"ro.txt\"[r] \"read-only\"";
}

std::string corpus_file_fixture(void)
{
    return std::string(corpus_fixture_listing()) + "; a.txt and ro.txt stamped 2001-01-01";
}

/* ---- Running cases -------------------------------------------------------------------------- */

static std::string corpus_bool(BOOL ok)
{
    return ok ? "TRUE" : "FALSE GLE " + corpus_num((long long)GetLastError());
}

static std::string corpus_crt_int(int r)
{
    return r == 0 ? "0" : corpus_num(r) + " errno " + corpus_num(errno);
}

static std::string corpus_fopen_use(FILE *f, const std::string &mode)
{
    std::string out;
    bool reads = !mode.empty() && mode[0] == 'r' && mode.find('+') == std::string::npos;
    if (reads) {
        char buf[40];
        size_t n = fread(buf, 1, sizeof buf, f);
        out = "read " + corpus_quote(std::string(buf, n));
    } else {
        out = "fputs " + corpus_num(fputs("x", f));
    }
    return out + "; fclose " + corpus_num(fclose(f));
}

static std::string corpus_do(const corpus_file_op &op, const std::string &dir)
{
    std::string a = corpus_expand(dir, op.a), b = corpus_expand(dir, op.b);
    SetLastError(0);
    errno = 0;
    switch (op.call) {
    case CORPUS_GET_ATTRIBUTES: {
        DWORD attributes = GetFileAttributesA(a.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES)
            return "INVALID GLE " + corpus_num((long long)GetLastError());
        return corpus_num((long long)(attributes & ~0x20ul));
    }
    case CORPUS_SET_ATTRIBUTES: return corpus_bool(SetFileAttributesA(a.c_str(), (DWORD)op.arg));
    case CORPUS_DELETE: return corpus_bool(DeleteFileA(a.c_str()));
    case CORPUS_REMOVE: return corpus_crt_int(crt_remove(a.c_str()));
    case CORPUS_ACCESS: return corpus_crt_int(crt_access(a.c_str(), (int)op.arg));
    case CORPUS_CHMOD: return corpus_crt_int(crt_chmod(a.c_str(), (int)op.arg));
    case CORPUS_LOPEN: {
        HFILE h = _lopen(a.c_str(), (int)op.arg);
        if (h == HFILE_ERROR)
            return "HFILE_ERROR GLE " + corpus_num((long long)GetLastError());
        return "ok; _lclose " + corpus_num(_lclose(h));
    }
    case CORPUS_FOPEN: {
        FILE *f = crt_fopen(a.c_str(), op.mode.c_str());
        if (f == NULL)
            return "NULL errno " + corpus_num(errno);
        return "ok; " + corpus_fopen_use(f, op.mode);
    }
    case CORPUS_MOVE: return corpus_bool(MoveFileA(a.c_str(), b.c_str()));
    case CORPUS_MOVE_EX: return corpus_bool(MoveFileExA(a.c_str(), b.c_str(), (DWORD)op.arg));
    default: return corpus_crt_int(crt_rename(a.c_str(), b.c_str()));
    }
}

/* A stamp as the answer shows it: the fixture's, one of the table's, "now" (within a day of
 * the run), or its value. */
static std::string corpus_stamp_seen(const FILETIME &ft)
{
    uint64_t v = ((uint64_t)ft.dwHighDateTime << 32) | ft.dwLowDateTime;
    if (v == CORPUS_FIXTURE_STAMP)
        return "fixture";
    for (size_t i = 0; i < CORPUS_COUNT(corpus_stamps); i++)
        if (v == corpus_stamps[i])
            return "table " + corpus_stamp_text((int)i);
    uint64_t now = 116444736000000000ull + (uint64_t)time(NULL) * 10000000ull;
    uint64_t day = 864000000000ull;
    if (v + day >= now && v <= now + day)
        return "now";
    char buf[32];
    snprintf(buf, sizeof buf, "%08lx:%08lx", (unsigned long)(v >> 32), (unsigned long)(uint32_t)v);
    return buf;
}

static std::string corpus_run_stamps(const corpus_file_case &c, const std::string &dir)
{
    std::string path = corpus_expand(dir, c.held);
    SetLastError(0);
    HFILE h = _lopen(path.c_str(), (int)c.hold_mode);
    if (h == HFILE_ERROR)
        return "HFILE_ERROR GLE " + corpus_num((long long)GetLastError());
    HANDLE handle = (HANDLE)(intptr_t)h;
    std::string out = "ok";
    if (c.set_time) {
        FILETIME t[3];
        const FILETIME *p[3];
        for (int i = 0; i < 3; i++) {
            uint64_t v = corpus_stamp_value(c.stamps[i]);
            t[i].dwLowDateTime = (DWORD)v;
            t[i].dwHighDateTime = (DWORD)(v >> 32);
            p[i] = c.stamps[i] < 0 ? NULL : &t[i];
        }
        SetLastError(0);
        out += "; SetFileTime " + corpus_bool(SetFileTime(handle, p[0], p[1], p[2]));
    }
    /* The creation stamp is left out: Wine on Linux keeps none of its own (the portable file
     * tests hold it, with their marker). */
    FILETIME created, accessed, written;
    SetLastError(0);
    if (GetFileTime(handle, &created, &accessed, &written))
        out += "; GetFileTime access " + corpus_stamp_seen(accessed) + " write " +
               corpus_stamp_seen(written);
    else
        out += "; GetFileTime " + corpus_bool(FALSE);
    return out + "; _lclose " + corpus_num(_lclose(h));
}

std::string corpus_run_file(const corpus_file_case &c, corpus_family family, int id,
                            const corpus_place_root &root)
{
    std::string dir = ws_join(root.dir, "f" + corpus_num(id));
    if (!corpus_make_fixture(dir)) {
        ws_remove_tree(dir);
        return "set-up failed: the fixture could not be made";
    }
    std::string out;
    if (family == CORPUS_FILE_STAMPS) {
        out = corpus_run_stamps(c, dir);
    } else {
        HFILE held = HFILE_ERROR;
        FILE *held_stream = NULL;
        std::string held_path = corpus_expand(dir, c.held);
        SetLastError(0);
        errno = 0;
        if (c.holder == CORPUS_HOLD_LOPEN) {
            held = _lopen(held_path.c_str(), (int)c.hold_mode);
            out = held == HFILE_ERROR ? "hold HFILE_ERROR GLE " + corpus_num((long long)GetLastError())
                                      : "hold ok";
        } else if (c.holder == CORPUS_HOLD_FOPEN) {
            held_stream = crt_fopen(held_path.c_str(), c.hold_fmode.c_str());
            out = held_stream == NULL ? "hold NULL errno " + corpus_num(errno) : "hold ok";
        }
        if (!out.empty())
            out += "; ";
        out += corpus_do(c.op, dir);
        if (held != HFILE_ERROR)
            out += "; release " + corpus_num(_lclose(held));
        if (held_stream != NULL)
            out += "; release " + corpus_num(fclose(held_stream));
    }
    out += "; folder " + corpus_listing(dir, 0);
    ws_remove_tree(dir);
    return out;
}
