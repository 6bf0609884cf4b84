// The scattering matrix of the cluster at one energy point: channel layout of every atom,
// one propagator block per bond, and the two off-diagonal blocks of each pair of atoms.
#pragma once
#include <ostream>

#include "driver/run_state.hpp"

namespace korva {

struct assembly_result {
    int n = 0;          // channels in use, the order of the matrix
    int last_lmax = 0;  // cut-off of the last bond (nat-1, nat)
};

// The cut-off of atom i (1-based) at energy point e.
int atom_cutoff(const run_state& st, int i, int e);
// Order of the matrix at energy point e.
int matrix_order(const run_state& st, int e);

// Fills the off-diagonal blocks for energy point e; when the layout changed, also clears
// what an earlier layout left inside each atom's own block.
assembly_result assemble(run_state& st, std::ostream& out, int e, bool changed);

// The same into the tiled store of the fast solver (already reshaped to this point's order),
// the bonds shared by `threads` threads when the builders stay silent; every entry gets the
// bits the serial assembly gives it.
assembly_result assemble_tiles(run_state& st, std::ostream& out, int e, bool changed, int threads);

// Largest cut-off at which no builder warns at its calls.
constexpr int builder_quiet_lmax = 15;

}  // namespace korva
