/* The test workstation on Windows (and Wine): a fresh directory under the temporary folder. */
#include "support/workstation.h"

#include <windows.h>

#include <stdio.h>
#include <string.h>

std::string ws_fresh(void)
{
    static unsigned serial;
    char temp[MAX_PATH];
    DWORD n = GetTempPathA(sizeof temp, temp);
    if (n == 0 || n >= sizeof temp)
        return std::string();
    char dir[MAX_PATH];
    for (;;) {
        snprintf(dir, sizeof dir, "%svxtest-%lu-%u", temp, (unsigned long)GetCurrentProcessId(),
                 ++serial);
        if (CreateDirectoryA(dir, NULL))
            return dir;
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            return std::string();
    }
}

static bool ws_has_label(const char *root, const char *wanted)
{
    char label[MAX_PATH];
    return GetDriveTypeA(root) == DRIVE_REMOVABLE &&
           GetVolumeInformationA(root, label, sizeof label, NULL, NULL, NULL, NULL, 0) &&
           strcmp(label, wanted) == 0;
}

bool ws_removable_drives(ws_drives *out)
{
    if (!ws_has_label("A:\\", WS_MEDIUM_LABEL) || !ws_has_label("F:\\", "") ||
        GetDriveTypeA("B:\\") != DRIVE_REMOVABLE)
        return false;
    out->labelled = "A:\\";
    out->blank = "F:\\";
    out->empty = "B:\\";
    return true;
}

bool ws_on_simulation(void)
{
    return false;
}

bool ws_on_wine(void)
{
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != NULL && GetProcAddress(ntdll, "wine_get_version") != NULL;
}

static void ws_delete_key(HKEY parent, const char *name)
{
    HKEY key;
    if (RegOpenKeyExA(parent, name, 0, KEY_READ | KEY_WRITE, &key) != ERROR_SUCCESS)
        return;
    char sub[256];
    DWORD len = sizeof sub;
    /* Always the first subkey: each deletion renumbers the rest. */
    while (RegEnumKeyExA(key, 0, sub, &len, NULL, NULL, NULL, NULL) == ERROR_SUCCESS) {
        ws_delete_key(key, sub);
        len = sizeof sub;
        HKEY probe;
        if (RegOpenKeyExA(key, sub, 0, KEY_READ, &probe) == ERROR_SUCCESS) {
            RegCloseKey(probe); /* could not be removed: stop rather than loop */
            break;
        }
    }
    RegCloseKey(key);
    RegDeleteKeyA(parent, name);
}

void ws_reg_delete_tree(const std::string &hklm_path)
{
    if (!hklm_path.empty())
        ws_delete_key(HKEY_LOCAL_MACHINE, hklm_path.c_str());
}
