/* The simulated user32: window messages and classes, icon, cursor, message boxes. */
/* The message loop is never entered, so reaching it stops the program. */
#include "sim/sim_internal.h"

#include <stdlib.h>
#include <string.h>

#define UI_ERROR_RESOURCE_DATA_NOT_FOUND 1812L
#define UI_ICON_HANDLE ((HICON)(uintptr_t)0x10021)
#define UI_CURSOR_BASE 0x10100u

struct ui_state {
    bool icon_resource = true;
    bool register_class_fails = false;
    std::vector<std::string> atoms; /* messages and classes share one atom table */
    std::vector<std::string> messages;
    std::vector<sim_window_class> classes;
    std::vector<sim_message_box> boxes;
};

static ui_state ui;

static void ui_reset(void)
{
    ui = ui_state();
}

static bool ui_registered = simi_on_reset(ui_reset);

void sim_set_icon_resource(bool present)
{
    ui.icon_resource = present;
    (void)ui_registered;
}

void sim_set_register_class_fails(bool fails)
{
    ui.register_class_fails = fails;
}

const std::vector<sim_message_box> &sim_message_boxes(void)
{
    return ui.boxes;
}

const std::vector<sim_window_class> &sim_window_classes(void)
{
    return ui.classes;
}

const std::vector<std::string> &sim_registered_messages(void)
{
    return ui.messages;
}

/* The atom of a name, 0xC000 upward, the same for every spelling of it. */
static UINT ui_atom(const char *name, bool *is_new)
{
    for (size_t i = 0; i < ui.atoms.size(); i++)
        if (simi_same(ui.atoms[i], name)) {
            *is_new = false;
            return 0xC000u + (UINT)i;
        }
    ui.atoms.push_back(name);
    *is_new = true;
    return 0xC000u + (UINT)(ui.atoms.size() - 1);
}

static bool ui_is_text(LPCSTR name)
{
    return name != NULL && (uintptr_t)name >= 0x10000;
}

UINT RegisterWindowMessageA(LPCSTR name)
{
    if (!ui_is_text(name) || name[0] == 0) {
        simi_set_last_error(ERROR_INVALID_PARAMETER);
        simi_log("RegisterWindowMessageA", simi_q(name), "0 GLE 87");
        return 0;
    }
    bool is_new;
    UINT msg = ui_atom(name, &is_new);
    if (is_new)
        ui.messages.push_back(name);
    simi_log("RegisterWindowMessageA", simi_q(name), simi_hex(msg));
    return msg;
}

ATOM RegisterClassA(const WNDCLASSA *wc)
{
    if (wc == NULL || !ui_is_text(wc->lpszClassName) || wc->lpszClassName[0] == 0) {
        simi_set_last_error(ERROR_INVALID_PARAMETER);
        simi_log("RegisterClassA", wc == NULL ? "NULL" : simi_q(wc->lpszClassName), "0 GLE 87");
        return 0;
    }
    std::string args = simi_q(wc->lpszClassName) + ", style " + simi_hex(wc->style) + ", icon " +
                       simi_hex((uintptr_t)wc->hIcon);
    if (ui.register_class_fails) {
        simi_set_last_error(ERROR_NOT_ENOUGH_MEMORY);
        simi_log("RegisterClassA", args, "0 GLE 8");
        return 0;
    }
    for (const sim_window_class &c : ui.classes)
        if (simi_same(c.name, wc->lpszClassName)) {
            simi_set_last_error(ERROR_CLASS_ALREADY_EXISTS);
            simi_log("RegisterClassA", args, "0 GLE 1410");
            return 0;
        }
    bool is_new;
    ATOM atom = (ATOM)ui_atom(wc->lpszClassName, &is_new);
    sim_window_class c;
    c.name = wc->lpszClassName;
    c.style = wc->style;
    c.proc = wc->lpfnWndProc;
    c.instance = wc->hInstance;
    c.icon = wc->hIcon;
    c.cursor = wc->hCursor;
    c.background = wc->hbrBackground;
    c.menu = ui_is_text(wc->lpszMenuName) ? wc->lpszMenuName : simi_q(wc->lpszMenuName);
    c.cls_extra = wc->cbClsExtra;
    c.wnd_extra = wc->cbWndExtra;
    ui.classes.push_back(c);
    simi_log("RegisterClassA", args, simi_hex(atom));
    return atom;
}

HICON LoadIconA(HINSTANCE instance, LPCSTR name)
{
    std::string args = simi_hex((uintptr_t)instance) + ", " + simi_q(name);
    if (!ui.icon_resource) {
        simi_set_last_error(UI_ERROR_RESOURCE_DATA_NOT_FOUND);
        simi_log("LoadIconA", args, "NULL GLE 1812");
        return NULL;
    }
    if (!ui_is_text(name) || !simi_same(name, "VXINSTICON")) {
        simi_set_last_error(ERROR_RESOURCE_NAME_NOT_FOUND);
        simi_log("LoadIconA", args, "NULL GLE 1814");
        return NULL;
    }
    simi_log("LoadIconA", args, simi_hex((uintptr_t)UI_ICON_HANDLE));
    return UI_ICON_HANDLE;
}

HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name)
{
    std::string args = simi_hex((uintptr_t)instance) + ", " + simi_q(name);
    uintptr_t id = (uintptr_t)name;
    /* Only the system's cursors (IDC_ARROW 32512 to IDC_HELP 32651) exist. */
    if (instance != NULL || id < 32512 || id > 32651) {
        simi_set_last_error(ERROR_RESOURCE_NAME_NOT_FOUND);
        simi_log("LoadCursorA", args, "NULL GLE 1814");
        return NULL;
    }
    HCURSOR cursor = (HCURSOR)(UI_CURSOR_BASE + (id - 32512));
    simi_log("LoadCursorA", args, simi_hex((uintptr_t)cursor));
    return cursor;
}

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT style)
{
    /* A NULL caption is shown as "Error" by Windows. */
    ui.boxes.push_back(sim_message_box{owner, text != NULL ? text : "",
                                       caption != NULL ? caption : "Error", style});
    simi_log("MessageBoxA",
             simi_hex((uintptr_t)owner) + ", " + simi_q(text) + ", " + simi_q(caption) + ", " +
                 simi_hex(style),
             simi_num(IDOK));
    return IDOK;
}

static void ui_no_loop(const char *name)
{
    simi_log(name, "", "abort");
    fprintf(stderr, "sim: %s called: the agent never enters a message loop\n", name);
    abort();
}

BOOL GetMessageA(LPMSG msg, HWND window, UINT first, UINT last)
{
    (void)msg, (void)window, (void)first, (void)last;
    ui_no_loop("GetMessageA");
    return FALSE;
}

BOOL TranslateMessage(const MSG *msg)
{
    (void)msg;
    ui_no_loop("TranslateMessage");
    return FALSE;
}

LRESULT DispatchMessageA(const MSG *msg)
{
    (void)msg;
    ui_no_loop("DispatchMessageA");
    return 0;
}
