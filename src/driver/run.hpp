// One whole run of the program on a deck.
#pragma once
#include <functional>
#include <istream>
#include <ostream>

#include "common/cputime.hpp"

namespace korva {

class tile_store;

// How a run computes; the defaults are the program's.
struct run_options {
    // The plain row-list solver instead of the streaming one; by default it is chosen by the
    // environment variable KORVA_SOLVER=plain.
    int plain = -1;  // -1 from the environment, 0 no, 1 yes
    // Threads for the solver and the assembly; 0: OpenMP's choice (OMP_NUM_THREADS, or all cores).
    int threads = 0;
    // Sees the assembled matrix of every point of the streaming solver (benchmarks).
    std::function<void(const tile_store&, int e)> matrix_hook;
};

// Runs the deck read from `deck`, writing every message and table to `out` and the plot
// files in the working directory. Throws run_stop or read_error when the run ends early.
void run(std::istream& deck, std::ostream& out);

// The same with explicit options; returns the wall time of each phase.
run_timings run(std::istream& deck, std::ostream& out, const run_options& opt);

}  // namespace korva
