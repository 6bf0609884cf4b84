// The Fermi level from a count of the electrons that includes the multiple scattering between
// the atoms (Lloyd's formula): the states a central atom adds to the cluster around it, its own
// phase shifts (Friedel's sum, friedel_count.hpp) plus the change of the cluster's scattering
// determinant when it is put in, followed from below the valence band along a contour in the
// upper half of the complex energy plane.
#pragma once

#include <optional>
#include <vector>

#include "friedel_count.hpp"
#include "radial.hpp"

namespace korva::psgen {

// One kind of atom of the count: its real ground-state potential inside the sphere, above the
// interstitial level (Ry), and its muffin-tin radius (Bohr).
struct count_kind {
    radial_potential v;
    double rmt;
};

struct count_atom {
    double x, y, z;  // Bohr
    int kind;        // index into the kinds
};

// A central atom: its cluster (the centre first, then the neighbours its count sees) and its
// own kind as the count without multiple scattering sees it (volume, electrons, weight).
struct count_centre {
    std::vector<count_atom> cluster;
    counted_site site;
};

// Angular momenta of the count: s, p, d and f (the Friedel count's l_count).
constexpr int count_lmax = 3;

// The multiple-scattering part of the states the centre (cluster[0]) adds to its cluster
// between the real energies e_low and e_high (Ry, above the interstitial level, e_low < e_high):
// (2/pi) times the change of arg det[(M^-1)_00] along a half circle above the real axis, with
// M = I - i g t the scattering matrix of the cluster (g: site_coupling.hpp; t_l = e^{i delta}
// sin delta of each atom's kind), l <= count_lmax. Two electrons (the spins) per state.
// Lloyd: N(E) = N_free(E) + (2/pi) sum (2l + 1) delta_l - (2/pi) Im ln det M; inserting the
// centre changes ln det M by -ln det[(M^-1)_00] (the Schur complement of its block).
double scattering_states(const std::vector<count_kind>& kinds,
                         const std::vector<count_atom>& cluster, double e_low, double e_high);

// The same part at one real energy from the principal phase alone, (2/pi) arg det[(M^-1)_00]
// in (-2, 2]: the value itself wherever multiple scattering moves fewer than two states.
double scattering_states_at(const std::vector<count_kind>& kinds,
                            const std::vector<count_atom>& cluster, double e);

// The energy below the valence band where the contour starts: the middle of the widest range of
// [-3, -0.2] Ry in which no kind has a bound state of l <= count_lmax (the cores lie below it, the
// valence states, bands or semicore levels, above it).
double valence_floor(const std::vector<count_kind>& kinds);

// E_F (kinetic energy above the interstitial level, Ry): where the weighted states of the
// centres, each the free electrons of its volume, its Friedel sum above the level and the
// multiple-scattering part from the valence floor, reach their weighted valence electrons.
// start: a first estimate on the real axis (the contour ends there, the search walks on from
// it). Nothing when the count is not reached between 1e-3 and 3 Ry.
std::optional<double> lloyd_fermi_level(const std::vector<count_kind>& kinds,
                                        const std::vector<count_centre>& centres, double start);

}  // namespace korva::psgen
