// End of the run: total time, the signal table, the cross-section plot with the experimental
// points, and the chi(k) and Fourier-transform plots.
#pragma once
#include <ostream>
#include <string>
#include <vector>

#include "driver/loop_plan.hpp"
#include "driver/run_state.hpp"

namespace korva {

// Hydrogen-like energy law of the atomic cross-section, normalised to 1 as x tends to 0.
real hydrogen_law(real x);

// The k mesh of chi(k) from the answers to prompts 11 and 12 and the plan's points, laid out
// before the energy loop: answers the mesh cannot be built from end the run there, after the
// mesh's lines (the prompts, then the message), not after the loop.
struct chi_mesh {
    real kmin = 0, kmax = 0;  // narrowed to the points' k range
    int nmesh = 0;
    std::vector<real> kpoint;  // k of the points on the mesh's scale
    std::vector<real> kmesh;
    std::vector<int> istart;
    std::string text;  // the mesh's lines, written when the post-processing reaches them
};

chi_mesh plan_chi_mesh(const run_parameters& p, const phase_table& t, int nen, std::ostream& out);

void finish_run(run_state& st, const loop_plan& plan, const chi_mesh& mesh, std::ostream& out);

}  // namespace korva
