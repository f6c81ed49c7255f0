/* The simulated workstation's spine: the call log, the fault switches, the last error, reset. */
#include "sim/sim_internal.h"

#include <errno.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <filesystem>

/* ---- Call log ----------------------------------------------------------------------------- */

static std::vector<sim_call> core_calls;
static FILE *core_trace;

void simi_log(const char *name, const std::string &args, const std::string &result)
{
    core_calls.push_back(sim_call{name, args, result});
    if (core_trace != NULL) {
        fprintf(core_trace, "%s(%s) = %s\n", name, args.c_str(), result.c_str());
        fflush(core_trace);
    }
}

const std::vector<sim_call> &sim_calls(void)
{
    return core_calls;
}

void sim_set_trace(FILE *out)
{
    core_trace = out;
}

std::string simi_q(const char *text)
{
    if (text == NULL)
        return "NULL";
    /* An integer resource id (MAKEINTRESOURCE) is not a text: never dereference it. */
    if ((uintptr_t)text < 0x10000)
        return "#" + std::to_string((unsigned)(uintptr_t)text);
    std::string out = "\"";
    for (const unsigned char *p = (const unsigned char *)text; *p != 0; p++) {
        char esc[8];
        switch (*p) {
        case '\\': out += "\\\\"; break;
        case '"': out += "\\\""; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (*p < 0x20 || *p >= 0x7f) {
                snprintf(esc, sizeof esc, "\\x%02X", *p);
                out += esc;
            } else {
                out += (char)*p;
            }
        }
    }
    out += '"';
    return out;
}

std::string simi_num(long long n)
{
    return std::to_string(n);
}

std::string simi_hex(unsigned long long n)
{
    char buf[24];
    snprintf(buf, sizeof buf, "0x%llX", n);
    return buf;
}

/* ---- Fault switches ----------------------------------------------------------------------- */

struct core_switch {
    unsigned calls;      /* calls of the family counted since the last clear */
    unsigned fail_at;    /* call number that fails first; 0: armed off */
    bool persistent;     /* every call from fail_at on fails */
    int error;           /* 0: the family's usual error */
    unsigned fired;      /* faults reported */
};

static core_switch core_switches[SIM_FAMILY_COUNT];
static size_t core_mem_above; /* 0: no size limit */
static bool core_mem_limited;

void sim_fault(sim_family family, unsigned nth, bool persistent, int error)
{
    if ((int)family < 0 || family >= SIM_FAMILY_COUNT)
        return;
    core_switch *sw = &core_switches[family];
    sw->fail_at = nth == 0 ? 0 : sw->calls + nth;
    sw->persistent = persistent;
    sw->error = error;
}

void sim_fault_mem_above(size_t size)
{
    core_mem_above = size;
    core_mem_limited = true;
}

bool simi_fault_mem_size(size_t size)
{
    if (!core_mem_limited || size <= core_mem_above)
        return false;
    core_switches[SIM_MEM].fired++;
    return true;
}

unsigned sim_fault_fired(sim_family family)
{
    if ((int)family < 0 || family >= SIM_FAMILY_COUNT)
        return 0;
    return core_switches[family].fired;
}

unsigned sim_calls_in_family(sim_family family)
{
    if ((int)family < 0 || family >= SIM_FAMILY_COUNT)
        return 0;
    return core_switches[family].calls;
}

void sim_fault_clear(void)
{
    memset(core_switches, 0, sizeof core_switches);
    core_mem_above = 0;
    core_mem_limited = false;
}

bool simi_fault(sim_family family, int dflt, int *error)
{
    if ((int)family < 0 || family >= SIM_FAMILY_COUNT)
        return false;
    core_switch *sw = &core_switches[family];
    sw->calls++;
    if (sw->fail_at == 0)
        return false;
    bool fail = sw->persistent ? sw->calls >= sw->fail_at : sw->calls == sw->fail_at;
    if (!fail)
        return false;
    sw->fired++;
    if (error != NULL)
        *error = sw->error != 0 ? sw->error : dflt;
    return true;
}

/* ---- Last error --------------------------------------------------------------------------- */

static DWORD core_last_error;

void simi_set_last_error(DWORD error)
{
    core_last_error = error;
}

DWORD GetLastError(void)
{
    simi_log("GetLastError", "", simi_num(core_last_error));
    return core_last_error;
}

void SetLastError(DWORD error)
{
    core_last_error = error;
    simi_log("SetLastError", simi_num(error), "");
}

/* ---- Reset -------------------------------------------------------------------------------- */

/* A function-local table, so registrations from other files' static initialisers never meet
 * an unconstructed one. */
static std::vector<simi_reset_fn> &core_hooks(void)
{
    static std::vector<simi_reset_fn> hooks;
    return hooks;
}

bool simi_on_reset(simi_reset_fn fn)
{
    core_hooks().push_back(fn);
    return true;
}

void sim_reset(void)
{
    for (simi_reset_fn fn : core_hooks())
        fn();
    core_calls.clear();
    sim_fault_clear();
    core_last_error = 0;
}

/* ---- Scratch directories ------------------------------------------------------------------ */

static std::vector<std::string> core_temp_dirs;

static void core_cleanup_at_exit(void)
{
    sim_cleanup_temp_dirs();
}

std::string sim_make_temp_dir(void)
{
    static bool registered;
    if (!registered) {
        atexit(core_cleanup_at_exit);
        registered = true;
    }
    const char *base = getenv("TMPDIR");
    if (base == NULL || *base == 0)
        base = "/tmp";
    std::string templ = std::string(base) + "/vxsim-XXXXXX";
    std::vector<char> name(templ.begin(), templ.end());
    name.push_back(0);
    if (mkdtemp(name.data()) == NULL) {
        fprintf(stderr, "sim_make_temp_dir: cannot create %s: %s\n", templ.c_str(),
                strerror(errno));
        abort();
    }
    core_temp_dirs.push_back(name.data());
    return name.data();
}

void sim_cleanup_temp_dirs(void)
{
    for (const std::string &dir : core_temp_dirs) {
        std::error_code ec;
        /* Read-only files and directories must not stop the cleanup. */
        std::filesystem::permissions(dir, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
        for (auto it = std::filesystem::recursive_directory_iterator(dir, ec);
             !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
            std::error_code ec2;
            if (it->is_directory(ec2))
                std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                             std::filesystem::perm_options::add, ec2);
        }
        std::filesystem::remove_all(dir, ec);
    }
    core_temp_dirs.clear();
}
