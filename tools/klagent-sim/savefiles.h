/* Replacing the world's files after a pass: all of them or none, never through a symbolic link,
 * and only inside the world's folder unless the person allows more. */
#ifndef TOOLS_KLAGENT_SIM_SAVEFILES_H
#define TOOLS_KLAGENT_SIM_SAVEFILES_H

#include <string>
#include <vector>

namespace ksim {

/* One file a save writes. */
struct save_target {
    std::string path;     /* host path of the file to replace or create */
    std::string text;     /* its new contents */
    std::string named_by; /* where the world names it, for messages: "world.ini:3" */
    bool must_be_new;     /* the world does not name it yet: it must not exist */
};

/* Write every target or none. Each file is written to a temporary file beside it, created
 * exclusively under a name no one can predict, with the permissions (and, as far as allowed,
 * the owner) of the file it replaces; only when every temporary file is complete are they
 * renamed into place, and a failed rename puts back the files already replaced.
 * Refused before anything is written, false with *error naming the file:
 *   - a target that is a symbolic link, or not a regular file, or (must_be_new) that exists;
 *   - a target whose folder lies outside world_dir: through a symbolic link always; named so
 *     by the world (../x.reg, /x.reg) unless allow_outside.
 * False with *error also when a file operation fails; the world's files are then as they
 * were and no temporary file remains. */
bool save_files(const std::vector<save_target> &targets, const std::string &world_dir,
                bool allow_outside, std::string *error);

/* For tests: make the n-th file operation (creating, writing, closing, renaming or linking a
 * file) of the following saves fail, counted from 1 over all of them; 0 makes none fail.
 * save_operations() is the count so far. */
void save_fail_at(int n);
int save_operations(void);

} // namespace ksim

#endif
