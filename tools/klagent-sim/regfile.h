/* REGEDIT4 registry files as regedit exports them: reading into a model, formatting values, and
 * writing changed values back into the lines a person wrote. */
#ifndef TOOLS_KLAGENT_SIM_REGFILE_H
#define TOOLS_KLAGENT_SIM_REGFILE_H

#include <string>
#include <vector>

#include "os_impl.h"
#include "textfile.h"

namespace ksim {

/* One "name"=data line (or its continuation lines) of a file. */
struct reg_line_value {
    std::string name;  /* "" for @, the unnamed value */
    bool remove;       /* "name"=- */
    DWORD type;
    std::string data;  /* raw bytes; a string keeps its terminator */
    int first_line;    /* 0-based line index of the value's first line */
    int last_line;     /* ... and of its last line (continuations) */
};

/* One [ROOT\path] or [-ROOT\path] section. */
struct reg_section {
    std::string root;  /* HKEY_LOCAL_MACHINE, ... as written */
    std::string path;  /* below the root, "" for the root itself */
    bool remove;       /* [-...] */
    int header_line;
    int last_line;     /* the section's last value line, or its header */
    std::vector<reg_line_value> values;
};

/* The file's lines with their own ends (see text_lines), and what they say. */
struct reg_file : text_lines {
    std::string name; /* for messages */
    std::vector<reg_section> sections;
};

/* The registry's own limits, which a key line must keep: a key is at most 512 levels below its
 * root, and each level's name at most 255 characters. */
enum { REG_MAX_DEPTH = 512, REG_MAX_KEY_NAME = 255 };

/* The state a file leaves once applied in order: keys and their values. */
struct reg_model_value {
    std::string name;
    DWORD type;
    std::string data;
};
struct reg_model_key {
    std::string root;
    std::string path;
    std::vector<reg_model_value> values;
};

/* Parse text. False with *error as "name:line: what is wrong", also for a key beyond the
 * registry's limits. */
bool reg_parse(const std::string &name, const std::string &text, reg_file *out,
               std::string *error);
bool reg_read(const std::string &path, reg_file *out, std::string *error);
/* The root key of a root name (HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, HKEY_CLASSES_ROOT,
 * HKEY_USERS); null for anything else. */
HKEY reg_root_of(const std::string &root_name);
const char *reg_root_name(HKEY root);
/* Apply the sections in order: deletions remove keys with their subkeys and values. */
std::vector<reg_model_key> reg_model(const reg_file &file);
/* Whether the file deletes anything ([-key] or "name"=-). */
bool reg_has_deletions(const reg_file &file);

/* The lines of one value as regedit writes it ("name"="text", dword:, hex:, hex(n):). */
std::vector<std::string> reg_format_value(const std::string &name, DWORD type,
                                          const std::string &data);

/* A change to write back. */
struct reg_change {
    std::string root;
    std::string path;
    std::string name;
    bool remove;       /* the value is gone */
    bool key_only;     /* a new key without values (name unused) */
    DWORD type;
    std::string data;
};
/* The file's text after the changes: changed values replace their last definition, removed
 * values lose their lines, new values join the key's last section or a new one at the end.
 * Every other line stays as it was. */
std::string reg_apply_changes(const reg_file &file, const std::vector<reg_change> &changes);

/* Case-blind equality of names, as the registry compares them. */
bool reg_names_equal(const std::string &a, const std::string &b);

} // namespace ksim

#endif
