// Phase shifts and cross sections from self-consistent atoms superposed on the cluster of a
// KORVA deck: the free atoms, the absorber with its core hole, the muffin-tin potential, the
// photoelectron's exchange, the core-level width and the dipole cross-section.
#pragma once

#include <ostream>

#include "pstables.hpp"

namespace korva::psgen {

// Computes the tables of the self-consistent model; writes a short account of the potential
// (radii, interstitial level, edge, width) to log. Throws psgen_error on anything it cannot use.
psgen_tables compute_self_consistent(const psgen_input& p, std::ostream& log);

}  // namespace korva::psgen
