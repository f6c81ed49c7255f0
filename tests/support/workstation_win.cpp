/* The test workstation on Windows (and Wine): a fresh directory under the temporary folder. */
#include "support/workstation.h"

#include <windows.h>

#include <stdio.h>
#include <string.h>

#include <algorithm>

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

bool ws_wow64(void)
{
    BOOL wow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

std::string ws_platform(void)
{
    typedef const char *(__cdecl * wine_version_fn)(void);
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    wine_version_fn wine_version =
        ntdll != NULL ? (wine_version_fn)(void *)GetProcAddress(ntdll, "wine_get_version") : NULL;
    char text[64];
    if (wine_version != NULL) {
        snprintf(text, sizeof text, "Wine %s", wine_version());
        return text;
    }
    OSVERSIONINFOA v;
    v.dwOSVersionInfoSize = sizeof v;
    if (!GetVersionExA(&v))
        return "Windows";
    snprintf(text, sizeof text, "Windows %lu.%lu.%lu", (unsigned long)v.dwMajorVersion,
             (unsigned long)v.dwMinorVersion, (unsigned long)v.dwBuildNumber);
    return text;
}

static void ws_delete_key(HKEY parent, const char *name, REGSAM view)
{
    HKEY key;
    if (RegOpenKeyExA(parent, name, 0, KEY_READ | KEY_WRITE | view, &key) != ERROR_SUCCESS)
        return;
    char sub[256];
    DWORD len = sizeof sub;
    /* Always the first subkey: each deletion renumbers the rest. */
    while (RegEnumKeyExA(key, 0, sub, &len, NULL, NULL, NULL, NULL) == ERROR_SUCCESS) {
        ws_delete_key(key, sub, view);
        len = sizeof sub;
        HKEY probe;
        if (RegOpenKeyExA(key, sub, 0, KEY_READ | view, &probe) == ERROR_SUCCESS) {
            RegCloseKey(probe); /* could not be removed: stop rather than loop */
            break;
        }
    }
    RegCloseKey(key);
    /* A predefined parent would delete in this program's own view. */
    HKEY from = parent;
    std::string rest = name;
    size_t cut = rest.rfind('\\');
    if (parent == HKEY_LOCAL_MACHINE && cut != std::string::npos &&
        RegOpenKeyExA(parent, rest.substr(0, cut).c_str(), 0, KEY_WRITE | view, &from) ==
            ERROR_SUCCESS)
        rest = rest.substr(cut + 1);
    else
        from = parent;
    RegDeleteKeyA(from, rest.c_str());
    if (from != parent)
        RegCloseKey(from);
}

void ws_reg_delete_tree(const std::string &hklm_path, bool view64)
{
    if (!hklm_path.empty())
        ws_delete_key(HKEY_LOCAL_MACHINE, hklm_path.c_str(), view64 ? KEY_WOW64_64KEY : 0);
}

void ws_reg_delete_if_empty(const std::string &hklm_path)
{
    /* RegDeleteKeyA refuses a key that still has subkeys. */
    if (!hklm_path.empty())
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, hklm_path.c_str());
}

bool ws_make_dir(const std::string &win_path)
{
    return CreateDirectoryA(win_path.c_str(), NULL) != 0;
}

/* A file's bytes through a handle that shares everything, so that a file another handle holds
 * can still be shown. */
static std::string ws_bytes_beside(const std::string &win_path)
{
    HANDLE h = CreateFileA(win_path.c_str(), GENERIC_READ,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (h == INVALID_HANDLE_VALUE)
        return "<unreadable>";
    std::string bytes;
    char buf[4096];
    DWORD n;
    while (ReadFile(h, buf, sizeof buf, &n, NULL) && n > 0)
        bytes.append(buf, n);
    CloseHandle(h);
    return bytes;
}

bool ws_list(const std::string &win_dir, std::vector<ws_listed> *out)
{
    out->clear();
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA(ws_join(win_dir, "*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    do {
        if (strcmp(fd.cFileName, ".") == 0 || strcmp(fd.cFileName, "..") == 0)
            continue;
        ws_listed e;
        e.name = fd.cFileName;
        std::string path = ws_join(win_dir, e.name);
        e.attributes = GetFileAttributesA(path.c_str());
        if ((e.attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
            e.content = ws_bytes_beside(path);
        out->push_back(e);
    } while (FindNextFileA(h, &fd));
    FindClose(h);
    std::sort(out->begin(), out->end(),
              [](const ws_listed &a, const ws_listed &b) { return a.name < b.name; });
    return true;
}

void ws_remove_tree(const std::string &win_dir)
{
    std::vector<ws_listed> entries;
    SetFileAttributesA(win_dir.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (ws_list(win_dir, &entries)) {
        for (const ws_listed &e : entries) {
            std::string path = ws_join(win_dir, e.name);
            if ((e.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
                ws_remove_tree(path);
            } else {
                SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(path.c_str());
            }
        }
    }
    RemoveDirectoryA(win_dir.c_str());
}
