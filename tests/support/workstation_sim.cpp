/* The test workstation on the simulation: a fresh simulated machine with a C: drive. */
#include "support/workstation.h"

#include "sim/sim.h"

#include <sys/stat.h>

std::string ws_fresh(void)
{
    sim_reset();
    std::string host = sim_make_temp_dir();
    mkdir((host + "/WINDOWS").c_str(), 0777);
    mkdir((host + "/vxtest").c_str(), 0777);
    sim_add_drive('C', DRIVE_FIXED, host.c_str());
    return "C:\\vxtest";
}

bool ws_removable_drives(ws_drives *out)
{
    std::string labelled = sim_make_temp_dir(), blank = sim_make_temp_dir();
    sim_add_drive('A', DRIVE_REMOVABLE, NULL);
    sim_add_drive('B', DRIVE_REMOVABLE, NULL);
    sim_add_drive('F', DRIVE_REMOVABLE, NULL);
    if (!sim_set_medium_label(labelled, WS_MEDIUM_LABEL) ||
        !sim_insert_medium('A', labelled.c_str(), 1, 512, 2847) ||
        !sim_insert_medium('F', blank.c_str(), 1, 512, 2847))
        return false;
    out->labelled = "A:\\";
    out->blank = "F:\\";
    out->empty = "B:\\";
    return true;
}

bool ws_on_simulation(void)
{
    return true;
}

bool ws_on_wine(void)
{
    return false;
}

bool ws_wow64(void)
{
    return sim_wow64();
}

std::string ws_platform(void)
{
    return "simulation";
}

void ws_reg_delete_tree(const std::string &, bool)
{
    /* sim_reset() in the next ws_fresh() empties the simulated registry. */
}

void ws_reg_delete_if_empty(const std::string &)
{
    /* As ws_reg_delete_tree. */
}
