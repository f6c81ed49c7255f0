/* The one door from the system's code to the platform: the Win32 calls and the C runtime calls
 * that take Windows paths. Every subsystem includes this header and nothing platform-specific
 * besides.
 *
 * os_impl.h is chosen by the build, not by #ifdef: on Windows it is platform/win32/os_impl.h
 * (<windows.h> and msvcrt), elsewhere sim/include/os_impl.h (the simulated workstation). Both
 * provide the same names:
 *   - the Win32 types, constants and calls by their exact Win32 names and signatures;
 *   - crt_fopen, crt_rename, crt_access, crt_chmod, crt_remove, crt_putenv, crt_getenv: the C
 *     runtime's fopen, rename, _access, _chmod, remove, _putenv and getenv, on Windows paths
 *     (drive letters, case-blind names, text mode with CR LF); the runtime's environment is a
 *     copy of its own, which _putenv changes along with the system's;
 *   - crt_malloc, crt_free: the heap under mem_alloc and mem_free;
 *   - crt_args: the argument vector the runtime built from the process command line;
 *   - CRT_S_IREAD, CRT_S_IWRITE: the permission bits of crt_chmod.
 * Streams returned by crt_fopen are ordinary FILE pointers: fgetc, fputc, ungetc, fread, fwrite,
 * fseek, feof, ferror and fclose work on them as the C standard says, with msvcrt's answers
 * where it says more (fputs returns 0; a failed fseek clears end-of-file; ungetc clears both
 * indicators; see os_impl.h). */
#ifndef PLATFORM_OS_H
#define PLATFORM_OS_H

#include <errno.h>
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "os_impl.h"

#endif
