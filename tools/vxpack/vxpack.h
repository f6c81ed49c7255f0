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

} // namespace vxpack

#endif
