/* Windows paths: composition from and splitting into root, directory, base and extension. */
#include "platform/path.h"

#include <stddef.h>

#include "platform/text.h"

static truth_t path_ends_with(const char *text, char c)
{
    uint16_t len = text_length(text);
    return len > 0 && text[len - 1] == c;
}

static truth_t path_is_letter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

truth_t path_compose(char *out, const char *root, const char *dir, const char *base,
                     const char *ext)
{
    /* Built aside, so a component may live in out and a path that does not fit never
     * leaves a cut one behind. */
    char path[PATH_CAP];
    truth_t ok = 1;

    if (out == NULL)
        return 0;
    if (root == NULL)
        root = "";
    if (dir == NULL)
        dir = "";
    if (base == NULL)
        base = "";
    if (ext == NULL)
        ext = "";
    if (dir[0] == '.' && dir[1] == '\0')
        dir = ""; /* "." adds nothing, not even a separator */

    path[0] = '\0';
    ok = text_copy_fit(path, PATH_CAP, root);
    if (ok && root[0] != '\0' && (dir[0] != '\0' || base[0] != '\0' || ext[0] != '\0') &&
        !path_ends_with(path, '\\'))
        ok = text_append_fit(path, PATH_CAP, "\\");
    if (ok)
        ok = text_append_fit(path, PATH_CAP, dir);
    if (ok && dir[0] != '\0' && (base[0] != '\0' || ext[0] != '\0') &&
        !path_ends_with(path, '\\') && !path_ends_with(path, ':'))
        ok = text_append_fit(path, PATH_CAP, "\\");
    if (ok)
        ok = text_append_fit(path, PATH_CAP, base);
    if (ok && ext[0] != '\0') {
        ok = text_append_fit(path, PATH_CAP, ".");
        if (ok)
            ok = text_append_fit(path, PATH_CAP, ext);
    }
    if (!ok) {
        out[0] = '\0';
        return 0;
    }
    text_copy(out, path, PATH_CAP - 1);
    return 1;
}

/* Copy path[from, to) into out, adding a backslash when asked. Every piece is part of a path
 * shorter than PATH_CAP, so it fits. */
static void path_piece(char *out, const char *path, uint16_t from, uint16_t to,
                       truth_t add_backslash)
{
    uint16_t n = 0;
    for (uint16_t i = from; i < to; i++)
        out[n++] = path[i];
    if (add_backslash)
        out[n++] = '\\';
    out[n] = '\0';
}

void path_split(const char *path, char *root, char *dir, char *base, char *ext)
{
    uint16_t len = 0;
    truth_t has_root = 0;
    truth_t has_dir = 0;
    truth_t drive_root = 0;
    uint16_t scan = 0;
    int32_t last_sep = -1;
    int32_t dot = -1;

    root[0] = '\0';
    dir[0] = '\0';
    base[0] = '\0';
    ext[0] = '\0';
    if (path == NULL)
        return;
    /* A path that does not fit a path buffer has components that may not fit theirs either:
     * it yields nothing rather than cut names. */
    while (path[len] != '\0') {
        if (len + 1 >= PATH_CAP)
            return;
        len++;
    }
    if (len == 0)
        return;

    if (path[0] == '\\') {
        has_root = 1;
    } else if (path_is_letter(path[0]) && path[1] == ':' && path[2] == '\\') {
        has_root = 1;
        drive_root = 1;
        scan = 2;
    } else if (path_is_letter(path[0]) && path[1] == ':') {
        has_dir = 1;
        scan = 2;
        if (path[2] != '\0')
            last_sep = 2; /* C:name: the name starts right after the colon */
    } else {
        has_dir = 1;
    }

    for (uint16_t i = scan; i < len; i++) {
        if (path[i] == '\\') {
            last_sep = i;
            dot = -1;
        } else if (path[i] == '.' && path[i + 1] != '.' && path[i + 1] != '\\') {
            dot = i;
        }
    }

    if (last_sep < 0) {
        if (has_dir && scan == 0) {
            /* A bare name: all of it is the base. */
            has_dir = 0;
            last_sep = 0;
        } else {
            /* A bare drive, C: */
            path_piece(dir, path, 0, len, 0);
            return;
        }
    }

    truth_t trailing = last_sep == (int32_t)len - 1 && path[last_sep] == '\\';
    if (has_root) {
        if (last_sep == 0)
            path_piece(root, path, 0, 1, 0);
        else if (drive_root && last_sep == 2)
            path_piece(root, path, 0, 3, 0);
        else
            path_piece(root, path, 0, (uint16_t)last_sep, trailing);
    }
    if (has_dir)
        path_piece(dir, path, 0, (uint16_t)last_sep, trailing);

    uint16_t name = (uint16_t)last_sep;
    if (path[name] == '\\')
        name++;
    uint16_t name_end = dot >= 0 ? (uint16_t)dot : len;
    if (name_end < name)
        name_end = name;
    path_piece(base, path, name, name_end, 0);
    if (dot >= 0)
        path_piece(ext, path, (uint16_t)(dot + 1), len, 0);
}

void path_compressed_name(char *base)
{
    uint16_t len = text_length(base);
    if (base == NULL)
        return;
    if (len >= 8) {
        base[0] = '_';
        return;
    }
    for (uint16_t i = (uint16_t)(len + 1); i > 0; i--)
        base[i] = base[i - 1];
    base[0] = '_';
}

void path_trim_root(char *text)
{
    size_t keep = 0;
    if (text == NULL)
        return;
    for (size_t i = 0; text[i] != '\0'; i++) {
        if (text[i] == '/')
            text[i] = '\\';
        if (text[i] != ' ' && text[i] != '\t' && text[i] != '\n')
            keep = i + 1;
    }
    text[keep] = '\0';
}

void path_drive_root(char *root, char letter)
{
    if (root == NULL)
        return;
    root[0] = letter;
    root[1] = ':';
    root[2] = '\\';
    root[3] = '\0';
}
