/* The smallest program Windows starts, for tests that need an executable image on disk. */
#include "support/workstation.h"

#include "program_image.h"

std::string ws_program_image(void)
{
    return std::string((const char *)WS_PROGRAM_IMAGE, sizeof WS_PROGRAM_IMAGE);
}
