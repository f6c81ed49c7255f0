/* The platform boundary on Windows: the real Win32 headers and the Microsoft C runtime. */
#ifndef PLATFORM_WIN32_OS_IMPL_H
#define PLATFORM_WIN32_OS_IMPL_H

#include <windows.h>
#include <winnetwk.h>
/* winnt.h names an NTSTATUS STATUS_NO_MEMORY; the system's status code of that name must win. */
#undef STATUS_NO_MEMORY
#include <io.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>

#define CRT_S_IREAD _S_IREAD
#define CRT_S_IWRITE _S_IWRITE

static inline FILE *crt_fopen(const char *path, const char *mode) { return fopen(path, mode); }
static inline int crt_rename(const char *from, const char *to) { return rename(from, to); }
static inline int crt_access(const char *path, int mode) { return _access(path, mode); }
static inline int crt_chmod(const char *path, int mode) { return _chmod(path, mode); }
static inline int crt_remove(const char *path) { return remove(path); }
static inline int crt_putenv(const char *text) { return _putenv(text); }
static inline char *crt_getenv(const char *name) { return getenv(name); }
static inline void *crt_malloc(size_t n) { return malloc(n); }
static inline void crt_free(void *p) { free(p); }
static inline void crt_args(int *argc, char ***argv) { *argc = __argc; *argv = __argv; }

#endif
