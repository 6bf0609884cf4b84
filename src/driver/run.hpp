// One whole run of the program on a deck.
#pragma once
#include <istream>
#include <ostream>

namespace korva {

// Runs the deck read from `deck`, writing every message and table to `out` and the plot
// files in the working directory. Throws run_stop or read_error when the run ends early.
void run(std::istream& deck, std::ostream& out);

}  // namespace korva
