// One whole run of the program on a deck.
#pragma once
#include <array>
#include <istream>
#include <ostream>
#include <vector>

#include "driver/observer.hpp"
#include "driver/point_watch.hpp"
#include "driver/run_state.hpp"

namespace korva {

// How a run computes; the defaults are the program's.
struct run_options {
    // Threads for the solver and the assembly; 0: OpenMP's choice (OMP_NUM_THREADS, or all
    // cores). Results do not depend on it.
    int threads = 0;
    // Sees the phases and the matrices of the run (benchmarks); none by default.
    run_observer* observer = nullptr;
    // Replaces the streaming recursion (tests compare it with the reference solver).
    point_solver solver;
    // The vector kernel of the passes and the copies (benchmarks compare them); every kernel
    // gives the same bits, and one the processor lacks falls back to the widest it has.
    pass_kernel kernel = pass_kernel::best;
    // Members of a team of threads that share the points as the ranks of an MPI job do, each
    // with its own store (tests, benchmarks); 1: no team. The bytes do not depend on it.
    int members = 1;
    // Polarisation vectors in the deck's frame, each of length 1 (the command line normalises
    // them); none: the isotropic spectrum. Only for lcore = 0.
    std::vector<std::array<real, 3>> polarisations;
    // The folder of the deck's file names and of the plot files, or plots kept in memory
    // (in-process callers); by default the working directory, as the program has it.
    run_place place;
    // Progress and cancellation between points (in-process callers); none by default.
    point_watch watch;
};

// Runs the deck read from `deck`, writing every message and table to `out` and the plot
// files in the working directory (or as `opt.place` says). Throws run_stop, read_error or
// write_error when the run ends early, run_cancelled when `opt.watch` stops it.
// In a build with KORVA_MPI, a process started by an MPI launcher runs its part of a run spread
// over the job (team/shared_points): rank 0 reads, writes and ends as a serial run does, with
// the same bytes; every other rank writes nothing and returns normally. `solver` applies only
// to member 0 of a team.
void run(std::istream& deck, std::ostream& out, const run_options& opt = {});

}  // namespace korva
