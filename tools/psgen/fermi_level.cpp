#include "fermi_level.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "friedel_count.hpp"
#include "lloyd_count.hpp"

namespace korva::psgen {

double interstitial_density(const cluster_potential& c) {
    double sum = 0.0;
    int count = 0;
    for (const site_potential& s : c.types) {
        sum += s.count * density_at(s, s.rmt);
        count += s.count;
    }
    return sum / count;
}

double fermi_level(const cluster_potential& c) {
    const double kf =
        std::cbrt(3.0 * std::numbers::pi * std::numbers::pi * interstitial_density(c));
    return kf * kf;
}

std::optional<double> counted_fermi_energy(const cluster_potential& c) {
    const photo_model lda(c, exchange_model::lda);
    const double v0 = lda.interstitial(0.0).real();
    std::vector<std::vector<double>> rv;  // r (V - V0) of each counted set on its grid
    rv.reserve(c.types.size());           // the potentials keep references to its elements
    std::vector<counted_site> sites;
    for (std::size_t t = 1; t < c.types.size(); ++t) {
        const site_potential& s = c.types[t];
        if (s.count == 0) continue;
        std::vector<double>& v = rv.emplace_back(s.grid.size());
        for (int i = 0; i < s.grid.size(); ++i)
            v[i] = s.grid.r[i] * lda.real_part(static_cast<int>(t), s.grid.r[i], 0.0, v0);
        const radial_potential pot = [&s, &v](double r) { return interpolate(s.grid, v, r) / r; };
        sites.push_back({pot, s.rmt, 4.0 * std::numbers::pi / 3.0 * std::pow(s.norman, 3),
                         static_cast<double>(s.z), static_cast<double>(s.count)});
    }
    const std::optional<double> e = friedel_fermi_level(sites);
    if (!e) return std::nullopt;
    return v0 + *e;
}

namespace {

constexpr double bohr_per_angstrom = 1.0 / 0.529;  // the program's conversion

// The potential of every phase set for the count: r (V - V0) of the ground-state LDA potential
// on the set's grid (rv keeps the tables the potentials refer to) and its muffin-tin radius.
std::vector<count_kind> count_kinds(const cluster_potential& c, double v0,
                                    std::vector<std::vector<double>>& rv) {
    const photo_model lda(c, exchange_model::lda);
    rv.assign(c.types.size(), {});
    std::vector<count_kind> kinds;
    for (std::size_t t = 0; t < c.types.size(); ++t) {
        const site_potential& s = c.types[t];
        std::vector<double>& v = rv[t];
        v.resize(s.grid.size());
        for (int i = 0; i < s.grid.size(); ++i)
            v[i] = s.grid.r[i] * lda.real_part(static_cast<int>(t), s.grid.r[i], 0.0, v0);
        kinds.push_back({[&s, &v](double r) { return interpolate(s.grid, v, r) / r; }, s.rmt});
    }
    return kinds;
}

// The centre atom of each phase set: the absorber's (the first atom of set 1) for the sets of its
// element, else the set's first atom (korva-cluster lists the atoms by distance).
std::vector<int> centre_of_sets(const cluster_potential& c, const std::vector<deck_atom>& atoms) {
    std::vector<int> first(c.types.size(), -1);
    for (std::size_t i = atoms.size(); i-- > 0;) first[atoms[i].iph - 1] = static_cast<int>(i);
    std::vector<int> centre(c.types.size());
    for (std::size_t t = 0; t < c.types.size(); ++t)
        centre[t] = c.types[t].z == c.types[0].z ? first[0] : first[t];
    return centre;
}

// The atoms of the deck within reach times the centre's nearest-neighbour distance, the centre
// first, in Bohr.
std::vector<count_atom> count_cluster(const std::vector<deck_atom>& atoms, int centre,
                                      double reach) {
    double nearest = 0.0;
    for (std::size_t j = 0; j < atoms.size(); ++j)
        if (static_cast<int>(j) != centre) {
            const double d = distance(atoms[centre], atoms[j]);
            nearest = nearest == 0.0 ? d : std::min(nearest, d);
        }
    const deck_atom& o = atoms[centre];
    std::vector<count_atom> out{{0.0, 0.0, 0.0, o.iph - 1}};
    for (std::size_t j = 0; j < atoms.size(); ++j)
        if (static_cast<int>(j) != centre && distance(o, atoms[j]) <= reach * nearest + 1e-3) {
            const deck_atom& a = atoms[j];
            out.push_back({(a.x - o.x) * bohr_per_angstrom, (a.y - o.y) * bohr_per_angstrom,
                           (a.z - o.z) * bohr_per_angstrom, a.iph - 1});
        }
    return out;
}

// The kinetic energy e on the model's scale at which e + V0(e) is the absolute energy abs.
double on_model_scale(double abs, const photo_model& m) {
    // e + V0(e) = E_F: V0 moves slowly with e, so the iteration contracts quickly.
    double e = abs - m.level_at_fermi(0.0);
    for (int it = 0; it < 50; ++it) {
        const double next = abs - m.level_at_fermi(e);
        const bool done = std::abs(next - e) < 1e-12;
        e = next;
        if (done) break;
    }
    return e;
}

}  // namespace

std::optional<double> scattering_fermi_energy(const cluster_potential& ground,
                                              const std::vector<deck_atom>& atoms, double reach) {
    if (atoms.size() < 2) return std::nullopt;
    const double v0 = photo_model(ground, exchange_model::lda).interstitial(0.0).real();
    std::vector<std::vector<double>> rv;
    const std::vector<count_kind> kinds = count_kinds(ground, v0, rv);
    const std::vector<int> centre = centre_of_sets(ground, atoms);
    std::vector<count_centre> centres;
    std::vector<int> centre_atom;
    for (std::size_t t = 0; t < ground.types.size(); ++t) {
        const auto at = std::find(centre_atom.begin(), centre_atom.end(), centre[t]);
        if (at != centre_atom.end()) {
            centres[at - centre_atom.begin()].site.weight += ground.types[t].count;
            continue;
        }
        const int k = atoms[centre[t]].iph - 1;
        const site_potential& s = ground.types[k];
        centre_atom.push_back(centre[t]);
        centres.push_back({count_cluster(atoms, centre[t], reach),
                           {kinds[k].v, s.rmt, 4.0 * std::numbers::pi / 3.0 * std::pow(s.norman, 3),
                            static_cast<double>(s.z), static_cast<double>(ground.types[t].count)}});
    }
    // Start where the count without multiple scattering ends, or at the electron gas.
    std::vector<counted_site> sites;
    for (const count_centre& c : centres) sites.push_back(c.site);
    const double start = friedel_fermi_level(sites).value_or(fermi_level(ground));
    const std::optional<double> e = lloyd_fermi_level(kinds, centres, start);
    if (!e) return std::nullopt;
    return v0 + *e;
}

fermi_estimate estimate_fermi_level(const std::string& mode, double given, const fermi_inputs& in,
                                    const photo_model& m) {
    if (mode == "given") return {given, "given"};
    if (mode == "charge-count" || mode == "friedel") {
        const bool ms = mode == "charge-count";
        const std::optional<double> abs =
            ms ? scattering_fermi_energy(in.ground, in.atoms) : counted_fermi_energy(in.cluster);
        if (abs) {
            const double e = on_model_scale(*abs, m);
            if (e > 0.0) return {e, ms ? "charge count" : "Friedel count"};
        }
    }
    return {fermi_level(in.cluster), "electron gas"};
}

}  // namespace korva::psgen
