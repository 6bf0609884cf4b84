// End of the run: total time, the signal table, the cross-section plot with the experimental
// points, and the chi(k) and Fourier-transform plots.
#pragma once
#include <ostream>

#include "common/listread.hpp"
#include "driver/run_state.hpp"

namespace korva {

// Hydrogen-like energy law of the atomic cross-section, normalised to 1 as x tends to 0.
real hydrogen_law(real x);

void finish_run(run_state& st, text_input& deck, std::ostream& out);

}  // namespace korva
