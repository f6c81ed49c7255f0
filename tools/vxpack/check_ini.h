/* An .ini file as the platform's profile functions see it, with the line of every section and
 * key, so that what check finds can be pointed at. */
#ifndef TOOLS_VXPACK_CHECK_INI_H
#define TOOLS_VXPACK_CHECK_INI_H

#include <string>
#include <unordered_map>
#include <vector>

namespace vxpack {

struct ini_key {
    std::string name;  /* blanks around it trimmed */
    std::string value; /* blanks around it trimmed, quotes kept */
    int line;          /* 1-based */
    bool has_value;    /* the line holds "=" (a line without is found by a lookup, empty) */
};

struct ini_section {
    std::string name; /* trimmed */
    int line;
    std::vector<ini_key> keys;
};

/* Parse bytes as the profile functions do: CR LF, LF or CR ends a line; blanks (space, TAB to
 * CR) and Ctrl-Z around names and values do not count; "[name]" opens a section (text after
 * the last "]" is ignored); name=value is a key; every other line, a ; comment included, is a
 * key without value (has_value false). Lines before the first section belong to none and are
 * not kept. */
std::vector<ini_section> ini_scan(const std::string &bytes);

/* Names compare as the profile functions compare them: letter case of A-Z aside. */
bool ini_same(const std::string &a, const std::string &b);

/* The first section of each name, so that a file of many sections is looked up in one step
 * per name rather than scanned from the top, as each profile call does. */
struct ini_index {
    std::unordered_map<std::string, size_t> first; /* folded name -> index in the sections */
};
ini_index ini_index_of(const std::vector<ini_section> &sections);

/* The index of the first section named name [in] (letter case aside), or npos. */
size_t ini_find(const ini_index &index, const std::string &name);

/* What a profile read of key [in] in section s [in] gives, whole: the value of its first key
 * of that name with one pair of outer quotes (" or ') removed; empty for a key line without
 * "=". False when the section has no such key. */
bool ini_value(const ini_section &s, const std::string &key, std::string *value);

/* How much of a time stamp [in] the agent's comparison looks at: the length of its leading
 * numbers separated by single full stops or commas (blanks before a number allowed) and of
 * the character the comparison stops at; npos when the whole stamp is such numbers. So
 * 2024-03-01 gives 5: every stamp that begins 2024- compares equal to it. */
size_t stamp_compared_length(const std::string &stamp);

} // namespace vxpack

#endif
