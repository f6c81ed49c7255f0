/* klagent-sim --explain: the pass told in sentences, from the platform calls the agent made. */
#ifndef TOOLS_KLAGENT_SIM_EXPLAIN_H
#define TOOLS_KLAGENT_SIM_EXPLAIN_H

#include <string>
#include <vector>

#include "sim/sim.h"

namespace ksim {

/* Why the pass ended as it did: where the agent was started from, the values it read and from
 * where (each once), the drives it found or connected, which list held the client's time stamp
 * and how the two stamps compared, and the outcome with the setting or call that led to it.
 * calls: the pass's platform calls in order; the registries are read as they are now (call
 * before the simulation is reset). */
std::vector<std::string> explain_pass(const std::vector<sim_call> &calls);

/* The report files a pass wrote (its successful section writes), each once, in order. */
std::vector<std::string> reports_written(const std::vector<sim_call> &calls);

} // namespace ksim

#endif
