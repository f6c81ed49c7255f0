/* The test workstation on Windows (and Wine): a fresh directory under the temporary folder. */
#include "support/workstation.h"

#include <windows.h>

#include <stdio.h>

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

bool ws_on_simulation(void)
{
    return false;
}

bool ws_on_wine(void)
{
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != NULL && GetProcAddress(ntdll, "wine_get_version") != NULL;
}
