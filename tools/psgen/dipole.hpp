// Atomic photo-absorption cross-section of a core level from the dipole matrix element between
// the core orbital and the regular continuum solution inside the absorber's muffin-tin sphere.
#pragma once

#include "atom_grid.hpp"
#include "radial.hpp"

namespace korva::psgen {

struct core_orbital {
    const radial_grid* grid;
    const std::vector<double>* p;  // P = r R, normalised, on grid
    int l;
    double electrons;  // electrons of the level that can be excited
};

// Cross-section (Mbarn) of final-state channel l0 at photoelectron energy e (Ry, real) and
// photon energy e + edge (Ry), length form:
//   sigma = (4 pi^2 / 3c) w N (l_> / (2 l_c + 1)) |int P_c r P_e dr|^2   (Hartree units, a0^2),
// w the photon energy in Hartree, N the electrons of the level, l_> = max(l_c, l0), and P_e the
// continuum solution normalised per Hartree, P_e -> sqrt(2/(pi k)) sin(k r - l pi/2 + delta)
// outside the sphere. The integral runs to the muffin-tin radius, where the core orbital has
// vanished. a0^2 = 28.002852 Mbarn.
double dipole_sigma(const radial_potential& v, double rmt, double e, double edge, int l0,
                    const core_orbital& core);

}  // namespace korva::psgen
