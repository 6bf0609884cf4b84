// The Fermi level of the cluster from its superposed self-consistent atoms: the free-electron
// gas of the interstitial density, on the phase-shift file's energy scale.
#pragma once

#include "cluster_potential.hpp"

namespace korva::psgen {

// The interstitial density (electrons per Bohr^3): the mean over all atoms of the deck of the
// superposed density at their muffin-tin radius, the same mean that makes the interstitial level
// V0 from the potential.
double interstitial_density(const cluster_potential& c);

// E_F = V0 + k_F^2, k_F = (3 pi^2 rho_int)^(1/3): as a kinetic energy above the interstitial
// level V0 (the file's energies), k_F^2 Rydberg.
double fermi_level(const cluster_potential& c);

}  // namespace korva::psgen
