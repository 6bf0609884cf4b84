// Everything a run owns, from the deck to the spectra; one object per run.
#pragma once
#include "driver/run_parameters.hpp"
#include "geometry/angles.hpp"
#include "input/phase_table.hpp"

namespace korva {

struct run_state {
    run_parameters par;
    phase_table phases;
    angles_frame frame;  // keeps the reference direction
    bond_list bonds;
};

}  // namespace korva
