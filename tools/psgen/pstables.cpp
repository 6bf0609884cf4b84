#include "pstables.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "input/data_header.hpp"
#include "radial.hpp"
#include "tmatrix.hpp"
#include "xsection.hpp"

namespace korva::psgen {

namespace {

bool finite(cdouble c) {
    return std::isfinite(c.real()) && std::isfinite(c.imag());
}

// %.8e: nine significant digits, enough to read back as the same single-precision value.
// Magnitudes below 1e-30 are written as 0: they are nothing next to the other values of a record,
// and a value below the single-precision range could make a reader report an underflow.
std::string e8(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.8e", std::abs(v) < 1.0e-30 ? 0.0 : v);  // also no "-0"
    return buf;
}

std::string g6(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", v);
    return buf;
}

// One line, starting with a word that is not a number, so the reader takes it for a comment.
std::string summary(const char* what, const psgen_input& p, const psgen_tables& tb) {
    std::string s = std::string("KORVA-PSGEN ") + what + ":";
    if (!p.title.empty()) s += " " + p.title + " |";
    s += " model " + p.model + " |";
    if (p.model != "thomas-fermi")
        s += " deck " + p.deck + " overlap " + g6(p.overlap) + " corehole " + p.corehole +
             " edge " + p.edge_name + " exchange " + p.exchange + " fermi " + p.fermi + " |";
    s += " types";
    for (std::size_t t = 0; t < p.types.size(); ++t)
        s += " (Z=" + g6(p.types[t].z) + " rmt=" + g6(tb.rmt[t]) + ")";
    s += " | E " + g6(tb.energies.front()) + ".." + g6(tb.energies.back()) + " Ry, " +
         std::to_string(tb.energies.size()) + " points";
    if (p.near_edge)
        s += " (grid near-edge " + g6(p.near_edge->below_ev) + " " + g6(p.near_edge->above_ev) +
             " eV)";
    s += " | gamma " + g6(tb.gamma) + " Ry | lmax " + std::to_string(p.lmax) + " tcut " +
         g6(p.tcut) + " | lcore " + std::to_string(p.lcore) + " edge " + g6(tb.edge) + " Ry";
    if (p.model == "thomas-fermi") s += " sigma_edge " + g6(p.sigma_edge) + " Mbarn";
    if (tb.fermi) s += " | " + fermi_level_field(*tb.fermi);
    return s;
}

}  // namespace

std::vector<int> final_channels(int lcore) {
    if (lcore == 0) return {1};
    return {lcore - 1, lcore + 1};
}

double channel_weight(int lcore, int l0) {
    if (lcore == 0) return 1.0;
    const double d = 2.0 * lcore + 1.0;
    return l0 < lcore ? lcore / d : (lcore + 1) / d;
}

std::vector<int> adaptive_lcut(const std::vector<std::vector<cdouble>>& t_by_energy, double tcut,
                               int lfloor) {
    std::vector<int> out;
    int running = 0;
    for (const auto& t : t_by_energy) {
        const int lmax = static_cast<int>(t.size()) - 1;
        int l = lmax;
        while (l > lfloor && std::abs(t[l]) < tcut) --l;
        running = std::min(lmax, std::max({running, l, lfloor}));
        out.push_back(running);
    }
    return out;
}

psgen_tables psgen_compute(const psgen_input& p) {
    psgen_tables tb;
    const std::size_t ne = p.energies.size(), nt = p.types.size();
    tb.energies = p.energies;
    for (const auto& t : p.types) tb.rmt.push_back(t.rmt);
    tb.gamma = p.gamma;
    tb.edge = p.edge;
    tb.t.assign(ne, std::vector<std::vector<cdouble>>(nt));
    tb.lcut.assign(ne, std::vector<int>(nt, 0));
    tb.xs.assign(ne, {});
    for (std::size_t e = 0; e < ne; ++e) {
        tb.k.push_back(wave_number(p.energies[e], p.gamma));
        for (std::size_t it = 0; it < nt; ++it) {
            const thomas_fermi_atom v = type_potential(p.types[it].z);
            tb.t[e][it] = tl_all(v, p.types[it].rmt, p.energies[e], p.gamma, p.lmax);
            for (const auto& t : tb.t[e][it])
                if (!finite(t))
                    throw psgen_error("non-finite t_l at E = " + g6(p.energies[e]) + " Ry, type " +
                                      std::to_string(it + 1));
        }
    }
    set_lcut(p, tb);
    for (std::size_t e = 0; e < ne; ++e) {
        for (int l0 : final_channels(p.lcore)) {
            xs_record r;
            r.l0 = l0;
            r.x = p.energies[e] / p.edge;
            r.law = hydrogenic_law(r.x);
            r.sigma = p.sigma_edge * channel_weight(p.lcore, l0) * r.law;
            r.factor = s_from_t(tb.t[e][0][l0]);
            if (!finite(r.factor) || !std::isfinite(r.sigma))
                throw psgen_error("non-finite cross-section record at E = " + g6(p.energies[e]));
            tb.xs[e].push_back(r);
        }
    }
    return tb;
}

void set_lcut(const psgen_input& p, psgen_tables& tb) {
    const std::size_t ne = tb.t.size(), nt = p.types.size();
    tb.lcut.assign(ne, std::vector<int>(nt, 0));
    const int lfloor = std::max(2, p.lcore + 1);
    for (std::size_t it = 0; it < nt; ++it) {
        std::vector<std::vector<cdouble>> ts;
        for (std::size_t e = 0; e < ne; ++e) ts.push_back(tb.t[e][it]);
        const auto cut = adaptive_lcut(ts, p.tcut, lfloor);
        for (std::size_t e = 0; e < ne; ++e) tb.lcut[e][it] = cut[e];
    }
}

void write_phase_file(std::ostream& os, const psgen_input& p, const psgen_tables& tb) {
    os << summary("phase shifts", p, tb) << "\n";
    for (std::size_t e = 0; e < tb.energies.size(); ++e) {
        std::string head(" ");
        head.append(e8(tb.energies[e])).append(" ").append(e8(tb.k[e].real()));
        head.append(" ").append(e8(-tb.k[e].imag()));
        for (std::size_t it = 0; it < tb.t[e].size(); ++it)
            for (int l = 0; l <= tb.lcut[e][it]; ++l) {
                const cdouble t = tb.t[e][it][l];
                os << head << " " << it + 1 << " " << l << " " << e8(t.real()) << " "
                   << e8(-t.imag()) << "\n";
            }
    }
}

void write_xs_file(std::ostream& os, const psgen_input& p, const psgen_tables& tb) {
    os << summary("cross sections", p, tb) << "\n";
    for (std::size_t e = 0; e < tb.energies.size(); ++e)
        for (const auto& r : tb.xs[e])
            os << " " << e8(tb.energies[e]) << " " << e8(r.x) << " " << e8(r.law) << " " << e8(r.l0)
               << " " << e8(r.sigma) << " " << e8(r.factor.real()) << " " << e8(-r.factor.imag())
               << "\n";
}

}  // namespace korva::psgen
