// korva.cluster: korva-cluster's cut of a structure (a file, or the atoms of an ase.Atoms) around
// an absorber, and the deck and korva-psgen input it writes for the cluster.
#include <memory>

#include "binding.hpp"
#include "cluster.hpp"
#include "common/capacities.hpp"
#include "read_structure.hpp"
#include "write_deck.hpp"

namespace korva::python {
namespace {

namespace kc = korva::cluster;

// A cut cluster with the structure its atoms point into.
struct cluster_handle {
    std::unique_ptr<kc::structure> s;
    kc::cluster cl;
};

[[noreturn]] void refuse(const kc::cluster_error& e) {
    throw failure{e.status, std::string("korva-cluster: ") + e.what(), ""};
}

cluster_handle cut(std::unique_ptr<kc::structure> s, const std::string& who, double radius,
                   int max_atoms) {
    try {
        if (!(radius > 0))
            throw kc::cluster_error(kc::exit_wrong_value, "the radius must be above 0 Angstrom");
        if (max_atoms < 2 || max_atoms > NAT_)
            throw kc::cluster_error(kc::exit_wrong_value, "the atom count must be from 2 to " +
                                                              std::to_string(NAT_) +
                                                              " (the program's capacity)");
        const int absorber = kc::find_absorber(*s, who);
        kc::cluster cl = kc::cut_cluster(*s, absorber, radius, max_atoms, NPH_);
        return {std::move(s), std::move(cl)};
    } catch (const kc::cluster_error& e) {
        refuse(e);
    }
}

cluster_handle from_file(const std::string& path, const std::string& who, double radius,
                         int max_atoms) {
    std::unique_ptr<kc::structure> s;
    try {
        s = std::make_unique<kc::structure>(kc::read_structure(path));
    } catch (const kc::cluster_error& e) {
        refuse(e);
    }
    return cut(std::move(s), who, radius, max_atoms);
}

// Atoms given one by one (Cartesian Angstrom): a molecule, or the atoms of one cell of a crystal
// (inside the cell, fractional coordinates in [0, 1)) with its lattice vectors. Each atom is a
// site of its own, named by its element or its place from 1.
cluster_handle from_atoms(const std::string& name, const std::vector<std::string>& elements,
                          const std::vector<int>& z, const std::vector<kc::vec3>& r,
                          const std::optional<std::array<kc::vec3, 3>>& lattice,
                          const std::string& who, double radius, int max_atoms) {
    auto s = std::make_unique<kc::structure>();
    s->path = s->name = name;
    s->format = kc::file_format::xyz;
    for (std::size_t i = 0; i < r.size(); ++i) {
        const int n = static_cast<int>(i);
        s->sites.push_back({"", elements.at(i), z.at(i), n + 1, n, r[i]});
    }
    s->atoms = s->sites;
    s->periodic = lattice.has_value();
    if (lattice) s->lattice = *lattice;
    return cut(std::move(s), who, radius, max_atoms);
}

kc::edge edge_of(const std::string& e) {
    if (e == "K" || e == "k") return kc::edge::k;
    if (e == "L3" || e == "l3") return kc::edge::l3;
    throw failure{1, "korva-cluster: --edge " + e + ": the edge must be K or L3", ""};
}

// The edge energy of the absorber, refused as korva-cluster refuses it.
double edge_ev(const cluster_handle& h, kc::edge e) {
    const kc::phase_set& abs = h.cl.sets.front();
    const double v = kc::edge_energy(abs.z, e);
    if (v <= 0)
        throw failure{1,
                      "korva-cluster: the edge table has no " +
                          std::string(e == kc::edge::k ? "K" : "L3") + " edge for " + abs.element +
                          " (Z = " + std::to_string(abs.z) +
                          "); it covers K for Z = 3 to 92, L3 for Z = 10 to 92",
                      ""};
    return v;
}

std::string deck_text(const cluster_handle& h, const std::string& edge) {
    const kc::edge e = edge_of(edge);
    const double v = edge_ev(h, e);
    return kc::deck_text(h.cl, kc::names_for(h.s->name, h.cl.sets.front().element, e), e, v);
}

std::string psgen_text(const cluster_handle& h, const std::string& edge, bool exafs,
                       const std::string& deck_path) {
    const kc::edge e = edge_of(edge);
    const double v = edge_ev(h, e);
    kc::run_defaults d;
    d.exafs_grid = exafs;
    return kc::psgen_text(h.cl, kc::names_for(h.s->name, h.cl.sets.front().element, e), e, v,
                          deck_path, h.s->path, d);
}

py::dict atoms_of(const cluster_handle& h) {
    py::dict v;
    py::list r, elements, z, iph, d;
    for (const kc::cluster_atom& a : h.cl.atoms) {
        r.append(py::make_tuple(a.r[0], a.r[1], a.r[2]));
        elements.append(a.site->element);
        z.append(a.site->z);
        iph.append(a.iph);
        d.append(a.d);
    }
    v["positions"] = r, v["elements"] = elements, v["z"] = z, v["phase_sets"] = iph;
    v["distances"] = d;
    py::list sets;
    for (const kc::phase_set& p : h.cl.sets) sets.append(py::make_tuple(p.element, p.z));
    v["sets"] = sets;
    v["table"] = kc::shell_table(h.cl);
    v["notes"] = h.s->notes;
    v["name"] = h.s->name;
    v["cut"] = h.cl.cut ? py::object(py::make_tuple(h.cl.cut->d, h.cl.cut->count)) : py::none();
    return v;
}

}  // namespace

void bind_cluster(py::module_& m) {
    m.attr("NAT") = NAT_;  // the atom capacity of this build
    py::class_<cluster_handle>(m, "ClusterHandle")
        .def("values", &atoms_of)
        .def("deck_text", &deck_text, py::arg("edge"))
        .def("psgen_text", &psgen_text, py::arg("edge"), py::arg("exafs"), py::arg("deck_path"));
    m.def("cluster_file", &from_file, py::arg("path"), py::arg("absorber"), py::arg("radius"),
          py::arg("max_atoms"));
    m.def("cluster_atoms", &from_atoms, py::arg("name"), py::arg("elements"), py::arg("z"),
          py::arg("positions"), py::arg("lattice"), py::arg("absorber"), py::arg("radius"),
          py::arg("max_atoms"));
}

}  // namespace korva::python
