// mmCIF and PDB through gemmi: the atoms of the first model, Cartesian as the file gives them.
// The crystal symmetry of a macromolecule is not applied: the cluster is cut from the model.
#include <cmath>
#include <gemmi/cif.hpp>
#include <gemmi/mmcif.hpp>
#include <gemmi/modify.hpp>
#include <gemmi/pdb.hpp>

#include "read_structure.hpp"

namespace korva::cluster {
namespace {

[[noreturn]] void unreadable(const std::string& path, const std::string& what) {
    throw cluster_error(exit_unreadable, path + ": " + what);
}

std::string describe(const gemmi::Atom& a, const gemmi::Residue& r, const gemmi::Chain& c) {
    return "atom " + std::to_string(a.serial) + " (" + a.name + " of " + r.name + " " + c.name +
           " " + r.seqid.str() + ")";
}

// Atoms without alternative locations must be fully occupied; of those with alternative
// locations the first is taken (gemmi's remove_alternative_conformations), and the user told.
void resolve_occupancy(gemmi::Model& model, const std::string& path, structure& s) {
    std::size_t with_altloc = 0, before = 0;
    for (const gemmi::Chain& c : model.chains)
        for (const gemmi::Residue& r : c.residues)
            for (const gemmi::Atom& a : r.atoms) {
                ++before;
                if (a.has_altloc()) {
                    ++with_altloc;
                } else if (!std::isfinite(a.occ) ||
                           std::abs(a.occ - 1.0) > full_occupancy_tolerance) {
                    throw cluster_error(exit_wrong_value,
                                        path + ": " + describe(a, r, c) + " has occupancy " +
                                            std::to_string(a.occ).substr(0, 6) +
                                            " and no alternative location; partial occupancy "
                                            "cannot be made into one cluster");
                }
            }
    if (with_altloc == 0) return;
    gemmi::remove_alternative_conformations(model);
    std::size_t after = 0;
    for (const gemmi::Chain& c : model.chains)
        for (const gemmi::Residue& r : c.residues) after += r.atoms.size();
    s.notes.push_back("alternative locations: the first of each is taken (" +
                      std::to_string(with_altloc) + " atom records with an alternative location, " +
                      std::to_string(before - after) + " left out)");
}

void collect_atoms(const gemmi::Model& model, const std::string& path, structure& s) {
    for (const gemmi::Chain& c : model.chains)
        for (const gemmi::Residue& r : c.residues)
            for (const gemmi::Atom& a : r.atoms) {
                if (a.element == gemmi::El::X)
                    unreadable(path, describe(a, r, c) + ": unknown element");
                atom_site site;
                site.label = a.name;
                site.element = a.element.name();
                site.z = a.element.atomic_number();
                site.number = a.serial;
                site.file_site = static_cast<int>(s.sites.size());
                site.r = {a.pos.x, a.pos.y, a.pos.z};
                if (!std::isfinite(site.r[0]) || !std::isfinite(site.r[1]) ||
                    !std::isfinite(site.r[2]))
                    unreadable(path, describe(a, r, c) + ": a coordinate is not a finite number");
                s.sites.push_back(site);
            }
}

}  // namespace

structure read_macromolecule(const std::string& text, const std::string& path, file_format f) {
    structure s;
    gemmi::Structure st;
    try {
        st = f == file_format::pdb ? gemmi::read_pdb_from_memory(text.data(), text.size(), path)
                                   : gemmi::make_structure(gemmi::cif::read_memory(
                                         text.data(), text.size(), path.c_str()));
    } catch (const std::exception& e) {
        unreadable(path, e.what());
    }
    if (st.models.empty()) unreadable(path, "no atoms");
    if (st.models.size() > 1)
        s.notes.push_back("the file holds " + std::to_string(st.models.size()) +
                          " models; the first is used");
    gemmi::Model& model = st.models.front();
    resolve_occupancy(model, path, s);
    collect_atoms(model, path, s);
    if (s.sites.empty()) unreadable(path, "no atoms");
    s.atoms = s.sites;
    return s;
}

}  // namespace korva::cluster
