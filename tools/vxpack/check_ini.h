/* An .ini file as the platform's profile functions see it, with the line of every section and
 * key, so that what check finds can be pointed at. */
#ifndef TOOLS_VXPACK_CHECK_INI_H
#define TOOLS_VXPACK_CHECK_INI_H

#include <string>
#include <vector>

namespace vxpack {

struct ini_key {
    std::string name;  /* blanks around it trimmed */
    std::string value; /* blanks around it trimmed, quotes kept */
    int line;          /* 1-based */
};

struct ini_section {
    std::string name; /* trimmed */
    int line;
    std::vector<ini_key> keys;
};

/* Parse bytes as the profile functions do: CR LF, LF or CR ends a line; blanks, TABs and
 * Ctrl-Z around names and values do not count; "[name]" opens a section (text after the last
 * "]" is ignored); name=value is a key; every other line, a ; comment included, is no key.
 * Lines before the first section belong to none and are not kept. */
std::vector<ini_section> ini_scan(const std::string &bytes);

/* Names compare as the profile functions compare them: letter case of A-Z aside. */
bool ini_same(const std::string &a, const std::string &b);

/* How much of a time stamp [in] the agent's comparison looks at: the length of its leading
 * numbers separated by single full stops or commas (blanks before a number allowed) and of
 * the character the comparison stops at; npos when the whole stamp is such numbers. So
 * 2024-03-01 gives 5: every stamp that begins 2024- compares equal to it. */
size_t stamp_compared_length(const std::string &stamp);

} // namespace vxpack

#endif
