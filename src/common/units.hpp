// Unit conversions and constants shared by the run.
#pragma once
#include "common/types.hpp"

namespace korva {
constexpr real bohr = 0.529f;      // Angstrom per Bohr radius, the driver's conversion
constexpr real ev = 13.6058f;      // eV per Rydberg, the driver's conversion
constexpr real pi_f = 3.1415927f;  // single-precision pi of the program
}  // namespace korva
