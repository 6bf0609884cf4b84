// The energy loop: the preparation of the run's points (cut-offs, harmonics, the matrix-order
// check, the builders' tables, the store) and the signal of every final-state channel at
// every point.
#pragma once
#include <ostream>

#include "driver/observer.hpp"
#include "driver/run_state.hpp"

namespace korva {

// Final-state channel c = 1, 2 of the core state: its l.
constexpr int channel_l0(int lcore, int c) {
    return lcore == 0 ? 1 : (c == 1 ? lcore - 1 : lcore + 1);
}

void energy_loop(run_state& st, std::ostream& out, run_observer* obs);

}  // namespace korva
