/* kernel32's profile (.ini and WIN.INI) calls over the simulated disk, as the real ones parse,
 * answer and rewrite (the rules come from the recorded conformance corpus). */
#include "sim/sim_internal.h"

#include <string.h>

/* One line of a section: name=value, or a line without "=" (has_value false). */
struct prof_key {
    std::string name;  /* blanks around it trimmed */
    std::string value; /* blanks around it trimmed, quotes kept */
    bool has_value;
};
struct prof_section {
    std::string name; /* trimmed; "" for the lines before the first header and for "[]" */
    std::vector<prof_key> keys;
};
/* [0]: the lines before the first header (none in an empty file) */
typedef std::vector<prof_section> prof_file;

/* The parser's blanks: TAB to CR, space, and Ctrl-Z (a file ending in "A=1\x1A" gives 1). */
static bool prof_blank(char c)
{
    return (c >= 0x09 && c <= 0x0d) || c == 0x1a || c == ' ';
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

/* Every run of CR and LF ends a line, so blank lines vanish; a last line without an end is
 * read. A "[" line without "]" is no header but a key; text after the last "]" is ignored.
 * A key without a name is kept only when the key before it in its section has one. */
static void prof_parse(const std::string &bytes, prof_file *f)
{
    /* An empty file has no sections at all, not even the nameless first one. */
    f->assign(bytes.empty() ? 0 : 1, prof_section{"", {}});
    size_t i = 0, n = bytes.size();
    while (i < n) {
        size_t start = i;
        while (i < n && bytes[i] != '\r' && bytes[i] != '\n')
            i++;
        std::string line = prof_trim(bytes.substr(start, i - start), true, true);
        while (i < n && (bytes[i] == '\r' || bytes[i] == '\n'))
            i++;
        if (line.empty())
            continue;
        size_t close = line.rfind(']');
        if (line[0] == '[' && close != std::string::npos) {
            f->push_back(prof_section{prof_trim(line.substr(1, close - 1), true, true), {}});
            continue;
        }
        size_t eq = line.find('=');
        prof_key k;
        k.has_value = eq != std::string::npos;
        k.name = k.has_value ? prof_trim(line.substr(0, eq), false, true) : line;
        k.value = k.has_value ? prof_trim(line.substr(eq + 1), true, false) : "";
        std::vector<prof_key> &keys = f->back().keys;
        if (!k.name.empty() || keys.empty() || !keys.back().name.empty())
            keys.push_back(k);
    }
}

/* A section without a name has no header line, so the keys of a "[]" section join the section
 * before it when the file is read again. */
static std::string prof_format(const prof_file &f)
{
    std::string out;
    for (const prof_section &s : f) {
        if (!s.name.empty())
            out += "[" + s.name + "]\r\n";
        for (const prof_key &k : s.keys)
            out += k.has_value ? k.name + "=" + k.value + "\r\n" : k.name + "\r\n";
    }
    return out;
}

/* A lookup's section: the first whose name equals the requested one with its blanks trimmed.
 * The empty name finds the lines before the first header. */
static prof_section *prof_find_section(prof_file *f, const char *name)
{
    std::string want = prof_trim(name, true, true);
    for (prof_section &s : *f)
        if (simi_same(s.name, want))
            return &s;
    return NULL;
}

static prof_key *prof_find_key(prof_section *s, const char *name)
{
    std::string want = prof_trim(name, true, true);
    for (prof_key &k : s->keys)
        if (simi_same(k.name, want))
            return &k;
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

/* Open a profile file as the real calls do: a missing file is an empty one (last error 2), an
 * existing one clears the last error; anything else fails with its error. for_write also
 * refuses a file that cannot be written, whether or not the call would change it. */
static bool prof_open(const char *file, bool for_write, prof_file *f)
{
    DWORD error = ERROR_ACCESS_DENIED;
    std::string bytes;
    std::string path = prof_path(file);
    if (file != NULL && *file == '\0') {
        simi_set_last_error(error);
        return false;
    }
    if (!simi_read_file(path.c_str(), &bytes, &error)) {
        if (error != ERROR_FILE_NOT_FOUND) {
            simi_set_last_error(error);
            return false;
        }
        bytes.clear();
    } else {
        error = ERROR_SUCCESS;
    }
    if (for_write && !simi_file_writable(path.c_str(), &error)) {
        simi_set_last_error(error);
        return false;
    }
    simi_set_last_error(error);
    prof_parse(bytes, f);
    return true;
}

/* ---- Reading ------------------------------------------------------------------------------
 * The answer is built as the real call builds it: a text of at most size characters (the
 * wide-character buffer of the real call) and a count; then the count's characters are copied
 * to the caller's buffer and a NUL is put after them. */

struct prof_answer {
    std::string text;  /* the characters written, including the NULs of a list */
    long count;        /* what the inner call returned */
    bool wrote_before; /* Wine's call wrote a NUL before its own buffer (see prof_get) */
    bool cut_short;    /* a list that does not fit the buffer, with its final NUL */
};

/* lstrcpyn: at most size-1 characters and a NUL. */
static prof_answer prof_copy(const std::string &text, DWORD size)
{
    std::string cut = text.substr(0, size - 1);
    return prof_answer{cut + '\0', (long)cut.size(), false, false};
}

/* A value or default: outer quotes go when the first and last characters are the same quote.
 * The closing quote is removed as the last character copied, so a cut value loses its last
 * character instead when the buffer holds the closing quote's place exactly. */
static prof_answer prof_copy_entry(const std::string &value, DWORD size)
{
    bool quoted = value.size() >= 2 && (value[0] == '"' || value[0] == '\'') &&
                  value.back() == value[0];
    std::string rest = quoted ? value.substr(1) : value;
    prof_answer a = prof_copy(rest, size);
    if (quoted && size >= rest.size()) {
        if (a.count == 0) {
            a.wrote_before = true;
        } else {
            a.count--;
            a.text = a.text.substr(0, (size_t)a.count) + '\0';
        }
    }
    return a;
}

/* The names of the sections with a name, each with a NUL, and one NUL more. A list that does
 * not fit is cut inside the name that does not fit, which ends in a NUL; the count is then
 * size-2. */
static prof_answer prof_section_names(const prof_file &f, DWORD size)
{
    size_t whole = 1;
    for (const prof_section &s : f)
        if (!s.name.empty())
            whole += s.name.size() + 1;
    bool cut_short = size < whole;
    if (size == 1)
        return prof_answer{std::string(1, '\0'), 0, false, cut_short};
    std::string out;
    size_t room = size - 1;
    for (const prof_section &s : f) {
        if (s.name.empty())
            continue;
        size_t need = s.name.size() + 1;
        if (need >= room) {
            out += s.name.substr(0, room - 1) + '\0';
            return prof_answer{out + '\0', (long)size - 2, false, cut_short};
        }
        out += s.name + '\0';
        room -= need;
    }
    return prof_answer{out + '\0', (long)out.size(), false, cut_short};
}

/* Lines with "=" are listed, ";" lines are not. */
static bool prof_listed(const prof_key &k)
{
    return k.has_value && (k.name.empty() || k.name[0] != ';');
}

/* The key names of the first section called exactly name (case aside, blanks not trimmed):
 * lines with "=" only, ";" lines left out. Each name with a NUL; the list ends in a NUL. A
 * name that does not fit is cut (the count is then size-2); no room for a name at all gives
 * an empty list. */
static prof_answer prof_key_names(const prof_file &f, const char *name, DWORD size)
{
    const prof_section *s = NULL;
    for (const prof_section &c : f)
        if (simi_same(c.name, name)) {
            s = &c;
            break;
        }
    if (s == NULL)
        return prof_answer{std::string(2, '\0'), 0, false, false};
    size_t whole = 1;
    for (const prof_key &k : s->keys)
        if (prof_listed(k))
            whole += k.name.size() + 1;
    bool cut_short = size < whole;
    std::string out;
    long left = (long)size;
    for (const prof_key &k : s->keys) {
        if (left <= 2)
            break;
        if (!prof_listed(k))
            continue;
        std::string piece = k.name.substr(0, (size_t)left - 2);
        out += piece + '\0';
        left -= (long)piece.size() + 1;
        if (left < 2)
            break;
    }
    if (left <= 1) /* the cut name's NUL ends the list (a one-character buffer has none) */
        return prof_answer{out.empty() ? std::string(1, '\0') : out, (long)size - 2,
                           out.empty(), cut_short};
    return prof_answer{out + '\0', (long)size - left, false, cut_short};
}

/* A default loses its trailing spaces (not its tabs, and never its first character). */
static std::string prof_default_trimmed(const std::string &def)
{
    size_t e = def.size();
    while (e > 1 && def[e - 1] == ' ')
        e--;
    return def.substr(0, e);
}

static DWORD prof_get(const char *section, const char *key, const char *def, LPSTR buf,
                      DWORD size, const char *file)
{
    if (buf == NULL || size == 0)
        return 0;
    std::string dflt = def != NULL ? def : "";
    prof_file f;
    bool opened = prof_open(file, false, &f);
    prof_answer a;
    if (section == NULL) {
        /* the key and the default play no part then */
        a = opened ? prof_section_names(f, size) : prof_answer{"", 0, false, false};
    } else if (key == NULL) {
        a = opened ? prof_key_names(f, section, size)
                   : prof_answer{std::string(1, '\0'), 0, false, false};
        if (a.text[0] == '\0') { /* also when the list starts with an empty name */
            bool before = a.wrote_before;
            a = prof_copy_entry(dflt, size);
            a.wrote_before |= before;
        }
    } else {
        dflt = prof_default_trimmed(dflt);
        if (!opened) {
            a = prof_copy(dflt, size);
        } else {
            prof_section *s = prof_find_section(&f, section);
            prof_key *k = s != NULL ? prof_find_key(s, key) : NULL;
            a = prof_copy_entry(k != NULL && k->has_value ? k->value : dflt, size);
        }
    }
    /* Measured: where Wine's call writes a NUL just before its own buffer (a one-character
     * buffer for a key list, or for a value of two quotes), freeing that buffer fails and
     * leaves ERROR_INVALID_PARAMETER. The answer itself is the empty text. */
    if (a.wrote_before)
        simi_set_last_error(ERROR_INVALID_PARAMETER);
    DWORD n = a.count > 0 ? (DWORD)a.count : 0;
    if (n > size - 1)
        n = size - 1;
    memcpy(buf, a.text.data(), n < a.text.size() ? n : a.text.size());
    buf[n] = '\0';
    /* Documented: a list cut short ends in two NULs, the second in the buffer's last byte.
     * Wine writes only the first; the simulation answers as Windows. */
    if (a.cut_short && size >= 3)
        buf[size - 1] = '\0';
    return n;
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
    DWORD n = prof_get(section, key, def, buf, size, "win.ini");
    simi_log("GetProfileStringA", prof_get_args(section, key, def, size),
             prof_result(n, buf, size));
    return n;
}

/* ---- Writing ------------------------------------------------------------------------------ */

/* Delete the first section called exactly name (case aside; blanks are not trimmed, and the
 * empty name is the lines before the first header). */
static bool prof_delete_section(prof_file *f, const char *name)
{
    for (size_t i = 0; i < f->size(); i++)
        if (simi_same((*f)[i].name, name)) {
            f->erase(f->begin() + (long)i);
            return true;
        }
    return false;
}

/* Delete the first key called exactly key in the sections called exactly section: when the
 * first such section lacks it, a later one of the same name loses it. */
static bool prof_delete_key(prof_file *f, const char *section, const char *key)
{
    for (prof_section &s : *f) {
        if (!simi_same(s.name, section))
            continue;
        for (size_t i = 0; i < s.keys.size(); i++)
            if (simi_same(s.keys[i].name, key)) {
                s.keys.erase(s.keys.begin() + (long)i);
                return true;
            }
    }
    return false;
}

/* Set a key, found as a lookup finds it; false when it already had that value. New sections
 * and keys, and values, lose their leading blanks only (a later read trims the rest). */
static bool prof_set(prof_file *f, const char *section, const char *key, const char *value)
{
    std::string v = prof_trim(value, true, false);
    prof_section *s = prof_find_section(f, section);
    prof_key *k = s != NULL ? prof_find_key(s, key) : NULL;
    if (k != NULL) { /* the file's spelling of the key stays */
        if (k->has_value && k->value == v)
            return false;
        k->value = v;
        k->has_value = true;
        return true;
    }
    if (s == NULL) {
        f->push_back(prof_section{prof_trim(section, true, false), {}});
        s = &f->back();
    }
    s->keys.push_back(prof_key{prof_trim(key, true, false), v, true});
    return true;
}

static BOOL prof_put(const char *section, const char *key, const char *value, const char *file)
{
    int fault;
    if (simi_fault(SIM_PROFILE, ERROR_ACCESS_DENIED, &fault)) {
        simi_set_last_error((DWORD)fault);
        return FALSE;
    }
    prof_file f;
    if (section == NULL && key == NULL) {
        /* (NULL, NULL, NULL) flushes a cache, which the simulation does not keep; it opens
         * the file all the same. A section deletion without a section (crashes Wine 8) is
         * refused. */
        if (value != NULL)
            simi_set_last_error(ERROR_INVALID_PARAMETER);
        else if (file != NULL)
            prof_open(file, true, &f);
        return FALSE;
    }
    if (!prof_open(file, true, &f))
        return FALSE;
    bool changed;
    if (key == NULL) {
        changed = prof_delete_section(&f, section);
    } else if (section == NULL) {
        simi_set_last_error(ERROR_FILE_NOT_FOUND);
        return FALSE;
    } else if (value == NULL) {
        changed = prof_delete_key(&f, section, key);
    } else {
        changed = prof_set(&f, section, key, value);
    }
    /* Nothing changed: the file keeps its bytes (and is not created). */
    if (!changed)
        return TRUE;
    DWORD error;
    if (!simi_write_file(prof_path(file).c_str(), prof_format(f), &error)) {
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
    BOOL ok = prof_put(section, key, value, "win.ini");
    simi_log("WriteProfileStringA", simi_q(section) + ", " + simi_q(key) + ", " + simi_q(value),
             simi_num(ok));
    return ok;
}

/* Empty every section of that name and give the first (made at the file's end when missing)
 * the list's "key=value" entries, each ended by a NUL, the list by one more; an entry without
 * "=" is skipped. A null list deletes the section. One rewrite of the file, as one call. */
static BOOL prof_put_section(const char *section, const char *keys, const char *file)
{
    int fault;
    if (simi_fault(SIM_PROFILE, ERROR_ACCESS_DENIED, &fault)) {
        simi_set_last_error((DWORD)fault);
        return FALSE;
    }
    if (section == NULL) {
        simi_set_last_error(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    prof_file f;
    if (!prof_open(file, true, &f))
        return FALSE;
    if (keys == NULL) {
        if (!prof_delete_section(&f, section))
            return TRUE;
    } else {
        /* Every section of that name loses its keys (Wine's measured answer); the first
         * takes the new ones. */
        for (prof_section &same : f)
            if (simi_same(same.name, prof_trim(section, true, true)))
                same.keys.clear();
        prof_section *s = prof_find_section(&f, section);
        if (s == NULL) {
            f.push_back(prof_section{prof_trim(section, true, false), {}});
            s = &f.back();
        }
        for (const char *p = keys; *p != '\0'; p += strlen(p) + 1) {
            const char *eq = strchr(p, '=');
            if (eq == NULL)
                continue;
            s->keys.push_back(prof_key{prof_trim(std::string(p, (size_t)(eq - p)), true, true),
                                       prof_trim(eq + 1, true, false), true});
        }
    }
    DWORD error;
    if (!simi_write_file(prof_path(file).c_str(), prof_format(f), &error)) {
        simi_set_last_error(error);
        return FALSE;
    }
    return TRUE;
}

BOOL WritePrivateProfileSectionA(LPCSTR section, LPCSTR keys, LPCSTR file)
{
    BOOL ok = prof_put_section(section, keys, file);
    std::string list;
    for (const char *p = keys; p != NULL && *p != '\0'; p += strlen(p) + 1)
        list += (list.empty() ? "" : "|") + std::string(p);
    simi_log("WritePrivateProfileSectionA",
             simi_q(section) + ", " + (keys != NULL ? simi_q(list.c_str()) : "NULL") + ", " +
                 simi_q(file),
             ok ? simi_num(ok) : simi_num(ok) + " error " + simi_num(GetLastError()));
    return ok;
}
