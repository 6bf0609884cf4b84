// korva-xas from the command line to the files: reads the run, chooses the Fermi level and the
// widths, computes the spectrum and writes every output or none.
#include <gsl/gsl_errno.h>

#include <cmath>
#include <cstdio>
#include <sstream>

#include "cli.hpp"
#include "common/errors.hpp"
#include "common/whole_files.hpp"
#include "draw_cairo.hpp"
#include "elements.hpp"
#include "input/deck.hpp"
#include "picture.hpp"
#include "spectrum.hpp"
#include "xdi.hpp"

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

// Everything read from the run.
struct run_data {
    korva::deck d;
    std::string sig;
    computed_spectrum spectrum;
    data_header ps, xs;
};

run_data read_run(const options& o) {
    run_data r;
    try {
        r.d = load_deck(o.deck);
    } catch (const read_error& e) {
        unreadable(e.what);
    }
    if (r.d.if1 <= 0)
        unreadable(o.deck + ": IF1 = " + std::to_string(r.d.if1) +
                   " (prompt 8): the run writes no cross-section plot file to read");
    if (!(std::isfinite(r.d.ene) && r.d.ene > 0.0f))
        wrong(o.deck + ": ENE = " + g(r.d.ene) +
              " (prompt 8): the edge energy must be a number of eV above 0");
    r.sig = r.d.prefix + "_kor.sig";
    r.spectrum = read_sig(r.sig, r.d.lcore);
    r.ps = read_data_header(r.d.psfile);
    r.xs = read_data_header(r.d.xsfile);
    return r;
}

// What the run and the options make of the physics: the parameters and how each was chosen.
struct choices {
    spectrum_parameters p;
    std::string fermi_source, element, edge, exchange;
    std::vector<std::string> warnings;
};

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

std::string summary(const options& o, const run_data& r, const choices& c, const xas_spectrum& s) {
    std::ostringstream os;
    const auto& e = r.spectrum.e_ry;
    os << "korva-xas: " << o.deck << ", " << r.sig << " (" << r.spectrum.channels
       << (r.spectrum.channels == 1 ? " channel, " : " channels, ") << e.size() << " points, "
       << g(e.front()) << ".." << g(e.back()) << " Ry), " << c.element << " " << c.edge << "\n";
    os << "  Fermi level  " << g(c.p.fermi_ry, 10) << " Ry (" << c.fermi_source << ") at "
       << g(c.p.edge_ev) << " eV (ENE)\n";
    os << "  Fermi cut    arctangent step, gamma " << g(c.p.gamma_ry * ev_per_ry, 4)
       << " eV (the data's damping)\n";
    os << "  final state  arctangent width, Gamma_max " << g(c.p.law.gamma_max) << " eV x "
       << g(c.p.final_scale) << " (exchange " << (c.exchange.empty() ? "not named" : c.exchange)
       << ")\n";
    os << "  resolution   Gaussian FWHM " << g(c.p.resolution) << " eV; grid " << g(s.step, 4)
       << " eV, " << s.energy.size() << " points, " << g(s.energy.front(), 8) << ".."
       << g(s.energy.back(), 8) << " eV\n";
    os << "  edge         E0 " << g(s.norm.e0, 8) << " eV, edge step " << g(s.norm.step)
       << " Mbarn (post-edge E0+" << g(s.norm.post_lo, 4) << "..E0+" << g(s.norm.post_hi, 4)
       << " eV)\n";
    os << "  wrote        " << o.out;
    for (const std::string* f : {&o.png, &o.svg})
        if (!f->empty()) os << ", " << *f;
    os << "\n";
    return os.str();
}

std::vector<std::pair<std::string, std::string>> outputs(const options& o, const run_data& r,
                                                         const choices& c, const xas_spectrum& s) {
    std::vector<std::pair<std::string, std::string>> files;
    files.push_back({o.out, xdi_text(xdi_fields(o, r, c, s),
                                     "KORVA XANES, normalised to an edge step of 1 by korva-xas",
                                     s.energy, s.mu)});
    const picture_text text{c.element + " " + c.edge + " edge, " + o.out};
    try {
        if (!o.png.empty()) files.push_back({o.png, picture(s.energy, s.mu, text, true)});
    } catch (const plot::write_error& e) {
        throw xas_error(exit_write, o.png + ": " + e.what);
    }
    if (!o.svg.empty()) files.push_back({o.svg, picture(s.energy, s.mu, text, false)});
    return files;
}

}  // namespace

int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    gsl_set_error_handler_off();  // the fits' failures are checked, never an abort
    try {
        const options o = parse_options(args);
        if (o.help) {
            out << help_text();
            return 0;
        }
        const run_data r = read_run(o);
        const choices c = choose(o, r);
        const xas_spectrum s = make_spectrum(r.spectrum, c.p);
        write_whole_files(outputs(o, r, c, s));
        for (const std::string& w : c.warnings) err << "korva-xas: warning: " << w << "\n";
        out << summary(o, r, c, s);
        out.flush();
        return out ? 0 : exit_write;
    } catch (const xas_error& e) {
        err << "korva-xas: " << e.what() << "\n";
        return e.status;
    } catch (const normalise_error& e) {
        err << "korva-xas: the broadened spectrum cannot be normalised: " << e.what() << "\n";
        return exit_wrong_value;
    } catch (const korva::write_error& e) {
        err << "korva-xas: cannot write " << e.file << ": " << e.reason << "\n";
        return exit_write;
    }
}

}  // namespace korva::xas
