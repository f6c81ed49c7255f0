/* The files of a shared home and its clients directory that name the clients (clients.ini,
 * newclnts.ini) and the home's settings (VCSM.ini), read as the agent reads them, with the
 * line of every section kept. check and report read them through here. */
#ifndef TOOLS_VXPACK_HOME_LISTS_H
#define TOOLS_VXPACK_HOME_LISTS_H

#include <string>
#include <vector>

#include "check_ini.h"

namespace vxpack {

struct list_file {
    std::string shown;   /* as the user sees it */
    std::string path;    /* Windows path */
    bool present;
    std::string refused; /* why it was not read: it is not a regular file */
    size_t size;
    std::vector<ini_section> sections;
    ini_index index; /* the first section of each name */
};

/* Read name [in] from a folder, shown as folder_shown and opened as folder_path (Windows).
 * True when the file was read; false when it is missing, or not a regular file (*f's refused
 * then says so). *f is filled either way. */
bool load_list(const std::string &folder_shown, const std::string &folder_path,
               const std::string &name, list_file *f);

/* The agent's own read of a value, through the value stores: false when the key is missing
 * or empty. */
bool agent_reads(const list_file &f, const std::string &section, const std::string &key,
                 std::string *value);

/* The same read of a client's TIMESTAMP from a list as scanned (a list of many clients would
 * otherwise be read and parsed again for each one). The value comes as a value buffer holds
 * it; false when the client has no non-empty TIMESTAMP there, so is not registered by it. */
bool agent_reads_stamp(const list_file &f, const std::string &client, std::string *value);

/* A folder the user gave, without the separators at its end (a root keeps one). */
std::string shown_folder(const std::string &given);

} // namespace vxpack

#endif
