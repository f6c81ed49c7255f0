/* The profile functions' view of an .ini file, line numbers kept. */
#include "check_ini.h"

#include "pack_names.h"

namespace vxpack {

static bool ini_blank(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r') || c == '\x1a';
}

static std::string ini_trim(const std::string &s)
{
    size_t b = 0, e = s.size();
    while (b < e && ini_blank(s[b]))
        b++;
    while (e > b && ini_blank(s[e - 1]))
        e--;
    return s.substr(b, e - b);
}

bool ini_same(const std::string &a, const std::string &b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); i++) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z')
            x = (char)(x - 32);
        if (y >= 'a' && y <= 'z')
            y = (char)(y - 32);
        if (x != y)
            return false;
    }
    return true;
}

std::vector<ini_section> ini_scan(const std::string &bytes)
{
    std::vector<ini_section> sections;
    size_t i = 0;
    int line = 0;
    while (i < bytes.size()) {
        size_t e = i;
        while (e < bytes.size() && bytes[e] != '\r' && bytes[e] != '\n')
            e++;
        std::string text = ini_trim(bytes.substr(i, e - i));
        if (e < bytes.size() && bytes[e] == '\r' && e + 1 < bytes.size() && bytes[e + 1] == '\n')
            e++;
        i = e + 1;
        line++;
        if (text.empty())
            continue;
        size_t close = text.rfind(']');
        if (text[0] == '[' && close != std::string::npos) {
            sections.push_back(ini_section{ini_trim(text.substr(1, close - 1)), line, {}});
            continue;
        }
        if (sections.empty())
            continue;
        size_t eq = text.find('=');
        if (eq == std::string::npos)
            sections.back().keys.push_back(ini_key{text, "", line, false});
        else
            sections.back().keys.push_back(
                ini_key{ini_trim(text.substr(0, eq)), ini_trim(text.substr(eq + 1)), line, true});
    }
    return sections;
}

ini_index ini_index_of(const std::vector<ini_section> &sections)
{
    ini_index index;
    for (size_t i = 0; i < sections.size(); i++)
        index.first.emplace(names_folded(sections[i].name), i); /* an earlier one stays */
    return index;
}

size_t ini_find(const ini_index &index, const std::string &name)
{
    auto it = index.first.find(names_folded(ini_trim(name)));
    return it == index.first.end() ? std::string::npos : it->second;
}

bool ini_value(const ini_section &s, const std::string &key, std::string *value)
{
    std::string want = ini_trim(key);
    for (const ini_key &k : s.keys) {
        if (!ini_same(k.name, want))
            continue;
        const std::string &v = k.value;
        bool quoted = v.size() >= 2 && (v[0] == '"' || v[0] == '\'') && v.back() == v[0];
        *value = !k.has_value ? "" : quoted ? v.substr(1, v.size() - 2) : v;
        return true;
    }
    return false;
}

size_t stamp_compared_length(const std::string &s)
{
    size_t i = 0;
    for (;;) {
        while (i < s.size() && s[i] == ' ')
            i++;
        size_t digits = i;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9')
            i++;
        if (i == digits)
            return i < s.size() ? i + 1 : i;
        if (i < s.size() && (s[i] == '.' || s[i] == ','))
            i++;
        if (i == s.size())
            return std::string::npos;
    }
}

} // namespace vxpack
