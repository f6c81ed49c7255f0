/* What klagent-sim's parts share: the world as read, and the registries before and after the
 * agent's pass. */
#ifndef TOOLS_KLAGENT_SIM_WORLD_INTERNAL_H
#define TOOLS_KLAGENT_SIM_WORLD_INTERNAL_H

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "inifile.h"
#include "regfile.h"
#include "sim/sim.h"

namespace ksim {

/* A registry the world describes: the workstation's ("") or a server's. */
struct world_registry {
    std::string machine;
    std::string section;   /* the world file's section that names its file */
    std::string file_path; /* host path; empty when the world gives none */
    std::string file_key;  /* as written in the world file */
    int file_line;         /* the world file's line that names it (0-based); -1 for none */
    reg_file file;
};

struct world {
    std::string ini_path;
    std::string dir;
    ini_file ini;
    std::string module;
    bool wow64 = false; /* the agent runs as a 32-bit program on 64-bit Windows */
    std::vector<world_registry> registries;
};

/* Read the world (a directory holding world.ini, or the .ini file itself) into the simulated
 * workstation, which it resets first. False with *error as "file:line: what is wrong". */
bool world_load(const std::string &arg, world *w, std::string *error);

/* Every registry value and key of the world's machines, and the drive connections. */
struct snapshot {
    std::map<std::string, std::vector<std::pair<HKEY, sim_reg_value>>> values; /* by machine */
    std::map<std::string, std::vector<std::pair<HKEY, std::string>>> keys;
    std::vector<sim_connection> connections;
};
snapshot take_snapshot(const world &w);

/* What the pass changed in one machine's registry, in dump order: new keys without values,
 * then written values, then deleted ones. */
std::vector<reg_change> registry_changes(const snapshot &before, const snapshot &after,
                                         const std::string &machine);

/* A value's data as the report shows it. */
std::string show_data(DWORD type, const std::string &data);

} // namespace ksim

#endif
