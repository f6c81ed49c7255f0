/* Fault sweeps over the simulation's fault switches: fail the N-th call of a family, once and
 * from then on, for N = 1, 2, ... until a run meets no fault. */
#ifndef TESTS_SUPPORT_FAULT_SWEEP_H
#define TESTS_SUPPORT_FAULT_SWEEP_H

#include <gtest/gtest.h>

#include <string>

#include "platform/status.h"
#include "sim/sim.h"

/* prepare (faults off), op (faults armed), then check with op's status and whether a fault
 * fired (faults off again). Every run must leave no file or key open and no heap block
 * behind; the run that meets no fault must succeed. */
template <typename Prepare, typename Op, typename Check>
void fault_sweep(sim_family family, Prepare prepare, Op op, Check check)
{
    for (int persistent = 0; persistent < 2; persistent++) {
        for (unsigned nth = 1;; nth++) {
            SCOPED_TRACE("family " + std::to_string(family) + " call " + std::to_string(nth) +
                         (persistent ? " on" : " once"));
            prepare();
            long blocks = sim_live_blocks();
            sim_fault(family, nth, persistent != 0, 0);
            status_t rc = op();
            bool fired = sim_fault_fired(family) > 0;
            sim_fault_clear();
            EXPECT_EQ(sim_open_files(), 0);
            EXPECT_EQ(sim_open_keys(), 0);
            EXPECT_EQ(sim_live_blocks(), blocks);
            check(rc, fired);
            if (!fired) {
                EXPECT_EQ(rc, STATUS_OK);
                break;
            }
            ASSERT_LT(nth, 200u);
        }
    }
}

#endif
