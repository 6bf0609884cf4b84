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

// The stages of the loop that a run spread over several processes (driver/mpi_loop) calls on
// its own.

// Everything up to the first point: cut-offs, harmonics, the points that fit, the builders'
// tables, the store and, with `plots`, the head of the signal plot. A process that computes
// points for another passes false and leaves the plot file to it.
void prepare_loop(run_state& st, std::ostream& out, run_observer* obs, bool plots = true);

// Point e of channel c up to its progress line: assembly, recursion, normalisation into `s`.
// `changed`: the point's layout may differ from the one the store holds (always true for the
// first point a store sees).
void compute_point(run_state& st, std::ostream& out, run_observer* obs, int c, int e, bool changed,
                   signal_arrays& s);

}  // namespace korva
