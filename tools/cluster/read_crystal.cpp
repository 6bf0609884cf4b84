// Small-molecule CIF through gemmi: cell, sites and symmetry; the sites are expanded to the whole
// unit cell by gemmi, which merges the images of a site that fall on one position.
#include <cmath>
#include <gemmi/cif.hpp>
#include <gemmi/smcif.hpp>
#include <gemmi/symmetry.hpp>
#include <set>

#include "read_structure.hpp"

namespace korva::cluster {
namespace {

namespace cif = gemmi::cif;

[[noreturn]] void unreadable(const std::string& path, const std::string& what) {
    throw cluster_error(exit_unreadable, path + ": " + what);
}

// The first data block with fractional atom coordinates.
cif::Block& crystal_block(cif::Document& doc, const std::string& path, structure& s) {
    cif::Block* found = nullptr;
    int count = 0;
    for (cif::Block& b : doc.blocks)
        if (b.has_tag("_atom_site_fract_x")) {
            if (!found) found = &b;
            ++count;
        }
    if (!found) unreadable(path, "no data block with _atom_site_fract_x (fractional coordinates)");
    if (count > 1)
        s.notes.push_back("the file holds " + std::to_string(count) +
                          " structures; the first, data_" + found->name + ", is used");
    return *found;
}

void check_cell(const gemmi::UnitCell& c, const std::string& path) {
    const bool lengths = std::isfinite(c.a) && std::isfinite(c.b) && std::isfinite(c.c) &&
                         c.a > 0 && c.b > 0 && c.c > 0;
    if (!c.is_crystal() || !lengths || !std::isfinite(c.volume) || !(c.volume > 0))
        unreadable(path, "no usable unit cell (_cell_length_a/b/c, _cell_angle_alpha/beta/gamma)");
}

void check_site(const gemmi::SmallStructure::Site& site, const std::string& path) {
    if (site.element == gemmi::El::X)
        unreadable(path, "site " + site.label + ": no element in its type symbol '" +
                             site.type_symbol + "'");
    const gemmi::Fractional& f = site.fract;
    if (!std::isfinite(f.x) || !std::isfinite(f.y) || !std::isfinite(f.z))
        unreadable(path, "site " + site.label +
                             ": a fractional coordinate is missing or not a "
                             "number");
    if (!std::isfinite(site.occ) || std::abs(site.occ - 1.0) > full_occupancy_tolerance)
        throw cluster_error(exit_wrong_value,
                            path + ": site " + site.label + " has occupancy " +
                                std::to_string(site.occ).substr(0, 6) +
                                "; partial occupancy cannot be made into one cluster: give "
                                "each position one site of full occupancy");
}

std::vector<gemmi::Op> listed_operations(cif::Block& block, const std::string& path) {
    std::vector<gemmi::Op> ops;
    for (const char* tag : {"_space_group_symop_operation_xyz", "_space_group_symop.operation_xyz",
                            "_symmetry_equiv_pos_as_xyz"}) {
        cif::Column col = block.find_values(tag);
        if (!col || col.length() == 0) continue;
        for (int i = 0; i < col.length(); ++i) {
            const std::string t = cif::as_string(col[i]);
            try {
                ops.push_back(gemmi::parse_triplet(t));
            } catch (const std::exception& e) {
                unreadable(path, "symmetry operation '" + t + "': " + e.what());
            }
        }
        break;
    }
    return ops;
}

// The listed operations as a group; a list that is not closed is completed, and the user told.
gemmi::GroupOps group_of(std::vector<gemmi::Op> ops, structure& s) {
    std::set<std::string> distinct;
    for (gemmi::Op& op : ops) distinct.insert(op.wrap().triplet());
    if (!distinct.count(gemmi::Op::identity().triplet())) ops.push_back(gemmi::Op::identity());
    gemmi::GroupOps g = gemmi::split_centering_vectors(ops);
    g.add_missing_elements();
    if (g.order() != static_cast<int>(distinct.size()))
        s.notes.push_back("the " + std::to_string(distinct.size()) +
                          " listed symmetry operations are completed to a group of " +
                          std::to_string(g.order()));
    return g;
}

const std::string* first_value(cif::Block& block, std::initializer_list<const char*> tags) {
    for (const char* tag : tags)
        if (const std::string* v = block.find_value(tag))
            if (!cif::is_null(*v)) return v;
    return nullptr;
}

// Symmetry from the listed operations, else from the Hall symbol, else from the Hermann-Mauguin
// symbol (gemmi's tables; a rhombohedral cell picks the rhombohedral setting).
gemmi::GroupOps symmetry_of(cif::Block& block, const gemmi::UnitCell& cell, const std::string& path,
                            structure& s) {
    const std::vector<gemmi::Op> ops = listed_operations(block, path);
    std::string source;
    gemmi::GroupOps g;
    if (!ops.empty()) {
        g = group_of(ops, s);
        source = "listed in the file";
    } else if (const std::string* hall = first_value(
                   block, {"_space_group_name_Hall", "_symmetry_space_group_name_Hall"})) {
        const std::string h = cif::as_string(*hall);
        try {
            g = gemmi::symops_from_hall(h.c_str());
        } catch (const std::exception& e) {
            unreadable(path, "Hall symbol '" + h + "': " + e.what());
        }
        source = "from the Hall symbol '" + h + "'";
    } else if (const std::string* hm = first_value(
                   block, {"_space_group_name_H-M_alt", "_symmetry_space_group_name_H-M"})) {
        const std::string name = cif::as_string(*hm);
        const gemmi::SpaceGroup* sg = gemmi::find_spacegroup_by_name(name, cell.alpha, cell.gamma);
        if (!sg) unreadable(path, "unknown space-group symbol '" + name + "'");
        g = sg->operations();
        source = "from the space-group symbol '" + name + "'";
    } else {
        unreadable(path, "no symmetry: neither symmetry operations nor a space-group symbol");
    }
    s.notes.push_back("symmetry: " + std::to_string(g.order()) + " operations " + source);
    return g;
}

// The cell must have the metric its operations keep (1% of the longest axis squared: wide
// enough for rounded cell constants, narrow enough to catch a wrong setting).
void check_metric(gemmi::UnitCell& cell, const gemmi::GroupOps& g, const std::string& path) {
    const double longest = std::max({cell.a, cell.b, cell.c});
    if (!cell.is_compatible_with_groupops(g, 0.01 * longest * longest))
        unreadable(path,
                   "the cell does not have the symmetry of its space group (a wrong "
                   "setting or cell?)");
}

void set_images(gemmi::UnitCell& cell, const gemmi::GroupOps& g) {
    cell.images.clear();
    for (gemmi::Op op : g)
        if (op != gemmi::Op::identity())
            cell.images.push_back(
                gemmi::Transform{gemmi::rot_as_mat33(op), gemmi::tran_as_vec3(op)});
    cell.cs_count = static_cast<short>(cell.images.size());
}

atom_site site_at(const gemmi::SmallStructure::Site& site, const gemmi::Fractional& f,
                  const gemmi::UnitCell& cell, int index) {
    atom_site a;
    a.label = site.label;
    a.element = site.element.name();
    a.z = site.element.atomic_number();
    a.file_site = index;
    const gemmi::Position p = cell.orthogonalize(f);
    a.r = {p.x, p.y, p.z};
    return a;
}

// Every listed site and, from gemmi's expansion, all its images in the unit cell, moved into
// [0, 1) so that lattice translations reach all of them.
void expand(const gemmi::SmallStructure& st, structure& s) {
    for (std::size_t i = 0; i < st.sites.size(); ++i) {
        const int index = static_cast<int>(i);
        s.sites.push_back(site_at(st.sites[i], st.sites[i].fract, st.cell, index));
        gemmi::SmallStructure one = st;
        one.sites = {st.sites[i]};
        for (const auto& image : one.get_all_unit_cell_sites()) {
            const gemmi::Fractional& f = image.fract;
            const gemmi::Fractional w(f.x - std::floor(f.x), f.y - std::floor(f.y),
                                      f.z - std::floor(f.z));
            s.atoms.push_back(site_at(image, w, st.cell, index));
        }
    }
    for (int k = 0; k < 3; ++k) {
        const gemmi::Position v = st.cell.orthogonalize(gemmi::Fractional(k == 0, k == 1, k == 2));
        s.lattice[k] = {v.x, v.y, v.z};
    }
}

}  // namespace

structure read_crystal(const std::string& text, const std::string& path) {
    structure s;
    s.periodic = true;
    gemmi::SmallStructure st;
    try {
        cif::Document doc = cif::read_memory(text.data(), text.size(), path.c_str());
        cif::Block& block = crystal_block(doc, path, s);
        st = gemmi::make_small_structure_from_block(block);
        check_cell(st.cell, path);
        for (const auto& site : st.sites) check_site(site, path);
        const gemmi::GroupOps g = symmetry_of(block, st.cell, path, s);
        check_metric(st.cell, g, path);
        set_images(st.cell, g);
    } catch (const cluster_error&) {
        throw;
    } catch (const std::exception& e) {
        unreadable(path, e.what());
    }
    if (st.sites.empty()) unreadable(path, "no atom sites");
    expand(st, s);
    return s;
}

}  // namespace korva::cluster
