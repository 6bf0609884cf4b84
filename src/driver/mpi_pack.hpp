// The messages of a run spread over several processes, as bytes: the set-up rank 0 gives every
// rank, and the report of one computed point. Sender and receiver are the same program on the
// same kind of machine, so values travel as their bytes.
#pragma once
#include <string>

#include "common/types.hpp"
#include "driver/run_state.hpp"

namespace korva {

// What the set-up leaves for the energy loop: the deck's values, the phase table, the number of
// points and the bonds. The rest of run_state is each rank's own.
std::string pack_setup(const run_state& st);
// Fills those parts of `st`; throws std::runtime_error when the bytes are not a whole set-up.
void unpack_setup(const std::string& bytes, run_state& st);

// How the computation of a point ended.
enum class point_end : int {
    done,           // its signal is in the report
    stopped,        // it wrote a run-ending message (run_stop)
    out_of_memory,  // std::bad_alloc
    internal        // any other exception; `what` says which
};

// One point of one channel as the rank that computed it reports it.
struct point_report {
    int k = 0;  // the point's place in the run: (c - 1) nen + e
    int c = 0, e = 0;
    point_end end = point_end::done;
    std::string text;  // what the point wrote to standard output, its progress line last
    std::string what;
    // The point's entries of the signal arrays (signal_arrays), when it is done.
    cplx csig{};
    real xtot = 0, camp = 0, cphase = 0, kwave = 0;
};

std::string pack_report(const point_report& r);
point_report unpack_report(const std::string& bytes);

}  // namespace korva
