// The core level of an absorption edge, the absorber's configurations with a core hole, and the
// natural width of the level.
#pragma once

#include <optional>
#include <string>

#include "elements.hpp"

namespace korva::psgen {

struct core_level {
    int n;
    int l;
    double electrons;  // electrons of the level before absorption: 2 (K, L1, L2), 4 (L3)
};

// "K" -> 1s, "L1" -> 2s, "L2" -> 2p1/2 (2 electrons), "L3" -> 2p3/2 (4 electrons). Throws
// psgen_error for anything else.
core_level edge_level(const std::string& name);

// The configuration c with one electron taken from the core level and put into the lowest
// valence level with room (in the Madelung order of filling): the relaxed final state. Throws
// psgen_error if the core level is empty.
configuration with_core_hole(const configuration& c, const core_level& core);

// Natural width (FWHM, eV) of the K, L1, L2 or L3 level of element z, from the table of J. L.
// Campbell and T. Papp, At. Data Nucl. Data Tables 77, 1 (2001), which covers Z = 10..92 (not the
// L1 level of neon); empty for other levels and elements.
std::optional<double> core_width_ev(int z, const std::string& edge);

}  // namespace korva::psgen
