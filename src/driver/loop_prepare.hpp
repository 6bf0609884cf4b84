// The stages before the first energy point; each reads what it names and writes its result.
#pragma once
#include <ostream>
#include <vector>

#include "driver/cutoffs.hpp"
#include "driver/loop_plan.hpp"
#include "driver/observer.hpp"
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

// The plan of the loop: the cut-offs of the set-up's points, the harmonics of every bond
// (into st.ylm), the points whose matrix fits, and the checks of every one of them. Writes the
// Ylm line and the warnings; ends the run for points the loop cannot compute.
loop_plan plan_loop(run_state& st, std::ostream& out, run_observer* obs);

// What a member needs to compute the plan's points: the builders' tables, the store (every page
// touched now, so no point pays for first touches) and, with `plots`, the head of the signal
// plot; then the lines that name the channels. A member that computes points for another passes
// false and leaves the plot file to it.
void prepare_points(run_state& st, const loop_plan& plan, std::ostream& out, run_observer* obs,
                    bool plots);

}  // namespace korva
