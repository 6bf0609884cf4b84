#include "cluster_potential.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "psgen_input.hpp"

namespace korva::psgen {

namespace {

constexpr double bohr_per_angstrom = 1.0 / 0.529;  // the program's conversion

// Running integrals of a free atom that give the spherical average of its fields about a
// centre at distance R: for f(s), the average over the sphere of radius r is
// (F(r + R) - F(|r - R|)) / (2 r R) with F(s) = int_0^s f(t) t dt.
struct atom_integrals {
    const radial_grid* grid;
    std::vector<double> fv;    // F for the Coulomb potential: int (t V(t)) dt, V(t) t = -z + t V_H
    std::vector<double> frho;  // F for the density: int t rho(t) dt
};

atom_integrals integrals_of(const atom_solution& a) {
    const radial_grid& g = a.grid;
    std::vector<double> tv(g.size()), trho(g.size());
    for (int i = 0; i < g.size(); ++i) {
        tv[i] = -a.z + g.r[i] * a.v_hartree[i];
        trho[i] = a.density[i] / (4.0 * std::numbers::pi * g.r[i]);
    }
    return {&g, integral_outward(g, tv), integral_outward(g, trho)};
}

// Own atom plus the spherical averages of every other atom, at the representative site.
site_potential superpose(int site, const std::vector<deck_atom>& atoms,
                         const std::vector<atom_solution>& free_atoms,
                         const std::vector<atom_integrals>& ints) {
    site_potential s;
    const int t = atoms[site].iph - 1;
    s.z = static_cast<int>(std::lround(free_atoms[t].z));
    s.grid = make_grid(1.0e-6, 15.0, 2400);
    const radial_grid& g = s.grid;
    const atom_solution& own = free_atoms[t];
    s.rv.resize(g.size());
    s.rho.resize(g.size());
    std::vector<double> own_rv(own.grid.size());
    for (int i = 0; i < own.grid.size(); ++i) own_rv[i] = -own.z + own.grid.r[i] * own.v_hartree[i];
    for (int i = 0; i < g.size(); ++i) {
        const double r = g.r[i];
        s.rv[i] = interpolate(own.grid, own_rv, r);
        s.rho[i] = interpolate(own.grid, own.density, r) / (4.0 * std::numbers::pi * r * r);
    }
    for (std::size_t j = 0; j < atoms.size(); ++j) {
        if (static_cast<int>(j) == site) continue;
        const double d = distance(atoms[site], atoms[j]) * bohr_per_angstrom;
        const atom_integrals& a = ints[atoms[j].iph - 1];
        for (int i = 0; i < g.size(); ++i) {
            const double r = g.r[i], hi = r + d, lo = std::abs(r - d);
            s.rv[i] +=
                (interpolate(*a.grid, a.fv, hi) - interpolate(*a.grid, a.fv, lo)) / (2.0 * d);
            s.rho[i] += (interpolate(*a.grid, a.frho, hi) - interpolate(*a.grid, a.frho, lo)) /
                        (2.0 * r * d);
        }
    }
    return s;
}

// Radius of the sphere that holds z electrons of the superposed density.
double norman_radius(const site_potential& s) {
    const radial_grid& g = s.grid;
    std::vector<double> n(g.size());
    for (int i = 0; i < g.size(); ++i) n[i] = 4.0 * std::numbers::pi * g.r[i] * g.r[i] * s.rho[i];
    const std::vector<double> q = integral_outward(g, n);
    for (int i = 1; i < g.size(); ++i)
        if (q[i] >= s.z) {
            const double f = (s.z - q[i - 1]) / (q[i] - q[i - 1]);
            return g.r[i - 1] + f * (g.r[i] - g.r[i - 1]);
        }
    return g.r.back();
}

// Common factor of the Norman radii: the closest pair overlaps by `overlap`.
double norman_scale(const std::vector<deck_atom>& atoms, const cluster_potential& c,
                    double overlap) {
    double ratio = 1.0;
    bool any = false;
    for (std::size_t i = 0; i < atoms.size(); ++i)
        for (std::size_t j = 0; j < i; ++j) {
            const double d = distance(atoms[i], atoms[j]) * bohr_per_angstrom;
            const double sum = c.types[atoms[i].iph - 1].norman + c.types[atoms[j].iph - 1].norman;
            ratio = any ? std::min(ratio, d / sum) : d / sum;
            any = true;
        }
    return (1.0 + overlap) * ratio;
}

}  // namespace

cluster_potential build_cluster_potential(const std::vector<deck_atom>& atoms,
                                          const std::vector<atom_solution>& free_atoms,
                                          const std::vector<double>& rmt_override, double overlap) {
    std::vector<atom_integrals> ints;
    for (const auto& a : free_atoms) ints.push_back(integrals_of(a));
    cluster_potential c;
    c.types.resize(free_atoms.size());
    for (std::size_t t = 0; t < free_atoms.size(); ++t) {
        int site = -1;
        for (std::size_t i = 0; i < atoms.size(); ++i)
            if (atoms[i].iph == static_cast<int>(t) + 1) {
                if (site < 0) site = static_cast<int>(i);
                ++c.types[t].count;
            }
        if (site < 0)
            throw psgen_error("phase set " + std::to_string(t + 1) + " has no atom in the deck");
        const int count = c.types[t].count;
        c.types[t] = superpose(site, atoms, free_atoms, ints);
        c.types[t].count = count;
        c.types[t].norman = norman_radius(c.types[t]);
    }
    const double scale = norman_scale(atoms, c, overlap);
    for (std::size_t t = 0; t < c.types.size(); ++t) {
        auto& s = c.types[t];
        s.rmt = rmt_override[t] > 0.0 ? rmt_override[t] : std::min(scale * s.norman, 10.0);
    }
    return c;
}

double coulomb_at(const site_potential& s, double r) {
    return interpolate(s.grid, s.rv, r) / r;
}

double density_at(const site_potential& s, double r) {
    return std::max(interpolate(s.grid, s.rho, r), 0.0);
}

}  // namespace korva::psgen
