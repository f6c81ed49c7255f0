/* Volume sets as vxpack reaches them: where the volumes are, how one is asked for, what they
 * hold. On Linux each volume is a folder of --volumes DIR, put into the removable drive A: of
 * the simulated workstation as the engine asks for it; on Windows the volumes are the disks of
 * a removable drive (--drive), changed by the user at a prompt on the console. */
#ifndef TOOLS_VXPACK_PACK_VOLUMES_H
#define TOOLS_VXPACK_PACK_VOLUMES_H

#include <stdint.h>

#include <string>
#include <vector>

namespace vxpack {

struct pack_volumes {
    std::string folder;   /* Linux: the folder whose folders are the volumes */
    std::string drive;    /* Windows: the removable drive, such as A: */
    uint64_t volume_size; /* Linux: the capacity of a volume folder */
    bool write;           /* a split: volumes missing are made (Linux) and labelled */
    std::string label;    /* the label base, for the prompt's words */
    std::string failure;  /* why the prompt cancelled, when it was not the user's choice */
    bool quiet = false;   /* --quiet: a disk that holds anything is refused, not asked about */
};

/* A volume's name, label and files (name, bytes), for list. */
struct volume_info {
    std::string shown;
    std::string label;
    std::vector<std::pair<std::string, uint64_t>> files;
    std::vector<int64_t> written; /* each file's last write time (host units), as files */
    bool alone = false; /* read by itself: the other volumes of its sets were out of reach */
};

/* Whether --volumes and --drive are what this build takes (false with *error in words: the
 * other build's option, or none where one is needed). */
bool volumes_options_valid(const std::string &folder, const std::string &drive,
                           std::string *error);

/* Make the drive ready for a copy: false with *error in words (a missing folder, an option
 * this build does not take). */
bool volumes_open(pack_volumes *v, std::string *error);

/* The engine's disk prompt; its prompt context is the pack_volumes. */
void volumes_prompt(int32_t user, char *drive_root, const void *context, int32_t volume,
                    const char *platform, int32_t *cancel, int32_t wrong_volume);

/* What the volumes hold: every volume folder (Linux; a volume folder given itself is read
 * alone), or the disk in the drive (Windows; always alone). */
bool volumes_list(const pack_volumes &v, std::vector<volume_info> *out, std::string *error);

/* After a failed split, take the pieces named [in] off the volumes labelled "label n" for n
 * from first to last, as far as this platform reaches them (Linux: every volume folder;
 * Windows: the disk in the drive). */
void volumes_discard(const pack_volumes &v, int32_t first, int32_t last,
                     const std::vector<std::string> &pieces);

/* "label n", as the engine labels volumes. */
std::string volumes_label(const std::string &base, int32_t volume);

} // namespace vxpack

#endif
