// Writes the plot of the k-weighted summed chi(k) on the mesh, with a y range from a fixed ladder.
#pragma once
#include <ostream>
#include <string>

#include "common/types.hpp"

namespace korva {

// Writes the whole chi plot on `file` (already connected): header, one data line per mesh
// point (k, k^esp chi when esp > 0, else k, chi) and the closing "JOIN". `name` is the
// 11-character file name shown as the main title.
void chiplot(std::ostream& file, int npi, int nmesh, const real* kmesh, const real* chimesh,
             real esp, const std::string& name);

}  // namespace korva
