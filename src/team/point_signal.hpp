// The value of one energy point of one final-state channel, as the member that computed it
// hands it back: the point's entries of the signal arrays, what it wrote to standard output,
// and how its computation ended.
#pragma once
#include <string>
#include <vector>

#include "common/types.hpp"

namespace korva {

enum class point_end : int {
    done,           // its signal is here
    stopped,        // it wrote a run-ending message (run_stop)
    out_of_memory,  // std::bad_alloc
    internal        // any other exception; `what` says which
};

struct point_signal {
    int k = 0;  // the point's place in the run: (c - 1) nen + e
    int c = 0, e = 0;
    point_end end = point_end::done;
    std::string text;  // its standard-output lines, the progress line last
    std::string what;
    // One value per column the point gives: its channel's, or one per polarisation.
    std::vector<cplx> csig;
    std::vector<real> xtot, camp, cphase;
    real kwave = 0;
};

// Records in `s` how the exception in flight ended its point.
void record_failure(point_signal& s);
// Throws what ended a point that is not done, as the run would have met it.
void rethrow_failure(const point_signal& s);

std::string pack_signal(const point_signal& s);
point_signal unpack_signal(const std::string& bytes, std::size_t from = 0);

}  // namespace korva
