#include "sc_model.hpp"

#include <algorithm>
#include <cmath>
#include <string>

#include "atom_scf.hpp"
#include "cluster_potential.hpp"
#include "core_level.hpp"
#include "deck_atoms.hpp"
#include "dipole.hpp"
#include "fermi_level.hpp"
#include "photoelectron.hpp"
#include "tmatrix.hpp"
#include "xsection.hpp"

namespace korva::psgen {

namespace {

constexpr double ev_per_ry = 13.6058;

bool finite(cdouble c) {
    return std::isfinite(c.real()) && std::isfinite(c.imag());
}

// The free atom of each phase set; the absorber's (set 1) with its core hole. ground is the
// absorber's ground state, reused for every set of the same element without a hole.
std::vector<atom_solution> free_atoms(const psgen_input& p, const core_level& core,
                                      const atom_solution& ground) {
    atom_options o;
    o.relativistic = true;
    std::vector<atom_solution> out;
    for (std::size_t t = 0; t < p.types.size(); ++t) {
        const int z = static_cast<int>(p.types[t].z);
        if ((t > 0 || p.corehole == "none") && z == static_cast<int>(p.types[0].z)) {
            out.push_back(ground);
        } else if (t > 0 || p.corehole == "none") {
            out.push_back(solve_atom(z, ground_state(z), o));
        } else if (p.corehole == "z+1") {
            if (z + 1 > max_element)
                throw psgen_error("corehole z+1 needs an absorber with Z <= 91");
            out.push_back(solve_atom(z + 1, ground_state(z + 1), o));
        } else {
            out.push_back(solve_atom(z, with_core_hole(ground_state(z), core), o));
        }
    }
    return out;
}

const atom_orbital& find_orbital(const atom_solution& a, const core_level& c) {
    for (const auto& o : a.orbitals)
        if (o.n == c.n && o.l == c.l) return o;
    throw psgen_error("the absorber has no " + subshell_label(c.n, c.l) + " electrons");
}

// Damping: the user's gamma, or half the tabulated width (FWHM) of the core level.
double damping(const psgen_input& p, int z) {
    if (p.gamma_given) return p.gamma;
    const auto w = core_width_ev(z, p.edge_name);
    if (!w)
        throw psgen_error("no tabulated width of the " + p.edge_name +
                          " level of Z = " + std::to_string(z) + ": give gamma");
    return 0.5 * *w / ev_per_ry;
}

struct sc_context {
    const psgen_input& p;
    const std::vector<double>& energies;  // Ry, resolved
    const photo_model& model;
    core_orbital core;
    double edge;   // Ry
    double gamma;  // Ry
};

// The photoelectron potential of one type at one energy, tabulated as r (V + Sigma - v0) on the
// type's grid: one evaluation of the exchange per grid point instead of one per point of every
// l's mesh. The imaginary part is kept only when there is one.
struct tabulated_potential {
    const radial_grid* grid;
    std::vector<double> rv, ri;  // r times the real and the imaginary part
    cdouble operator()(double r) const {
        const double re = interpolate(*grid, rv, r) / r;
        return ri.empty() ? cdouble(re, 0.0) : cdouble(re, interpolate(*grid, ri, r) / r);
    }
    double real(double r) const { return interpolate(*grid, rv, r) / r; }
};

tabulated_potential tabulate(const photo_model& m, int t, double e, cdouble v0) {
    const radial_grid& g = m.cluster().types[t].grid;
    tabulated_potential tp{&g, std::vector<double>(g.size()), {}};
    std::vector<double> ri(g.size());
    bool absorbs = false;
    for (int i = 0; i < g.size(); ++i) {
        const cdouble v = g.r[i] * m(t, g.r[i], e, v0);
        tp.rv[i] = v.real();
        ri[i] = v.imag();
        absorbs = absorbs || v.imag() != 0.0;
    }
    if (absorbs) tp.ri = std::move(ri);
    return tp;
}

// t_l of every type and the cross-section records at one energy. Inside the spheres the radial
// equation -u'' + (V - V0 + i Im Sigma(r)) u = (E + i gamma) u is solved as
// -u'' + (V + Sigma - v0) u = k^2 u with the complex interstitial level v0 = V0 + i Im Sigma_0:
// k^2 = E + i (gamma - Im Sigma_0), the wave number of the interstitial, where the losses damp it.
void energy_point(const sc_context& c, std::size_t e, psgen_tables& tb) {
    const double en = c.energies[e];
    const cdouble v0 = c.model.interstitial(en);
    const double damping = c.gamma - v0.imag();
    const auto& types = c.model.cluster().types;
    tb.k[e] = wave_number(en, damping);
    std::vector<tabulated_potential> pots;
    for (std::size_t t = 0; t < types.size(); ++t)
        pots.push_back(tabulate(c.model, static_cast<int>(t), en, v0));
    for (std::size_t t = 0; t < types.size(); ++t) {
        const radial_potential v = pots[t];
        tb.t[e][t] = tl_all(v, types[t].rmt, en, damping, c.p.lmax);
        for (const auto& x : tb.t[e][t])
            if (!finite(x))
                throw psgen_error("non-finite t_l at E = " + std::to_string(en) + " Ry");
    }
    // The atomic cross-section: the absorber's real potential at real energy.
    const tabulated_potential& p1 = pots[0];
    const radial_potential v1 = [&p1](double r) { return cdouble(p1.real(r), 0.0); };
    for (int l0 : final_channels(c.p.lcore)) {
        xs_record r;
        r.l0 = l0;
        r.x = en / c.edge;
        r.law = hydrogenic_law(r.x);
        r.sigma = dipole_sigma(v1, types[0].rmt, en, c.edge, l0, c.core);
        r.factor = s_from_t(tb.t[e][0][l0]);
        if (!finite(r.factor) || !std::isfinite(r.sigma))
            throw psgen_error("non-finite cross-section record at E = " + std::to_string(en));
        tb.xs[e].push_back(r);
    }
}

void report(std::ostream& log, const psgen_input& p, const cluster_potential& c,
            const photo_model& m, const std::string& how, const std::vector<double>& energies,
            double edge, double gamma) {
    log << "  cluster potential: " << c.types.size() << " phase set(s), overlap " << p.overlap
        << ", core hole " << p.corehole << ", exchange " << p.exchange << "\n";
    for (std::size_t t = 0; t < c.types.size(); ++t)
        log << "    set " << t + 1 << ": Z = " << c.types[t].z << ", " << c.types[t].count
            << " atom(s), Norman radius " << c.types[t].norman << " Bohr, rmt " << c.types[t].rmt
            << " Bohr\n";
    const cdouble v0 = m.interstitial(energies.front());
    log << "    interstitial level at the first energy " << v0.real() << " Ry";
    if (v0.imag() != 0.0) log << " (Im Sigma " << v0.imag() << " Ry)";
    log << "; edge " << edge * ev_per_ry << " eV; gamma " << gamma << " Ry\n";
    log << "    Fermi level " << m.fermi() << " Ry (" << m.fermi() * ev_per_ry
        << " eV) above the interstitial level, " << how << " (the electron gas of the interstitial"
        << " density " << interstitial_density(c) << " Bohr^-3 puts it at " << fermi_level(c)
        << " Ry)\n";
    log << "    energies " << energies.front() << " .. " << energies.back() << " Ry, "
        << energies.size() << " points\n";
}

exchange_model exchange_of(const std::string& name) {
    return name == "lda"          ? exchange_model::lda
           : name == "dirac-hara" ? exchange_model::dirac_hara
                                  : exchange_model::hedin_lundqvist;
}

// The cluster potential and what comes with it: the deck's atoms, the absorber's ground state
// (its core orbital) and the free atoms of the phase sets; for the charge count with multiple
// scattering the same cluster with the absorber in its ground state (ground_cluster, the muffin
// tins of cluster).
struct sc_setup {
    std::vector<deck_atom> atoms;
    core_level core;
    atom_solution ground;
    cluster_potential cluster;
    cluster_potential ground_cluster;
};

sc_setup set_up(const psgen_input& p) {
    const std::vector<deck_atom> atoms = read_deck_atoms(p.deck);
    for (const auto& a : atoms)
        if (a.iph > static_cast<int>(p.types.size()))
            throw psgen_error("deck: phase set " + std::to_string(a.iph) + " has no type line");
    const core_level core = edge_level(p.edge_name);
    const int z1 = static_cast<int>(p.types[0].z);
    atom_options o;
    o.relativistic = true;
    sc_setup s{atoms, core, solve_atom(z1, ground_state(z1), o), {}, {}};
    find_orbital(s.ground, core);  // the absorber must have the level
    std::vector<atom_solution> atoms_free = free_atoms(p, core, s.ground);
    std::vector<double> rmt;
    for (const auto& t : p.types) rmt.push_back(t.rmt);
    s.cluster = build_cluster_potential(atoms, atoms_free, rmt, p.overlap);
    if (p.fermi == "charge-count") {
        atoms_free[0] = s.ground;
        for (std::size_t t = 0; t < rmt.size(); ++t) rmt[t] = s.cluster.types[t].rmt;
        s.ground_cluster = build_cluster_potential(atoms, atoms_free, rmt, p.overlap);
    }
    return s;
}

// Every energy point; they are independent: spread over the threads, keep the first failure.
void all_points(const sc_context& c, psgen_tables& tb) {
    const std::size_t ne = c.energies.size();
    tb.t.assign(ne, std::vector<std::vector<cdouble>>(c.p.types.size()));
    tb.xs.assign(ne, {});
    tb.k.assign(ne, {});
    std::string failure;
#pragma omp parallel for schedule(dynamic)
    for (std::size_t e = 0; e < ne; ++e) {
        try {
            energy_point(c, e, tb);
        } catch (const std::exception& x) {
#pragma omp critical
            if (failure.empty()) failure = x.what();
        }
    }
    if (!failure.empty()) throw psgen_error(failure);
}

}  // namespace

psgen_tables compute_self_consistent(const psgen_input& p, std::ostream& log) {
    const sc_setup s = set_up(p);
    photo_model model(s.cluster, exchange_of(p.exchange));
    const fermi_estimate fermi =
        estimate_fermi_level(p.fermi, p.fermi_given, {s.cluster, s.ground_cluster, s.atoms}, model);
    model.set_fermi(fermi.level);
    psgen_tables tb;
    tb.energies = p.near_edge ? near_edge_energies(*p.near_edge, fermi.level) : p.energies;
    check_energies(tb.energies);
    const atom_orbital& corb = find_orbital(s.ground, s.core);
    const double edge = p.edge_given ? p.edge : -2.0 * corb.state.e;
    const int z1 = static_cast<int>(p.types[0].z);
    const sc_context c{p,     tb.energies,
                       model, {&s.ground.grid, &corb.state.p, s.core.l, s.core.electrons},
                       edge,  damping(p, z1)};
    report(log, p, s.cluster, model, fermi.how, tb.energies, edge, c.gamma);
    for (const auto& t : s.cluster.types) tb.rmt.push_back(t.rmt);
    tb.gamma = c.gamma;
    tb.edge = edge;
    tb.fermi = fermi.level;
    all_points(c, tb);
    set_lcut(p, tb);
    return tb;
}

}  // namespace korva::psgen
