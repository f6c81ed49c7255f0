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

status_t kv_read_field(FILE *in, char sep, truth_t keep_blanks, char *field, uint16_t cap,
                       char *raw)
{
    uint16_t n = 0; /* characters in the field */
    uint16_t r = 0; /* characters in the raw copy */
    status_t rc = STATUS_OK;

    if (in == NULL || field == NULL || raw == NULL)
        return STATUS_FAILED;
    if (cap < 2) {
        if (cap == 1) {
            field[0] = '\0';
            raw[0] = '\0';
        }
        return STATUS_BAD_FORMAT;
    }

    for (;;) {
        int c = fgetc(in);
        if (c == EOF) {
            if (ferror(in)) {
                n = 0;
                rc = STATUS_FAILED;
            } else {
                rc = STATUS_END_OF_FILE;
            }
            goto done;
        }
        if (c == '\n') {
            /* The line end stays unread: the caller moves to the next line itself. */
            if (ungetc(c, in) == EOF)
                rc = STATUS_FAILED;
            goto done;
        }
        /* The raw copy holds at most cap - 1 characters, like the field's buffer: a line part
         * with many skipped separators or dropped blanks is too long, as a long field is. */
        if (r == cap - 1) {
            rc = STATUS_BAD_FORMAT;
            goto done;
        }
        raw[r++] = (char)c;

        if ((char)c == sep || (c == '\t' && sep == ' ')) {
            if (n == 0)
                continue; /* separators in front of the key */
            if (c == '\t' && sep == ' ' && !keep_blanks) {
                /* A TAB separator takes the blanks after it along (not into the raw copy). */
                for (;;) {
                    int d = fgetc(in);
                    if (d == EOF) {
                        if (ferror(in))
                            rc = STATUS_FAILED;
                        goto done;
                    }
                    if (d != ' ' && d != '\t') {
                        if (ungetc(d, in) == EOF)
                            rc = STATUS_FAILED;
                        goto done;
                    }
                }
            }
            goto done;
        }
        if ((c == ' ' || c == '\t') && !keep_blanks)
            continue;
        field[n++] = (char)c;
        if (n == cap - 1) {
            rc = STATUS_BAD_FORMAT;
            goto done;
        }
    }

done:
    /* Terminated on every path, even 7's: a caller that looks at a failed field reads a
     * bounded text. */
    field[n] = '\0';
    raw[r] = '\0';
    return rc;
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
