// Start of the run: banner and capacities, the input deck up to the controls, the two data
// files, the bond geometry and the initial CPU-time line; the answers of prompts 10 to 12.
#pragma once
#include <array>
#include <ostream>
#include <vector>

#include "driver/run_state.hpp"
#include "input/deck.hpp"

namespace korva {

void write_banner(std::ostream& out);
// Replays the deck's answers after their prompts, with the checks of each; a deck that fails
// to answer a prompt ends the run there (status 2), one that fails to answer prompts 10 to 12
// after the set-up, before the energy loop.
// `polarisations`: unit vectors in the deck's frame, kept in the cluster's frame (run_parameters).
void setup_run(run_state& st, const deck_reading& deck,
               const std::vector<std::array<real, 3>>& polarisations, std::ostream& out);

}  // namespace korva
