/* REGEDIT4 files: parser, model, value formatter and the write-back that keeps a person's lines. */
#include "regfile.h"
#include "textfile.h"

#include <cctype>
#include <cstdio>

namespace ksim {

namespace {

struct root_row {
    const char *name;
    HKEY key;
};
const root_row ROOTS[] = {
    {"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
    {"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
    {"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
    {"HKEY_USERS", HKEY_USERS},
};

std::string reg_fold(const std::string &s)
{
    std::string r = s;
    for (char &c : r)
        if (c >= 'A' && c <= 'Z')
            c = (char)(c + 32);
    return r;
}

std::string reg_trim_right(const std::string &s)
{
    size_t n = s.size();
    while (n > 0 && (s[n - 1] == ' ' || s[n - 1] == '\t'))
        n--;
    return s.substr(0, n);
}

size_t reg_skip_blanks(const std::string &s, size_t i)
{
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t'))
        i++;
    return i;
}

int reg_hex_digit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool reg_key_is_within(const reg_model_key &k, const std::string &root, const std::string &path)
{
    if (!reg_names_equal(k.root, root))
        return false;
    if (path.empty())
        return true;
    std::string kp = reg_fold(k.path), p = reg_fold(path);
    return kp == p || (kp.size() > p.size() && kp.compare(0, p.size(), p) == 0 &&
                       kp[p.size()] == '\\');
}

class reg_parser {
public:
    reg_parser(const std::string &name, reg_file *out, std::string *error)
        : name_(name), out_(out), error_(error)
    {
    }

    bool run()
    {
        std::vector<std::string> &lines = out_->lines;
        size_t i = 0;
        while (i < lines.size() && reg_trim_right(lines[i]).empty())
            i++;
        if (i == lines.size())
            return fail((int)(i ? i - 1 : 0), "empty file: expected the REGEDIT4 header");
        if (reg_trim_right(lines[i]) != "REGEDIT4")
            return fail((int)i, "expected the header REGEDIT4");
        for (i++; i < lines.size(); i++) {
            std::string line = reg_trim_right(lines[i]);
            size_t p = reg_skip_blanks(line, 0);
            if (p == line.size() || line[p] == ';')
                continue;
            if (line[p] == '[') {
                if (!section(line.substr(p), (int)i))
                    return false;
            } else if (line[p] == '"' || line[p] == '@') {
                if (out_->sections.empty())
                    return fail((int)i, "a value before the first [key] line");
                int last = 0;
                if (!value(i, p, &last))
                    return false;
                out_->sections.back().last_line = last;
                i = (size_t)last;
            } else {
                return fail((int)i, "expected a [key] line, a \"name\"= or @= value line, or a "
                                    "; comment");
            }
        }
        return true;
    }

private:
    bool fail(int line, const std::string &what)
    {
        *error_ = name_ + ":" + std::to_string(line + 1) + ": " + what;
        return false;
    }

    bool section(const std::string &text, int line)
    {
        if (text.size() < 2 || text.back() != ']')
            return fail(line, "a key line must end with ]");
        std::string inner = text.substr(1, text.size() - 2);
        reg_section s;
        s.remove = !inner.empty() && inner[0] == '-';
        if (s.remove)
            inner.erase(0, 1);
        size_t slash = inner.find('\\');
        s.root = inner.substr(0, slash);
        s.path = slash == std::string::npos ? "" : inner.substr(slash + 1);
        if (reg_root_of(s.root) == NULL)
            return fail(line, "unknown root key \"" + s.root +
                                  "\" (expected HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, "
                                  "HKEY_CLASSES_ROOT or HKEY_USERS)");
        if (slash != std::string::npos) {
            if (s.path.empty() || s.path.back() == '\\' || s.path.find("\\\\") != std::string::npos)
                return fail(line, "empty key name in \"" + inner + "\"");
        }
        s.header_line = line;
        s.last_line = line;
        out_->sections.push_back(s);
        return true;
    }

    /* A quoted text with \\ and \" escapes, starting at the opening quote. */
    bool quoted(const std::string &line, size_t *pos, std::string *text, int ln)
    {
        size_t i = *pos + 1;
        text->clear();
        for (; i < line.size(); i++) {
            char c = line[i];
            if (c == '"') {
                *pos = i + 1;
                return true;
            }
            if (c == '\\') {
                if (i + 1 >= line.size())
                    break;
                char e = line[++i];
                if (e != '\\' && e != '"')
                    return fail(ln, std::string("unknown escape \\") + e +
                                        " in a quoted text (only \\\\ and \\\" are allowed)");
                c = e;
            }
            text->push_back(c);
        }
        return fail(ln, "a quoted text without its closing quotation mark");
    }

    bool value(size_t first, size_t p, int *last)
    {
        std::vector<std::string> &lines = out_->lines;
        std::string line = reg_trim_right(lines[first]);
        int ln = (int)first;
        reg_line_value v;
        v.first_line = ln;
        v.remove = false;
        v.type = REG_NONE;
        if (line[p] == '@') {
            v.name = "";
            p++;
        } else if (!quoted(line, &p, &v.name, ln)) {
            return false;
        }
        p = reg_skip_blanks(line, p);
        if (p >= line.size() || line[p] != '=')
            return fail(ln, "expected = after the value name");
        p = reg_skip_blanks(line, p + 1);
        std::string rest = line.substr(p);

        if (rest == "-") {
            v.remove = true;
        } else if (!rest.empty() && rest[0] == '"') {
            size_t q = 0;
            std::string text;
            if (!quoted(rest, &q, &text, ln))
                return false;
            if (reg_skip_blanks(rest, q) != rest.size())
                return fail(ln, "unexpected text after the closing quotation mark");
            v.type = REG_SZ;
            v.data = text;
            v.data.push_back('\0');
        } else if (rest.compare(0, 6, "dword:") == 0) {
            std::string digits = rest.substr(6);
            if (digits.empty() || digits.size() > 8)
                return fail(ln, "dword: needs 1 to 8 hexadecimal digits");
            uint32_t n = 0;
            for (char c : digits) {
                int d = reg_hex_digit(c);
                if (d < 0)
                    return fail(ln, "dword: needs 1 to 8 hexadecimal digits");
                n = n * 16 + (uint32_t)d;
            }
            v.type = REG_DWORD;
            for (int b = 0; b < 4; b++)
                v.data.push_back((char)((n >> (8 * b)) & 0xFF));
        } else if (rest.compare(0, 3, "hex") == 0) {
            size_t q = 3;
            v.type = REG_BINARY;
            if (q < rest.size() && rest[q] == '(') {
                size_t close = rest.find(')', q);
                if (close == std::string::npos || close == q + 1 || close > q + 9)
                    return fail(ln, "hex(n): needs a hexadecimal type number");
                uint32_t t = 0;
                for (size_t k = q + 1; k < close; k++) {
                    int d = reg_hex_digit(rest[k]);
                    if (d < 0)
                        return fail(ln, "hex(n): needs a hexadecimal type number");
                    t = t * 16 + (uint32_t)d;
                }
                v.type = t;
                q = close + 1;
            }
            if (q >= rest.size() || rest[q] != ':')
                return fail(ln, "expected : after hex");
            std::string bytes = rest.substr(q + 1);
            size_t cur = first;
            /* A line ending in a backslash continues on the next one. */
            for (;;) {
                bool more = !bytes.empty() && bytes.back() == '\\';
                if (more)
                    bytes.pop_back();
                if (!hex_bytes(reg_trim_right(bytes), &v.data, (int)cur, more))
                    return false;
                if (!more)
                    break;
                cur++;
                if (cur >= lines.size())
                    return fail((int)cur - 1, "the file ends inside a continued hex value");
                std::string next = reg_trim_right(lines[cur]);
                bytes = next.substr(reg_skip_blanks(next, 0));
            }
            ln = (int)cur;
        } else {
            return fail(ln, "unrecognised value data (expected \"text\", dword:, hex:, "
                            "hex(n): or -)");
        }
        v.last_line = ln;
        out_->sections.back().values.push_back(v);
        *last = ln;
        return true;
    }

    /* "xx,xx,..." - with a continuation the piece ends in a comma. */
    bool hex_bytes(const std::string &text, std::string *data, int ln, bool continued)
    {
        size_t i = 0;
        bool need_byte = false;
        while (i < text.size()) {
            i = reg_skip_blanks(text, i);
            if (i >= text.size())
                break;
            int hi = reg_hex_digit(text[i]);
            int lo = i + 1 < text.size() ? reg_hex_digit(text[i + 1]) : -1;
            if (hi < 0 || lo < 0)
                return fail(ln, "bad byte in a hex list (expected two hexadecimal digits)");
            data->push_back((char)(hi * 16 + lo));
            i = reg_skip_blanks(text, i + 2);
            need_byte = false;
            if (i < text.size()) {
                if (text[i] != ',')
                    return fail(ln, "bytes of a hex list must be separated by commas");
                i++;
                need_byte = true;
            }
        }
        if (need_byte && !continued)
            return fail(ln, "a hex list ends with a comma");
        return true;
    }

    std::string name_;
    reg_file *out_;
    std::string *error_;
};

std::string reg_escape(const std::string &s)
{
    std::string r;
    for (char c : s) {
        if (c == '\\' || c == '"')
            r.push_back('\\');
        r.push_back(c);
    }
    return r;
}

bool reg_is_plain_string(DWORD type, const std::string &data)
{
    if (type != REG_SZ || data.empty() || data.back() != '\0')
        return false;
    for (size_t i = 0; i + 1 < data.size(); i++)
        if (data[i] == '\0' || data[i] == '\r' || data[i] == '\n')
            return false;
    return true;
}

} // namespace

bool reg_names_equal(const std::string &a, const std::string &b)
{
    return reg_fold(a) == reg_fold(b);
}

HKEY reg_root_of(const std::string &root_name)
{
    for (const root_row &r : ROOTS)
        if (root_name == r.name)
            return r.key;
    return NULL;
}

const char *reg_root_name(HKEY root)
{
    for (const root_row &r : ROOTS)
        if (root == r.key)
            return r.name;
    return "?";
}

bool reg_parse(const std::string &name, const std::string &text, reg_file *out,
               std::string *error)
{
    out->name = name;
    out->lines.clear();
    out->sections.clear();
    out->eol = text.find("\r\n") != std::string::npos ? "\r\n" : "\n";
    size_t start = 0;
    /* A UTF-8 byte order mark some editors add. */
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0)
        start = 3;
    while (start < text.size()) {
        size_t nl = text.find('\n', start);
        std::string line = text.substr(start, nl == std::string::npos ? std::string::npos
                                                                      : nl - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        out->lines.push_back(line);
        if (nl == std::string::npos)
            break;
        start = nl + 1;
    }
    for (size_t i = 0; i < out->lines.size(); i++)
        if (out->lines[i].find('\0') != std::string::npos) {
            *error = name + ":" + std::to_string(i + 1) +
                     ": a NUL byte (a REGEDIT4 file is ANSI text, not UTF-16)";
            return false;
        }
    reg_parser p(name, out, error);
    return p.run();
}

bool reg_read(const std::string &path, reg_file *out, std::string *error)
{
    std::string bytes;
    return text_file_read(path, &bytes, error) && reg_parse(path, bytes, out, error);
}

std::vector<reg_model_key> reg_model(const reg_file &file)
{
    std::vector<reg_model_key> keys;
    for (const reg_section &s : file.sections) {
        if (s.remove) {
            std::vector<reg_model_key> kept;
            for (const reg_model_key &k : keys)
                if (!reg_key_is_within(k, s.root, s.path))
                    kept.push_back(k);
            keys.swap(kept);
            continue;
        }
        reg_model_key *key = NULL;
        for (reg_model_key &k : keys)
            if (reg_names_equal(k.root, s.root) && reg_names_equal(k.path, s.path))
                key = &k;
        if (key == NULL) {
            keys.push_back(reg_model_key{s.root, s.path, {}});
            key = &keys.back();
        }
        for (const reg_line_value &v : s.values) {
            std::vector<reg_model_value> &vals = key->values;
            size_t i = 0;
            while (i < vals.size() && !reg_names_equal(vals[i].name, v.name))
                i++;
            if (v.remove) {
                if (i < vals.size())
                    vals.erase(vals.begin() + (long)i);
            } else if (i < vals.size()) {
                vals[i].type = v.type;
                vals[i].data = v.data;
            } else {
                vals.push_back(reg_model_value{v.name, v.type, v.data});
            }
        }
    }
    return keys;
}

std::vector<std::string> reg_format_value(const std::string &name, DWORD type,
                                          const std::string &data)
{
    std::string head = name.empty() ? "@=" : "\"" + reg_escape(name) + "\"=";
    if (reg_is_plain_string(type, data))
        return {head + "\"" + reg_escape(data.substr(0, data.size() - 1)) + "\""};
    if (type == REG_DWORD && data.size() == 4) {
        uint32_t n = 0;
        for (int b = 3; b >= 0; b--)
            n = n * 256 + (unsigned char)data[(size_t)b];
        char buf[16];
        snprintf(buf, sizeof buf, "dword:%08x", (unsigned)n);
        return {head + buf};
    }
    char prefix[24];
    if (type == REG_BINARY)
        snprintf(prefix, sizeof prefix, "hex:");
    else
        snprintf(prefix, sizeof prefix, "hex(%x):", (unsigned)type);
    /* regedit wraps hex lists before column 80 and indents the continuation by two. */
    std::vector<std::string> out;
    std::string line = head + prefix;
    for (size_t i = 0; i < data.size(); i++) {
        char byte[4];
        snprintf(byte, sizeof byte, "%02x", (unsigned char)data[i]);
        bool last = i + 1 == data.size();
        if (line.size() + 3 > 77) {
            line += "\\";
            out.push_back(line);
            line = "  ";
        }
        line += byte;
        if (!last)
            line += ",";
    }
    out.push_back(line);
    return out;
}

std::string reg_apply_changes(const reg_file &file, const std::vector<reg_change> &changes)
{
    /* Edits are keyed by original line numbers, so they never shift one another. */
    std::vector<std::vector<std::string>> out(file.lines.size());
    std::vector<bool> keep(file.lines.size(), true);
    std::vector<std::string> tail;
    for (const reg_change &c : changes) {
        /* The sections of this key after its last deletion are the ones that count. */
        int live_from = 0;
        for (size_t s = 0; s < file.sections.size(); s++) {
            const reg_section &sec = file.sections[s];
            reg_model_key probe{c.root, c.path, {}};
            if (sec.remove && reg_key_is_within(probe, sec.root, sec.path))
                live_from = (int)s + 1;
        }
        int last_section = -1;
        const reg_line_value *last_def = NULL;
        std::vector<const reg_line_value *> defs;
        for (size_t s = (size_t)live_from; s < file.sections.size(); s++) {
            const reg_section &sec = file.sections[s];
            if (sec.remove || !reg_names_equal(sec.root, c.root) ||
                !reg_names_equal(sec.path, c.path))
                continue;
            last_section = (int)s;
            for (const reg_line_value &v : sec.values)
                if (reg_names_equal(v.name, c.name)) {
                    defs.push_back(&v);
                    last_def = &v;
                }
        }
        if (c.key_only) {
            if (last_section < 0) {
                tail.push_back("");
                tail.push_back("[" + c.root + (c.path.empty() ? "" : "\\" + c.path) + "]");
            }
            continue;
        }
        if (c.remove) {
            for (const reg_line_value *v : defs)
                for (int l = v->first_line; l <= v->last_line; l++)
                    keep[(size_t)l] = false;
            continue;
        }
        std::vector<std::string> lines = reg_format_value(c.name, c.type, c.data);
        if (last_def != NULL && !last_def->remove) {
            for (int l = last_def->first_line; l <= last_def->last_line; l++)
                keep[(size_t)l] = false;
            std::vector<std::string> &at = out[(size_t)last_def->first_line];
            at.insert(at.end(), lines.begin(), lines.end());
        } else if (last_section >= 0) {
            std::vector<std::string> &at = out[(size_t)file.sections[(size_t)last_section].last_line];
            at.insert(at.end(), lines.begin(), lines.end());
        } else {
            std::string header = "[" + c.root + (c.path.empty() ? "" : "\\" + c.path) + "]";
            size_t h = 0;
            while (h < tail.size() && tail[h] != header)
                h++;
            if (h == tail.size()) {
                tail.push_back("");
                tail.push_back(header);
                tail.insert(tail.end(), lines.begin(), lines.end());
            } else {
                size_t end = h + 1;
                while (end < tail.size() && !tail[end].empty())
                    end++;
                tail.insert(tail.begin() + (long)end, lines.begin(), lines.end());
            }
        }
    }

    std::string text;
    for (size_t i = 0; i < file.lines.size(); i++) {
        if (keep[i])
            text += file.lines[i] + file.eol;
        for (const std::string &l : out[i])
            text += l + file.eol;
    }
    if (!tail.empty()) {
        /* One blank line between the last section and the new ones. */
        const std::string blank = file.eol + file.eol;
        bool ends_blank = text.empty() || (text.size() >= blank.size() &&
                                           text.compare(text.size() - blank.size(),
                                                        blank.size(), blank) == 0);
        for (size_t i = ends_blank && tail[0].empty() ? 1 : 0; i < tail.size(); i++)
            text += tail[i] + file.eol;
    }
    return text;
}

} // namespace ksim
