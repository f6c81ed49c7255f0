/* The simulated C runtime on Windows paths: streams, names, the heap, the argument vector. */
#include "sim/model_fs.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>

/* ---- Streams ------------------------------------------------------------------------------ */

#define CRT_AHEAD 4096
/* fopen opens with _SH_DENYNO: others may read and write, not delete or rename. */
#define CRT_SHARE (FS_READ | FS_WRITE)

struct crt_stream {
    FILE *file;
    int fd;
    std::string host;
    char drive;
    bool text;        /* CR LF on disk, LF in the program; Ctrl-Z ends input */
    bool append;      /* every write goes to the end */
    bool readable;    /* opened with r or + */
    unsigned access;  /* FS_READ, FS_WRITE: what the open asked of the file */
    off_t seek_to;    /* a text stream's seek target, handed to crt_seek by crt_fseek */
    bool seek_pending;
    /* msvcrt's own buffer, as far as its answers show it: after an open or a seek it is empty
     * and the next read fills it with up to CRT_AHEAD bytes; a text stream's fill stops at a
     * Ctrl-Z. */
    bool fill_pending;
    bool fill_met_end;
    size_t fill_chars; /* characters the last fill gave */
    off_t off;        /* file offset of the next byte the stream reads or writes */
    unsigned char ahead[CRT_AHEAD]; /* raw read-ahead (text mode looks one byte past a CR) */
    off_t ahead_off;  /* file offset of ahead[0] */
    size_t ahead_len;
};

static const char *crt_mode_names[] = {"r", "w", "r+"};

/* The streams crt_fopen made, for the calls whose msvcrt answers need the stream's mode. */
static std::map<FILE *, crt_stream *> crt_streams;

/* glibc adds the bytes each call returns to its cached position; in text mode they differ
 * from the file offsets, so the cache is dropped and ftell asks the stream (crt_seek). */
static void crt_drop_cached_offset(crt_stream *st)
{
    if (st->file != NULL)
        st->file->_offset = -1;
}

static bool crt_fill(crt_stream *st)
{
    ssize_t n = pread(st->fd, st->ahead, CRT_AHEAD, st->off);
    if (n < 0)
        return false;
    st->ahead_off = st->off;
    st->ahead_len = (size_t)n;
    return true;
}

static ssize_t crt_read(void *cookie, char *buf, size_t size)
{
    crt_stream *st = (crt_stream *)cookie;
    crt_drop_cached_offset(st);
    int error = EIO;
    if (simi_fault(SIM_READ, EIO, &error)) {
        errno = error;
        return -1;
    }
    if (size == 0)
        return 0;
    if (!st->text) {
        ssize_t n = pread(st->fd, buf, size, st->off);
        if (n > 0)
            st->off += n;
        return n;
    }
    /* Each call returns either a run of bytes that need no translation or one translated
     * character, so the bytes glibc still holds map one to one onto the file and its
     * position arithmetic stays right. */
    off_t avail = st->ahead_off + (off_t)st->ahead_len - st->off;
    if (st->off < st->ahead_off || avail < 2) {
        if (!crt_fill(st))
            return -1;
        avail = (off_t)st->ahead_len;
    }
    if (avail <= 0)
        return 0;
    const unsigned char *p = st->ahead + (st->off - st->ahead_off);
    if (p[0] == 0x1A)
        return 0; /* Ctrl-Z: end of text input, and it stays so */
    if (p[0] == '\r') {
        if (avail >= 2 && p[1] == '\n') {
            buf[0] = '\n';
            st->off += 2;
        } else {
            buf[0] = '\r';
            st->off += 1;
        }
        return 1;
    }
    size_t n = 0;
    size_t limit = (size_t)avail < size ? (size_t)avail : size;
    while (n < limit && p[n] != '\r' && p[n] != 0x1A)
        n++;
    memcpy(buf, p, n);
    st->off += (off_t)n;
    return (ssize_t)n;
}

static ssize_t crt_write(void *cookie, const char *buf, size_t size)
{
    crt_stream *st = (crt_stream *)cookie;
    crt_drop_cached_offset(st);
    int error = EIO;
    if (simi_fault(SIM_WRITE, EIO, &error)) {
        errno = error;
        return 0;
    }
    if (size == 0)
        return 0;
    std::string raw;
    const char *data = buf;
    size_t len = size;
    if (st->text) {
        raw.reserve(size + size / 8);
        for (size_t i = 0; i < size; i++) {
            if (buf[i] == '\n')
                raw += '\r';
            raw += buf[i];
        }
        data = raw.data();
        len = raw.size();
    }
    struct stat sb;
    if (fstat(st->fd, &sb) != 0) {
        errno = EIO;
        return 0;
    }
    uint64_t old_size = (uint64_t)sb.st_size;
    off_t at = st->append ? (off_t)old_size : st->off;
    uint64_t end = (uint64_t)at + len;
    uint64_t new_size = end > old_size ? end : old_size;
    if (!fs_space_grow(st->drive, old_size, new_size)) {
        errno = ENOSPC;
        return 0;
    }
    if (!simi_mutation_allowed()) {
        fs_space_shrink(st->drive, new_size, old_size);
        errno = fs_errno_from_win32(FS_CRASH_ERROR);
        return 0;
    }
    size_t done = 0;
    while (done < len) {
        ssize_t n = pwrite(st->fd, data + done, len - done, at + (off_t)done);
        if (n <= 0)
            break;
        done += (size_t)n;
    }
    st->ahead_len = 0;
    if (done < len) {
        errno = EIO;
        return 0;
    }
    st->off = at + (off_t)len;
    return (ssize_t)size;
}

static int crt_seek(void *cookie, off64_t *pos, int whence)
{
    crt_stream *st = (crt_stream *)cookie;
    off64_t base;
    if (st->seek_pending && whence == SEEK_SET && *pos == 0) {
        st->seek_pending = false;
        st->off = st->seek_to;
        *pos = st->seek_to;
        return 0;
    }
    st->seek_pending = false;
    if (whence == SEEK_SET) {
        base = 0;
    } else if (whence == SEEK_CUR) {
        base = st->off;
    } else if (whence == SEEK_END) {
        struct stat sb;
        if (fstat(st->fd, &sb) != 0) {
            errno = EIO;
            return -1;
        }
        base = sb.st_size;
    } else {
        errno = EINVAL;
        return -1;
    }
    off64_t target = base + *pos;
    if (target < 0) {
        errno = EINVAL;
        return -1;
    }
    st->off = (off_t)target;
    *pos = target;
    return 0;
}

static int crt_close(void *cookie)
{
    crt_stream *st = (crt_stream *)cookie;
    int error = EIO;
    bool fail = simi_fault(SIM_CLOSE, EIO, &error);
    close(st->fd);
    fs_open_remove(st->host, st->access, CRT_SHARE);
    crt_streams.erase(st->file);
    std::string host = st->host;
    delete st;
    simi_log("fclose", simi_q(host.c_str()), fail ? "EOF" : "0");
    if (fail) {
        errno = error;
        return -1;
    }
    return 0;
}

/* The mode text as msvcrt reads it: r, w or a, then + b t in any order, the later of b and t
 * winning, and any other letter ignored (its hints, and a "w" after "r"); false when the first
 * letter is none of r, w, a. */
static bool crt_parse_mode(const char *mode, char *kind, bool *plus, bool *text)
{
    if (mode == NULL || (mode[0] != 'r' && mode[0] != 'w' && mode[0] != 'a'))
        return false;
    *kind = mode[0];
    *plus = false;
    *text = true;
    for (const char *p = mode + 1; *p != 0; p++) {
        if (*p == '+')
            *plus = true;
        else if (*p == 'b' || *p == 't')
            *text = *p == 't';
    }
    return true;
}

static FILE *crt_fopen_model(const char *path, const char *mode, int *err)
{
    char kind;
    bool plus, text;
    if (path == NULL || !crt_parse_mode(mode, &kind, &plus, &text)) {
        *err = EINVAL;
        return NULL;
    }
    if (simi_fault(SIM_OPEN, EACCES, err))
        return NULL;
    fs_entry e;
    DWORD werr = 0;
    if (!fs_resolve(path, &e, &werr)) {
        *err = fs_errno_from_win32(werr);
        return NULL;
    }
    bool writes = kind != 'r' || plus;
    if (e.r.is_dir || (e.r.exists && writes && fs_is_readonly(e.r.host))) {
        *err = EACCES;
        return NULL;
    }
    if (!e.r.exists && kind == 'r') {
        *err = ENOENT;
        return NULL;
    }
    if (!e.r.exists && e.trailing_sep) {
        *err = EINVAL; /* a new file cannot take a folder's name */
        return NULL;
    }
    unsigned access = (kind == 'r' || plus ? FS_READ : 0) | (writes ? FS_WRITE : 0);
    if (e.r.exists && fs_share_check(e.r.host, access, CRT_SHARE) != 0) {
        *err = EACCES; /* held by a handle that shares less: nothing is truncated */
        return NULL;
    }
    struct stat sb;
    uint64_t old_size = e.r.exists && stat(e.r.host.c_str(), &sb) == 0 ? (uint64_t)sb.st_size : 0;
    bool truncates = e.r.exists && kind == 'w' && old_size > 0;
    if ((!e.r.exists || truncates) && !simi_mutation_allowed()) {
        *err = fs_errno_from_win32(FS_CRASH_ERROR);
        return NULL;
    }
    /* Only what the mode asks for, so that a file the host lets this process read but not
     * write (read-only, on a read-only mount, a running program) still opens for reading. */
    int flags = plus ? O_RDWR : kind == 'r' ? O_RDONLY : O_WRONLY;
    if (kind != 'r')
        flags |= O_CREAT;
    if (kind == 'w')
        flags |= O_TRUNC;
    int fd = open(e.r.host.c_str(), flags, 0666);
    if (fd < 0) {
        *err = errno == ENOENT ? ENOENT : EACCES;
        return NULL;
    }
    if (truncates) {
        fs_space_shrink(e.r.drive, old_size, 0);
        fs_times_forget(e.r.host);
    }
    /* Documented: a text file opened with "a+" loses a Ctrl-Z at its end, so that what is
     * appended can be read back. Wine keeps it; the simulation answers as Windows. */
    unsigned char last = 0;
    if (kind == 'a' && plus && text && old_size > 0 &&
        pread(fd, &last, 1, (off_t)old_size - 1) == 1 && last == 0x1A &&
        simi_mutation_allowed() && ftruncate(fd, (off_t)old_size - 1) == 0)
        fs_space_shrink(e.r.drive, old_size, old_size - 1);
    crt_stream *st = new crt_stream();
    st->fd = fd;
    st->host = e.r.host;
    st->drive = e.r.drive;
    st->text = text;
    st->append = kind == 'a';
    st->readable = kind == 'r' || plus;
    st->access = access;
    st->fill_pending = true;
    cookie_io_functions_t io = {crt_read, crt_write, crt_seek, crt_close};
    int which = plus ? 2 : (kind == 'r' ? 0 : 1);
    FILE *f = fopencookie(st, crt_mode_names[which], io);
    if (f == NULL) {
        close(fd);
        delete st;
        *err = ENOMEM;
        return NULL;
    }
    st->file = f;
    crt_streams[f] = st;
    fs_open_add(st->host, st->access, CRT_SHARE);
    return f;
}

FILE *crt_fopen(const char *path, const char *mode)
{
    int err = 0;
    FILE *f = crt_fopen_model(path, mode, &err);
    std::string args = simi_q(path) + ", " + simi_q(mode);
    if (f == NULL) {
        errno = err;
        simi_log("fopen", args, "NULL errno " + simi_num(err));
        return NULL;
    }
    simi_log("fopen", args, simi_hex((uintptr_t)f));
    return f;
}

/* ---- Stream calls with msvcrt's answers ----------------------------------------------------
 * The stream calls are glibc's, reached through these wrappers where msvcrt answers otherwise
 * (measured under Wine, recorded in the conformance corpus). The parentheses around a name
 * call the C library's function, not the macro that leads here. */

static crt_stream *crt_stream_of(FILE *f)
{
    std::map<FILE *, crt_stream *>::const_iterator it = crt_streams.find(f);
    return it != crt_streams.end() ? it->second : NULL;
}

/* Reading a stream opened for writing only gives EOF and sets neither indicator. */
static bool crt_write_only(FILE *f)
{
    crt_stream *st = crt_stream_of(f);
    return st != NULL && !st->readable;
}

/* The fill a read makes when msvcrt's buffer is empty; true when this read made it. */
static bool crt_fill_as_msvcrt(FILE *f)
{
    crt_stream *st = crt_stream_of(f);
    if (st == NULL || !st->text || !st->fill_pending)
        return false;
    st->fill_pending = false;
    st->fill_met_end = false;
    unsigned char raw[CRT_AHEAD];
    ssize_t n = pread(st->fd, raw, sizeof raw, st->off);
    size_t chars = 0;
    for (ssize_t i = 0; i < n; i++) {
        if (raw[i] == 0x1A) {
            st->fill_met_end = true;
            break;
        }
        if (!(raw[i] == '\r' && i + 1 < n && raw[i + 1] == '\n'))
            chars++;
    }
    st->fill_chars = chars;
    return true;
}

int crt_getc(FILE *f)
{
    if (crt_write_only(f))
        return EOF;
    crt_fill_as_msvcrt(f);
    return (getc)(f);
}

int crt_fgetc(FILE *f)
{
    if (crt_write_only(f))
        return EOF;
    crt_fill_as_msvcrt(f);
    return (fgetc)(f);
}

char *crt_fgets(char *buf, int n, FILE *f)
{
    if (crt_write_only(f))
        return NULL;
    crt_fill_as_msvcrt(f);
    return (fgets)(buf, n, f);
}

/* When msvcrt's fread fills its buffer itself, meets a Ctrl-Z there, and takes every character
 * before it, it sets the end-of-file indicator at once, though it got all it asked for. */
size_t crt_fread(void *buf, size_t size, size_t n, FILE *f)
{
    if (crt_write_only(f))
        return 0;
    bool filled = crt_fill_as_msvcrt(f);
    size_t got = (fread)(buf, size, n, f);
    crt_stream *st = crt_stream_of(f);
    if (filled && st->fill_met_end && size * n >= st->fill_chars)
        f->_flags |= _IO_EOF_SEEN;
    return got;
}

/* A character pushed back clears both indicators; EOF is not pushed back, nor anything into
 * a stream opened for writing only. */
int crt_ungetc(int c, FILE *f)
{
    if (c == EOF || crt_write_only(f))
        return EOF;
    int r = (ungetc)(c, f);
    if (r != EOF)
        (clearerr)(f);
    return r;
}

/* 0 on success, not a count. */
int crt_fputs(const char *text, FILE *f)
{
    return (fputs)(text, f) == EOF ? EOF : 0;
}

/* The end-of-file indicator goes before the seek, so a failed seek clears it too.
 * A text stream's offsets are the file's, but glibc seeks to a block boundary and then skips
 * characters, which CR LF pairs make fewer than bytes: there the seek goes to offset 0 and
 * crt_seek substitutes the target. */
int crt_fseek(FILE *f, long offset, int whence)
{
    f->_flags &= ~_IO_EOF_SEEN;
    crt_stream *st = crt_stream_of(f);
    int r;
    if (st != NULL && st->text && whence == SEEK_SET && offset > 0) {
        st->seek_to = offset;
        st->seek_pending = true;
        r = (fseek)(f, 0, SEEK_SET);
        st->seek_pending = false;
    } else {
        r = (fseek)(f, offset, whence);
    }
    if (st != NULL)
        st->fill_pending = true; /* a seek empties msvcrt's buffer, even one that fails */
    return r;
}

/* A stream whose error indicator is set closes with EOF. */
int crt_fclose(FILE *f)
{
    bool failed = (ferror)(f) != 0;
    int r = (fclose)(f);
    return r != 0 || failed ? EOF : 0;
}

/* ---- Names -------------------------------------------------------------------------------- */

static int crt_result(const char *name, const std::string &args, DWORD werr)
{
    if (werr == 0) {
        simi_log(name, args, "0");
        return 0;
    }
    int err = fs_errno_from_win32(werr);
    simi_set_last_error(werr == FS_ERROR_NO_DRIVE ? ERROR_FILE_NOT_FOUND : werr);
    errno = err;
    simi_log(name, args, "-1 errno " + simi_num(err));
    return -1;
}

int crt_rename(const char *from, const char *to)
{
    std::string args = simi_q(from) + ", " + simi_q(to);
    int err = 0;
    if (simi_fault(SIM_RENAME, EACCES, &err)) {
        errno = err;
        simi_log("rename", args, "-1 errno " + simi_num(err));
        return -1;
    }
    return crt_result("rename", args, fs_move(from, to, false, true, true));
}

int crt_remove(const char *path)
{
    std::string args = simi_q(path);
    int err = 0;
    if (simi_fault(SIM_DELETE, EACCES, &err)) {
        errno = err;
        simi_log("remove", args, "-1 errno " + simi_num(err));
        return -1;
    }
    return crt_result("remove", args, fs_delete(path));
}

static DWORD crt_access_model(const char *path, int mode)
{
    if (path == NULL || (mode & ~6) != 0)
        return ERROR_INVALID_PARAMETER;
    fs_entry e;
    DWORD werr = 0;
    if (!fs_resolve_as(path, FS_QUERY, &e, &werr))
        return werr;
    if (!e.r.exists)
        return ERROR_FILE_NOT_FOUND;
    if ((mode & 2) != 0 && !e.r.is_dir && fs_is_readonly(e.r.host))
        return ERROR_ACCESS_DENIED;
    return 0;
}

int crt_access(const char *path, int mode)
{
    return crt_result("_access", simi_q(path) + ", " + simi_num(mode),
                      crt_access_model(path, mode));
}

static DWORD crt_chmod_model(const char *path, int mode)
{
    if (path == NULL)
        return ERROR_INVALID_PARAMETER;
    fs_entry e;
    DWORD werr = 0;
    if (!fs_resolve_as(path, FS_QUERY, &e, &werr))
        return werr;
    if (!e.r.exists)
        return ERROR_FILE_NOT_FOUND;
    if (!simi_mutation_allowed())
        return FS_CRASH_ERROR;
    if (!fs_set_readonly(e.r.host, (mode & CRT_S_IWRITE) == 0))
        return ERROR_ACCESS_DENIED;
    return 0;
}

int crt_chmod(const char *path, int mode)
{
    return crt_result("_chmod", simi_q(path) + ", " + simi_hex((unsigned)mode),
                      crt_chmod_model(path, mode));
}

/* ---- Heap --------------------------------------------------------------------------------- */

static long crt_live;

long sim_live_blocks(void)
{
    return crt_live;
}

void *crt_malloc(size_t n)
{
    int err = ENOMEM;
    bool fail = simi_fault(SIM_MEM, ENOMEM, &err) || simi_fault_mem_size(n);
    void *p = fail ? NULL : malloc(n == 0 ? 1 : n);
    if (p == NULL) {
        errno = err;
        simi_log("malloc", simi_num((long long)n), "NULL");
        return NULL;
    }
    crt_live++;
    simi_log("malloc", simi_num((long long)n), simi_hex((uintptr_t)p));
    return p;
}

void crt_free(void *p)
{
    simi_log("free", simi_hex((uintptr_t)p), "");
    if (p == NULL)
        return;
    crt_live--;
    free(p);
}

/* ---- Arguments ---------------------------------------------------------------------------- */

static std::vector<std::string> crt_arg_text;
static std::vector<char *> crt_argv;

/* Blocks live across a reset still count: whoever took them frees them later. */
static void crt_reset(void)
{
    crt_arg_text.clear();
}

static bool crt_registered = simi_on_reset(crt_reset);

void sim_set_args(int argc, const char *const *argv)
{
    crt_arg_text.clear();
    for (int i = 0; i < argc; i++)
        crt_arg_text.push_back(argv != NULL && argv[i] != NULL ? argv[i] : "");
    (void)crt_registered;
}

void crt_args(int *argc, char ***argv)
{
    crt_argv.clear();
    if (crt_arg_text.empty())
        crt_arg_text.push_back(simi_module_path()); /* as started with no arguments */
    for (std::string &a : crt_arg_text)
        crt_argv.push_back(&a[0]);
    crt_argv.push_back(NULL);
    *argc = (int)crt_arg_text.size();
    *argv = crt_argv.data();
    simi_log("__getmainargs", "", simi_num(*argc));
}
