// What a benchmark sees of a run: the wall time of each phase and, when it asks, the assembled
// matrix of every point; what an in-process caller takes from it: the run's data at its end.
// The run never prints any of it.
#pragma once
#include <functional>
#include <vector>

#include "common/cputime.hpp"

namespace korva {

class tile_store;
struct run_state;

struct run_timings {
    double setup = 0, ylm = 0, builders = 0, store = 0, assembly = 0, recursion = 0, post = 0;
    std::vector<double> point;      // each energy point of each channel, assembly to data line
    std::vector<double> point_rec;  // the recursion of each point
    std::vector<int> point_levels;  // the largest number of levels of each point
    std::vector<int> point_order;   // the order of the matrix at each point
    // Channels of the pass a level of each point reads the store for: one for M0 = 0, two for
    // each M0 > 0 (its recursion is two-sided).
    std::vector<int> point_channels;
    // The assembly's steps, summed over the points: the store reshaped at a layout change
    // (wall seconds), then the builders' calls and the scaled copies of their blocks into the
    // store (thread-seconds: summed over the threads that share the bonds).
    double asm_reshape = 0, asm_build = 0, asm_copy = 0;
    double matrix_bytes = 0, ylm_bytes = 0;
    int threads = 1;
};

struct run_observer {
    run_timings timing;
    // Called with the assembled matrix of each point before its recursion.
    std::function<void(const tile_store&, int e)> matrix_hook;
    // Called with the run's data once its post-processing is done, before the plot files are
    // put in place, with the number of points of its loop.
    std::function<void(const run_state&, int nen)> end_hook;
};

// Adds the wall time of its scope to one field of an observer's timings; with no observer it
// does nothing.
class phase_timer {
  public:
    phase_timer(run_observer* obs, double run_timings::*field)
        : obs_(obs), field_(field), t0_(obs ? wall_seconds() : 0.0) {}
    phase_timer(const phase_timer&) = delete;
    phase_timer& operator=(const phase_timer&) = delete;
    ~phase_timer() {
        if (obs_) obs_->timing.*field_ += wall_seconds() - t0_;
    }

  private:
    run_observer* obs_;
    double run_timings::*field_;
    double t0_;
};

}  // namespace korva
