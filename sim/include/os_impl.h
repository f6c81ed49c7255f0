/* The platform boundary off Windows: the Win32 subset and the C runtime calls of the system,
 * provided by the simulated workstation (sim/). Names, types, constants and signatures are
 * Win32's; behaviour follows the measurements the simulation is tested against. A call the
 * simulation does not model is not declared here, so it cannot be reached by accident. */
#ifndef SIM_INCLUDE_OS_IMPL_H
#define SIM_INCLUDE_OS_IMPL_H

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

#define WINAPI
#define CALLBACK
#define APIENTRY

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

typedef uint32_t DWORD;
typedef int32_t LONG;
typedef LONG LSTATUS;
typedef int BOOL;
typedef unsigned int UINT;
typedef uint16_t WORD;
typedef uint8_t BYTE;
typedef char CHAR;
typedef char *LPSTR;
typedef const char *LPCSTR;
typedef void *LPVOID;
typedef const void *LPCVOID;
typedef DWORD *LPDWORD;
typedef BYTE *LPBYTE;
typedef void *HANDLE;
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef intptr_t LRESULT;
typedef uintptr_t DWORD_PTR;
typedef DWORD_PTR *PDWORD_PTR;
typedef DWORD REGSAM;
typedef WORD ATOM;
typedef int HFILE;

struct HKEY__;
typedef struct HKEY__ *HKEY;
typedef HKEY *PHKEY;
struct HINSTANCE__;
typedef struct HINSTANCE__ *HINSTANCE;
typedef HINSTANCE HMODULE;
struct HWND__;
typedef struct HWND__ *HWND;
struct HICON__;
typedef struct HICON__ *HICON;
typedef HICON HCURSOR;
struct HBRUSH__;
typedef struct HBRUSH__ *HBRUSH;
struct HMENU__;
typedef struct HMENU__ *HMENU;

typedef LRESULT (*WNDPROC)(HWND, UINT, WPARAM, LPARAM);

typedef struct tagWNDCLASSA {
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    LPCSTR lpszMenuName;
    LPCSTR lpszClassName;
} WNDCLASSA;

typedef struct tagPOINT {
    LONG x;
    LONG y;
} POINT;

typedef struct tagMSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
} MSG, *LPMSG;

typedef struct _OSVERSIONINFOA {
    DWORD dwOSVersionInfoSize; /* 148 */
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    CHAR szCSDVersion[128];
} OSVERSIONINFOA, *LPOSVERSIONINFOA;

typedef struct _SYSTEMTIME {
    WORD wYear;
    WORD wMonth;
    WORD wDayOfWeek;
    WORD wDay;
    WORD wHour;
    WORD wMinute;
    WORD wSecond;
    WORD wMilliseconds;
} SYSTEMTIME, *LPSYSTEMTIME;

#define MAX_COMPUTERNAME_LENGTH 15

typedef struct _SECURITY_DESCRIPTOR {
    BYTE Revision;
    BYTE Sbz1;
    WORD Control;
    void *Owner;
    void *Group;
    void *Sacl;
    void *Dacl;
} SECURITY_DESCRIPTOR;
typedef void *PSECURITY_DESCRIPTOR;
typedef void *PSID;

typedef struct _SECURITY_ATTRIBUTES {
    DWORD nLength;
    LPVOID lpSecurityDescriptor;
    BOOL bInheritHandle;
} SECURITY_ATTRIBUTES, *LPSECURITY_ATTRIBUTES;

typedef struct _FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
} FILETIME, *LPFILETIME;

typedef struct _NETRESOURCEA {
    DWORD dwScope;
    DWORD dwType;
    DWORD dwDisplayType;
    DWORD dwUsage;
    LPSTR lpLocalName;
    LPSTR lpRemoteName;
    LPSTR lpComment;
    LPSTR lpProvider;
} NETRESOURCEA, *LPNETRESOURCEA;

#define MAX_PATH 260
#define MAKEINTRESOURCEA(i) ((LPSTR)(uintptr_t)((WORD)(i)))

/* Drive types (GetDriveTypeA). */
#define DRIVE_UNKNOWN 0
#define DRIVE_NO_ROOT_DIR 1
#define DRIVE_REMOVABLE 2
#define DRIVE_FIXED 3
#define DRIVE_REMOTE 4
#define DRIVE_CDROM 5
#define DRIVE_RAMDISK 6

/* User interface. */
#define SW_SHOWNORMAL 1
#define MB_OK 0x00000000u
#define MB_ICONEXCLAMATION 0x00000030u
#define IDOK 1
#define CS_VREDRAW 0x0001
#define CS_HREDRAW 0x0002
#define IDC_WAIT MAKEINTRESOURCEA(32514)
#define HWND_BROADCAST ((HWND)(uintptr_t)0xffff)
#define WM_WININICHANGE 0x001A
#define SMTO_ABORTIFHUNG 0x0002

/* Version. */
#define VER_PLATFORM_WIN32s 0
#define VER_PLATFORM_WIN32_WINDOWS 1
#define VER_PLATFORM_WIN32_NT 2

/* Registry. */
#define HKEY_CLASSES_ROOT ((HKEY)(uintptr_t)0x80000000u)
#define HKEY_CURRENT_USER ((HKEY)(uintptr_t)0x80000001u)
#define HKEY_LOCAL_MACHINE ((HKEY)(uintptr_t)0x80000002u)
#define HKEY_USERS ((HKEY)(uintptr_t)0x80000003u)
#define KEY_QUERY_VALUE 0x0001
#define KEY_SET_VALUE 0x0002
#define KEY_CREATE_SUB_KEY 0x0004
#define KEY_WOW64_64KEY 0x0100
#define KEY_WOW64_32KEY 0x0200
#define KEY_READ 0x20019
#define KEY_WRITE 0x20006
#define REG_NONE 0
#define REG_SZ 1
#define REG_EXPAND_SZ 2
#define REG_BINARY 3
#define REG_DWORD 4
#define REG_DWORD_BIG_ENDIAN 5
#define REG_LINK 6
#define REG_MULTI_SZ 7
#define REG_OPTION_NON_VOLATILE 0
#define REG_CREATED_NEW_KEY 1
#define REG_OPENED_EXISTING_KEY 2
#define SECURITY_DESCRIPTOR_REVISION 1

/* Files. */
#define OF_READ 0
#define OF_WRITE 1
#define OF_READWRITE 2
#define OF_SHARE_COMPAT 0x00
#define OF_SHARE_EXCLUSIVE 0x10
#define OF_SHARE_DENY_WRITE 0x20
#define OF_SHARE_DENY_READ 0x30
#define OF_SHARE_DENY_NONE 0x40
#define HFILE_ERROR ((HFILE)-1)
#define FILE_ATTRIBUTE_READONLY 0x00000001u
#define FILE_ATTRIBUTE_HIDDEN 0x00000002u
#define FILE_ATTRIBUTE_SYSTEM 0x00000004u
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010u
#define FILE_ATTRIBUTE_ARCHIVE 0x00000020u
#define FILE_ATTRIBUTE_NORMAL 0x00000080u
#define INVALID_FILE_ATTRIBUTES ((DWORD)0xFFFFFFFFu)
#define MOVEFILE_REPLACE_EXISTING 0x00000001u
#define MOVEFILE_COPY_ALLOWED 0x00000002u
#define MOVEFILE_WRITE_THROUGH 0x00000008u

/* Networking. */
#define RESOURCETYPE_DISK 0x00000001u

/* Error numbers (GetLastError, registry and mpr results). */
#define ERROR_SUCCESS 0L
#define NO_ERROR 0L
#define ERROR_FILE_NOT_FOUND 2L
#define ERROR_PATH_NOT_FOUND 3L
#define ERROR_TOO_MANY_OPEN_FILES 4L
#define ERROR_ACCESS_DENIED 5L
#define ERROR_INVALID_HANDLE 6L
#define ERROR_NOT_ENOUGH_MEMORY 8L
#define ERROR_BAD_FORMAT 11L
#define ERROR_INVALID_DRIVE 15L
#define ERROR_WRITE_PROTECT 19L
#define ERROR_NOT_READY 21L
#define ERROR_NOT_DOS_DISK 26L
#define ERROR_SHARING_VIOLATION 32L
#define ERROR_LOCK_VIOLATION 33L
#define ERROR_HANDLE_EOF 38L
#define ERROR_HANDLE_DISK_FULL 39L
#define ERROR_BAD_NETPATH 53L
#define ERROR_NETWORK_ACCESS_DENIED 65L
#define ERROR_BAD_NET_NAME 67L
#define ERROR_ALREADY_ASSIGNED 85L
#define ERROR_INVALID_PASSWORD 86L
#define ERROR_INVALID_PARAMETER 87L
#define RPC_S_SERVER_UNAVAILABLE 1722L
#define ERROR_DRIVE_LOCKED 108L
#define ERROR_DISK_FULL 112L
#define ERROR_INSUFFICIENT_BUFFER 122L
#define ERROR_INVALID_NAME 123L
#define ERROR_BAD_PATHNAME 161L
#define ERROR_FILENAME_EXCED_RANGE 206L
#define ERROR_DIRECTORY 267L
#define ERROR_ALREADY_EXISTS 183L
#define ERROR_BAD_EXE_FORMAT 193L
#define ERROR_ENVVAR_NOT_FOUND 203L
#define ERROR_MORE_DATA 234L
#define ERROR_DISK_RECALIBRATE_FAILED 1126L
#define ERROR_DISK_OPERATION_FAILED 1127L
#define ERROR_BAD_DEVICE 1200L
#define ERROR_CONNECTION_UNAVAIL 1201L
#define ERROR_DEVICE_ALREADY_REMEMBERED 1202L
#define ERROR_NO_NET_OR_BAD_PATH 1203L
#define ERROR_NO_NETWORK 1222L
#define ERROR_PRIVILEGE_NOT_HELD 1314L
#define ERROR_FILE_CORRUPT 1392L
#define ERROR_INVALID_WINDOW_HANDLE 1400L
#define ERROR_CLASS_ALREADY_EXISTS 1410L
#define ERROR_RESOURCE_TYPE_NOT_FOUND 1813L
#define ERROR_RESOURCE_NAME_NOT_FOUND 1814L
#define ERROR_BUFFER_OVERFLOW 111L
#define ERROR_NOT_CONNECTED 2250L

/* C runtime permission bits for crt_chmod (msvcrt's values). */
#define CRT_S_IREAD 0x0100
#define CRT_S_IWRITE 0x0080

/* user32 */
UINT RegisterWindowMessageA(LPCSTR name);
ATOM RegisterClassA(const WNDCLASSA *wc);
HICON LoadIconA(HINSTANCE instance, LPCSTR name);
HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name);
int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT style);
BOOL GetMessageA(LPMSG msg, HWND window, UINT first, UINT last);
BOOL TranslateMessage(const MSG *msg);
LRESULT DispatchMessageA(const MSG *msg);
LRESULT SendMessageTimeoutA(HWND window, UINT message, WPARAM wparam, LPARAM lparam, UINT flags,
                            UINT timeout_ms, PDWORD_PTR result);

/* kernel32: process, system, profile files */
DWORD GetModuleFileNameA(HMODULE module, LPSTR buf, DWORD size);
UINT GetDriveTypeA(LPCSTR root);
UINT WinExec(LPCSTR command_line, UINT show);
BOOL GetVersionExA(LPOSVERSIONINFOA info);
BOOL GetComputerNameA(LPSTR buf, LPDWORD size);
void GetLocalTime(LPSYSTEMTIME time);
BOOL SetEnvironmentVariableA(LPCSTR name, LPCSTR value);
DWORD GetEnvironmentVariableA(LPCSTR name, LPSTR buf, DWORD size);
DWORD GetLastError(void);
void SetLastError(DWORD error);
DWORD GetProfileStringA(LPCSTR section, LPCSTR key, LPCSTR def, LPSTR buf, DWORD size);
DWORD GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR def, LPSTR buf, DWORD size,
                               LPCSTR file);
BOOL WriteProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value);
BOOL WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR file);
BOOL WritePrivateProfileSectionA(LPCSTR section, LPCSTR keys, LPCSTR file);

/* kernel32: files and disks */
BOOL DeleteFileA(LPCSTR path);
BOOL MoveFileA(LPCSTR from, LPCSTR to);
BOOL MoveFileExA(LPCSTR from, LPCSTR to, DWORD flags);
DWORD GetFileAttributesA(LPCSTR path);
BOOL SetFileAttributesA(LPCSTR path, DWORD attributes);
BOOL GetDiskFreeSpaceA(LPCSTR root, LPDWORD sectors_per_cluster, LPDWORD bytes_per_sector,
                       LPDWORD free_clusters, LPDWORD total_clusters);
BOOL GetVolumeInformationA(LPCSTR root, LPSTR label, DWORD label_size, LPDWORD serial,
                           LPDWORD max_component, LPDWORD flags, LPSTR fs_name, DWORD fs_size);
BOOL SetVolumeLabelA(LPCSTR root, LPCSTR label);
HFILE _lopen(LPCSTR path, int mode);
HFILE _lclose(HFILE file);
BOOL GetFileTime(HANDLE file, LPFILETIME creation, LPFILETIME access, LPFILETIME write);
BOOL SetFileTime(HANDLE file, const FILETIME *creation, const FILETIME *access,
                 const FILETIME *write);

/* advapi32 */
LONG RegConnectRegistryA(LPCSTR machine, HKEY root, PHKEY result);
LONG RegOpenKeyExA(HKEY key, LPCSTR subkey, DWORD options, REGSAM access, PHKEY result);
LONG RegQueryValueExA(HKEY key, LPCSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                      LPDWORD size);
LONG RegCloseKey(HKEY key);
LONG RegCreateKeyExA(HKEY key, LPCSTR subkey, DWORD reserved, LPSTR class_name, DWORD options,
                     REGSAM access, LPSECURITY_ATTRIBUTES security, PHKEY result,
                     LPDWORD disposition);
LONG RegSetValueExA(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE *data,
                    DWORD size);
LONG RegDeleteValueA(HKEY key, LPCSTR name);
BOOL InitializeSecurityDescriptor(PSECURITY_DESCRIPTOR sd, DWORD revision);
#define EVENTLOG_SUCCESS 0x0000
#define EVENTLOG_ERROR_TYPE 0x0001
#define EVENTLOG_WARNING_TYPE 0x0002
#define EVENTLOG_INFORMATION_TYPE 0x0004
HANDLE RegisterEventSourceA(LPCSTR server, LPCSTR source);
BOOL ReportEventA(HANDLE log, WORD type, WORD category, DWORD id, PSID user, WORD count,
                  DWORD data_size, LPCSTR *strings, LPVOID data);
BOOL DeregisterEventSource(HANDLE log);

/* mpr */
DWORD WNetGetConnectionA(LPCSTR local_name, LPSTR remote_name, LPDWORD length);
DWORD WNetAddConnection2A(LPNETRESOURCEA resource, LPCSTR password, LPCSTR user, DWORD flags);

/* The C runtime calls on Windows paths (msvcrt semantics, errno as msvcrt sets it). */
FILE *crt_fopen(const char *path, const char *mode);
int crt_rename(const char *from, const char *to);
int crt_access(const char *path, int mode);
int crt_chmod(const char *path, int mode);
int crt_remove(const char *path);
int crt_putenv(const char *text);
char *crt_getenv(const char *name);
void *crt_malloc(size_t n);
void crt_free(void *p);
void crt_args(int *argc, char ***argv);

/* The stream calls answer as msvcrt's do where glibc's answer differently: fputs returns 0,
 * fseek clears the end-of-file indicator even when it fails, ungetc clears both indicators and
 * refuses EOF, fclose of a stream with its error indicator set returns EOF, and reading a stream
 * opened for writing only returns EOF without setting an indicator. */
int crt_getc(FILE *f);
int crt_fgetc(FILE *f);
char *crt_fgets(char *buf, int n, FILE *f);
size_t crt_fread(void *buf, size_t size, size_t n, FILE *f);
int crt_ungetc(int c, FILE *f);
int crt_fputs(const char *text, FILE *f);
int crt_fseek(FILE *f, long offset, int whence);
int crt_fclose(FILE *f);
#undef getc
#undef fgetc
#undef fgets
#undef fread
#undef ungetc
#undef fputs
#undef fseek
#undef fclose
#define getc(f) crt_getc(f)
#define fgetc(f) crt_fgetc(f)
#define fgets(buf, n, f) crt_fgets(buf, n, f)
#define fread(buf, size, n, f) crt_fread(buf, size, n, f)
#define ungetc(c, f) crt_ungetc(c, f)
#define fputs(text, f) crt_fputs(text, f)
#define fseek(f, offset, whence) crt_fseek(f, offset, whence)
#define fclose(f) crt_fclose(f)

/* The program's entry, defined by the agent and called by the front end. */
int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR command_tail, int show);

#endif
