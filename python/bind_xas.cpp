// korva.xas: korva-xas's spectrum of a finished run, from the run's cross sections in memory
// and the first lines of the data files its deck names.
#include <gsl/gsl_errno.h>

#include <sstream>

#include "binding.hpp"
#include "choices.hpp"
#include "deck_values.hpp"
#include "spectrum.hpp"

namespace korva::python {
namespace {

namespace kx = korva::xas;

std::string in_folder(const std::string& folder, const std::string& name) {
    if (folder.empty() || name.empty() || name.front() == '/') return name;
    return folder + '/' + name;
}

py::dict spectrum_dict(const kx::choices& c, const kx::xas_spectrum& s, const std::string& xdi) {
    py::dict v;
    v["energy"] = to_array(s.energy);
    v["mu"] = to_array(s.mu);
    v["e0"] = s.norm.e0;
    v["edge_step"] = s.norm.step;
    v["fermi"] = c.p.fermi_ry;
    v["fermi_source"] = c.fermi_source;
    v["element"] = c.element;
    v["edge"] = c.edge;
    v["warnings"] = c.warnings;
    v["xdi"] = xdi;
    return v;
}

// `sig`: the text of the run's cross-section plot, read as korva-xas reads the file; `args`:
// korva-xas's options (--fermi, --resolution, ...) as its command line takes them.
py::dict xas(const py::dict& deck_values, const std::string& deck_name, const std::string& folder,
             const std::string& sig, std::vector<std::string> args) {
    gsl_set_error_handler_off();  // the fits' failures are checked, never an abort
    kx::choices c;
    kx::xas_spectrum s;
    std::string xdi;
    try {
        args.insert(args.begin(), {deck_name, "-o", "spectrum.xdi"});
        const kx::options o = kx::parse_options(args);
        kx::run_data r;
        r.d = deck_of(deck_values);
        kx::check_deck(deck_name, r.d);
        r.sig = r.d.prefix + "_kor.sig";
        std::istringstream in(sig);
        r.spectrum = kx::read_sig(in, r.sig, r.d.lcore);
        r.ps = kx::read_data_header(in_folder(folder, r.d.psfile));
        r.xs = kx::read_data_header(in_folder(folder, r.d.xsfile));
        c = kx::choose(o, r);
        s = kx::make_spectrum(r.spectrum, c.p);
        xdi = kx::xdi_text(kx::xdi_fields(o, r, c, s),
                           "KORVA XANES, normalised to an edge step of 1 by korva-xas", s.energy,
                           s.mu);
    } catch (const kx::xas_error& e) {
        throw failure{e.status, std::string("korva-xas: ") + e.what(), ""};
    } catch (const kx::normalise_error& e) {
        throw failure{
            1, std::string("korva-xas: the broadened spectrum cannot be normalised: ") + e.what(),
            ""};
    }
    return spectrum_dict(c, s, xdi);
}

py::dict normalise(const std::vector<double>& e, const std::vector<double>& mu, bool pre_edge) {
    gsl_set_error_handler_off();
    kx::normalisation n;
    try {
        kx::normalise_ranges r;
        r.pre_edge = pre_edge;
        n = kx::normalise(e, mu, r);
    } catch (const kx::normalise_error& ex) {
        throw failure{1, std::string("korva-xas: the spectrum cannot be normalised: ") + ex.what(),
                      ""};
    }
    py::dict v;
    v["mu"] = to_array(n.mu);
    v["e0"] = n.e0;
    v["edge_step"] = n.step;
    return v;
}

}  // namespace

void bind_xas(py::module_& m) {
    m.def("xas", &xas, py::arg("deck"), py::arg("deck_name"), py::arg("folder"), py::arg("sig"),
          py::arg("args"), "korva-xas's spectrum of a run's cross sections.");
    m.def("normalise", &normalise, py::arg("energy"), py::arg("mu"), py::arg("pre_edge"),
          "Edge-step normalisation as Athena does it (korva-xas's).");
}

}  // namespace korva::python
