/* The corpus's C runtime family: a file of mixed line ends, Ctrl-Z and NUL bytes, opened in
 * every mode, a few reads, writes and seeks as the C standard allows them, the file after. */
#include "conformance/corpus.h"

#include <errno.h>
#include <string.h>

#include "platform/os.h"
#include "support/workstation.h"

static const std::string corpus_crt_pieces[] = {
    "ab", "c", "\r\n", "\n", "\r", "\x1a", std::string("\0", 1), "xyz", "\r\r\n",
};
static const char *const corpus_crt_modes[] = {
    "r", "r", "rt", "rb", "r+", "rb+", "w", "w+", "wb", "a", "a+", "a+", "ab", "ab+",
};
static const char *const corpus_crt_texts[] = {"y\n", "\r\n", "", "z", "a\nb", "\x1a"};
static const long corpus_crt_chars[] = {'\n', '\r', 'x', 0x1a};
static const long corpus_crt_unget[] = {'\n', 'x', EOF};
static const long corpus_crt_fgets_sizes[] = {2, 3, 5, 16};
static const long corpus_crt_fread_sizes[] = {1, 3, 8, 64};
struct corpus_crt_seek {
    long offset;
    int whence;
    bool binary_only; /* a text stream's offsets are only those of ftell, and 0 */
    bool fails;       /* before the start of every file the cases make */
};
static const corpus_crt_seek corpus_crt_seeks[] = {
    {0, SEEK_SET, false, false}, {-1, SEEK_END, false, false}, {0, SEEK_END, false, false},
    {2, SEEK_SET, false, false}, {-5, SEEK_SET, false, true},  {1, SEEK_CUR, true, false},
    {-50, SEEK_END, false, true},
};

enum corpus_dir { CORPUS_DIR_NONE, CORPUS_DIR_READ, CORPUS_DIR_WRITE };

static bool corpus_crt_binary(const std::string &mode)
{
    return mode.find('b') != std::string::npos;
}

static const corpus_crt_seek &corpus_crt_seek_pick(corpus_rng *rng, bool binary)
{
    for (;;) {
        const corpus_crt_seek &s = corpus_pick(rng, corpus_crt_seeks);
        if (binary || !s.binary_only)
            return s;
    }
}

void corpus_make_crt(corpus_rng *rng, corpus_crt_case *out)
{
    out->exists = corpus_rng_chance(rng, 90);
    out->content.clear();
    uint32_t pieces = corpus_rng_below(rng, 7);
    for (uint32_t i = 0; i < pieces; i++)
        out->content += corpus_pick(rng, corpus_crt_pieces);
    out->mode = corpus_pick(rng, corpus_crt_modes);
    bool binary = corpus_crt_binary(out->mode);
    /* Windows removes a Ctrl-Z that ends a text file opened with "a+" (documented), Wine keeps
     * it: the portable stream tests mark that difference; the recording cannot show it. */
    while (out->mode == "a+" && !out->content.empty() && out->content.back() == '\x1a')
        out->content.pop_back();
    out->ops.clear();
    corpus_dir dir = CORPUS_DIR_NONE;
    bool just_read = false, just_seeked = false;
    uint32_t n = 1 + corpus_rng_below(rng, 7);
    for (uint32_t i = 0; i < n; i++) {
        uint32_t k = corpus_rng_below(rng, 100);
        corpus_op op = {CORPUS_GETC, 0, 0, ""};
        corpus_dir wants = CORPUS_DIR_READ;
        if (k < 25) {
            op.kind = CORPUS_GETC;
        } else if (k < 31) {
            if (!just_read)
                continue; /* one push-back, after a read, is all the standard grants */
            op = corpus_op{CORPUS_UNGETC, corpus_pick(rng, corpus_crt_unget), 0, ""};
        } else if (k < 39) {
            op = corpus_op{CORPUS_FGETS, corpus_pick(rng, corpus_crt_fgets_sizes), 0, ""};
        } else if (k < 47) {
            op = corpus_op{CORPUS_FREAD, corpus_pick(rng, corpus_crt_fread_sizes), 0, ""};
        } else if (k < 57) {
            op = corpus_op{CORPUS_FPUTC, corpus_pick(rng, corpus_crt_chars), 0, ""};
            wants = CORPUS_DIR_WRITE;
        } else if (k < 67) {
            op = corpus_op{CORPUS_FPUTS, 0, 0, corpus_pick(rng, corpus_crt_texts)};
            wants = CORPUS_DIR_WRITE;
        } else if (k < 73) {
            op = corpus_op{CORPUS_FWRITE, 0, 0, corpus_pick(rng, corpus_crt_texts)};
            wants = CORPUS_DIR_WRITE;
        } else if (k < 85) {
            const corpus_crt_seek &s = corpus_crt_seek_pick(rng, binary);
            op = corpus_op{CORPUS_FSEEK, s.offset, s.whence, ""};
            wants = CORPUS_DIR_NONE;
            if (s.fails) {
                /* Where a failed seek leaves the stream the standard does not say (msvcrt:
                 * at the end of what it had buffered): a seek that succeeds follows. */
                out->ops.push_back(op);
                op = corpus_op{CORPUS_FSEEK, 0, corpus_rng_chance(rng, 50) ? SEEK_SET : SEEK_END,
                               ""};
            }
        } else if (k < 93) {
            /* A text stream's position is a plain byte count only right after a seek. */
            if (!binary && !just_seeked)
                continue;
            op.kind = CORPUS_FTELL;
            wants = CORPUS_DIR_NONE;
        } else if (k < 97) {
            if (dir == CORPUS_DIR_READ)
                continue; /* flushing a stream after input is undefined */
            op.kind = CORPUS_FFLUSH;
            wants = CORPUS_DIR_NONE;
        } else {
            op.kind = CORPUS_CLEARERR;
            wants = CORPUS_DIR_NONE;
        }
        /* Between reading and writing the standard asks for a seek. */
        if (wants != CORPUS_DIR_NONE && dir != CORPUS_DIR_NONE && wants != dir) {
            out->ops.push_back(corpus_op{CORPUS_FSEEK, 0,
                                         corpus_rng_chance(rng, 50) ? SEEK_SET : SEEK_END, ""});
            dir = CORPUS_DIR_NONE;
        }
        out->ops.push_back(op);
        if (op.kind == CORPUS_FSEEK)
            dir = CORPUS_DIR_NONE;
        else if (wants != CORPUS_DIR_NONE)
            dir = wants;
        just_read = wants == CORPUS_DIR_READ && op.kind != CORPUS_UNGETC;
        just_seeked = op.kind == CORPUS_FSEEK || (just_seeked && op.kind == CORPUS_FTELL);
    }
}

static std::string corpus_crt_char(long c)
{
    return c == EOF ? std::string("EOF") : corpus_quote(std::string(1, (char)c));
}

static std::string corpus_crt_whence(int whence)
{
    return whence == SEEK_SET ? "SEEK_SET" : whence == SEEK_CUR ? "SEEK_CUR" : "SEEK_END";
}

std::string corpus_describe_crt(const corpus_crt_case &c)
{
    std::string out = "fopen(" + std::string(c.exists ? corpus_quote(c.content) : "missing") +
                      ", \"" + c.mode + "\")";
    for (const corpus_op &op : c.ops) {
        out += "; ";
        switch (op.kind) {
        case CORPUS_GETC: out += "getc"; break;
        case CORPUS_UNGETC: out += "ungetc(" + corpus_crt_char(op.arg) + ")"; break;
        case CORPUS_FGETS: out += "fgets(" + corpus_num(op.arg) + ")"; break;
        case CORPUS_FREAD: out += "fread(" + corpus_num(op.arg) + ")"; break;
        case CORPUS_FPUTC: out += "fputc(" + corpus_crt_char(op.arg) + ")"; break;
        case CORPUS_FPUTS: out += "fputs(" + corpus_quote(op.text) + ")"; break;
        case CORPUS_FWRITE: out += "fwrite(" + corpus_quote(op.text) + ")"; break;
        case CORPUS_FSEEK:
            out += "fseek(" + corpus_num(op.arg) + ", " + corpus_crt_whence(op.whence) + ")";
            break;
        case CORPUS_FTELL: out += "ftell"; break;
        case CORPUS_FFLUSH: out += "fflush"; break;
        case CORPUS_CLEARERR: out += "clearerr"; break;
        }
    }
    return out;
}

static std::string corpus_crt_do(FILE *f, const corpus_op &op)
{
    char buf[80];
    switch (op.kind) {
    case CORPUS_GETC: return "getc " + corpus_crt_char(getc(f));
    case CORPUS_UNGETC: return "ungetc " + corpus_crt_char(ungetc((int)op.arg, f));
    case CORPUS_FGETS: {
        memset(buf, 0xCC, sizeof buf);
        char *r = fgets(buf, (int)op.arg, f);
        return r == NULL ? "fgets NULL" : "fgets " + corpus_quote(std::string(buf, strlen(buf)));
    }
    case CORPUS_FREAD: {
        size_t n = fread(buf, 1, (size_t)op.arg, f);
        return "fread " + corpus_num((long long)n) + " " + corpus_quote(std::string(buf, n));
    }
    case CORPUS_FPUTC: return "fputc " + corpus_crt_char(fputc((int)op.arg, f));
    case CORPUS_FPUTS: return "fputs " + corpus_num(fputs(op.text.c_str(), f));
    case CORPUS_FWRITE:
        return "fwrite " + corpus_num((long long)fwrite(op.text.data(), 1, op.text.size(), f));
    case CORPUS_FSEEK: {
        errno = 0;
        int r = fseek(f, op.arg, op.whence);
        return "fseek " + corpus_num(r) + (r != 0 ? " errno " + corpus_num(errno) : "");
    }
    case CORPUS_FTELL: return "ftell " + corpus_num(ftell(f));
    case CORPUS_FFLUSH: return "fflush " + corpus_num(fflush(f));
    default: clearerr(f); return "clearerr";
    }
}

std::string corpus_run_crt(const corpus_crt_case &c, int id, const corpus_place_root &root)
{
    std::string file = ws_join(root.dir, "c" + corpus_num(id) + ".txt");
    if (c.exists && !ws_write_file(file, c.content))
        return "set-up failed: the file could not be written";
    errno = 0;
    FILE *f = crt_fopen(file.c_str(), c.mode.c_str());
    std::string out;
    if (f == NULL) {
        out = "fopen NULL errno " + corpus_num(errno);
    } else {
        out = "fopen ok";
        for (const corpus_op &op : c.ops) {
            out += "; " + corpus_crt_do(f, op);
            if (feof(f))
                out += " [eof]";
            if (ferror(f))
                out += " [error]";
        }
        out += "; fclose " + corpus_num(fclose(f));
    }
    std::string bytes;
    out += "; file " + (ws_read_file(file, &bytes) ? corpus_quote(bytes) : "missing");
    crt_remove(file.c_str());
    return out;
}
