// korva.phase_shifts: korva-psgen's tables from its keyword input, computed in this process
// without the interpreter's lock, and its two data files written in a folder.
#include <sstream>

#include "binding.hpp"
#include "common/errors.hpp"
#include "common/whole_files.hpp"
#include "psgen_input.hpp"
#include "pstables.hpp"
#include "sc_model.hpp"

namespace korva::python {
namespace {

namespace kp = korva::psgen;

std::string in_folder(const std::string& folder, const std::string& name) {
    if (folder.empty() || name.empty() || name.front() == '/') return name;
    return folder + '/' + name;
}

py::dict tables_dict(const kp::psgen_tables& tb, const std::string& log) {
    py::dict v;
    v["energies"] = to_array(tb.energies);
    v["k"] = to_array(tb.k);
    const std::size_t ne = tb.t.size(), nt = ne ? tb.t[0].size() : 0;
    const std::size_t nl = nt ? tb.t[0][0].size() : 0;
    py::array_t<kp::cdouble> t({ne, nt, nl});
    auto w = t.mutable_unchecked<3>();
    for (std::size_t e = 0; e < ne; ++e)
        for (std::size_t p = 0; p < nt; ++p)
            for (std::size_t l = 0; l < nl; ++l) w(e, p, l) = tb.t[e][p][l];
    v["t"] = t;
    py::list lcut, sigma;
    for (const auto& row : tb.lcut) lcut.append(row);
    for (const auto& row : tb.xs) {
        py::list channels;
        for (const kp::xs_record& x : row) channels.append(x.sigma);
        sigma.append(channels);
    }
    v["lcut"] = lcut;
    v["sigma"] = sigma;
    v["rmt"] = tb.rmt;
    v["gamma"] = tb.gamma;
    v["edge"] = tb.edge;
    v["fermi"] = tb.fermi ? py::object(py::float_(*tb.fermi)) : py::none();
    v["log"] = log;
    return v;
}

// The tables of a korva-psgen input text whose file names (deck, phase and cross-section files)
// are relative to `folder`; the two files are written there, both or neither. `atoms_from`,
// when given, is the file the deck's atoms are read from; the files' headers name the input's
// deck either way, as korva-psgen run in the folder names it.
py::dict phase_shifts(const std::string& input, const std::string& folder,
                      const std::string& atoms_from) {
    kp::psgen_tables tb;
    std::ostringstream log;
    try {
        std::istringstream in(input);
        kp::psgen_input p = kp::read_psgen_input(in);
        const std::string deck = p.deck;
        p.deck = atoms_from.empty() ? in_folder(folder, deck) : atoms_from;
        {
            py::gil_scoped_release unlocked;
            tb = p.model == "thomas-fermi" ? kp::psgen_compute(p)
                                           : kp::compute_self_consistent(p, log);
        }
        p.deck = deck;
        std::ostringstream ps, xs;
        kp::write_phase_file(ps, p, tb);
        kp::write_xs_file(xs, p, tb);
        write_whole_files({{in_folder(folder, p.phase_file), ps.str()},
                           {in_folder(folder, p.xs_file), xs.str()}});
    } catch (const korva::write_error& e) {
        throw failure{3, "korva-psgen: cannot write " + e.file + ": " + e.reason, ""};
    } catch (const std::exception& e) {
        throw failure{1, std::string("korva-psgen: ") + e.what(), ""};
    }
    return tables_dict(tb, log.str());
}

}  // namespace

void bind_psgen(py::module_& m) {
    m.def("phase_shifts", &phase_shifts, py::arg("input"), py::arg("folder"),
          py::arg("atoms_from") = "",
          "korva-psgen on an input text; writes its two files in folder.");
}

}  // namespace korva::python
