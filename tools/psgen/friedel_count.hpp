// The Fermi level from a count of the electrons in the states of the cluster's atoms: Friedel's
// sum of the phase shifts of each muffin-tin potential (Lloyd's formula without its
// multiple-scattering term) and the free electrons of each atom's share of space.
#pragma once

#include <optional>
#include <vector>

#include "radial.hpp"

namespace korva::psgen {

// One kind of atom of the count.
struct counted_site {
    radial_potential v;  // its real ground-state potential inside the sphere, above the
                         // interstitial level (Ry)
    double rmt;          // muffin-tin radius, Bohr
    double volume;       // its share of space, Bohr^3 (the Norman sphere: it holds Z electrons)
    double electrons;    // of the neutral atom
    double weight;       // atoms of the cluster of this kind
};

// Bound states of angular momentum l below the energy e <= 0 (Ry; the interstitial level is 0):
// the nodes of the regular solution at e in (0, inf) (Sturm), those inside the sphere plus one
// outside when the logarithmic derivative r u'/u at the sphere lies below that of the decaying
// solution outside, 1 + kr h_l'(kr)/h_l(kr) with k = i sqrt(-e) (-l at e = 0, where
// u = A r^(l+1) + B r^(-l)).
int bound_states(const radial_potential& v, double rmt, int l, double e = 0.0);

// The valence electrons of a kind: its electrons less 2 (2l + 1) for every state of l <= 3
// bound below the interstitial level (the cores).
double valence_electrons(const counted_site& s);

// Friedel's states of one kind per atom above the interstitial level, the N(e) of
// friedel_fermi_level, sampled where its phases were followed (1e-3 to 3 Ry, steps of at most
// 0.01 Ry, halved in a resonance); linear between the samples, constant past the ends.
struct state_curve {
    std::vector<double> e, n;
    double operator()(double energy) const;
};
state_curve friedel_states(const counted_site& s);

// The states above the interstitial level up to kinetic energy e, per atom of a kind:
// N(e) = volume k^3/(3 pi^2) + (2/pi) sum_l (2l + 1) [delta_l(e) - delta_l(0+)], l = 0..3, the
// phase shifts followed continuously from the lowest energy (steps halved wherever a phase
// moves by more than pi/4: a narrow d or f resonance is not skipped). E_F is where the weighted
// sum reaches the valence electrons, those not in states bound below the level (filled shells:
// 2 (2l + 1) per bound state); nothing when the count is not reached below 3 Ry or the kinds
// have no valence electron.
std::optional<double> friedel_fermi_level(const std::vector<counted_site>& sites);

}  // namespace korva::psgen
