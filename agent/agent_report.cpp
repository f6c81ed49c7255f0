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

/* The keys and values of one section, as one profile call takes them: "key=value" entries,
 * each ended by a NUL, and one NUL more. Room for every key and four values of the store's
 * size; the other values are short. */
#define AGENT_SECTION_CAP (4 * STORE_VALUE_CAP + 256)

static const char *const agent_report_keys[] = {"Time",     "Mode",  "Result",
                                                "Status",   "Message", "Stamp",
                                                "Server stamp", "Computer", "Agent"};
#define AGENT_REPORT_KEY_COUNT (sizeof agent_report_keys / sizeof agent_report_keys[0])

/* The list into section [out] (AGENT_SECTION_CAP bytes); a key without a value is left out, as
 * a key set empty has always been removed. False when it does not fit. */
static truth_t agent_compose_section(char *section, const char *const *values)
{
    size_t used = 0;
    size_t i;

    for (i = 0; i < AGENT_REPORT_KEY_COUNT; i++) {
        size_t key_len = strlen(agent_report_keys[i]);
        size_t value_len = strlen(values[i]);
        if (value_len == 0)
            continue;
        /* key, "=", value, its NUL, and the list's last NUL */
        if (used + key_len + value_len + 3 > AGENT_SECTION_CAP)
            return 0;
        memcpy(section + used, agent_report_keys[i], key_len);
        used += key_len;
        section[used++] = '=';
        memcpy(section + used, values[i], value_len);
        used += value_len;
        section[used++] = '\0';
    }
    section[used] = '\0';
    /* A list with no entry must still end in two NULs. */
    if (used == 0)
        section[1] = '\0';
    return 1;
}

status_t agent_report_path(const char *shared_home, const char *client_name, char *report)
{
    char settings[PATH_CAP];
    char folder[STORE_VALUE_CAP];
    char clients_dir[STORE_VALUE_CAP];
    char dir[PATH_CAP];
    status_t rc;

    rc = agent_settings_path(shared_home, settings);
    if (rc != STATUS_OK)
        return rc;
    rc = agent_get("Folder", settings, "Reports", folder, STORE_VALUE_CAP);
    if (rc != STATUS_OK)
        return rc;
    if (!agent_report_folder_fits(folder))
        return STATUS_INVALID_NAME;
    rc = agent_get_local("CLIENTS_DIR", clients_dir, STORE_VALUE_CAP);
    if (rc != STATUS_OK)
        return rc;
    if (!agent_report_name_fits(client_name))
        return STATUS_INVALID_NAME;
    if (!path_compose(dir, clients_dir, folder, "", "") ||
        !path_compose(report, dir, "", client_name, "INI"))
        return STATUS_INVALID_NAME;
    return STATUS_OK;
}

status_t agent_log_failure(const agent_pass *pass)
{
    char status[12];
    const char *strings[2];
    HANDLE log;
    BOOL logged;

    agent_format_number(status, pass->status);
    strings[0] = status;
    strings[1] = pass->text != NULL ? pass->text : "";
    log = RegisterEventSourceA(NULL, AGENT_CAPTION);
    if (log == NULL)
        return STATUS_FAILED;
    logged = ReportEventA(log, EVENTLOG_ERROR_TYPE, 0, 0, NULL, 2, 0, strings, NULL);
    (void)DeregisterEventSource(log);
    return logged ? STATUS_OK : STATUS_FAILED;
}

/* Whether the home's settings switch reports on (a Folder is named) and ask for events too
 * (EventLog=1): without reports nothing new is written, the event log included. */
static truth_t agent_event_log_on(const char *shared_home)
{
    char settings[PATH_CAP];
    char value[STORE_VALUE_CAP];

    return agent_settings_path(shared_home, settings) == STATUS_OK &&
           agent_get("Folder", settings, "Reports", value, STORE_VALUE_CAP) == STATUS_OK &&
           !text_is_empty(value) &&
           agent_get("EventLog", settings, "Reports", value, STORE_VALUE_CAP) == STATUS_OK &&
           text_equal(value, "1", STORE_VALUE_CAP);
}

status_t agent_write_report(const agent_pass *pass)
{
    char section[AGENT_SECTION_CAP];
    char report[PATH_CAP];
    char time[AGENT_TIME_CAP];
    char status[12];
    char message[12];
    char stamp[STORE_VALUE_CAP];
    char computer[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD computer_size = sizeof computer;
    const char *values[AGENT_REPORT_KEY_COUNT];
    truth_t failed = pass->result == AGENT_RESULT_MESSAGE || pass->result == AGENT_RESULT_FAILED;
    status_t rc;

    if (failed && agent_event_log_on(pass->shared_home))
        (void)agent_log_failure(pass);
    rc = agent_report_path(pass->shared_home, pass->client_name, report);
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
    if (!GetComputerNameA(computer, &computer_size))
        computer[0] = '\0';

    values[0] = time;
    values[1] = pass->start_mode == START_NETWORK ? "network" : "local";
    values[2] = agent_result_names[pass->result];
    values[3] = status;
    values[4] = message;
    values[5] = stamp;
    values[6] = pass->server_stamp;
    values[7] = computer;
    values[8] = AGENT_VERSION;

    if (!agent_compose_section(section, values))
        return STATUS_FAILED;
    if (!WritePrivateProfileSectionA("Last pass", section, report))
        return STATUS_WRITE_ERROR;
    if (failed && !WritePrivateProfileSectionA("Last failure", section, report))
        return STATUS_WRITE_ERROR;
    return STATUS_OK;
}
