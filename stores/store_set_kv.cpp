/* Key-value file updates: the append of a line and the rewrite through a temporary file. */
#include "stores/store_set_kv.h"

#include "platform/file.h"
#include "platform/mem.h"
#include "platform/os.h"
#include "platform/path.h"
#include "platform/text.h"
#include "stores/kv.h"
#include "transfer/transfer.h"

/* A key read during a rewrite: 1023 characters and a terminator. */
#define STORE_KV_FIELD_CAP 1024
/* Written over the raw copy before each read: kv_read_field stores a NUL from the file like any
 * other character, so the copy's length is where its terminator stands before the fill. */
#define STORE_KV_FILL ((char)0xFF)

static truth_t store_kv_is_temp_name(const char *path)
{
    char root[PATH_CAP];
    char dir[PATH_CAP];
    char base[PATH_CAP];
    char ext[PATH_CAP];

    path_split(path, root, dir, base, ext);
    return text_equal(ext, STORE_KV_TEMP_EXT, TEXT_NO_LIMIT);
}

/* Whether the file's last character is anything but a line end (an empty file lacks none). */
static truth_t store_kv_lacks_line_end(FILE *in)
{
    if (fseek(in, -1L, SEEK_END) != 0)
        return 0;
    return fgetc(in) != '\n';
}

/* Text input ends at a Ctrl-Z, so a rewrite would drop what follows one, and a line appended
 * after one could never be read. *marker: the file ends in Ctrl-Z end markers (which hide
 * nothing). 20 when text follows a Ctrl-Z, or the file cannot be read as bytes. */
static status_t store_kv_scan_ctrl_z(const char *path, truth_t *marker)
{
    unsigned char buf[4096];
    status_t rc = STATUS_OK;
    truth_t seen = 0;
    size_t n;
    size_t i;
    const unsigned char *z;
    FILE *f;

    f = crt_fopen(path, "rb");
    if (f == NULL)
        return STATUS_READ_ERROR;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) {
        i = 0;
        if (!seen) {
            z = (const unsigned char *)memchr(buf, KV_TEXT_END, n);
            if (z == NULL)
                continue;
            seen = 1;
            i = (size_t)(z - buf);
        }
        for (; i < n; i++) {
            if (buf[i] != KV_TEXT_END) {
                rc = STATUS_READ_ERROR;
                goto done;
            }
        }
    }
    if (ferror(f))
        rc = STATUS_READ_ERROR;

done:
    (void)fclose(f);
    if (rc == STATUS_OK)
        *marker = seen;
    return rc;
}

status_t store_kv_append(const char *path, const char *value)
{
    status_t rc = STATUS_OK;
    FILE *f = NULL;
    truth_t lacks_line_end;
    truth_t marker = 0;

    if (store_kv_is_temp_name(path))
        return STATUS_INVALID_NAME;
    f = crt_fopen(path, "r");
    if (f == NULL) {
        f = crt_fopen(path, "a+");
        if (f == NULL)
            return STATUS_WRITE_ERROR;
        if (fclose(f) != 0)
            return STATUS_WRITE_ERROR;
        f = crt_fopen(path, "r");
        if (f == NULL)
            return STATUS_READ_ERROR;
    }
    lacks_line_end = store_kv_lacks_line_end(f);
    (void)fclose(f);
    rc = store_kv_scan_ctrl_z(path, &marker);
    if (rc == STATUS_OK && marker)
        rc = STATUS_READ_ERROR;
    if (rc != STATUS_OK)
        return rc;

    f = crt_fopen(path, "a+");
    if (f == NULL)
        return STATUS_WRITE_ERROR;
    if (lacks_line_end && fputc('\n', f) != '\n') {
        rc = STATUS_WRITE_ERROR;
        goto done;
    }
    rc = kv_write_line(f, "", '\0', value);

done:
    /* The close writes what is still buffered: a line that did not reach the disk is not
     * appended. */
    if (fclose(f) != 0 && rc == STATUS_OK)
        rc = STATUS_WRITE_ERROR;
    return rc;
}

/* ---- Rewrite ------------------------------------------------------------------------------ */

typedef struct store_kv_rewrite_state {
    FILE *in;                      /* the store file, read as text */
    FILE *out;                     /* the temporary file, written as text */
    const char *key;               /* the working copy of the name */
    const char *value;             /* the working copy of the value */
    char sep;                      /* the spec's separator character */
    truth_t keep_key_blanks;       /* key blanks are significant */
    char field[STORE_KV_FIELD_CAP]; /* the key of the line at hand */
    char raw[STORE_KV_FIELD_CAP];  /* every character that key read consumed */
    uint16_t raw_len;              /* the raw copy's length, NULs from the file included */
} store_kv_rewrite_state;

static status_t store_kv_put(FILE *out, const char *text, size_t len)
{
    if (len > 0 && fwrite(text, 1, len, out) != len)
        return STATUS_WRITE_ERROR;
    return STATUS_OK;
}

static status_t store_kv_put_text(FILE *out, const char *text)
{
    return store_kv_put(out, text, strlen(text));
}

/* Read one line's key into st->field and st->raw with the blanks kept. */
static status_t store_kv_read_key(store_kv_rewrite_state *st)
{
    status_t rc;
    uint16_t n;

    memset(st->raw, STORE_KV_FILL, (size_t)st->raw_len + 1);
    rc = kv_read_field(st->in, st->sep, 1, st->field, STORE_KV_FIELD_CAP, st->raw);
    if (rc != STATUS_OK && rc != STATUS_END_OF_FILE) {
        st->raw_len = STORE_KV_FIELD_CAP - 1;
        return rc;
    }
    n = STORE_KV_FIELD_CAP - 1;
    while (n > 0 && st->raw[n] == STORE_KV_FILL)
        n--;
    st->raw_len = n;
    return rc;
}

static truth_t store_kv_is_separator(const store_kv_rewrite_state *st, char c)
{
    return c == st->sep || (st->sep == ' ' && c == '\t');
}

/* Whether the key part of a line ends in its separator. The reader stops at the first
 * separator after a key character; one that ends the raw copy without any key character in
 * front of it was only skipped, and the line had none. */
static truth_t store_kv_raw_has_separator(const store_kv_rewrite_state *st)
{
    uint16_t i;

    if (st->sep == '\0')
        return 1; /* nothing to add: the key runs into the value */
    if (st->raw_len == 0 || !store_kv_is_separator(st, st->raw[st->raw_len - 1]))
        return 0;
    for (i = 0; i + 1 < st->raw_len; i++)
        if (!store_kv_is_separator(st, st->raw[i]))
            return 1;
    return 0;
}

/* Copy the rest of the line at hand, its line end included. *ended: the file ended first. */
static status_t store_kv_copy_line(store_kv_rewrite_state *st, truth_t *ended)
{
    int c;

    *ended = 0;
    for (;;) {
        c = fgetc(st->in);
        if (c == EOF) {
            if (ferror(st->in))
                return STATUS_READ_ERROR;
            *ended = 1;
            return STATUS_OK;
        }
        if (fputc(c, st->out) != c)
            return STATUS_WRITE_ERROR;
        if (c == '\n')
            return STATUS_OK;
    }
}

/* The new line for the key, or nothing when the value is empty: the line is deleted. */
static status_t store_kv_put_matching(store_kv_rewrite_state *st)
{
    status_t rc;
    char sep[2];

    if (st->value[0] == '\0')
        return STATUS_OK;
    /* The key part stays exactly as it stood. A line that had no separator gets one: the key
     * and the value run together would read back as another key. */
    rc = store_kv_put(st->out, st->raw, st->raw_len);
    if (rc == STATUS_OK && !store_kv_raw_has_separator(st)) {
        sep[0] = st->sep;
        sep[1] = '\0';
        rc = store_kv_put_text(st->out, sep);
    }
    if (rc == STATUS_OK)
        rc = store_kv_put_text(st->out, st->value);
    if (rc == STATUS_OK)
        rc = store_kv_put_text(st->out, "\n");
    return rc;
}

/* Everything after the matching line, unchanged, except that a last line without line end is
 * completed. */
static status_t store_kv_copy_rest(store_kv_rewrite_state *st, truth_t skip_line)
{
    int c;
    int last = '\n';

    if (skip_line) {
        do
            c = fgetc(st->in);
        while (c != EOF && c != '\n');
    }
    while ((c = fgetc(st->in)) != EOF) {
        if (fputc(c, st->out) != c)
            return STATUS_WRITE_ERROR;
        last = c;
    }
    if (ferror(st->in))
        return STATUS_WRITE_ERROR;
    if (last != '\n' && fputc('\n', st->out) != '\n')
        return STATUS_WRITE_ERROR;
    return STATUS_OK;
}

/* The end of the file: a last line without line end is completed (complete_last), then the
 * new line follows unless the value is empty. */
static status_t store_kv_put_new(store_kv_rewrite_state *st, truth_t complete_last)
{
    if (complete_last && fputc('\n', st->out) != '\n')
        return STATUS_WRITE_ERROR;
    if (st->value[0] == '\0')
        return STATUS_OK;
    return kv_write_line(st->out, st->key, st->sep, st->value);
}

static truth_t store_kv_key_matches(store_kv_rewrite_state *st)
{
    if (!st->keep_key_blanks)
        text_strip_blanks(st->field);
    return text_equal(st->field, st->key, TEXT_NO_LIMIT);
}

/* The store file's lines into the temporary file, the first line of the key changed. */
static status_t store_kv_transcribe(store_kv_rewrite_state *st)
{
    status_t rc;
    truth_t ended;

    st->raw_len = STORE_KV_FIELD_CAP - 1;
    for (;;) {
        rc = store_kv_read_key(st);
        if (rc == STATUS_END_OF_FILE) {
            /* A last line without line end has its key part here, and only that. */
            if (st->raw_len > 0 && store_kv_key_matches(st))
                return store_kv_put_matching(st);
            rc = store_kv_put(st->out, st->raw, st->raw_len);
            if (rc != STATUS_OK)
                return rc;
            return store_kv_put_new(st, st->raw_len > 0);
        }
        if (rc != STATUS_OK)
            return rc;
        if (store_kv_key_matches(st)) {
            rc = store_kv_put_matching(st);
            if (rc != STATUS_OK)
                return rc;
            return store_kv_copy_rest(st, 1);
        }
        rc = store_kv_put(st->out, st->raw, st->raw_len);
        if (rc != STATUS_OK)
            return rc;
        rc = store_kv_copy_line(st, &ended);
        if (rc != STATUS_OK)
            return rc;
        if (ended)
            return store_kv_put_new(st, 1);
    }
}

/* Put the temporary file in the store file's place in one step, so that there is never a
 * moment without the store file; the move that may copy is the fallback. */
static status_t store_kv_commit(const char *temp, const char *path)
{
    if (MoveFileExA(temp, path, MOVEFILE_REPLACE_EXISTING))
        return STATUS_OK;
    return file_move_or_copy(temp, path, 0, 0, NULL, NULL, 0);
}

status_t store_kv_rewrite(const char *path, const char *name, const char *value,
                          const char *spec)
{
    status_t rc;
    char sep;
    truth_t keep_key_blanks;
    truth_t keep_value_blanks;
    char root[PATH_CAP];
    char dir[PATH_CAP];
    char base[PATH_CAP];
    char ext[PATH_CAP];
    char temp[PATH_CAP];
    char *key = NULL;
    char *val = NULL;
    truth_t exists = 1;
    truth_t temp_made = 0;
    store_kv_rewrite_state *st = NULL;
    FILE *in = NULL;
    FILE *out = NULL;

    rc = kv_parse_separator_spec(spec, &sep, &keep_key_blanks, &keep_value_blanks);
    if (rc != STATUS_OK)
        return rc;
    /* The line written would come apart at its own separator. */
    if (!kv_separator_writable(sep))
        return STATUS_BAD_FORMAT;
    path_split(path, root, dir, base, ext);
    /* A store named like its own temporary file would be destroyed by the rewrite. */
    if (text_equal(ext, STORE_KV_TEMP_EXT, TEXT_NO_LIMIT))
        return STATUS_INVALID_NAME;
    if (!path_compose(temp, root, dir, base, STORE_KV_TEMP_EXT))
        return STATUS_INVALID_NAME;

    key = text_dup(name);
    val = text_dup(value);
    st = (store_kv_rewrite_state *)mem_alloc(sizeof *st);
    if (key == NULL || val == NULL || st == NULL) {
        rc = STATUS_NO_MEMORY;
        goto done;
    }
    if (!keep_key_blanks)
        text_strip_blanks(key);
    if (!keep_value_blanks)
        text_strip_blanks(val);

    in = crt_fopen(path, "r");
    if (in == NULL) {
        /* Only a file known to be absent may be created: one that exists and cannot be read
         * would be replaced by a file of one line. */
        if (file_exists(path, &exists) != STATUS_OK || exists) {
            rc = STATUS_READ_ERROR;
            goto done;
        }
        if (val[0] == '\0')
            goto done; /* nothing to delete, and nothing is created */
    } else {
        truth_t marker = 0;
        rc = store_kv_scan_ctrl_z(path, &marker);
        if (rc != STATUS_OK)
            goto done;
    }

    out = crt_fopen(temp, "w");
    if (out == NULL) {
        rc = STATUS_WRITE_ERROR;
        goto done;
    }
    temp_made = 1;
    if (in == NULL) {
        /* A new file goes through the temporary one too: it appears whole or not at all. */
        rc = kv_write_line(out, key, sep, val);
    } else {
        st->in = in;
        st->out = out;
        st->key = key;
        st->value = val;
        st->sep = sep;
        st->keep_key_blanks = keep_key_blanks;
        rc = store_kv_transcribe(st);
        (void)fclose(in);
        in = NULL;
    }
    /* The close writes the last buffered bytes: a temporary file that lost its end must not
     * replace the store file. */
    if (fclose(out) != 0 && rc == STATUS_OK)
        rc = STATUS_WRITE_ERROR;
    out = NULL;
    if (rc != STATUS_OK)
        goto done;

    rc = store_kv_commit(temp, path);
    /* After a failed move the temporary file may hold the only whole copy of the new
     * contents: it stays. */
    temp_made = 0;

done:
    if (in != NULL)
        (void)fclose(in);
    if (out != NULL)
        (void)fclose(out);
    if (temp_made)
        (void)file_delete(temp);
    mem_free(st);
    mem_free(val);
    mem_free(key);
    return rc;
}
