/* kernel32's process and system calls: module path, drive types, WinExec, the version. */
#include "sim/model_fs.h"

#include <string.h>

#include <map>

struct proc_state {
    std::string computer_name = "WORKSTATION";
    SYSTEMTIME local_time = {2026, 3, 1, 2, 8, 15, 0, 0};
    std::string module_path = "C:\\KLAGENT.EXE";
    DWORD platform_id = VER_PLATFORM_WIN32_NT;
    DWORD major = 6;
    DWORD minor = 1;
    bool version_fails = false;
    std::vector<std::pair<std::string, UINT>> exec_results; /* program (case-blind), result */
    std::vector<sim_exec> execs;
};

static proc_state proc;

static void proc_reset(void)
{
    proc = proc_state();
}

static bool proc_registered = simi_on_reset(proc_reset);

void sim_set_computer_name(const char *name)
{
    proc.computer_name = name != NULL ? name : "";
    (void)proc_registered;
}

void sim_set_local_time(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second)
{
    proc.local_time = SYSTEMTIME{year, month, 0, day, hour, minute, second, 0};
}

void GetLocalTime(LPSYSTEMTIME time)
{
    *time = proc.local_time;
    simi_log("GetLocalTime", "", "");
}

/* As on Windows: the size is in characters; too small a buffer fails with
 * ERROR_BUFFER_OVERFLOW and the size needed (terminator included). */
BOOL GetComputerNameA(LPSTR buf, LPDWORD size)
{
    DWORD len = (DWORD)proc.computer_name.size();
    if (buf == NULL || size == NULL || *size <= len) {
        if (size != NULL)
            *size = len + 1;
        SetLastError(ERROR_BUFFER_OVERFLOW);
        simi_log("GetComputerNameA", "", "FALSE GLE 111");
        return FALSE;
    }
    memcpy(buf, proc.computer_name.c_str(), len + 1);
    *size = len;
    simi_log("GetComputerNameA", "", "TRUE " + proc.computer_name);
    return TRUE;
}

std::string simi_computer_name(void)
{
    return proc.computer_name;
}

void sim_set_module_path(const char *win_path)
{
    proc.module_path = win_path != NULL ? win_path : "";
}

std::string simi_module_path(void)
{
    return proc.module_path;
}

void sim_set_version(DWORD platform_id, DWORD major, DWORD minor)
{
    proc.platform_id = platform_id;
    proc.major = major;
    proc.minor = minor;
}

void sim_set_version_fails(bool fails)
{
    proc.version_fails = fails;
}

void sim_set_winexec_result(const char *program, UINT result)
{
    std::string p = program != NULL ? program : "";
    for (auto &r : proc.exec_results)
        if (simi_same(r.first, p)) {
            r.second = result;
            return;
        }
    proc.exec_results.push_back({p, result});
}

const std::vector<sim_exec> &sim_execs(void)
{
    return proc.execs;
}

/* ---- GetModuleFileNameA ------------------------------------------------------------------- */

DWORD GetModuleFileNameA(HMODULE module, LPSTR buf, DWORD size)
{
    std::string args = simi_hex((uintptr_t)module) + ", " + simi_num(size);
    const std::string &path = proc.module_path;
    if (buf == NULL && size > 0) {
        simi_set_last_error(ERROR_INVALID_PARAMETER);
        simi_log("GetModuleFileNameA", args, "0 GLE 87");
        return 0;
    }
    if (path.size() < size) {
        memcpy(buf, path.c_str(), path.size() + 1);
        simi_log("GetModuleFileNameA", args, simi_num((long long)path.size()) + " " + simi_q(buf));
        return (DWORD)path.size();
    }
    /* The Windows XP rule: the buffer is filled without a terminator. */
    memcpy(buf, path.data(), size);
    simi_set_last_error(ERROR_INSUFFICIENT_BUFFER);
    simi_log("GetModuleFileNameA", args, simi_num(size) + " GLE 122 (cut, no terminator)");
    return size;
}

/* ---- GetDriveTypeA ------------------------------------------------------------------------ */

static UINT proc_drive_type(LPCSTR root)
{
    if (root == NULL || strcmp(root, "\\") == 0)
        root = "C:\\";
    if (root[0] == '\\' && root[1] == '\\') {
        /* A share's root, with or without its backslash, is a remote drive; a shorter or
         * deeper name is no root. */
        std::string p = root + 2;
        if (!p.empty() && p.back() == '\\')
            p.pop_back();
        size_t cut = p.find('\\');
        if (cut == std::string::npos || cut == 0 || p.find('\\', cut + 1) != std::string::npos)
            return DRIVE_NO_ROOT_DIR;
        std::string dir;
        DWORD error;
        if (!simi_share_dir(p.substr(0, cut).c_str(), p.substr(cut + 1).c_str(), &dir, &error))
            return DRIVE_NO_ROOT_DIR;
        return DRIVE_REMOTE;
    }
    char c;
    if (root[0] == '\0' || root[1] != ':' || !simi_drive_letter(root[0], &c))
        return DRIVE_NO_ROOT_DIR;
    simi_drive d;
    if (!simi_drive_get(c, &d) || d.remembered_only)
        return DRIVE_NO_ROOT_DIR;
    if (root[2] == 0 || (root[2] == '\\' && root[3] == 0))
        return d.type;
    /* A directory below the root answers for its drive as long as it exists. */
    fs_entry e;
    DWORD error;
    if (!fs_resolve(root, &e, &error) || !e.r.exists || !e.r.is_dir)
        return DRIVE_NO_ROOT_DIR;
    return d.type;
}

UINT GetDriveTypeA(LPCSTR root)
{
    UINT type = proc_drive_type(root);
    simi_log("GetDriveTypeA", simi_q(root), simi_num(type));
    return type;
}

/* ---- WinExec ------------------------------------------------------------------------------ */

static bool proc_lookup_result(const std::string &program, UINT *result)
{
    for (const auto &r : proc.exec_results)
        if (simi_same(r.first, program)) {
            *result = r.second;
            return true;
        }
    return false;
}

/* The program a candidate names, with ".exe" added when its last name has no extension. */
static std::string proc_with_exe(const std::string &candidate)
{
    size_t slash = candidate.find_last_of("\\/:");
    size_t dot = candidate.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return candidate + ".exe";
    return candidate;
}

static bool proc_is_file(const std::string &program)
{
    fs_entry e;
    DWORD error;
    return fs_resolve(program.c_str(), &e, &error) && e.r.exists && !e.r.is_dir;
}

/* An executable image: the MZ header pointing at a PE signature. Anything else (a text file,
 * a DOS program) the loader refuses. */
static bool proc_is_image(const std::string &program)
{
    std::string bytes;
    DWORD error;
    if (!simi_read_file(program.c_str(), &bytes, &error) || bytes.size() < 0x40 ||
        bytes.compare(0, 2, "MZ") != 0)
        return false;
    uint32_t pe = (uint32_t)(unsigned char)bytes[0x3C] | (uint32_t)(unsigned char)bytes[0x3D] << 8 |
                  (uint32_t)(unsigned char)bytes[0x3E] << 16 |
                  (uint32_t)(unsigned char)bytes[0x3F] << 24;
    return pe <= bytes.size() - 4 && bytes.compare(pe, 4, std::string("PE\0\0", 4)) == 0;
}

static UINT proc_winexec(LPCSTR command_line)
{
    if (command_line == NULL)
        return ERROR_FILE_NOT_FOUND;
    std::string line = command_line;
    size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos)
        return ERROR_FILE_NOT_FOUND;
    std::vector<std::string> candidates;
    if (line[start] == '"') {
        size_t end = line.find('"', start + 1);
        candidates.push_back(line.substr(start + 1, end == std::string::npos
                                                        ? std::string::npos
                                                        : end - start - 1));
    } else {
        /* Unquoted: each prefix ending at a blank, shortest first, as Windows tries them. */
        for (size_t i = start; i <= line.size(); i++)
            if (i == line.size() || line[i] == ' ' || line[i] == '\t')
                if (i > start)
                    candidates.push_back(line.substr(start, i - start));
    }
    UINT result;
    for (const std::string &c : candidates) {
        std::string program = proc_with_exe(c);
        if (proc_lookup_result(c, &result) || proc_lookup_result(program, &result))
            return result;
        if (proc_is_file(program))
            return proc_is_image(program) ? 33 : ERROR_BAD_FORMAT;
    }
    return ERROR_FILE_NOT_FOUND;
}

UINT WinExec(LPCSTR command_line, UINT show)
{
    UINT result = proc_winexec(command_line);
    proc.execs.push_back(sim_exec{command_line != NULL ? command_line : "", show, result});
    /* Measured: a file that is no image leaves ERROR_BAD_EXE_FORMAT. */
    if (result <= 31)
        simi_set_last_error(result == ERROR_BAD_FORMAT ? ERROR_BAD_EXE_FORMAT : result);
    simi_log("WinExec", simi_q(command_line) + ", " + simi_num(show), simi_num(result));
    return result;
}

/* ---- GetVersionExA ------------------------------------------------------------------------ */

struct proc_build {
    DWORD platform_id, major, minor, build;
    const char *service_pack;
};

static const proc_build proc_builds[] = {
    {VER_PLATFORM_WIN32_WINDOWS, 4, 0, 0x040003B6, ""},  /* 95 */
    {VER_PLATFORM_WIN32_WINDOWS, 4, 10, 0x040A08AE, ""}, /* 98 */
    {VER_PLATFORM_WIN32_WINDOWS, 4, 90, 0x045A0BB8, ""}, /* Me */
    {VER_PLATFORM_WIN32_NT, 4, 0, 1381, "Service Pack 6"},
    {VER_PLATFORM_WIN32_NT, 5, 0, 2195, "Service Pack 4"},
    {VER_PLATFORM_WIN32_NT, 5, 1, 2600, "Service Pack 3"},
    {VER_PLATFORM_WIN32_NT, 6, 0, 6002, "Service Pack 2"},
    {VER_PLATFORM_WIN32_NT, 6, 1, 7601, "Service Pack 1"},
};

BOOL GetVersionExA(LPOSVERSIONINFOA info)
{
    std::string args = info == NULL ? "NULL" : "size " + simi_num(info->dwOSVersionInfoSize);
    DWORD error = 0;
    if (info == NULL)
        error = ERROR_INVALID_PARAMETER;
    else if (info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA))
        error = ERROR_INSUFFICIENT_BUFFER;
    else if (proc.version_fails)
        error = ERROR_INVALID_PARAMETER;
    if (error != 0) {
        simi_set_last_error(error);
        simi_log("GetVersionExA", args, "FALSE GLE " + simi_num(error));
        return FALSE;
    }
    info->dwMajorVersion = proc.major;
    info->dwMinorVersion = proc.minor;
    info->dwPlatformId = proc.platform_id;
    info->dwBuildNumber = 0;
    memset(info->szCSDVersion, 0, sizeof info->szCSDVersion);
    for (const proc_build &b : proc_builds)
        if (b.platform_id == proc.platform_id && b.major == proc.major && b.minor == proc.minor) {
            info->dwBuildNumber = b.build;
            snprintf(info->szCSDVersion, sizeof info->szCSDVersion, "%s", b.service_pack);
        }
    simi_log("GetVersionExA", args,
             "TRUE " + simi_num(proc.platform_id) + " " + simi_num(proc.major) + "." +
                 simi_num(proc.minor));
    return TRUE;
}
