// The energy loop: the signal of every final-state channel at every point of the plan, computed
// by the members of a team (a serial run is a team of one) and taken into the run in point
// order.
#pragma once
#include <ostream>

#include "driver/loop_plan.hpp"
#include "driver/observer.hpp"
#include "driver/point_watch.hpp"
#include "driver/run_state.hpp"
#include "team/point_team.hpp"

namespace korva {

// Point k of the plan: assembly, recursion, normalisation, its lines and its signal. A point
// that ends the run says so in its signal. `changed`: the point's layout may differ from the
// one the store holds (always true for the first point a store sees).
point_signal compute_signal(run_state& st, const loop_plan& plan, run_observer* obs, int k,
                            bool changed);

// Computes the points `team` hands out, in that order, until it has no more for this member or
// one of them fails.
void compute_points(run_state& st, const loop_plan& plan, point_team& team, run_observer* obs);

// A point's lines and signal into the run: standard output, the signal arrays, the signal
// plot; then `watch` hears of it. Throws what ended a point that failed, after its lines, and
// run_cancelled when `watch` stops the run.
void take_signal(run_state& st, const loop_plan& plan, std::ostream& out, const point_signal& s,
                 const point_watch& watch = {});

// Every point of a serial run, then the end of the loop.
void energy_loop(run_state& st, const loop_plan& plan, std::ostream& out, run_observer* obs,
                 const point_watch& watch = {});

// After the last point: the end of the signal plot (with the curves of further polarisations)
// and the line after the progress lines.
void end_loop(run_state& st, const loop_plan& plan, std::ostream& out);

}  // namespace korva
