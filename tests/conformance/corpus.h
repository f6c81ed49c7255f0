/* The conformance corpus: seeded cases of profile, registry, C runtime stream, file, folder and
 * volume calls, run through the platform boundary and answered as one line of text each. The same program runs
 * them under Wine (to record the real answers) and on the simulation (to compare with them). */
#ifndef TESTS_CONFORMANCE_CORPUS_H
#define TESTS_CONFORMANCE_CORPUS_H

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

/* Bump when the generator changes what it makes from a seed: a recording made by another
 * version no longer describes the same cases. */
#define CORPUS_GENERATOR_VERSION 2
#define CORPUS_DEFAULT_SEED 0x5eed2024u

enum corpus_family {
    CORPUS_PROFILE_READ,  /* GetPrivateProfileStringA */
    CORPUS_PROFILE_WRITE, /* WritePrivateProfileStringA, one to three calls on one file */
    CORPUS_REGISTRY,      /* RegSetValueExA then RegQueryValueExA */
    CORPUS_CRT,           /* a stream opened by fopen, a few operations, the file after */
    CORPUS_FILE_NAMES,    /* one file or folder call on one name of the fixture, the folder after */
    CORPUS_FILE_MOVES,    /* MoveFileA, MoveFileExA or rename between two names, the folder after */
    CORPUS_FILE_SHARING,  /* a name held open by _lopen or fopen while a second call reaches it */
    CORPUS_FILE_STAMPS,   /* SetFileTime through an _lopen handle, GetFileTime after */
    CORPUS_VOLUME,        /* GetVolumeInformationA, GetDiskFreeSpaceA, GetDriveTypeA on roots */
    CORPUS_FAMILY_COUNT
};

/* A text argument that may be a null pointer. */
struct corpus_text {
    bool null = false;
    std::string text;
};

/* Where a case's file is: the file itself, or a name that cannot be opened as one. */
enum corpus_place {
    CORPUS_FILE,        /* the case's own file, written from .content first */
    CORPUS_MISSING,     /* no such file */
    CORPUS_NO_DIR,      /* a file in a missing directory */
    CORPUS_READ_ONLY,   /* the case's file, written from .content, then made read-only */
    CORPUS_DIRECTORY,   /* the scratch directory itself */
    CORPUS_EMPTY_NAME,  /* "" */
};

struct corpus_profile_call {
    corpus_text section, key, value; /* value: the default of a read */
};

struct corpus_profile_case {
    corpus_place place = CORPUS_FILE;
    std::string content;
    std::vector<corpus_profile_call> calls; /* a read has one */
    uint32_t size = 0;                      /* a read's buffer size */
};

struct corpus_registry_case {
    corpus_text set_name;
    uint32_t type = 0;
    std::string data;       /* the bytes the caller's buffer holds, from its start */
    bool data_null = false; /* lpData NULL */
    uint32_t cb = 0;        /* cbData */
    corpus_text query_name;
    bool type_null = false;       /* lpType NULL */
    bool query_data_null = false; /* lpData NULL */
    bool query_cb_null = false;   /* lpcbData NULL (only with lpData NULL) */
    uint32_t query_cb = 0;        /* *lpcbData in */
};

/* One stream operation; arg and text as the operation needs them. */
enum corpus_op_kind {
    CORPUS_GETC,
    CORPUS_UNGETC,
    CORPUS_FGETS,
    CORPUS_FREAD,
    CORPUS_FPUTC,
    CORPUS_FPUTS,
    CORPUS_FWRITE,
    CORPUS_FSEEK,
    CORPUS_FTELL,
    CORPUS_FFLUSH,
    CORPUS_CLEARERR,
};
struct corpus_op {
    corpus_op_kind kind = CORPUS_GETC;
    long arg = 0; /* character, count, or offset */
    int whence = 0;
    std::string text;
};

struct corpus_crt_case {
    bool exists = false;
    std::string content;
    std::string mode;
    std::vector<corpus_op> ops;
};

/* A call of the file families. Names are relative to the case's folder, except
 * "<long N>" (a name that makes the whole path N characters long) and names after "=", which are
 * given as they stand. */
enum corpus_file_call {
    CORPUS_GET_ATTRIBUTES, /* GetFileAttributesA(a) */
    CORPUS_SET_ATTRIBUTES, /* SetFileAttributesA(a, arg) */
    CORPUS_DELETE,         /* DeleteFileA(a) */
    CORPUS_REMOVE,         /* remove(a) */
    CORPUS_ACCESS,         /* _access(a, arg) */
    CORPUS_CHMOD,          /* _chmod(a, arg) */
    CORPUS_LOPEN,          /* _lopen(a, arg), then _lclose */
    CORPUS_FOPEN,          /* fopen(a, mode): what it reads, or "x" written; then fclose */
    CORPUS_MOVE,           /* MoveFileA(a, b) */
    CORPUS_MOVE_EX,        /* MoveFileExA(a, b, arg) */
    CORPUS_RENAME,         /* rename(a, b) */
};
struct corpus_file_op {
    corpus_file_call call = CORPUS_GET_ATTRIBUTES;
    std::string a, b;
    long arg = 0;
    std::string mode;
};
/* What holds a name open while the case's call runs (the sharing family). */
enum corpus_holder { CORPUS_HOLD_NONE, CORPUS_HOLD_LOPEN, CORPUS_HOLD_FOPEN };

struct corpus_file_case {
    corpus_holder holder = CORPUS_HOLD_NONE;
    std::string held;       /* the name held */
    long hold_mode = 0;     /* _lopen's mode */
    std::string hold_fmode; /* fopen's mode */
    corpus_file_op op;      /* the names, moves and sharing families */
    /* The stamps family: _lopen(held, hold_mode), then SetFileTime with stamps[i] of the
     * stamp table (-1: a null pointer) unless !set_time, then GetFileTime. */
    bool set_time = false;
    int stamps[3] = {-1, -1, -1};
};

/* A volume call on a root spelled some way; label_size and fs_size 0 pass null buffers. */
enum corpus_volume_call { CORPUS_VOLUME_INFO, CORPUS_DISK_FREE, CORPUS_DRIVE_TYPE };
struct corpus_volume_case {
    corpus_volume_call call = CORPUS_VOLUME_INFO;
    corpus_text root;
    uint32_t label_size = 0, fs_size = 0;
};

struct corpus_case {
    int id = 0;
    corpus_family family = CORPUS_PROFILE_READ;
    corpus_profile_case profile;
    corpus_registry_case registry;
    corpus_crt_case crt;
    corpus_file_case file;
    corpus_volume_case volume;
};

/* The cases a seed makes, ids from 1, every family in its share. */
std::vector<corpus_case> corpus_generate(uint32_t seed);
const char *corpus_family_name(corpus_family family);
/* A case as the recording shows it: the calls with their arguments and the file before. */
std::string corpus_describe(const corpus_case &c);

/* Where cases run: a scratch directory (Windows path, no trailing backslash) and a registry key
 * below HKEY_LOCAL_MACHINE that the run may fill and remove. */
struct corpus_place_root {
    std::string dir;
    std::string hklm_key;
};
/* Run one case and describe what the platform answered. */
std::string corpus_run(const corpus_case &c, const corpus_place_root &root);

/* ---- Shared by the families ---------------------------------------------------------------- */

/* A small generator that gives the same numbers on every platform and compiler. */
struct corpus_rng {
    uint64_t state;
};
void corpus_rng_seed(corpus_rng *rng, uint32_t seed);
uint32_t corpus_rng_next(corpus_rng *rng);
/* 0 <= n < bound */
uint32_t corpus_rng_below(corpus_rng *rng, uint32_t bound);
/* true with a chance of percent in a hundred */
bool corpus_rng_chance(corpus_rng *rng, uint32_t percent);

/* One of a table's rows, chosen evenly. */
template <typename T, size_t N> T &corpus_pick(corpus_rng *rng, T (&items)[N])
{
    return items[corpus_rng_below(rng, (uint32_t)N)];
}
#define CORPUS_COUNT(a) (sizeof(a) / sizeof((a)[0]))

/* Bytes as a C string literal: printable ASCII as is, the rest as escapes, a run of twelve or
 * more of one byte as {count*"byte"}. */
std::string corpus_quote(const std::string &bytes);
std::string corpus_quote_text(const corpus_text &t);
std::string corpus_num(long long n);

/* The families' halves. */
void corpus_make_profile_read(corpus_rng *rng, corpus_profile_case *out);
void corpus_make_profile_write(corpus_rng *rng, corpus_profile_case *out);
void corpus_make_registry(corpus_rng *rng, corpus_registry_case *out);
void corpus_make_crt(corpus_rng *rng, corpus_crt_case *out);
std::string corpus_describe_profile(const corpus_profile_case &c, bool read);
std::string corpus_describe_registry(const corpus_registry_case &c);
std::string corpus_describe_crt(const corpus_crt_case &c);
std::string corpus_run_profile(const corpus_profile_case &c, bool read, int id,
                               const corpus_place_root &root);
std::string corpus_run_registry(const corpus_registry_case &c, int id,
                                const corpus_place_root &root);
std::string corpus_run_crt(const corpus_crt_case &c, int id, const corpus_place_root &root);
void corpus_make_file(corpus_rng *rng, corpus_family family, corpus_file_case *out);
std::string corpus_describe_file(const corpus_file_case &c, corpus_family family);
std::string corpus_run_file(const corpus_file_case &c, corpus_family family, int id,
                            const corpus_place_root &root);
void corpus_make_volume(corpus_rng *rng, corpus_volume_case *out);
std::string corpus_describe_volume(const corpus_volume_case &c);
std::string corpus_run_volume(const corpus_volume_case &c, const corpus_place_root &root);
/* The fixture every file case starts from: its listing, as an answer shows it, and that with
 * the stamps it is given. */
const char *corpus_fixture_listing(void);
std::string corpus_file_fixture(void);
/* A stamp of the stamps family's table, as a 64-bit FILETIME. */
uint64_t corpus_stamp_value(int index);

#endif
