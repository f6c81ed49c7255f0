/* Small text helpers shared by the world's file readers. */
#include "textfile.h"

#include <fstream>
#include <sstream>

namespace ksim {

bool text_file_read(const std::string &path, std::string *bytes, std::string *error)
{
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

} // namespace ksim
