/* REGEDIT4 files: parser, model, value formatter and the write-back that keeps a person's lines. */
#include "regfile.h"
#include "textfile.h"

#include <cctype>
#include <cstdio>
#include <unordered_map>

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
    if (path.empty() || reg_names_equal(k.path, path))
        return true;
    return k.path.size() > path.size() && k.path[path.size()] == '\\' &&
           reg_names_equal(k.path.substr(0, path.size()), path);
}

/* A key's values are searched one by one while they are few and through an index of their
 * case-folded names once they are many; the index is valid while it counts as many. */
const size_t REG_INDEX_FROM = 8;

size_t reg_find_value(const std::vector<reg_model_value> &vals,
                      std::unordered_map<std::string, size_t> *index, const std::string &name)
{
    if (vals.size() < REG_INDEX_FROM) {
        for (size_t i = 0; i < vals.size(); i++)
            if (reg_names_equal(vals[i].name, name))
                return i;
        return vals.size();
    }
    if (index->size() != vals.size()) {
        index->clear();
        for (size_t i = 0; i < vals.size(); i++)
            (*index)[text_lower(vals[i].name)] = i;
    }
    auto it = index->find(text_lower(name));
    return it == index->end() ? vals.size() : it->second;
}

void reg_add_value(std::vector<reg_model_value> *vals,
                   std::unordered_map<std::string, size_t> *index, reg_model_value v)
{
    if (!index->empty() && index->size() == vals->size())
        (*index)[text_lower(v.name)] = vals->size();
    vals->push_back(std::move(v));
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
            if (!within_limits(s.path, line))
                return false;
        }
        s.header_line = line;
        s.last_line = line;
        out_->sections.push_back(s);
        return true;
    }

    /* The registry's limits: a deeper key or a longer name could not exist on Windows. */
    bool within_limits(const std::string &path, int line)
    {
        size_t levels = 0;
        size_t start = 0;
        for (;;) {
            size_t slash = path.find('\\', start);
            size_t len = (slash == std::string::npos ? path.size() : slash) - start;
            if (len > REG_MAX_KEY_NAME)
                return fail(line, "a key name of " + std::to_string(len) +
                                      " characters (the registry allows " +
                                      std::to_string((int)REG_MAX_KEY_NAME) + ")");
            if (++levels > REG_MAX_DEPTH)
                return fail(line, "a key more than " + std::to_string((int)REG_MAX_DEPTH) +
                                      " levels deep (the registry's limit)");
            if (slash == std::string::npos)
                return true;
            start = slash + 1;
        }
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
    return text_names_equal(a, b);
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
    out->sections.clear();
    text_split_lines(text, out);
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
    /* Lookups by case-folded names, so that a file of many keys and values loads in linear
     * time: root\path -> position in keys, and per key the index of its values (built once the
     * key has many). Rebuilt after a deletion, which moves keys. */
    std::unordered_map<std::string, size_t> key_at;
    std::vector<std::unordered_map<std::string, size_t>> value_at;
    for (const reg_section &s : file.sections) {
        if (s.remove) {
            std::vector<reg_model_key> kept;
            for (reg_model_key &k : keys)
                if (!reg_key_is_within(k, s.root, s.path))
                    kept.push_back(std::move(k));
            keys.swap(kept);
            key_at.clear();
            for (size_t k = 0; k < keys.size(); k++)
                key_at[text_lower(keys[k].root + "\\" + keys[k].path)] = k;
            value_at.assign(keys.size(), {});
            continue;
        }
        std::string folded_key = text_lower(s.root + "\\" + s.path);
        auto found = key_at.find(folded_key);
        size_t k = found == key_at.end() ? keys.size() : found->second;
        if (k == keys.size()) {
            keys.push_back(reg_model_key{s.root, s.path, {}});
            value_at.emplace_back();
            key_at.emplace(std::move(folded_key), k);
        }
        std::vector<reg_model_value> &vals = keys[k].values;
        for (const reg_line_value &v : s.values) {
            size_t at = reg_find_value(vals, &value_at[k], v.name);
            if (v.remove) {
                if (at == vals.size())
                    continue;
                vals.erase(vals.begin() + (long)at);
                value_at[k].clear();
            } else if (at < vals.size()) {
                vals[at].type = v.type;
                vals[at].data = v.data;
            } else {
                reg_add_value(&vals, &value_at[k], reg_model_value{v.name, v.type, v.data});
            }
        }
    }
    return keys;
}

bool reg_has_deletions(const reg_file &file)
{
    for (const reg_section &s : file.sections) {
        if (s.remove)
            return true;
        for (const reg_line_value &v : s.values)
            if (v.remove)
                return true;
    }
    return false;
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
        /* The sections of this key after its last deletion are the ones that count. The scans
         * compare without copying: a file may have very many sections, a pass few changes. */
        reg_model_key probe{c.root, c.path, {}};
        size_t live_from = 0;
        for (size_t s = 0; s < file.sections.size(); s++) {
            const reg_section &sec = file.sections[s];
            if (sec.remove && reg_key_is_within(probe, sec.root, sec.path))
                live_from = s + 1;
        }
        int last_section = -1;
        const reg_line_value *last_def = NULL;
        std::vector<const reg_line_value *> defs;
        for (size_t s = live_from; s < file.sections.size(); s++) {
            const reg_section &sec = file.sections[s];
            if (sec.remove || !reg_names_equal(sec.path, c.path) ||
                !reg_names_equal(sec.root, c.root))
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

    text_writer text(file.bom, file.eol);
    for (size_t i = 0; i < file.lines.size(); i++) {
        if (keep[i])
            text.kept(file.lines[i], file.ends[i]);
        for (const std::string &l : out[i])
            text.added(l);
    }
    /* One blank line between the last section and the new ones. */
    for (size_t i = !tail.empty() && text.ends_blank() && tail[0].empty() ? 1 : 0;
         i < tail.size(); i++)
        text.added(tail[i]);
    return text.text();
}

} // namespace ksim
