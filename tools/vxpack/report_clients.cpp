/* The registered clients, read from the client lists as the agent reads them. */
#include "report_clients.h"

#include "platform/text.h"

namespace vxpack {

/* Windows folds A-Z alone when it compares these names (text_equal). */
static std::string report_folded(const std::string &name)
{
    std::string folded(name);
    for (char &c : folded)
        if (c >= 'a' && c <= 'z')
            c = (char)(c - 32);
    return folded;
}

bool report_same_client(const std::string &a, const std::string &b)
{
    return a.size() == b.size() && text_equal(a.c_str(), b.c_str(), TEXT_NO_LIMIT);
}

const registered_client *report_find_client(const registered_clients &clients,
                                            const std::string &name)
{
    auto it = clients.folded.find(report_folded(name));
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
            found.folded.emplace(report_folded(s.name), found.all.size());
            found.all.push_back(registered_client{s.name, stamp});
        }
    }
    return found;
}

} // namespace vxpack
