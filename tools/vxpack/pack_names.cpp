/* Naming the files of a command: the user's names, their Windows paths, compressed names. */
#include "pack_names.h"

#include "pack_host.h"
#include "pack_report.h"
#include "platform/file.h"
#include "platform/os.h"
#include "platform/path.h"
#include "platform/text.h"

namespace vxpack {

bool names_file(const std::string &given, pack_file *out)
{
    std::string error;
    if (!host_file(given, &out->path, &error)) {
        report_failure(given, error);
        return false;
    }
    out->shown = given;
    return true;
}

static size_t names_last_separator(const std::string &given)
{
    return given.find_last_of("/\\");
}

std::string names_last(const std::string &given)
{
    size_t sep = names_last_separator(given);
    return sep == std::string::npos ? given : given.substr(sep + 1);
}

std::string names_beside_shown(const std::string &beside, const std::string &folder,
                               const std::string &name)
{
    if (!folder.empty()) {
        char last = folder[folder.size() - 1];
        return folder + (last == '/' || last == '\\' ? "" : std::string(1, host_separator())) +
               name;
    }
    size_t sep = names_last_separator(beside);
    return (sep == std::string::npos ? "" : beside.substr(0, sep + 1)) + name;
}

bool names_beside(const std::string &beside, const std::string &folder, const std::string &name,
                  pack_file *out)
{
    return names_file(names_beside_shown(beside, folder, name), out);
}

bool names_outputs_distinct(const std::vector<names_run> &runs, const char *made)
{
    std::vector<std::string> sources(runs.size()), targets(runs.size());
    std::string error;
    for (size_t i = 0; i < runs.size(); i++) {
        if (!host_file(runs[i].source_shown, &sources[i], &error))
            sources[i].clear();
        if (!host_file(runs[i].target_shown, &targets[i], &error))
            targets[i].clear();
    }
    for (size_t j = 0; j < runs.size(); j++) {
        if (targets[j].empty())
            continue;
        for (size_t i = 0; i < runs.size(); i++) {
            if (i == j)
                continue;
            if (i < j && names_same(targets[i], targets[j])) {
                report_failure(runs[j].given, std::string(made) + " " + runs[j].target_shown +
                                                  ", as " + runs[i].given +
                                                  " does: give them in two runs, or into two "
                                                  "folders; nothing was written");
                return false;
            }
            if (!sources[i].empty() && names_same(sources[i], targets[j])) {
                report_failure(runs[j].given, std::string(made) + " " + runs[j].target_shown +
                                                  ", which this run reads for " +
                                                  runs[i].given +
                                                  ": give them in two runs; nothing was "
                                                  "written");
                return false;
            }
        }
    }
    return true;
}

std::string names_compressed(const std::string &name)
{
    char root[PATH_CAP], dir[PATH_CAP], base[PATH_CAP], ext[PATH_CAP], out[PATH_CAP];
    if (name.size() >= PATH_CAP - 1)
        return name;
    path_split(name.c_str(), root, dir, base, ext);
    path_compressed_name(base);
    if (!path_compose(out, root, dir, base, ext))
        return name;
    return out;
}

bool names_exists(const std::string &path)
{
    truth_t exists = 1;
    return file_exists(path.c_str(), &exists) != STATUS_OK || exists;
}

bool names_read(const std::string &path, std::string *bytes, size_t stop_after)
{
    FILE *f = crt_fopen(path.c_str(), "rb");
    if (f == NULL)
        return false;
    char buf[4096];
    size_t n;
    bytes->clear();
    while (bytes->size() <= stop_after && (n = fread(buf, 1, sizeof buf, f)) > 0)
        bytes->append(buf, n);
    bool ok = !ferror(f);
    fclose(f);
    return ok;
}

bool names_folder_parts(const std::string &relative, std::vector<std::string> *parts,
                        std::string *error)
{
    parts->clear();
    size_t at = 0;
    while (at <= relative.size()) {
        size_t end = relative.find_first_of("\\/", at);
        if (end == std::string::npos)
            end = relative.size();
        std::string part = relative.substr(at, end - at);
        at = end + 1;
        if (part.empty())
            continue;
        if (part == "." || part == "..") {
            *error = "the folder " + relative + " leaves the clients directory";
            return false;
        }
        parts->push_back(part);
    }
    return true;
}

std::string names_folded(const std::string &name)
{
    std::string folded(name);
    for (char &c : folded)
        if (c >= 'a' && c <= 'z')
            c = (char)(c - 32);
    return folded;
}

bool names_same(const std::string &a, const std::string &b)
{
    return a.size() == b.size() && text_equal(a.c_str(), b.c_str(), TEXT_NO_LIMIT);
}

} // namespace vxpack
