/* The pass report an administrator may switch on for a shared home: one profile file per client
 * in a folder of the clients directory, written after the pass has decided everything else. */
#include "agent/agent_internal.h"

#include "platform/path.h"
#include "platform/text.h"
#include "stores/store.h"

/* "YYYY-MM-DD hh:mm:ss" and its terminator. */
#define AGENT_TIME_CAP 20
/* A file name component holds 255 characters; the report adds ".INI". */
#define AGENT_REPORT_NAME_MAX 251

static const char *const agent_result_names[] = {"", "current", "installer started", "message",
                                                 "failed"};

/* The decimal digits of value into buf (12 bytes at least). */
static void agent_format_number(char *buf, int32_t value)
{
    char digits[12];
    uint32_t magnitude = value < 0 ? 0u - (uint32_t)value : (uint32_t)value;
    int n = 0;

    do {
        digits[n++] = (char)('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (value < 0)
        *buf++ = '-';
    while (n > 0)
        *buf++ = digits[--n];
    *buf = '\0';
}

static char *agent_put_digits(char *out, unsigned value, int width, char after)
{
    int i;
    for (i = width - 1; i >= 0; i--) {
        out[i] = (char)('0' + value % 10);
        value /= 10;
    }
    out[width] = after;
    return out + width + 1;
}

void agent_format_local_time(char *buf)
{
    SYSTEMTIME now;
    char *p = buf;

    GetLocalTime(&now);
    p = agent_put_digits(p, now.wYear, 4, '-');
    p = agent_put_digits(p, now.wMonth, 2, '-');
    p = agent_put_digits(p, now.wDay, 2, ' ');
    p = agent_put_digits(p, now.wHour, 2, ':');
    p = agent_put_digits(p, now.wMinute, 2, ':');
    agent_put_digits(p, now.wSecond, 2, '\0');
}

/* Whether the part of name before its first full stop (blanks at its end ignored, as Windows
 * ignores them) is a device name: such a file name opens the device, not a file. */
static truth_t agent_is_device_name(const char *name)
{
    static const char *const devices[] = {"CON", "PRN", "AUX", "NUL"};
    char stem[8];
    uint16_t n = 0;
    size_t i;

    while (name[n] != '\0' && name[n] != '.' && n < 7) {
        stem[n] = name[n];
        n++;
    }
    if (name[n] != '\0' && name[n] != '.')
        return 0;
    while (n > 0 && stem[n - 1] == ' ')
        n--;
    stem[n] = '\0';
    text_upper(stem);
    for (i = 0; i < sizeof devices / sizeof devices[0]; i++)
        if (text_equal(stem, devices[i], 8))
            return 1;
    return n == 4 && (memcmp(stem, "COM", 3) == 0 || memcmp(stem, "LPT", 3) == 0) &&
           stem[3] >= '1' && stem[3] <= '9';
}

truth_t agent_report_name_fits(const char *name)
{
    uint16_t len = text_length(name);
    uint16_t i;

    if (len == 0 || len > AGENT_REPORT_NAME_MAX || agent_may_be_cut(name))
        return 0;
    for (i = 0; i < len; i++) {
        unsigned char c = (unsigned char)name[i];
        if (c < 32 || strchr("<>:\"/\\|?*", c) != NULL)
            return 0;
    }
    /* Windows drops a full stop or blank at a name's end: the file would be another name's. */
    if (name[len - 1] == '.' || name[len - 1] == ' ')
        return 0;
    return !agent_is_device_name(name);
}

/* The folder must lie within the clients directory: no drive, no root, no way up. */
static truth_t agent_report_folder_fits(const char *folder)
{
    return !text_is_empty(folder) && !agent_may_be_cut(folder) && strchr(folder, ':') == NULL &&
           folder[0] != '\\' && folder[0] != '/' && !text_contains(folder, "..");
}

/* One section of the report; stops at the first value the store refuses. */
static status_t agent_write_section(const char *report, const char *section,
                                    const char *const *values)
{
    static const char *const keys[] = {"Time",         "Mode",     "Result", "Status",
                                       "Message",      "Stamp",    "Server stamp",
                                       "Computer",     "Agent"};
    size_t i;
    status_t rc;

    for (i = 0; i < sizeof keys / sizeof keys[0]; i++) {
        rc = store_set_value(keys[i], values[i], report, section, 0);
        if (rc != STATUS_OK)
            return rc;
    }
    return STATUS_OK;
}

status_t agent_report_path(char *report)
{
    char settings[PATH_CAP];
    char folder[STORE_VALUE_CAP];
    char clients_dir[STORE_VALUE_CAP];
    char client_name[STORE_VALUE_CAP];
    char dir[PATH_CAP];
    status_t rc;

    rc = agent_home_settings_path(settings);
    if (rc != STATUS_OK)
        return rc;
    rc = agent_get("Folder", settings, "Reports", folder, STORE_VALUE_CAP);
    if (rc != STATUS_OK)
        return rc;
    if (!agent_report_folder_fits(folder))
        return STATUS_INVALID_NAME;
    rc = agent_get_local("CLIENTS_DIR", clients_dir, STORE_VALUE_CAP);
    if (rc == STATUS_OK)
        rc = agent_get_local("CLIENTNAME", client_name, STORE_VALUE_CAP);
    if (rc != STATUS_OK)
        return rc;
    if (!agent_report_name_fits(client_name))
        return STATUS_INVALID_NAME;
    if (!path_compose(dir, clients_dir, folder, "", "") ||
        !path_compose(report, dir, "", client_name, "INI"))
        return STATUS_INVALID_NAME;
    return STATUS_OK;
}

status_t agent_write_report(const agent_pass *pass)
{
    char report[PATH_CAP];
    char time[AGENT_TIME_CAP];
    char status[12];
    char message[12];
    char shared_home[STORE_VALUE_CAP];
    char client_name[STORE_VALUE_CAP];
    char stamp[STORE_VALUE_CAP];
    char server_stamp[STORE_VALUE_CAP];
    char computer[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD computer_size = sizeof computer;
    const char *values[9];
    status_t rc;

    rc = agent_report_path(report);
    if (rc != STATUS_OK)
        return rc;

    agent_format_local_time(time);
    agent_format_number(status, pass->status);
    message[0] = '\0';
    if (pass->message >= 0)
        agent_format_number(message, pass->message);
    /* What cannot be read is reported empty: the report tells what the pass saw. */
    if (agent_get_local("TIMESTAMP", stamp, STORE_VALUE_CAP) != STATUS_OK)
        stamp[0] = '\0';
    if (agent_get_local("SHARED_VORNEX_HOME", shared_home, STORE_VALUE_CAP) != STATUS_OK ||
        agent_get_local("CLIENTNAME", client_name, STORE_VALUE_CAP) != STATUS_OK ||
        agent_read_server_timestamp(shared_home, client_name, server_stamp) != STATUS_OK)
        server_stamp[0] = '\0';
    if (!GetComputerNameA(computer, &computer_size))
        computer[0] = '\0';

    values[0] = time;
    values[1] = pass->start_mode == START_NETWORK ? "network" : "local";
    values[2] = agent_result_names[pass->result];
    values[3] = status;
    values[4] = message;
    values[5] = stamp;
    values[6] = server_stamp;
    values[7] = computer;
    values[8] = AGENT_VERSION;

    rc = agent_write_section(report, "Last pass", values);
    if (rc == STATUS_OK &&
        (pass->result == AGENT_RESULT_MESSAGE || pass->result == AGENT_RESULT_FAILED))
        rc = agent_write_section(report, "Last failure", values);
    return rc;
}
