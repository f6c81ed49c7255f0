/* The world file: an .ini text of [section] headers and key = value lines, read with line
 * numbers for messages and edited line by line so a person's comments survive. */
#ifndef TOOLS_KLAGENT_SIM_INIFILE_H
#define TOOLS_KLAGENT_SIM_INIFILE_H

#include <string>
#include <vector>

#include "textfile.h"

namespace ksim {

struct ini_entry {
    std::string key;   /* as written, blanks trimmed */
    std::string value; /* blanks trimmed; a trailing ; comment removed */
    int line;          /* 0-based */
};

struct ini_section {
    std::string name;
    int line;
    int last_line; /* the last entry's line; without entries the header's or its comments' */
    std::vector<ini_entry> entries;
};

/* The file's lines with their own ends (see text_lines), and what they say. */
struct ini_file : text_lines {
    std::string name;
    std::vector<ini_section> sections;
};

/* False with *error as "name:line: what is wrong": a line that is neither a [section], a
 * key = value, a blank line nor a ; or # comment, or an entry before the first section. A
 * UTF-8 byte-order mark at the start is accepted (and kept by a rewrite). */
bool ini_parse(const std::string &name, const std::string &text, ini_file *out,
               std::string *error);
bool ini_read(const std::string &path, ini_file *out, std::string *error);

/* Set key = value in section (case-blind names): replaces the key's line, or adds it after the
 * section's last entry, or adds the section at the end. An empty value with remove set drops
 * the key's lines instead. Returns the new text, in which every other line is byte for byte as
 * it stood, its line end included; file is re-parsed by the caller if needed. */
struct ini_change {
    std::string section;
    std::string key;
    std::string value;
    bool remove;
};
std::string ini_apply_changes(const ini_file &file, const std::vector<ini_change> &changes);

bool ini_names_equal(const std::string &a, const std::string &b);

} // namespace ksim

#endif
