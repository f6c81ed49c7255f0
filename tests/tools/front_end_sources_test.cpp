/* The front end's own sources, built into the tools tests: klagent-sim is a program, not a
 * library, and its reader, writer and runner are tested in this process. */
#include "tools/klagent-sim/inifile.cpp"
#include "tools/klagent-sim/regfile.cpp"
#include "tools/klagent-sim/world.cpp"
