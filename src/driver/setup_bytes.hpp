// The set-up of a run as bytes, for the members of a team: what the set-up leaves for the
// energy loop (the deck's values, the phase table, the number of points, the bonds). The rest of
// run_state is each member's own.
#pragma once
#include <string>

#include "driver/run_state.hpp"

namespace korva {

std::string pack_setup(const run_state& st);
// Fills those parts of `st`; throws std::runtime_error when the bytes are not a whole set-up.
void unpack_setup(const std::string& bytes, run_state& st);

}  // namespace korva
