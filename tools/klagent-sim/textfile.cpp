/* Small text helpers shared by the world's file readers and writers. */
#include "textfile.h"

#include <sys/stat.h>

#include <fstream>
#include <sstream>

namespace ksim {

bool text_file_read(const std::string &path, std::string *bytes, std::string *error)
{
    struct stat st;
    if (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        *error = path + ": is a directory";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        *error = path + ": cannot be read";
        return false;
    }
    std::stringstream ss;
    ss << in.rdbuf();
    *bytes = ss.str();
    return true;
}

std::string text_trim(const std::string &s)
{
    size_t a = 0, b = s.size();
    while (a < b && (s[a] == ' ' || s[a] == '\t'))
        a++;
    while (b > a && (s[b - 1] == ' ' || s[b - 1] == '\t'))
        b--;
    return s.substr(a, b - a);
}

std::string text_lower(const std::string &s)
{
    std::string lower = s;
    for (char &c : lower)
        if (c >= 'A' && c <= 'Z')
            c = (char)(c - 'A' + 'a');
    return lower;
}

bool text_names_equal(const std::string &a, const std::string &b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); i++) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = (char)(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = (char)(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

void text_split_lines(const std::string &text, text_lines *out)
{
    static const char BOM[] = "\xEF\xBB\xBF";
    out->bom.clear();
    out->lines.clear();
    out->ends.clear();
    size_t start = 0;
    if (text.compare(0, 3, BOM) == 0) {
        out->bom = BOM;
        start = 3;
    }
    while (start < text.size()) {
        size_t nl = text.find('\n', start);
        if (nl == std::string::npos) {
            out->lines.push_back(text.substr(start));
            out->ends.push_back("");
            break;
        }
        size_t end = nl > start && text[nl - 1] == '\r' ? nl - 1 : nl;
        out->lines.push_back(text.substr(start, end - start));
        out->ends.push_back(text.substr(end, nl + 1 - end));
        start = nl + 1;
    }
    /* New lines end as most lines of the file do (CR LF when they are as many). */
    size_t crlf = 0, lf = 0;
    for (const std::string &end : out->ends) {
        crlf += end == "\r\n";
        lf += end == "\n";
    }
    out->eol = crlf >= lf && crlf > 0 ? "\r\n" : "\n";
}

void text_writer::kept(const std::string &line, const std::string &end)
{
    if (open_)
        text_ += eol_;
    text_ += line + end;
    open_ = end.empty();
    last_empty_ = line.empty();
}

void text_writer::added(const std::string &line)
{
    kept(line, eol_);
}

bool text_writer::ends_blank() const
{
    return last_empty_;
}

} // namespace ksim
