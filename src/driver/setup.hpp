// Start of the run: banner and capacities, the input deck up to the controls, the two data
// files, the bond geometry and the initial CPU-time line.
#pragma once
#include <ostream>

#include "common/listread.hpp"
#include "driver/run_state.hpp"

namespace korva {

void write_banner(std::ostream& out);
void setup_run(run_state& st, text_input& deck, std::ostream& out);

}  // namespace korva
