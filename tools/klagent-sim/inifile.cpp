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
    return text_names_equal(a, b);
}

bool ini_parse(const std::string &name, const std::string &text, ini_file *out,
               std::string *error)
{
    out->name = name;
    out->sections.clear();
    text_split_lines(text, out);
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
    /* A line set anew takes the place, and the line end, of the line it replaces. */
    std::vector<std::string> replaced(file.lines.size());
    std::vector<bool> is_replaced(file.lines.size(), false);
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
                    if (c.remove) {
                        keep[(size_t)e.line] = false;
                        is_replaced[(size_t)e.line] = false;
                    }
                    last = &e;
                }
        if (c.remove)
            continue;
        if (last != NULL) {
            keep[(size_t)last->line] = false;
            is_replaced[(size_t)last->line] = true;
            replaced[(size_t)last->line] = line;
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
    text_writer text(file.bom, file.eol);
    for (size_t i = 0; i < file.lines.size(); i++) {
        if (keep[i])
            text.kept(file.lines[i], file.ends[i]);
        else if (is_replaced[i])
            text.kept(replaced[i], file.ends[i]);
        for (const std::string &l : after[i])
            text.added(l);
    }
    for (size_t i = !tail.empty() && text.ends_blank() && tail[0].empty() ? 1 : 0;
         i < tail.size(); i++)
        text.added(tail[i]);
    return text.text();
}

} // namespace ksim
