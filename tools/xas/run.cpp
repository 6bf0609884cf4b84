// korva-xas from the command line to the files: reads the run, chooses the Fermi level and the
// widths, computes the spectrum and writes every output or none.
#include <gsl/gsl_errno.h>

#include <cstdio>
#include <sstream>

#include "choices.hpp"
#include "cli.hpp"
#include "common/errors.hpp"
#include "common/whole_files.hpp"
#include "draw_cairo.hpp"
#include "input/deck.hpp"
#include "picture.hpp"
#include "spectrum.hpp"
#include "xdi.hpp"

namespace korva::xas {

namespace {

[[noreturn]] void unreadable(const std::string& what) {
    throw xas_error(exit_unreadable, what);
}

std::string g(double v, int digits = 6) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "%.*g", digits, v);
    return buf;
}

run_data read_run(const options& o) {
    run_data r;
    try {
        r.d = load_deck(o.deck);
    } catch (const read_error& e) {
        unreadable(e.what);
    }
    check_deck(o.deck, r.d);
    r.sig = r.d.prefix + "_kor.sig";
    r.spectrum = read_sig(r.sig, r.d.lcore);
    r.ps = read_data_header(r.d.psfile);
    r.xs = read_data_header(r.d.xsfile);
    return r;
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
