// The stages before the first energy point; each reads what it names and writes its result.
#pragma once
#include <ostream>
#include <vector>

#include "driver/cutoffs.hpp"
#include "driver/run_state.hpp"

namespace korva {

// The spherical harmonics of every bond but the first, up to twice the largest cut-off.
ylm_table bond_harmonics(const bond_list& bonds, int lmxtop, std::ostream& out);

// The points whose matrix fits the store, and the largest order among them.
struct point_range {
    int nen = 0;
    int nmax = 0;
};

// Warns about every point whose matrix order exceeds NDM_; the run stops before the first of
// them, and ends if that is point 1.
point_range fitting_points(const point_cutoffs& cut, const run_parameters& p, int nen,
                           std::ostream& out);

// Stops the run at a point the loop cannot compute: a zero wave number (the propagators divide
// by k r), a zero amplitude t_L0 of the absorbing atom (the normalisation divides by it), or a
// layout of the absorbing atom without a channel (L0, M0) the loop asks for.
void check_points(const phase_table& t, const point_cutoffs& cut, const run_parameters& p, int nen,
                  int nch, std::ostream& out);

}  // namespace korva
