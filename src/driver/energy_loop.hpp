// The energy loop: per-energy cut-offs, the spherical-harmonics table, the matrix-dimension
// check, the builders' set-up, and the signal of every final-state channel at every point.
#pragma once
#include <ostream>

#include "driver/run_state.hpp"

namespace korva {

// Cut-off l of each phase set at each energy point from TOLL_lmax and the running reference
// magnitude of the amplitudes; returns the largest cut-off of the run.
int energy_cutoffs(phase_table& t, real toll_lmax);

void energy_loop(run_state& st, std::ostream& out);

}  // namespace korva
