/* Removable volumes: labels, the disk prompt loop, piece names and names on a volume. */
#include "transfer/volume.h"

#include "platform/disk.h"
#include "platform/os.h"
#include "platform/path.h"
#include "platform/text.h"

/* The label as GetVolumeInformationA delivers it. */
#define VOLUME_READ_CAP 260u

static char volume_root[PATH_CAP] = "A:\\";

char *volume_drive_root(void)
{
    return volume_root;
}

static int volume_is_blank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

/* "label_base volume" into out (VOLUME_LABEL_CAP bytes); false when it does not fit. */
static truth_t volume_format_label(const char *label_base, int32_t volume, char *out)
{
    char digits[12];
    uint32_t magnitude;
    int n = 0;
    int i;

    /* The magnitude in unsigned arithmetic: -2147483648 has no positive twin. */
    magnitude = volume < 0 ? 0u - (uint32_t)volume : (uint32_t)volume;
    do {
        digits[n++] = (char)('0' + magnitude % 10u);
        magnitude /= 10u;
    } while (magnitude != 0);
    if (!text_copy_fit(out, VOLUME_LABEL_CAP, label_base) ||
        !text_append_fit(out, VOLUME_LABEL_CAP, volume < 0 ? " -" : " "))
        return 0;
    for (i = n - 1; i >= 0; i--) {
        char one[2] = {digits[i], '\0'};
        if (!text_append_fit(out, VOLUME_LABEL_CAP, one))
            return 0;
    }
    return 1;
}

/* Read a label as the C runtime's "%s %ld" reads it: the first blank-delimited word into word
 * (a buffer at least as long as the label), then an optionally signed decimal number, which
 * saturates at the 32-bit limits. What the label does not hold stays as it was. */
static void volume_parse_label(const char *label, char *word, int32_t *number)
{
    const char *p = label;
    uint16_t n = 0;
    int negative = 0;
    int64_t value = 0;
    int any = 0;

    while (volume_is_blank(*p))
        p++;
    if (*p == '\0')
        return;
    while (*p != '\0' && !volume_is_blank(*p))
        word[n++] = *p++;
    word[n] = '\0';
    while (volume_is_blank(*p))
        p++;
    if (*p == '+' || *p == '-')
        negative = *p++ == '-';
    for (; *p >= '0' && *p <= '9'; p++) {
        any = 1;
        if (value <= INT32_MAX)
            value = value * 10 + (*p - '0');
    }
    if (!any)
        return;
    if (negative)
        value = -value < INT32_MIN ? INT32_MIN : -value;
    else if (value > INT32_MAX)
        value = INT32_MAX;
    *number = (int32_t)value;
}

status_t volume_check_label(char *label_base, int32_t *volume)
{
    char label[VOLUME_READ_CAP];
    char expected[VOLUME_LABEL_CAP];

    if (!GetVolumeInformationA(volume_root, label, VOLUME_READ_CAP, NULL, NULL, NULL, NULL, 0))
        return STATUS_FAILED;
    label[VOLUME_READ_CAP - 1] = '\0';
    if (text_is_empty(label_base)) {
        volume_parse_label(label, label_base, volume);
        return STATUS_OK;
    }
    if (!volume_format_label(label_base, *volume, expected))
        return STATUS_NOT_FOUND;
    return text_equal(label, expected, TEXT_NO_LIMIT) ? STATUS_OK : STATUS_NOT_FOUND;
}

status_t volume_set_label(const char *label_base, int32_t volume)
{
    char label[VOLUME_LABEL_CAP];

    if (!volume_format_label(label_base, volume, label))
        return STATUS_NOT_FOUND;
    return SetVolumeLabelA(volume_root, label) == 1 ? STATUS_OK : STATUS_NOT_FOUND;
}

status_t volume_prompt(char *label_base, const void *prompt_context, int32_t volume, truth_t write,
                       transfer_prompt_fn prompt, int32_t user, int32_t wrong_volume)
{
    int32_t cancel = 0;
    int32_t flag = wrong_volume;
    uint32_t attempts = 0;
    status_t rc;

    for (;;) {
        rc = volume_check_label(label_base, &volume);
        if (rc == STATUS_OK)
            return STATUS_OK;
        if (prompt == NULL)
            return rc;
        if (attempts > 0)
            flag = rc != STATUS_FAILED;
        prompt(user, volume_root, prompt_context, volume, VOLUME_PLATFORM, &cancel, flag);
        /* Whatever the callback wrote, the buffer ends inside itself. */
        volume_root[PATH_CAP - 1] = '\0';
        path_trim_root(volume_root);
        text_upper(volume_root);
        if (cancel != 0)
            return STATUS_CANCELLED;
        /* A label that does not take fails the next check, and the user is asked again. */
        if (write)
            (void)volume_set_label(label_base, volume);
        attempts++;
    }
}

/* Where the piece character goes in base, or -1 when the base has no character there. */
static int volume_piece_position(const char *base, truth_t compressed)
{
    uint16_t len = text_length(base);
    int pos;

    if (compressed && len > 8) {
        pos = 1;
    } else {
        pos = len == 8 ? 1 : 0;
        if (pos < len && base[pos] == '_')
            pos++;
    }
    return pos < len ? pos : -1;
}

static void volume_step_piece(char *path, truth_t first, truth_t last, truth_t compressed)
{
    char root[PATH_CAP], dir[PATH_CAP], base[PATH_CAP], ext[PATH_CAP];
    char out[PATH_CAP];
    unsigned char c;
    int pos;

    if (path == NULL || text_length(path) >= PATH_CAP)
        return;
    path_split(path, root, dir, base, ext);
    pos = volume_piece_position(base, compressed);
    if (pos < 0)
        return;
    c = (unsigned char)base[pos];
    if (first)
        c = c == '1' ? '2' : '1';
    else if (last)
        c = '0';
    else if (c != 0xFF)
        c++;
    base[pos] = (char)c;
    if (path_compose(out, root, dir, base, ext))
        (void)text_copy_fit(path, PATH_CAP, out);
}

void volume_next_piece_name(char *path, truth_t first, truth_t last)
{
    volume_step_piece(path, first, last, 0);
}

void volume_next_compressed_piece_name(char *path, truth_t first, truth_t last)
{
    volume_step_piece(path, first, last, 1);
}

truth_t volume_pieces_fit(const char *path, uint32_t count)
{
    char root[PATH_CAP], dir[PATH_CAP], base[PATH_CAP], ext[PATH_CAP];
    char first;
    int pos;

    if (count == 1)
        return 1;
    if (count == 0 || count > VOLUME_PIECES_MAX || path == NULL ||
        text_length(path) >= PATH_CAP)
        return 0;
    path_split(path, root, dir, base, ext);
    pos = volume_piece_position(base, 0);
    if (pos < 0)
        return 0;
    first = base[pos] == '1' ? '2' : '1';
    /* Every piece but the last steps on from the first; the last is 0. */
    return (uint32_t)('9' - first) + 2u >= count;
}

truth_t volume_name_on_volume(const char *path, char *out)
{
    char root[PATH_CAP], dir[PATH_CAP], base[PATH_CAP], ext[PATH_CAP];

    if (path == NULL || text_length(path) >= PATH_CAP) {
        out[0] = '\0';
        return 0;
    }
    path_split(path, root, dir, base, ext);
    return path_compose(out, volume_root, dir, base, ext);
}

status_t volume_free_bytes(const char *path, uint32_t *count)
{
    return disk_free_bytes(path, count);
}
