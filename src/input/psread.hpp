// Reads the phase-shift and cross-section files into the phase-shift table, prints the
// summary of largest l per phase set and its change points, and checks the capacities.
#pragma once
#include <ostream>

#include "common/listread.hpp"
#include "input/phase_table.hpp"

namespace korva {

// `ps` is the phase-shift file, `xs` the cross-section file (both opened by the caller, who
// closes them after the return). lcore = 0 gives one cross-section record per energy point,
// any other value two. A run-ending condition writes its message and throws run_stop; a
// cross-section file that ends early throws read_error.
void psread(std::ostream& out, text_input& ps, text_input& xs, int lcore, phase_table& t);

}  // namespace korva
