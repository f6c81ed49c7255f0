/* The process environment (SetEnvironmentVariableA, _putenv) and the broadcast of changes. */
#include "sim/sim_internal.h"

#include <errno.h>
#include <string.h>

struct env_var {
    std::string name; /* spelling of the first setting; names compare without regard to case */
    std::string value;
};

static std::vector<env_var> env_vars;
static std::vector<sim_broadcast> env_broadcasts;

static void env_reset(void)
{
    env_vars.clear();
    env_broadcasts.clear();
}
static bool env_registered = simi_on_reset(env_reset);

static bool env_same(const std::string &a, const char *b, size_t n)
{
    if (a.size() != n)
        return false;
    for (size_t i = 0; i < n; i++) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = (char)(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = (char)(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

static env_var *env_find(const char *name, size_t n)
{
    for (env_var &v : env_vars)
        if (env_same(v.name, name, n))
            return &v;
    return NULL;
}

/* value null removes the variable. */
static void env_put(const char *name, size_t n, const char *value)
{
    (void)env_registered;
    env_var *v = env_find(name, n);
    if (value == NULL) {
        if (v != NULL)
            env_vars.erase(env_vars.begin() + (v - env_vars.data()));
        return;
    }
    if (v == NULL) {
        env_vars.push_back(env_var{std::string(name, n), value});
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
    env_put(name, strlen(name), value);
    simi_log("SetEnvironmentVariableA", args, "1");
    return TRUE;
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
    env_put(text, (size_t)(eq - text), eq[1] != '\0' ? eq + 1 : NULL);
    simi_log("_putenv", args, "0");
    return 0;
}

bool sim_env_get(const char *name, std::string *value)
{
    const env_var *v = name != NULL ? env_find(name, strlen(name)) : NULL;
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
