/* The files of a command: as the user names them and as the library opens them. */
#ifndef TOOLS_VXPACK_PACK_NAMES_H
#define TOOLS_VXPACK_PACK_NAMES_H

#include <cstdint>
#include <string>
#include <vector>

namespace vxpack {

struct pack_file {
    std::string shown; /* as the user named it, or as it is named beside such a file */
    std::string path;  /* the Windows path the library opens */
};

/* The file the user named [in]. False, with the failure reported, when its folder does not
 * exist or the name cannot be a Windows file name. */
bool names_file(const std::string &given, pack_file *out);

/* The file called name [in] in folder when that is not empty, otherwise in the folder of the
 * file beside (as the user named it). False, with the failure reported, as names_file. */
bool names_beside(const std::string &beside, const std::string &folder, const std::string &name,
                  pack_file *out);

/* The name names_beside shows, without mapping it. */
std::string names_beside_shown(const std::string &beside, const std::string &folder,
                               const std::string &name);

/* One file of a run of several: what the user gave, the file read and the file made (as
 * shown). */
struct names_run {
    std::string given;
    std::string source_shown;
    std::string target_shown;
};

/* Whether every file of a run makes its own output: false, with the clash reported naming
 * both files, when two of them would make one file (compared as Windows compares names), or
 * when one's output would replace another's input. made says how an output comes from its
 * file ("compresses to"). Files whose names cannot be mapped are left for the run to
 * report. Nothing is written. */
bool names_outputs_distinct(const std::vector<names_run> &runs, const char *made);

/* The last component of a name the user gave (after its last / or \). */
std::string names_last(const std::string &given);

/* A file name's compressed name, by the library's rule: _SETUP.EXE for SETUP.EXE,
 * _BCDEFGH.DLL for ABCDEFGH.DLL. */
std::string names_compressed(const std::string &name);

/* Whether the file at path [in] exists (a file whose existence cannot be tested counts as
 * there: opening it then tells what is wrong). */
bool names_exists(const std::string &path);

/* The parts of relative [in], a folder below another given with \ or / between its names
 * (empty parts skipped), into parts [out]; false with error [out] when a part is . or .., which
 * would lead out of the folder it is read below. */
bool names_folder_parts(const std::string &relative, std::vector<std::string> *parts,
                        std::string *error);

/* The whole file at path [in] through the platform's C runtime (so names are found as Windows
 * finds them, letter case aside); false when it cannot be opened or read. With stop_after, the
 * reading stops once more than that many bytes are in: enough to tell a file is too large
 * without reading all of it. */
bool names_read(const std::string &path, std::string *bytes, size_t stop_after = SIZE_MAX);

/* name [in] with a-z made A-Z, and nothing else changed: the key under which Windows takes two
 * names for one (text_equal folds these letters alone). */
std::string names_folded(const std::string &name);

/* Whether two Windows paths name the same file, compared as Windows compares names. */
bool names_same(const std::string &a, const std::string &b);

} // namespace vxpack

#endif
