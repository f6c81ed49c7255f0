/* The registered clients, read from the client lists as the agent reads them. */
#include "report_clients.h"

#include "pack_names.h"

namespace vxpack {

const registered_client *report_find_client(const registered_clients &clients,
                                            const std::string &name)
{
    auto it = clients.folded.find(names_folded(name));
    return it == clients.folded.end() ? NULL : &clients.all[it->second];
}

registered_clients report_registered(const list_file &clients, const list_file &new_clients)
{
    registered_clients found;
    for (const list_file *list : {&clients, &new_clients}) {
        if (!list->present)
            continue;
        for (const ini_section &s : list->sections) {
            std::string stamp;
            /* A client listed twice is read from its first section alone, and one registered
             * by clients.ini is never looked up in newclnts.ini. */
            if (s.name.empty() || report_find_client(found, s.name) != NULL ||
                !agent_reads_stamp(*list, s.name, &stamp))
                continue;
            found.folded.emplace(names_folded(s.name), found.all.size());
            found.all.push_back(registered_client{s.name, stamp});
        }
    }
    return found;
}

} // namespace vxpack
