// The energy loop spread over the ranks of a process team. The points k = 1..nch nen (channel 1's
// points, then channel 2's, as a serial run takes them) go round-robin: rank r computes
// k = r + 1, r + 1 + size, ... Neighbouring points cost about the same, so every rank gets a fair
// share of the cheap and the dear ones without any exchange beyond the reports, and which rank
// computes a point never changes its bits: a point's result depends on its own inputs only, and
// a rank reshapes its store whenever the layout may differ from the one the store holds.
#pragma once
#include <ostream>

#include "driver/mpi_team.hpp"
#include "driver/observer.hpp"
#include "driver/run_state.hpp"

namespace korva {

// Rank 0, after the set-up: prepares the loop as a serial run does (same messages, same checks,
// the signal plot), then gives every other rank the set-up, computes its own share on a thread
// of its own and prints every point's lines, in point order, as soon as that point and all
// before it are done. A point that ends the run ends it here as it would a serial run, after
// every rank has stopped computing. A failure before the hand-over leaves ending the team to
// the caller (process_team::end).
void shared_energy_loop(run_state& st, std::ostream& out, run_observer* obs, process_team& team);

// Every other rank: waits for the set-up, prepares the loop silently, computes its share and
// reports each point to rank 0, then waits until rank 0 ends the run. Writes nothing itself.
void team_worker(process_team& team, int threads);

}  // namespace korva
