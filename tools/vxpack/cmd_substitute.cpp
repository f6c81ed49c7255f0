/* vxpack substitute: the engine's substitute mode, its tokens resolved from the command line
 * and an .ini file of values. */
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "check_ini.h"
#include "pack_host.h"
#include "pack_interrupt.h"
#include "pack_job.h"
#include "pack_report.h"
#include "vxpack.h"
#include "platform/path.h"
#include "platform/text.h"
#include "stores/store.h"
#include "transfer/transfer.h"

namespace vxpack {

namespace {

/* The section of a --vars file that holds the values. */
const char VARS_SECTION[] = "Variables";

struct resolver_values {
    const substitute_options *o;
    std::string vars_path; /* the --vars file's Windows path, or empty */
    std::string failed;    /* the token that had no value, or whose value did not fit */
    bool too_long;         /* failed's value was longer than the filter takes */
    bool from_vars;        /* too_long: the value came from the --vars file */
    int vars_line;         /* from_vars: the line of the value there, 0 when not found */
    bool unkept;           /* failed had no value and is too long to be kept as it stands */
};

/* Read a --vars value whole, so that one longer than the filter takes is refused instead of
 * cut: the profile call cuts at its buffer's size without a word. */
const uint16_t VARS_READ_CAP = 65535;

/* The line of name's value in the [Variables] section of the --vars file, as the profile
 * calls find it (the first section of that name, its first key of that name); 0 if none. */
int vars_line_of(const std::string &vars_path, const std::string &name)
{
    std::string bytes;
    if (!names_read(vars_path, &bytes))
        return 0;
    for (const ini_section &s : ini_scan(bytes))
        if (ini_same(s.name, VARS_SECTION)) {
            for (const ini_key &k : s.keys)
                if (ini_same(k.name, name))
                    return k.line;
            return 0;
        }
    return 0;
}

/* The engine's resolver takes 32-bit contexts: the one substitution of a run lives here. */
resolver_values resolving;

bool resolve_put(const std::string &value, char *buf, uint16_t cap)
{
    if (value.size() >= cap)
        return false;
    memcpy(buf, value.c_str(), value.size() + 1);
    return true;
}

status_t resolve_token(int32_t, int32_t, const char *token, char *buf, uint16_t cap, int32_t,
                       int32_t, const char *, const char *)
{
    std::string t = token;
    std::string name = t.substr(1, t.size() - 2);
    /* The last --set of a name wins, as on any command line; --vars comes after all. */
    for (auto it = resolving.o->sets.rbegin(); it != resolving.o->sets.rend(); ++it) {
        size_t eq = it->find('=');
        if (text_equal(it->substr(0, eq).c_str(), name.c_str(), TEXT_NO_LIMIT)) {
            if (resolve_put(it->substr(eq + 1), buf, cap))
                return STATUS_OK;
            resolving.failed = t;
            resolving.too_long = true;
            resolving.from_vars = false;
            return STATUS_BAD_FORMAT;
        }
    }
    if (!resolving.vars_path.empty() && !name.empty() && name.size() < STORE_VALUE_CAP) {
        char key[STORE_VALUE_CAP];
        std::vector<char> whole(VARS_READ_CAP);
        memcpy(key, name.c_str(), name.size() + 1);
        if (store_get_value(key, resolving.vars_path.c_str(), VARS_SECTION, whole.data(),
                            VARS_READ_CAP, 0) == STATUS_OK) {
            if (resolve_put(whole.data(), buf, cap))
                return STATUS_OK;
            resolving.failed = t;
            resolving.too_long = true;
            resolving.from_vars = true;
            resolving.vars_line = vars_line_of(resolving.vars_path, name);
            return STATUS_BAD_FORMAT;
        }
    }
    if (resolving.o->keep_unknown && resolve_put(t, buf, cap))
        return STATUS_OK;
    resolving.failed = t;
    resolving.too_long = false;
    resolving.unkept = resolving.o->keep_unknown;
    return STATUS_VALUE_ABSENT;
}

/* Where in text the token wanted begins ("line 3, column 7"), found as the filter finds
 * tokens; wanted empty: the last % that opens a token never closed. */
/* A token as one line of a message: line ends and other control characters written as \n,
 * \r, \t or \xNN, and a long one cut. */
std::string token_shown(const std::string &token)
{
    const size_t SHOWN_MAX = 60;
    std::string out;
    for (size_t i = 0; i < token.size(); i++) {
        if (out.size() >= SHOWN_MAX && i + 1 < token.size()) {
            out += "...%";
            break;
        }
        unsigned char c = (unsigned char)token[i];
        char hex[8];
        snprintf(hex, sizeof hex, "\\x%02X", c);
        out += c == '\n' ? "\\n" : c == '\r' ? "\\r" : c == '\t' ? "\\t"
               : c < ' ' || c == 0x7F ? std::string(hex) : std::string(1, (char)c);
    }
    return out;
}

/* Whether --set NAME=VALUE can give a token's name: not empty, no = (the value starts after the
 * first), no blank or control character. */
bool token_settable(const std::string &name)
{
    if (name.empty())
        return false;
    for (char c : name)
        if (c == '=' || (unsigned char)c <= ' ' || c == 0x7F)
            return false;
    return true;
}

std::string token_position(const std::string &text, const std::string &wanted)
{
    int line = 1, column = 1, open_line = 0, open_column = 0;
    std::string token;
    bool in_token = false;
    std::string found;
    for (size_t i = 0; i < text.size(); i++) {
        char c = text[i];
        if (in_token) {
            token += c;
            if (c == '%') {
                in_token = false;
                if (!wanted.empty() && text_equal(token.c_str(), wanted.c_str(), TEXT_NO_LIMIT))
                    return "line " + std::to_string(open_line) + ", column " +
                           std::to_string(open_column);
            }
        } else if (c == '%') {
            if (i + 1 < text.size() && text[i + 1] == '%') {
                i++;
                column++;
            } else {
                in_token = true;
                token = "%";
                open_line = line;
                open_column = column;
            }
        }
        if (c == '\n') {
            line++;
            column = 1;
        } else {
            column++;
        }
    }
    if (wanted.empty() && in_token)
        return "line " + std::to_string(open_line) + ", column " + std::to_string(open_column);
    return "";
}

std::string file_text(const std::string &given)
{
    std::ifstream in(given, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

bool substitute_sets_valid(const substitute_options &o)
{
    for (const std::string &s : o.sets) {
        size_t eq = s.find('=');
        if (eq == std::string::npos || eq == 0 || s.find('%') < eq) {
            fprintf(stderr, "vxpack: --set %s: give NAME=VALUE, the name without %%\n",
                    s.c_str());
            return false;
        }
    }
    return true;
}

} // namespace

int cmd_substitute(const pack_global &g, const substitute_options &o)
{
    pack_file in, out, vars;
    if (!substitute_sets_valid(o) || !names_file(o.in, &in) || !names_file(o.out, &out))
        return EXIT_FAILED;
    resolving = resolver_values{&o, "", "", false, false, 0, false};
    if (!o.vars_file.empty()) {
        if (!names_file(o.vars_file, &vars))
            return EXIT_FAILED;
        if (!names_exists(vars.path)) {
            report_failure(vars.shown, report_words(STATUS_NOT_FOUND, REPORT_SOURCE));
            return EXIT_FAILED;
        }
        resolving.vars_path = vars.path;
    }
    if (!names_exists(in.path)) {
        report_failure(in.shown, report_words(STATUS_NOT_FOUND, REPORT_SOURCE));
        return EXIT_FAILED;
    }
    if (names_same(in.path, out.path)) {
        report_failure(out.shown, "is the input itself: write the result to another file");
        return EXIT_FAILED;
    }
    if (!o.vars_file.empty() && names_same(vars.path, out.path)) {
        report_failure(out.shown, "is the --vars file itself: write the result to another file");
        return EXIT_FAILED;
    }
    uint64_t size = 0;
    host_file_size(o.in, &size);
    bool bar = !g.quiet && host_stderr_is_terminal();
    auto explain = [&](status_t rc, std::string *file, std::string *words) {
        *file = in.shown;
        if (!resolving.failed.empty()) {
            std::string where = token_position(file_text(o.in), resolving.failed);
            std::string name = resolving.failed.substr(1, resolving.failed.size() - 2);
            if (resolving.too_long && resolving.from_vars) {
                /* The value came from --vars: point at its line there. */
                *file = vars.shown;
                *words = (resolving.vars_line > 0
                              ? "line " + std::to_string(resolving.vars_line) + ": "
                              : std::string()) +
                         "the value of " + name + " is longer than 1023 characters (" +
                         resolving.failed + " at " + in.shown + (where.empty() ? "" : " ") +
                         where + ")";
                return true;
            }
            if (resolving.unkept) {
                *words = (where.empty() ? "" : where + ": ") + "a token of " +
                         std::to_string(resolving.failed.size()) +
                         " characters has no value and is too long to keep as it stands (1023 "
                         "at most; a % that should be %%?)";
                return true;
            }
            *words = (where.empty() ? "" : where + ": ") + token_shown(resolving.failed) +
                     (resolving.too_long ? ": its value is longer than 1023 characters"
                      : token_settable(name)
                          ? " has no value (give --set " + name +
                                "=VALUE, or --keep-unknown to leave it as it stands)"
                          : " has no value, and --set cannot name it (write %% for a percent "
                            "sign that opens no token, or give --keep-unknown)");
            return true;
        }
        if (rc == STATUS_READ_ERROR) {
            std::string where = token_position(file_text(o.in), "");
            if (!where.empty()) {
                *words = where + ": a % opens a token that the file never closes (write %% "
                                 "for a percent sign)";
                return true;
            }
        }
        if (rc == STATUS_FAILED) {
            *words = "a token's name is longer than 1023 characters (a % that should be %%?)";
            return true;
        }
        return false;
    };
    if (!job_write(in, out, names_last(o.in), size, bar,
                   [&](const char *temp) {
                       char label[PATH_CAP] = "";
                       return transfer_file(in.path.c_str(), temp, 0, 0, 0, 1, 0, 0, 0, label,
                                            "", NULL, progress_callback, interrupt_cancel, 0, 0, 0,
                                            resolve_token, NULL);
                   },
                   explain))
        return EXIT_FAILED;
    if (!g.quiet)
        printf("%s -> %s\n", in.shown.c_str(), out.shown.c_str());
    return EXIT_DONE;
}

} // namespace vxpack
