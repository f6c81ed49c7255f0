/* The process environment, as two copies: the system's (SetEnvironmentVariableA,
 * GetEnvironmentVariableA) and the C runtime's (getenv); _putenv changes both, the system call
 * only the first. And the broadcast of changes. */
#include "sim/sim_internal.h"

#include <errno.h>
#include <string.h>

struct env_var {
    std::string name; /* spelling of the first setting; names compare without regard to case */
    std::string value;
};

typedef std::vector<env_var> env_block;
static env_block env_system;
static env_block env_runtime;
static std::vector<sim_broadcast> env_broadcasts;

static void env_reset(void)
{
    env_system.clear();
    env_runtime.clear();
    env_broadcasts.clear();
}
static bool env_registered = simi_on_reset(env_reset);

static env_var *env_find(env_block *block, const char *name, size_t n)
{
    for (env_var &v : *block)
        if (simi_same_n(v.name.data(), v.name.size(), name, n))
            return &v;
    return NULL;
}

/* value null removes the variable. */
static void env_put(env_block *block, const char *name, size_t n, const char *value)
{
    (void)env_registered;
    env_var *v = env_find(block, name, n);
    if (value == NULL) {
        if (v != NULL)
            block->erase(block->begin() + (v - block->data()));
        return;
    }
    if (v == NULL) {
        block->push_back(env_var{std::string(name, n), value});
        return;
    }
    v->value = value;
}

BOOL SetEnvironmentVariableA(LPCSTR name, LPCSTR value)
{
    std::string args = simi_q(name) + ", " + simi_q(value);
    /* Windows refuses a name that is empty or holds "=". */
    if (name == NULL || *name == '\0' || strchr(name, '=') != NULL) {
        simi_set_last_error(ERROR_INVALID_PARAMETER);
        simi_log("SetEnvironmentVariableA", args, "0");
        return FALSE;
    }
    env_put(&env_system, name, strlen(name), value); /* getenv does not see it */
    simi_log("SetEnvironmentVariableA", args, "1");
    return TRUE;
}

/* The length copied, or the size needed (with the terminator) when buf is too small; 0 with
 * ERROR_ENVVAR_NOT_FOUND for a variable that is not set. */
DWORD GetEnvironmentVariableA(LPCSTR name, LPSTR buf, DWORD size)
{
    std::string args = simi_q(name) + ", " + simi_num(size);
    const env_var *v = name != NULL ? env_find(&env_system, name, strlen(name)) : NULL;
    if (v == NULL) {
        simi_set_last_error(ERROR_ENVVAR_NOT_FOUND);
        simi_log("GetEnvironmentVariableA", args, "0 GLE 203");
        return 0;
    }
    DWORD len = (DWORD)v->value.size();
    if (buf == NULL || size <= len) {
        simi_log("GetEnvironmentVariableA", args, simi_num(len + 1) + " (needed)");
        return len + 1;
    }
    memcpy(buf, v->value.c_str(), len + 1);
    simi_log("GetEnvironmentVariableA", args, simi_num(len) + " " + simi_q(buf));
    return len;
}

int crt_putenv(const char *text)
{
    std::string args = simi_q(text);
    const char *eq = text != NULL ? strchr(text, '=') : NULL;
    /* "NAME=value" sets, "NAME=" removes; no "=" (or no name) is refused with EINVAL. */
    if (eq == NULL || eq == text) {
        errno = EINVAL;
        simi_log("_putenv", args, "-1 errno " + simi_num(EINVAL));
        return -1;
    }
    /* The runtime passes the change on to the system's copy. */
    const char *value = eq[1] != '\0' ? eq + 1 : NULL;
    env_put(&env_runtime, text, (size_t)(eq - text), value);
    env_put(&env_system, text, (size_t)(eq - text), value);
    simi_log("_putenv", args, "0");
    return 0;
}

char *crt_getenv(const char *name)
{
    env_var *v = name != NULL ? env_find(&env_runtime, name, strlen(name)) : NULL;
    simi_log("getenv", simi_q(name), v != NULL ? simi_q(v->value.c_str()) : "NULL");
    return v != NULL ? &v->value[0] : NULL;
}

bool sim_env_get(const char *name, std::string *value)
{
    const env_var *v = name != NULL ? env_find(&env_system, name, strlen(name)) : NULL;
    if (v == NULL)
        return false;
    if (value != NULL)
        *value = v->value;
    return true;
}

const std::vector<sim_broadcast> &sim_broadcasts(void)
{
    return env_broadcasts;
}

LRESULT SendMessageTimeoutA(HWND window, UINT message, WPARAM wparam, LPARAM lparam, UINT flags,
                            UINT timeout_ms, PDWORD_PTR result)
{
    /* Only WM_WININICHANGE carries a text in lParam; other messages' lParam is a number. */
    std::string text;
    if (message == WM_WININICHANGE && lparam != 0)
        text = (const char *)lparam;
    std::string args = simi_hex((uintptr_t)window) + ", " + simi_hex(message) + ", " +
                       simi_num((long long)wparam) + ", " +
                       (message == WM_WININICHANGE ? simi_q((const char *)lparam)
                                                   : simi_num((long long)lparam)) +
                       ", " + simi_hex(flags) + ", " + simi_num(timeout_ms);
    /* The workstation has no windows of its own; only a broadcast reaches anyone. */
    if (window != HWND_BROADCAST) {
        simi_set_last_error(ERROR_INVALID_WINDOW_HANDLE);
        simi_log("SendMessageTimeoutA", args, "0");
        return 0;
    }
    env_broadcasts.push_back(sim_broadcast{window, message, wparam, text, flags, timeout_ms});
    if (result != NULL)
        *result = 1;
    simi_log("SendMessageTimeoutA", args, "1");
    return 1;
}
