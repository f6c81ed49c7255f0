/* The registered clients as the agent finds them: a section with a TIMESTAMP in the home's
 * clients.ini, else in the clients directory's newclnts.ini. */
#ifndef TOOLS_VXPACK_REPORT_CLIENTS_H
#define TOOLS_VXPACK_REPORT_CLIENTS_H

#include <string>
#include <unordered_map>
#include <vector>

#include "home_lists.h"

namespace vxpack {

struct registered_client {
    std::string name;  /* as its section spells it */
    std::string stamp; /* the server's TIMESTAMP for it, from the first list that has one */
};

struct registered_clients {
    std::vector<registered_client> all;             /* in the lists' order */
    std::unordered_map<std::string, size_t> folded; /* name, A-Z folded -> index in all */
};

/* The clients of clients [in] (the home's list; not present when no home was given) and then
 * those of new_clients [in] that clients does not register, each once, in the lists' order. */
registered_clients report_registered(const list_file &clients, const list_file &new_clients);

/* The registered client named name [in] as Windows compares names, or NULL. */
const registered_client *report_find_client(const registered_clients &clients,
                                            const std::string &name);


} // namespace vxpack

#endif
