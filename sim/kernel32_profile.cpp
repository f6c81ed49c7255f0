/* kernel32's profile (.ini and WIN.INI) calls over the simulated disk, as the real ones parse. */
#include "sim/sim_internal.h"

#include <string.h>

/* One line of a section: name=value, or a line without "=" (has_value false), kept as read. */
struct prof_entry {
    std::string name;  /* blanks around it trimmed */
    std::string value; /* blanks around it trimmed, quotes kept */
    bool has_value;
};
struct prof_section {
    std::string name; /* trimmed */
    bool header;      /* false only for the lines before the first header */
    std::vector<prof_entry> entries;
};
typedef std::vector<prof_section> prof_file; /* [0]: the lines before the first header */

/* Ctrl-Z is trimmed like a blank (a file ending in "A=1\x1A" gives 1). */
static bool prof_blank(char c)
{
    return c == ' ' || c == '\t' || c == '\x1a';
}

static std::string prof_trim(const std::string &s, bool leading, bool trailing)
{
    size_t b = 0, e = s.size();
    while (leading && b < e && prof_blank(s[b]))
        b++;
    while (trailing && e > b && prof_blank(s[e - 1]))
        e--;
    return s.substr(b, e - b);
}

static bool prof_same(const std::string &a, const std::string &b)
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

/* Outer quotes go when the first and last characters are the same quote: "a" b "c" -> a" b "c;
 * a lone quote stays. */
static std::string prof_unquote(const std::string &s)
{
    if (s.size() >= 2 && (s[0] == '"' || s[0] == '\'') && s.back() == s[0])
        return s.substr(1, s.size() - 2);
    return s;
}

/* CR LF, a lone LF and a lone CR each end a line; a last line without an end is read. Blank
 * lines are dropped (a rewrite does not keep them). A "[" line without "]" is no header. */
static void prof_parse(const std::string &bytes, prof_file *f)
{
    f->assign(1, prof_section{"", false, {}});
    size_t i = 0;
    while (i < bytes.size()) {
        size_t e = i;
        while (e < bytes.size() && bytes[e] != '\r' && bytes[e] != '\n')
            e++;
        std::string line = prof_trim(bytes.substr(i, e - i), true, true);
        if (e < bytes.size() && bytes[e] == '\r' && e + 1 < bytes.size() && bytes[e + 1] == '\n')
            e++;
        i = e + 1;
        if (line.empty())
            continue;
        size_t close = line.rfind(']');
        if (line[0] == '[' && close != std::string::npos) {
            /* Text after the last "]" is ignored: "[Trail] junk" is section Trail. */
            f->push_back(prof_section{prof_trim(line.substr(1, close - 1), true, true), true, {}});
            continue;
        }
        size_t eq = line.find('=');
        if (eq == std::string::npos)
            f->back().entries.push_back(prof_entry{line, "", false});
        else
            f->back().entries.push_back(prof_entry{prof_trim(line.substr(0, eq), true, true),
                                                   prof_trim(line.substr(eq + 1), true, true),
                                                   true});
    }
}

static std::string prof_format(const prof_file &f)
{
    std::string out;
    for (const prof_section &s : f) {
        if (s.header)
            out += "[" + s.name + "]\r\n";
        for (const prof_entry &e : s.entries)
            out += e.has_value ? e.name + "=" + e.value + "\r\n" : e.name + "\r\n";
    }
    return out;
}

/* Only the first section of a name counts; a section with an empty name ("[]", or the lines
 * before the first header) is never found. */
static prof_section *prof_find_section(prof_file *f, const char *name)
{
    std::string want = prof_trim(name, true, true);
    if (want.empty())
        return NULL;
    for (prof_section &s : *f)
        if (s.header && prof_same(s.name, want))
            return &s;
    return NULL;
}

static prof_entry *prof_find_entry(prof_section *s, const char *key)
{
    std::string want = prof_trim(key, true, true);
    for (prof_entry &e : s->entries)
        if (prof_same(e.name, want))
            return &e;
    return NULL;
}

/* The profile file a name stands for: a bare name (no backslash, no drive) lives in the Windows
 * directory, not the current one. */
static std::string prof_path(const char *file)
{
    if (file == NULL)
        return simi_windows_dir() + "\\win.ini";
    if (strchr(file, '\\') == NULL && !(file[0] != '\0' && file[1] == ':'))
        return simi_windows_dir() + "\\" + file;
    return file;
}

/* ---- Reading ------------------------------------------------------------------------------ */

/* The default loses its trailing blanks and its outer quotes; leading blanks stay. */
static std::string prof_default(const char *def)
{
    return prof_unquote(prof_trim(def != NULL ? def : "", false, true));
}

static DWORD prof_copy_text(const std::string &text, LPSTR buf, DWORD size)
{
    DWORD n = text.size() < size - 1 ? (DWORD)text.size() : size - 1;
    memcpy(buf, text.data(), n);
    buf[n] = '\0';
    return n;
}

/* A list of names, each ended by a NUL, and one NUL more; the count excludes the last NUL.
 * A list that does not fit fully (also one of exactly size bytes) is cut to size-2 bytes and
 * one NUL, and the count is size-2: the measured behaviour. The documented one ends a cut
 * list with two NULs instead, the second in the last byte of the buffer. An empty list is one
 * NUL, or the default when there is one. */
static DWORD prof_copy_list(const std::vector<std::string> &names, const char *def, LPSTR buf,
                            DWORD size)
{
    if (names.empty())
        return prof_copy_text(prof_default(def), buf, size);
    std::string all;
    for (const std::string &n : names)
        all += n + '\0';
    if (size > all.size() + 1) {
        memcpy(buf, all.data(), all.size());
        buf[all.size()] = '\0';
        return (DWORD)all.size();
    }
    if (size < 2) {
        buf[0] = '\0';
        simi_set_last_error(ERROR_INVALID_PARAMETER);
        return 0;
    }
    memcpy(buf, all.data(), size - 2);
    buf[size - 2] = '\0';
    return size - 2;
}

static DWORD prof_get(const char *section, const char *key, const char *def, LPSTR buf,
                      DWORD size, const char *file)
{
    if (buf == NULL || size == 0)
        return 0;
    std::string bytes;
    DWORD error = ERROR_ACCESS_DENIED;
    bool read = file == NULL || *file != '\0'
                    ? simi_read_file(prof_path(file).c_str(), &bytes, &error)
                    : false;
    if (!read) {
        simi_set_last_error(error);
        return prof_copy_text(prof_default(def), buf, size);
    }
    prof_file f;
    prof_parse(bytes, &f);
    std::vector<std::string> names;
    if (section == NULL) { /* the key argument plays no part then */
        for (const prof_section &s : f)
            if (s.header && !s.name.empty())
                names.push_back(s.name);
        return prof_copy_list(names, def, buf, size);
    }
    prof_section *s = prof_find_section(&f, section);
    if (s == NULL)
        return prof_copy_text(prof_default(def), buf, size);
    if (key == NULL) {
        /* Lines without "=" and ";" lines are no keys here, though a lookup finds ";Key". */
        for (const prof_entry &e : s->entries)
            if (e.has_value && (e.name.empty() || e.name[0] != ';'))
                names.push_back(e.name);
        return prof_copy_list(names, def, buf, size);
    }
    prof_entry *e = prof_find_entry(s, key);
    if (e == NULL || !e->has_value)
        return prof_copy_text(prof_default(def), buf, size);
    return prof_copy_text(prof_unquote(e->value), buf, size);
}

static std::string prof_get_args(const char *section, const char *key, const char *def,
                                 DWORD size)
{
    return simi_q(section) + ", " + simi_q(key) + ", " + simi_q(def) + ", " + simi_num(size);
}

/* The count and the text returned; the names of a list each quoted. */
static std::string prof_result(DWORD n, LPSTR buf, DWORD size)
{
    std::string out = simi_num(n);
    if (buf == NULL || size == 0)
        return out;
    size_t i = 0;
    do {
        std::string piece(buf + i, strnlen(buf + i, n - i));
        out += " " + simi_q(piece.c_str());
        i += piece.size() + 1;
    } while (i < n);
    return out;
}

DWORD GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR def, LPSTR buf, DWORD size,
                               LPCSTR file)
{
    DWORD n = prof_get(section, key, def, buf, size, file);
    simi_log("GetPrivateProfileStringA",
             prof_get_args(section, key, def, size) + ", " + simi_q(file),
             prof_result(n, buf, size));
    return n;
}

DWORD GetProfileStringA(LPCSTR section, LPCSTR key, LPCSTR def, LPSTR buf, DWORD size)
{
    std::string win_ini = prof_path(NULL);
    DWORD n = prof_get(section, key, def, buf, size, win_ini.c_str());
    simi_log("GetProfileStringA", prof_get_args(section, key, def, size),
             prof_result(n, buf, size));
    return n;
}

/* ---- Writing ------------------------------------------------------------------------------ */

/* Apply one write to a parsed file; false when nothing changed. New names and values lose
 * their leading blanks only (the next rewrite trims the trailing ones). */
static bool prof_apply(prof_file *f, const char *section, const char *key, const char *value)
{
    prof_section *s = prof_find_section(f, section);
    if (key == NULL) { /* the whole section, every line up to the next header */
        if (s == NULL)
            return false;
        f->erase(f->begin() + (s - f->data()));
        return true;
    }
    prof_entry *e = s != NULL ? prof_find_entry(s, key) : NULL;
    if (value == NULL) {
        if (e == NULL)
            return false;
        s->entries.erase(s->entries.begin() + (e - s->entries.data()));
        return true;
    }
    std::string v = prof_trim(value, true, false);
    if (e != NULL) { /* the file's spelling of the key stays */
        e->value = v;
        e->has_value = true;
        return true;
    }
    if (s == NULL) {
        f->push_back(prof_section{prof_trim(section, true, false), true, {}});
        s = &f->back();
    }
    s->entries.push_back(prof_entry{prof_trim(key, true, false), v, true});
    return true;
}

static BOOL prof_put(const char *section, const char *key, const char *value, const char *file)
{
    int fault;
    if (simi_fault(SIM_PROFILE, ERROR_ACCESS_DENIED, &fault)) {
        simi_set_last_error((DWORD)fault);
        return FALSE;
    }
    if (section == NULL) {
        /* (NULL, NULL, NULL) only flushes a cache, which the simulation does not keep. */
        simi_set_last_error(key == NULL && value == NULL ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    if (file != NULL && *file == '\0') {
        simi_set_last_error(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    std::string path = prof_path(file);
    std::string bytes;
    DWORD error;
    bool deleting = key == NULL || value == NULL;
    if (!simi_read_file(path.c_str(), &bytes, &error)) {
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
            simi_set_last_error(error);
            return FALSE;
        }
        if (deleting) /* nothing to delete, and no file is created for it */
            return TRUE;
        bytes.clear();
    }
    prof_file f;
    prof_parse(bytes, &f);
    if (!prof_apply(&f, section, key, value))
        return TRUE;
    if (!simi_write_file(path.c_str(), prof_format(f), &error)) {
        simi_set_last_error(error);
        return FALSE;
    }
    return TRUE;
}

BOOL WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR file)
{
    BOOL ok = prof_put(section, key, value, file);
    simi_log("WritePrivateProfileStringA",
             simi_q(section) + ", " + simi_q(key) + ", " + simi_q(value) + ", " + simi_q(file),
             simi_num(ok));
    return ok;
}

BOOL WriteProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value)
{
    std::string win_ini = prof_path(NULL);
    BOOL ok = prof_put(section, key, value, win_ini.c_str());
    simi_log("WriteProfileStringA", simi_q(section) + ", " + simi_q(key) + ", " + simi_q(value),
             simi_num(ok));
    return ok;
}
