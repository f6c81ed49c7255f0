/* The client lists and settings of a shared home, read as the agent reads them. */
#include "home_lists.h"

#include <cstdio>

#include "pack_host.h"
#include "pack_names.h"
#include "platform/status.h"
#include "stores/store.h"

namespace vxpack {

std::string shown_folder(const std::string &given)
{
    std::string folder = given;
    while (folder.size() > 1 && (folder.back() == '/' || folder.back() == '\\'))
        folder.pop_back();
    return folder;
}

bool load_list(const std::string &folder_shown, const std::string &folder_path,
               const std::string &name, list_file *f)
{
    f->shown = shown_folder(folder_shown) + host_separator() + name;
    f->path = folder_path + "\\" + name;
    for (char &c : f->path)
        if (c == '/')
            c = '\\';
    std::string bytes;
    f->refused.clear();
    f->present = host_plain_or_missing(f->path, &f->refused) && names_read(f->path, &bytes);
    f->size = bytes.size();
    f->sections = ini_scan(bytes);
    f->index = ini_index_of(f->sections);
    return f->present;
}

bool agent_reads(const list_file &f, const std::string &section, const std::string &key,
                 std::string *value)
{
    char name[STORE_VALUE_CAP], buf[STORE_VALUE_CAP];
    if (key.size() >= sizeof name)
        return false;
    snprintf(name, sizeof name, "%s", key.c_str());
    if (store_get_value(name, f.path.c_str(), section.c_str(), buf, sizeof buf, 0) != STATUS_OK)
        return false;
    *value = buf;
    return true;
}

bool agent_reads_stamp(const list_file &f, const std::string &client, std::string *value)
{
    size_t at = ini_find(f.index, client);
    if (at != std::string::npos && f.sections[at].name.empty())
        return agent_reads(f, client, "TIMESTAMP", value); /* "[]": the profile's own rule */
    std::string whole;
    if (at == std::string::npos || !ini_value(f.sections[at], "TIMESTAMP", &whole) ||
        whole.empty())
        return false;
    *value = whole.substr(0, STORE_VALUE_CAP - 1);
    return true;
}

} // namespace vxpack
