// The scattering matrix of the cluster at one energy point, I + G T: one propagator block per
// bond, written once into the half store, and the amplitudes of the atoms' channels.
#pragma once
#include <ostream>
#include <vector>

#include "driver/cutoffs.hpp"
#include "driver/loop_plan.hpp"
#include "driver/observer.hpp"
#include "driver/run_state.hpp"
#include "recursion/tile_store.hpp"

namespace korva {

// What the assembly reads of the run.
struct cluster_view {
    const run_parameters& par;
    const phase_table& phases;
    const bond_list& bonds;
    const ylm_table& ylm;
    int lmxtop;  // the largest cut-off of the run, the one the builders' tables were built for
    pass_kernel kernel = pass_kernel::best;  // the vector width of the copies into the store
};

inline cluster_view cluster_of(const run_state& st, const loop_plan& plan) {
    return {st.par, st.phases, st.bonds, st.ylm, plan.cut.lmxtop, st.kernel};
}

struct assembly_result {
    int n = 0;          // channels in use, the order of the matrix
    int last_lmax = 0;  // cut-off of the last bond (nat-1, nat)
};

// Writes the matrix of point e into g: the block of each bond (atoms i < j) into the stored
// half, and every channel's amplitude t_l (G alone is stored; T acts on the vectors). When the
// layout changed since the last point, g first takes the order lay.order() and the layout's
// atoms, partners and signs, and each atom's own block becomes zero (which clears what an
// earlier layout left there). Each builder's block goes from gg straight into the tiles,
// column by column, unchanged. The bonds are shared by the threads of `builders` (one scratch
// each) when the builders stay silent; every entry gets the bits a serial assembly gives it.
// With `timing`, the time of each step is added to its asm_ fields.
assembly_result assemble(const cluster_view& cl, const atom_layout& lay, int e, bool changed,
                         std::vector<builder_scratch>& builders, tile_store& g, std::ostream& out,
                         run_timings* timing = nullptr);

// The first call of each builder, with the run's largest cut-off and the first point: it
// builds the tables (and writes the builders' messages). Every thread's scratch then gets a
// copy of them.
void warm_up_builders(const cluster_view& cl, std::vector<builder_scratch>& builders,
                      std::ostream& out);

// Largest cut-off at which no builder warns at its calls.
constexpr int builder_quiet_lmax = 15;

}  // namespace korva
