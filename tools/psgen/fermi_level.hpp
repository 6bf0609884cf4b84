// The Fermi level of the cluster from its superposed self-consistent atoms, on the phase-shift
// file's energy scale (kinetic energy above the interstitial level): a count of the electrons
// in the states of its atoms, or the free-electron gas of the interstitial density.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cluster_potential.hpp"
#include "deck_atoms.hpp"
#include "photoelectron.hpp"

namespace korva::psgen {

// The interstitial density (electrons per Bohr^3): the mean over all atoms of the deck of the
// superposed density at their muffin-tin radius, the same mean that makes the interstitial level
// V0 from the potential.
double interstitial_density(const cluster_potential& c);

// The electron-gas estimate E_F = V0 + k_F^2, k_F = (3 pi^2 rho_int)^(1/3): as a kinetic energy
// above the interstitial level, k_F^2 Rydberg.
double fermi_level(const cluster_potential& c);

// The charge count without multiple scattering (friedel_count.hpp) in the ground-state LDA
// potential of the superposed density, over every phase set but the absorber's (set 1 carries
// the core hole), each weighted by its atoms: the absolute Fermi energy (Ry, the potential's
// zero), or nothing when no other set exists or the count fails.
std::optional<double> counted_fermi_energy(const cluster_potential& c);

// The charge count with multiple scattering (lloyd_count.hpp) in the ground-state LDA potential
// of the cluster superposed with the absorber in its ground state (ground; the Fermi level of
// the material does not move with one core hole). The centres: the absorber for its own
// element, for every other element its phase sets' atom nearest to the absorber, each weighted
// by the atoms of those sets, each with the atoms of the deck within count_reach times its
// nearest-neighbour distance. The absolute Fermi energy (Ry), or nothing when the count fails.
constexpr double count_reach = 1.45;  // fcc: 2 shells, 19 atoms; bcc: 2 shells, 15 atoms
std::optional<double> scattering_fermi_energy(const cluster_potential& ground,
                                              const std::vector<deck_atom>& atoms,
                                              double reach = count_reach);

// What the Fermi level comes from: the photoelectron's potential, the same cluster with the
// absorber in its ground state, and the deck's atoms.
struct fermi_inputs {
    const cluster_potential& cluster;
    const cluster_potential& ground;
    const std::vector<deck_atom>& atoms;
};

struct fermi_estimate {
    double level;     // Ry above the interstitial level of the photoelectron's model
    std::string how;  // "charge count", "Friedel count", "electron gas" or "given"
};

// The Fermi level a run uses. mode "charge-count": the count with multiple scattering;
// "friedel": the count without it; either placed on the model's scale (the kinetic energy e at
// which e plus the model's interstitial level at the Fermi level is the counted energy), the
// electron gas when the count fails; "electron-gas"; "given": given (Ry).
fermi_estimate estimate_fermi_level(const std::string& mode, double given, const fermi_inputs& in,
                                    const photo_model& m);

}  // namespace korva::psgen
