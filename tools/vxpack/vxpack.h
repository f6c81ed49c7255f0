/* vxpack's commands: each takes what its command line gave and returns the exit code
 * (0 done, 1 a failure, reported on standard error as one line naming the file). */
#ifndef TOOLS_VXPACK_VXPACK_H
#define TOOLS_VXPACK_VXPACK_H

#include <stdint.h>

#include <string>
#include <vector>

namespace vxpack {

/* Options every command takes. */
struct pack_global {
    bool quiet; /* no progress bar and no result lines; failures are still told */
    bool trace; /* list every platform call on standard error */
};

/* Exit codes. */
enum {
    EXIT_DONE = 0,
    EXIT_FAILED = 1, /* an operation failed (or check found something) */
    EXIT_USAGE = 2   /* the command line is wrong */
};

/* Write each file's LZW stream under its compressed name (SETUP.EXE -> _SETUP.EXE), beside it
 * or in out_dir when not empty. */
int cmd_compress(const pack_global &g, const std::vector<std::string> &files,
                 const std::string &out_dir);

/* Expand each file from its compressed name (given SETUP.EXE, read _SETUP.EXE), beside it or in
 * out_dir when not empty; time stamps copied as the engine copies them. */
int cmd_expand(const pack_global &g, const std::vector<std::string> &files,
               const std::string &out_dir);

/* Copy in to out with %NAME% tokens replaced. */
struct substitute_options {
    std::string in, out;
    std::vector<std::string> sets; /* NAME=VALUE, from --set, in order */
    std::string vars_file;         /* an .ini file whose [Variables] section names values */
    bool keep_unknown;             /* leave a token without a value as it stands */
};
int cmd_substitute(const pack_global &g, const substitute_options &o);

/* Read a shared home as the agent would and report what would make a client fail or
 * surprise its administrator. */
struct check_options {
    std::string home;        /* the shared home's folder */
    std::string clients_dir; /* the clients directory (newclnts.ini), or empty */
};
int cmd_check(const pack_global &g, const check_options &o);

/* The pass reports the agents left in a folder of the clients directory, against the
 * registered clients: one line per workstation, then who never reported, who is not
 * registered, whose last pass is stale, and the files that are no report. Exit 0 when every
 * registered client reported a current pass within the stale limit, 1 otherwise. */
struct report_options {
    std::string clients_dir; /* the clients directory (newclnts.ini) */
    std::string home;        /* the shared home, whose VCSM.ini names the folder; or empty */
    std::string folder;      /* the reports' folder itself; or empty */
    bool csv;
    uint32_t stale_days;     /* a last pass older than this is stale */
};
int cmd_report(const pack_global &g, const report_options &o);

/* Spread a file over a volume set. */
struct split_options {
    std::string file;
    std::string label;             /* the labels' word: DISK gives DISK 1, DISK 2, ... */
    uint32_t pieces;               /* 0: as many as the file needs */
    uint64_t volume_size;          /* bytes a volume holds */
    std::vector<uint32_t> limits;  /* bytes of each piece, or empty */
    uint32_t reserve;              /* bytes left free on each volume */
    std::string volumes;           /* Linux: the folder of the volume folders */
    std::string drive;             /* Windows: the removable drive */
};
int cmd_split(const pack_global &g, const split_options &o);

/* Read a set back into one file, expanded when its pieces hold a compressed file. */
struct join_options {
    std::string file;   /* the file's name on the volumes */
    std::string label;
    bool expand;
    std::string output; /* the file to write; empty: the file's name here */
    std::string volumes, drive;
};
int cmd_join(const pack_global &g, const join_options &o);

/* Why a label word cannot make FAT volume labels "WORD 1" to "WORD n" for n volumes (a label
 * holds 11 characters, its blank and number included, and none of " * + , . / : ; < = > ? [ \ ]
 * | nor a control or non-ASCII character), or empty when it can. */
std::string label_word_problem(const std::string &word, uint32_t volumes);

/* What the volumes hold and whether each set on them is complete. */
struct list_options {
    std::string volumes, drive;
};
int cmd_list(const pack_global &g, const list_options &o);


} // namespace vxpack

#endif
