#include "choices.hpp"

#include <cmath>
#include <cstdio>

#include "elements.hpp"

namespace korva::xas {

namespace {

// The final-state width's default scale for data whose phase shifts carry the inelastic losses
// (the Hedin-Lundqvist self-energy's imaginary part: the mean free path): the arctangent law
// describes the same losses, so it is left out.
constexpr double hedin_lundqvist_scale = 0.0;

// Fermi levels of the two headers that differ by less than this are one (Ry): both are written
// in shortest round-trip form from one value.
constexpr double same_fermi = 1e-9;

[[noreturn]] void wrong(const std::string& what) {
    throw xas_error(exit_wrong_value, what);
}
[[noreturn]] void unreadable(const std::string& what) {
    throw xas_error(exit_unreadable, what);
}

std::string g(double v, int digits = 6) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "%.*g", digits, v);
    return buf;
}

void choose_fermi(const options& o, const run_data& r, choices& c) {
    const std::string& ps = r.d.psfile;
    const std::string& xs = r.d.xsfile;
    if (o.fermi) {
        c.p.fermi_ry = *o.fermi;
        c.fermi_source = "--fermi";
        return;
    }
    if (r.ps.fermi && r.xs.fermi && std::abs(*r.ps.fermi - *r.xs.fermi) > same_fermi)
        wrong(ps + " and " + xs + ": their Fermi levels differ (" + g(*r.ps.fermi, 17) + " and " +
              g(*r.xs.fermi, 17) +
              " Ry): they come from different korva-psgen runs; remake "
              "them, or choose one with --fermi");
    if (!r.ps.fermi && !r.xs.fermi)
        unreadable(ps + ": its first line has no E_F field (nor has " + xs +
                   "'s); give the Fermi level with --fermi E_RY");
    c.p.fermi_ry = r.ps.fermi ? *r.ps.fermi : *r.xs.fermi;
    c.fermi_source = r.ps.fermi && r.xs.fermi ? "the headers of " + ps + " and " + xs
                                              : "the header of " + (r.ps.fermi ? ps : xs);
    if (!r.ps.fermi || !r.xs.fermi)
        c.warnings.push_back((r.ps.fermi ? xs : ps) + ": its first line has no E_F field; " +
                             "the Fermi level of " + (r.ps.fermi ? ps : xs) + " is used");
}

void check_fermi(const run_data& r, choices& c) {
    const std::vector<double>& e = r.spectrum.e_ry;
    if (!(c.p.fermi_ry < e.back()))
        wrong("E_F = " + g(c.p.fermi_ry) + " Ry (" + c.fermi_source +
              ") is not below the last computed energy, " + g(e.back()) + " Ry of " + r.sig +
              ": nothing above it to absorb");
    if (c.p.fermi_ry < e.front())
        c.warnings.push_back("E_F = " + g(c.p.fermi_ry) +
                             " Ry lies below the first computed "
                             "energy, " +
                             g(e.front()) + " Ry: the spectrum starts above it");
}

void choose_identity(const options& o, const run_data& r, choices& c) {
    const data_header& h = r.ps;
    const std::optional<int> z = h.z ? h.z : r.xs.z;
    if (o.element) {
        c.element = *o.element;
    } else if (z && *z <= psgen::max_element) {
        c.element = psgen::element_symbol(*z);
    } else {
        unreadable(r.d.psfile + ": its first line names no element of the absorber (Z=..); " +
                   "give --element");
    }
    const std::optional<std::string> edge = h.edge ? h.edge : r.xs.edge;
    if (!o.edge && !edge) unreadable(r.d.psfile + ": its first line names no edge; give --edge");
    c.edge = o.edge ? *o.edge : *edge;
    c.exchange = !h.exchange.empty() ? h.exchange : r.xs.exchange;
}

}  // namespace

void check_deck(const std::string& name, const korva::deck& d) {
    if (d.if1 <= 0)
        unreadable(name + ": IF1 = " + std::to_string(d.if1) +
                   " (prompt 8): the run writes no cross-section plot file to read");
    if (!(std::isfinite(d.ene) && d.ene > 0.0f))
        wrong(name + ": ENE = " + g(d.ene) +
              " (prompt 8): the edge energy must be a number of eV above 0");
}

choices choose(const options& o, const run_data& r) {
    choices c;
    choose_fermi(o, r, c);
    check_fermi(r, c);
    choose_identity(o, r, c);
    const std::optional<double> gamma = r.ps.gamma ? r.ps.gamma : r.xs.gamma;
    if (!gamma) unreadable(r.d.psfile + ": its first line has no gamma field (the damping)");
    if (!(*gamma >= 0.0)) unreadable(r.d.psfile + ": gamma " + g(*gamma) + " Ry is negative");
    c.p.gamma_ry = *gamma;
    c.p.edge_ev = r.d.ene;
    c.p.resolution = o.resolution;
    c.p.final_scale = o.final_scale                     ? *o.final_scale
                      : c.exchange == "hedin-lundqvist" ? hedin_lundqvist_scale
                                                        : 1.0;
    return c;
}

std::vector<xdi_field> xdi_fields(const options& o, const run_data& r, const choices& c,
                                  const xas_spectrum& s) {
    const arctan_width& w = c.p.law;
    const normalisation& n = s.norm;
    return {{"Element.symbol", c.element},
            {"Element.edge", c.edge},
            {"Korva.deck", o.deck},
            {"Korva.signal_file", r.sig + " (" + std::to_string(r.spectrum.channels) +
                                      (r.spectrum.channels == 1 ? " channel)" : " channels)")},
            {"Korva.data_files", r.d.psfile + " " + r.d.xsfile},
            {"Korva.exchange", c.exchange.empty() ? "not named" : c.exchange},
            {"Korva.edge_energy", g(c.p.edge_ev) + " eV (ENE, the photon energy of E_F)"},
            {"Korva.fermi_level", g(c.p.fermi_ry, 10) + " Ry (" + c.fermi_source + ")"},
            {"Korva.fermi_cut",
             "1/2 + arctan((E - E_F)/gamma)/pi, gamma " + g(c.p.gamma_ry * ev_per_ry, 4) + " eV"},
            {"Korva.final_width", "arctangent law of Bunau and Joly 2009, Gamma_max " +
                                      g(w.gamma_max) + " eV x " + g(c.p.final_scale) + ", E_cent " +
                                      g(w.e_cent) + " eV, E_larg " + g(w.e_larg) + " eV"},
            {"Korva.resolution", g(c.p.resolution) + " eV (Gaussian FWHM)"},
            {"Korva.grid", g(s.step, 4) + " eV"},
            {"Korva.e0", g(n.e0, 8) + " eV"},
            {"Korva.edge_step", g(n.step, 6) + " Mbarn"},
            {"Korva.normalisation", "no pre-edge line; post-edge quadratic E0+" + g(n.post_lo, 4) +
                                        "..E0+" + g(n.post_hi, 4) + " eV"}};
}

}  // namespace korva::xas
