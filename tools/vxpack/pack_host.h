/* vxpack's view of the machine it runs on: how a path the administrator types becomes a path
 * the library opens, and how the console is reached. Two builds, one interface: host_sim.cpp
 * maps Linux folders onto the drives of the simulated workstation, host_win32.cpp hands
 * Windows paths through. */
#ifndef TOOLS_VXPACK_PACK_HOST_H
#define TOOLS_VXPACK_PACK_HOST_H

#include <stdint.h>

#include <string>
#include <vector>

namespace vxpack {

/* Make the platform ready for one run; trace lists every platform call on standard error
 * (false with *error when this build cannot). */
bool host_start(bool trace, std::string *error);
void host_stop(void);

/* The Windows path of a file the user named [in] (which need not exist yet; its folder must).
 * False with *error saying why in words: a missing folder, a name Windows cannot hold, a path
 * longer than Windows allows. */
bool host_file(const std::string &given, std::string *win, std::string *error);
/* The same for a folder: its Windows path without a trailing backslash (X: for a drive's
 * root, composed with a name as X:\name). */
bool host_folder(const std::string &given, std::string *win, std::string *error);

/* The separator of the names this build shows: / on Linux, \ on Windows. */
char host_separator(void);

/* Whether the Windows path win [in] names a regular file or nothing: false for a folder, FIFO,
 * device or socket, with *error "is a folder" or "is not a regular file" (reading a FIFO
 * would wait for a writer forever). */
bool host_plain_or_missing(const std::string &win, std::string *error);

/* Make the file win [in], empty, for this run alone, as one step that fails when the name is
 * taken (a file of another run made between a look and an open would otherwise be shared).
 * True when made; false with *taken when a file or folder of that name exists, or with
 * *error when it cannot be made. */
bool host_create_new(const std::string &win, bool *taken, std::string *error);

/* What tells that a file changed: its size and its last write time (host units). */
struct host_file_state {
    uint64_t size;
    int64_t written;
};
/* The state of the file win [in]; false when it cannot be read (no such file). */
bool host_file_state_of(const std::string &win, host_file_state *state);

/* The size of a file the user named, false when it is not a readable file. */
bool host_file_size(const std::string &given, uint64_t *size);

/* Whether standard error is a terminal (a progress bar makes sense there). */
bool host_stderr_is_terminal(void);

/* One line from standard input, without its line end; false at the end of the input. */
bool host_read_line(std::string *line);

/* The names of the files in a folder [in] (not its subfolders, not hidden files), sorted;
 * false when it cannot be listed. */
bool host_list_files(const std::string &win_folder, std::vector<std::string> *names);

/* What an entry of a folder is. */
enum host_kind {
    HOST_FILE,   /* a regular file */
    HOST_FOLDER,
    HOST_OTHER   /* a FIFO, device, socket, or a link that leads nowhere */
};
struct host_entry {
    std::string name;
    host_kind kind;
    uint64_t size; /* bytes of a regular file, else 0 */
};
/* Every entry of a folder [in] (a Windows path) but . and .., hidden ones too, sorted by
 * name; false when the folder cannot be listed. */
bool host_list_entries(const std::string &win_folder, std::vector<host_entry> *entries);

/* The folder relative [in] (its parts separated by \ or /) inside the folder the user gave
 * [in], found as a Windows client of the server finds it: on Linux each part as spelled, else
 * in the one other letter case the folder holds (a Samba share finds it so). *out is the
 * folder as the user would name it. False with *error when a part is missing, is spelled in
 * two other ways, or is . or .. (a report folder lies inside the clients directory). */
bool host_subfolder(const std::string &given, const std::string &relative, std::string *out,
                    std::string *error);

} // namespace vxpack

#endif
