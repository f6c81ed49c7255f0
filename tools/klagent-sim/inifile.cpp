/* The world file's reader and its line-keeping editor. */
#include "inifile.h"
#include "textfile.h"


namespace ksim {

namespace {

/* A ; that follows a blank starts a comment; one inside a value (a;b) does not. */
std::string ini_strip_comment(const std::string &s)
{
    for (size_t i = 1; i < s.size(); i++)
        if (s[i] == ';' && (s[i - 1] == ' ' || s[i - 1] == '\t'))
            return s.substr(0, i);
    return s;
}

} // namespace

bool ini_names_equal(const std::string &a, const std::string &b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); i++) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = (char)(x + 32);
        if (y >= 'A' && y <= 'Z')
            y = (char)(y + 32);
        if (x != y)
            return false;
    }
    return true;
}

bool ini_parse(const std::string &name, const std::string &text, ini_file *out,
               std::string *error)
{
    out->name = name;
    out->lines.clear();
    out->sections.clear();
    out->eol = text.find("\r\n") != std::string::npos ? "\r\n" : "\n";
    size_t start = 0;
    while (start < text.size()) {
        size_t nl = text.find('\n', start);
        std::string line =
            text.substr(start, nl == std::string::npos ? std::string::npos : nl - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        out->lines.push_back(line);
        if (nl == std::string::npos)
            break;
        start = nl + 1;
    }
    bool header_block = false; /* still in the lines right below a section header */
    for (size_t i = 0; i < out->lines.size(); i++) {
        std::string line = text_trim(out->lines[i]);
        auto fail = [&](const std::string &what) {
            *error = name + ":" + std::to_string(i + 1) + ": " + what;
            return false;
        };
        if (line.empty()) {
            header_block = false;
            continue;
        }
        if (line[0] == ';' || line[0] == '#') {
            /* New entries of a section without any go below the comments under its header. */
            if (header_block)
                out->sections.back().last_line = (int)i;
            continue;
        }
        if (line[0] == '[') {
            std::string head = text_trim(ini_strip_comment(line));
            if (head.size() < 2 || head.back() != ']')
                return fail("a section line must end with ]");
            std::string sname = text_trim(head.substr(1, head.size() - 2));
            if (sname.empty())
                return fail("a section needs a name");
            out->sections.push_back(ini_section{sname, (int)i, (int)i, {}});
            header_block = true;
            continue;
        }
        size_t eq = line.find('=');
        if (eq == std::string::npos)
            return fail("expected key = value");
        if (out->sections.empty())
            return fail("key = value before the first [section]");
        std::string key = text_trim(line.substr(0, eq));
        if (key.empty())
            return fail("a key = value line needs a key");
        out->sections.back().entries.push_back(
            ini_entry{key, text_trim(ini_strip_comment(line.substr(eq + 1))), (int)i});
        out->sections.back().last_line = (int)i;
        header_block = false;
    }
    return true;
}

bool ini_read(const std::string &path, ini_file *out, std::string *error)
{
    std::string bytes;
    return text_file_read(path, &bytes, error) && ini_parse(path, bytes, out, error);
}

std::string ini_apply_changes(const ini_file &file, const std::vector<ini_change> &changes)
{
    std::vector<std::vector<std::string>> after(file.lines.size());
    std::vector<bool> keep(file.lines.size(), true);
    std::vector<std::string> tail;
    for (const ini_change &c : changes) {
        const ini_section *sec = NULL;
        for (const ini_section &s : file.sections)
            if (ini_names_equal(s.name, c.section))
                sec = &s;
        std::string line = c.key + " = " + c.value;
        const ini_entry *last = NULL;
        if (sec != NULL)
            for (const ini_entry &e : sec->entries)
                if (ini_names_equal(e.key, c.key)) {
                    if (c.remove)
                        keep[(size_t)e.line] = false;
                    last = &e;
                }
        if (c.remove)
            continue;
        if (last != NULL) {
            keep[(size_t)last->line] = false;
            after[(size_t)last->line].push_back(line);
        } else if (sec != NULL) {
            after[(size_t)sec->last_line].push_back(line);
        } else {
            std::string header = "[" + c.section + "]";
            size_t h = 0;
            while (h < tail.size() && tail[h] != header)
                h++;
            if (h == tail.size()) {
                tail.push_back("");
                tail.push_back(header);
                tail.push_back(line);
            } else {
                size_t end = h + 1;
                while (end < tail.size() && !tail[end].empty())
                    end++;
                tail.insert(tail.begin() + (long)end, line);
            }
        }
    }
    std::string text;
    for (size_t i = 0; i < file.lines.size(); i++) {
        if (keep[i])
            text += file.lines[i] + file.eol;
        for (const std::string &l : after[i])
            text += l + file.eol;
    }
    const std::string blank = file.eol + file.eol;
    bool ends_blank = text.empty() || (text.size() >= blank.size() &&
                                       text.compare(text.size() - blank.size(), blank.size(),
                                                    blank) == 0);
    for (size_t i = !tail.empty() && ends_blank && tail[0].empty() ? 1 : 0; i < tail.size(); i++)
        text += tail[i] + file.eol;
    return text;
}

} // namespace ksim
