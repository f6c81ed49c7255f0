/* Key-value text files: the separator spec, the field reader and the line writer. */
#include "stores/kv.h"

#include "platform/os.h"

status_t kv_parse_separator_spec(const char *spec, char *sep, truth_t *keep_key_blanks,
                                 truth_t *keep_value_blanks)
{
    char c = '\0';
    truth_t keep_key = 1;
    truth_t keep_value = 1;

    if (spec == NULL)
        spec = "=";
    /* Looked at character by character: a spec longer than three is refused however long. */
    if (spec[0] == '\0') {
        keep_value = 0; /* NUL separator: the whole line is the key */
    } else if (spec[1] == '\0') {
        c = spec[0];
    } else if (spec[2] == '\0') {
        if (spec[0] == ' ') {
            c = spec[1];
            keep_key = 0;
        } else if (spec[1] == ' ') {
            c = spec[0];
            keep_value = 0;
        } else {
            return STATUS_BAD_FORMAT;
        }
    } else if (spec[3] == '\0' && spec[0] == ' ' && spec[2] == ' ') {
        c = spec[1];
        keep_key = 0;
        keep_value = 0;
    } else {
        return STATUS_BAD_FORMAT;
    }
    if (sep != NULL)
        *sep = c;
    if (keep_key_blanks != NULL)
        *keep_key_blanks = keep_key;
    if (keep_value_blanks != NULL)
        *keep_value_blanks = keep_value;
    return STATUS_OK;
}

/* One field read's place: the stream, the rules, the two buffers and how far each is filled. */
typedef struct kv_field_reader {
    FILE *in;
    char sep;            /* the separator; NUL reads the rest of the line */
    truth_t keep_blanks; /* spaces and TABs go into the field */
    char *field;
    char *raw;
    uint16_t cap; /* of both buffers */
    uint16_t n;   /* characters in the field */
    uint16_t r;   /* characters in the raw copy */
} kv_field_reader;

static truth_t kv_is_separator(const kv_field_reader *rd, int c)
{
    return (char)c == rd->sep || (c == '\t' && rd->sep == ' ');
}

/* A space or TAB that the field does not keep (a TAB that separates is a separator first). */
static truth_t kv_is_dropped_blank(const kv_field_reader *rd, int c)
{
    return (c == ' ' || c == '\t') && !rd->keep_blanks;
}

/* The input ended: 29 with the field emptied after a read error, else 1. */
static status_t kv_end_of_input(kv_field_reader *rd)
{
    if (ferror(rd->in)) {
        rd->n = 0;
        return STATUS_FAILED;
    }
    return STATUS_END_OF_FILE;
}

/* Leave c for the next read: 0, or 29 when the stream refuses it. */
static status_t kv_push_back(FILE *in, int c)
{
    return ungetc(c, in) == EOF ? STATUS_FAILED : STATUS_OK;
}

/* The raw copy holds at most cap - 1 characters, like the field: a line part with many skipped
 * separators or dropped blanks is too long, as a long field is. */
static status_t kv_raw_append(kv_field_reader *rd, int c)
{
    if (rd->raw == NULL)
        return STATUS_OK;
    if (rd->r == rd->cap - 1)
        return STATUS_BAD_FORMAT;
    rd->raw[rd->r++] = (char)c;
    return STATUS_OK;
}

/* 7 once the field reaches cap - 1 characters: the text is too long for it. */
static status_t kv_field_append(kv_field_reader *rd, int c)
{
    rd->field[rd->n++] = (char)c;
    return rd->n == rd->cap - 1 ? STATUS_BAD_FORMAT : STATUS_OK;
}

/* A TAB that ends a key under a space separator takes the blanks after it along, when blanks do
 * not count (they go into neither buffer). 0 at the first other character (left unread) or at
 * the end of input; 29 on a read error or a failed push-back. */
static status_t kv_take_blanks_after_tab(kv_field_reader *rd)
{
    for (;;) {
        int c = fgetc(rd->in);
        if (c == EOF)
            return ferror(rd->in) ? STATUS_FAILED : STATUS_OK;
        if (c != ' ' && c != '\t')
            return kv_push_back(rd->in, c);
    }
}

status_t kv_read_field(FILE *in, char sep, truth_t keep_blanks, char *field, uint16_t cap,
                       char *raw)
{
    kv_field_reader rd = {in, sep, keep_blanks, field, raw, cap, 0, 0};
    status_t rc = STATUS_OK;

    if (in == NULL || field == NULL)
        return STATUS_FAILED;
    if (cap < 2) {
        if (cap == 1) {
            field[0] = '\0';
            if (raw != NULL)
                raw[0] = '\0';
        }
        return STATUS_BAD_FORMAT;
    }

    for (;;) {
        int c = fgetc(in);
        if (c == EOF) {
            rc = kv_end_of_input(&rd);
            break;
        }
        if (c == '\n') {
            /* The line end stays unread: the caller moves to the next line itself. */
            rc = kv_push_back(in, c);
            break;
        }
        rc = kv_raw_append(&rd, c);
        if (rc != STATUS_OK)
            break;
        if (kv_is_separator(&rd, c)) {
            if (rd.n == 0)
                continue; /* separators in front of the key */
            if (c == '\t' && sep == ' ' && !keep_blanks)
                rc = kv_take_blanks_after_tab(&rd);
            break;
        }
        if (kv_is_dropped_blank(&rd, c))
            continue;
        rc = kv_field_append(&rd, c);
        if (rc != STATUS_OK)
            break;
    }
    /* Terminated on every path, even 7's: a caller that looks at a failed field reads a
     * bounded text. */
    field[rd.n] = '\0';
    if (raw != NULL)
        raw[rd.r] = '\0';
    return rc;
}

truth_t kv_separator_writable(char sep)
{
    return sep != '\r' && sep != '\n' && sep != KV_TEXT_END;
}

status_t kv_write_line(FILE *out, const char *key, char sep, const char *value)
{
    if (out == NULL)
        return STATUS_WRITE_ERROR;
    if (key == NULL)
        key = "";
    for (; *key != '\0'; key++) {
        if (fputc((unsigned char)*key, out) != (unsigned char)*key)
            return STATUS_WRITE_ERROR;
    }
    if (sep != '\0' && fputc((unsigned char)sep, out) != (unsigned char)sep)
        return STATUS_WRITE_ERROR;
    if (value != NULL) {
        for (; *value != '\0'; value++) {
            if (fputc((unsigned char)*value, out) != (unsigned char)*value)
                return STATUS_WRITE_ERROR;
        }
    }
    if (fputc('\n', out) != '\n')
        return STATUS_WRITE_ERROR;
    return STATUS_OK;
}
