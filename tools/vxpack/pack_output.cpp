/* Temporary names and the move into place, through the library's own file operations. */
#include "pack_output.h"

#include <cstdio>

#include "pack_host.h"
#include "pack_interrupt.h"
#include "platform/file.h"
#include "platform/os.h"
#include "platform/path.h"
#include "transfer/transfer.h"

namespace vxpack {

/* Temporary names tried before giving up: more would mean a folder full of leftovers. */
static const int OUTPUT_TEMP_TRIES = 999;

bool output_begin(const std::string &final_path, pack_output *out, std::string *error)
{
    char root[PATH_CAP], dir[PATH_CAP], base[PATH_CAP], ext[PATH_CAP], temp[PATH_CAP];
    path_split(final_path.c_str(), root, dir, base, ext);
    for (int n = 1; n <= OUTPUT_TEMP_TRIES; n++) {
        char name[16];
        snprintf(name, sizeof name, "~VXP%04d", n);
        truth_t exists = 0;
        if (!path_compose(temp, root, dir, name, "TMP")) {
            *error = "the name is longer than Windows allows";
            return false;
        }
        if (file_exists(temp, &exists) != STATUS_OK) {
            *error = "its folder cannot be read";
            return false;
        }
        if (exists)
            continue;
        /* Another run may have taken the name since the look: only making the file settles
         * whose it is. */
        bool taken = false;
        /* Made and watched in one step: an interruption in between would leave it behind. */
        interrupt_hold();
        bool made = host_create_new(temp, &taken, error);
        if (made && !host_watch(temp)) {
            file_delete(temp);
            made = false;
            *error = "too many files made at once";
        }
        interrupt_release();
        if (made) {
            out->final_path = final_path;
            out->temp_path = temp;
            return true;
        }
        if (!taken)
            return false;
    }
    *error = "its folder holds no free temporary name (~VXP0001.TMP to ~VXP0999.TMP)";
    return false;
}

status_t output_commit(pack_output *out)
{
    /* One step where the platform can replace a file; the library's move otherwise. */
    status_t rc = STATUS_OK;
    /* An interruption waits until the file is in place and no longer watched: otherwise the
     * handler could remove the temporary name after the move, when another run may own it. */
    interrupt_hold();
    if (!MoveFileExA(out->temp_path.c_str(), out->final_path.c_str(), MOVEFILE_REPLACE_EXISTING))
        rc = file_move_or_copy(out->temp_path.c_str(), out->final_path.c_str(), 0, 0, NULL, NULL,
                               0);
    if (rc != STATUS_OK)
        output_abandon(out);
    host_forget(out->temp_path);
    interrupt_release();
    out->temp_path.clear();
    return rc;
}

void output_abandon(pack_output *out)
{
    if (!out->temp_path.empty()) {
        file_delete(out->temp_path.c_str());
        host_forget(out->temp_path);
    }
    out->temp_path.clear();
}

} // namespace vxpack
