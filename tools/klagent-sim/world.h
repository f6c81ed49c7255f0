/* klagent-sim: one pass of the agent on a workstation described by files in a world directory,
 * what the user saw and what the agent changed, written back into the world. */
#ifndef TOOLS_KLAGENT_SIM_WORLD_H
#define TOOLS_KLAGENT_SIM_WORLD_H

#include <cstdio>
#include <string>
#include <vector>

namespace ksim {

/* The whole command line (argv[0] is the program). The report goes to out, errors to err.
 * Returns the exit code: the agent's (0) after a pass, 1 for a world that cannot be read, 2 for
 * a bad command line. */
int ksim_main(int argc, char **argv, FILE *out, FILE *err);

/* The same with the arguments after the program name. */
int ksim_run(const std::vector<std::string> &args, FILE *out, FILE *err);

} // namespace ksim

#endif
