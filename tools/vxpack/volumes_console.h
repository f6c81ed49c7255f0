/* The disk prompt of a removable drive on the console: it says what is in the drive, asks for
 * the disk wanted, and lets a split label only a blank disk unless the user agrees to more.
 * vxpack.exe answers the engine's prompts with it; it works through the platform's volume
 * calls alone, so that the simulated removable drives exercise it too. */
#ifndef TOOLS_VXPACK_VOLUMES_CONSOLE_H
#define TOOLS_VXPACK_VOLUMES_CONSOLE_H

#include <stdint.h>
#include <stdio.h>

#include <string>
#include <vector>

#include "pack_volumes.h"

namespace vxpack {

/* Where the prompt reads the user's lines (false at the end of the input) and writes. */
struct console_io {
    bool (*read_line)(std::string *line);
    FILE *out;
};

/* What a drive holds, as the prompt tells it. */
struct drive_contents {
    bool readable;                  /* a disk could be read */
    std::string label;              /* empty: no label */
    std::vector<std::string> files; /* in its root */
};

/* X: or X:\ typed as a drive (blanks and separators after it allowed): true with its root
 * X:\ in *root; false for anything else. */
bool console_typed_drive(const std::string &typed, std::string *root);

/* Read the disk in the drive whose root (X:\) is given. */
drive_contents console_read_drive(const std::string &root);

/* "The disk in drive A: is labelled "DISK 1" and holds 1ETUP.EXE." and the like. */
std::string console_describe(const std::string &drive, const drive_contents &c);

/* The engine's disk prompt, as vxpack.exe gives it (see transfer_prompt_fn): v is the prompt
 * context. In a split (v->write), a disk that carries a label or holds files is not let
 * through to be labelled: one of this run's volumes never, any other only when the user types
 * Y (with v->quiet it is refused and the prompt cancels, v->failure saying why). */
void console_prompt(pack_volumes *v, char *drive_root, int32_t volume, int32_t *cancel,
                    const console_io &io);

} // namespace vxpack

#endif
