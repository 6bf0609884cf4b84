// korva.read_deck and Deck.text(): a deck file's answers, and the text of a deck that the
// program reads back to the same values, every number in its shortest exact form.
#include <sstream>

#include "common/errors.hpp"
#include "common/textio.hpp"
#include "deck_values.hpp"

namespace korva::python {

py::dict deck_dict(const korva::deck& d) {
    py::dict v;
    v["psfile"] = d.psfile, v["xsfile"] = d.xsfile, v["prefix"] = d.prefix;
    py::list atoms;
    for (const deck_atom& a : d.atoms) atoms.append(py::make_tuple(a.x, a.y, a.z, a.iph));
    v["atoms"] = atoms;
    v["lcore"] = d.lcore, v["toll_lmax"] = d.toll_lmax, v["mmax"] = d.mmax, v["eps"] = d.eps;
    v["nep"] = d.nep, v["iout"] = d.iout, v["if1"] = d.if1, v["if2"] = d.if2, v["ene"] = d.ene;
    v["fac"] = d.fac, v["esp"] = d.esp, v["expfile"] = d.expfile;
    v["kmin"] = d.kmin, v["kmax"] = d.kmax, v["dk"] = d.dk, v["de0"] = d.de0;
    return v;
}

korva::deck deck_of(const py::dict& v) {
    korva::deck d;
    d.psfile = v["psfile"].cast<std::string>();
    d.xsfile = v["xsfile"].cast<std::string>();
    d.prefix = v["prefix"].cast<std::string>();
    for (const py::handle a : v["atoms"]) {
        const auto t = a.cast<std::tuple<real, real, real, int>>();
        d.atoms.push_back({std::get<0>(t), std::get<1>(t), std::get<2>(t), std::get<3>(t)});
    }
    d.nat = static_cast<int>(d.atoms.size());
    d.lcore = v["lcore"].cast<int>();
    d.toll_lmax = v["toll_lmax"].cast<real>(), d.mmax = v["mmax"].cast<int>();
    d.eps = v["eps"].cast<real>(), d.nep = v["nep"].cast<int>();
    d.iout = v["iout"].cast<int>(), d.if1 = v["if1"].cast<int>(), d.if2 = v["if2"].cast<int>();
    d.ene = v["ene"].cast<real>(), d.fac = v["fac"].cast<real>(), d.esp = v["esp"].cast<real>();
    d.expfile = v["expfile"].cast<std::string>();
    d.kmin = v["kmin"].cast<real>(), d.kmax = v["kmax"].cast<real>();
    d.dk = v["dk"].cast<real>(), d.de0 = v["de0"].cast<real>();
    return d;
}

namespace {

py::dict read_deck_file(const std::string& path) {
    try {
        return deck_dict(load_deck(path));
    } catch (const read_error& e) {
        throw failure{2, e.what, ""};
    }
}

// A deck's text as the program reads it from standard input; a deck it cannot read raises the
// program's message (status 2), naming `name` in the place of standard input.
py::dict parse_deck(const std::string& text, const std::string& name) {
    std::istringstream in(text);
    const deck_reading r = read_deck(in);
    if (r.fault) throw failure{2, name + ": " + fault_message(*r.fault), ""};
    return deck_dict(r.deck);
}

std::string line(const record& r) {
    return r.line() + '\n';
}

// The deck's text: names and prefix as they are, every number as `record` writes it (reals
// shortest round-trip, which the deck reader takes back to the same single-precision value).
std::string exact_text(const py::dict& values) {
    const korva::deck d = deck_of(values);
    std::string s = d.psfile + '\n' + d.xsfile + '\n' + d.prefix + '\n';
    s += line(record() << d.nat);
    for (const deck_atom& a : d.atoms) s += line(record() << a.x << a.y << a.z << a.iph);
    s += line(record() << d.lcore);
    s += line(record() << d.toll_lmax << d.mmax << d.eps << d.nep);
    s += line(record() << d.iout << d.if1 << d.if2 << d.ene << d.fac);
    s += line(record() << d.esp);
    if (d.wants_experiment()) s += d.expfile + '\n';
    s += line(record() << d.kmin << d.kmax << d.dk);
    s += line(record() << d.de0);
    return s;
}

}  // namespace

void bind_deck(py::module_& m) {
    m.def("read_deck", &read_deck_file, py::arg("path"),
          "The answers of a deck file, read as the program reads them.");
    m.def("parse_deck", &parse_deck, py::arg("text"), py::arg("name"),
          "The answers of a deck text, read as the program reads them.");
    m.def("deck_text", &exact_text, py::arg("values"),
          "The text of a deck with these answers, read back to the same values.");
}

}  // namespace korva::python
