/* klagent-sim WORLD [ARGS...] [--trace]: the agent's pass on a described workstation. */
#include <cstdio>

#include "world.h"

int main(int argc, char **argv)
{
    return ksim::ksim_main(argc, argv, stdout, stderr);
}
