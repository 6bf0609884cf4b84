#include "write_deck.hpp"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <sstream>

#include "common/types.hpp"
#include "input/deck.hpp"

namespace korva::cluster {
namespace {

constexpr std::size_t max_stem = 76;  // file names of the deck: at most 80 characters

std::string format(const char* fmt, double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, fmt, v);
    return buf;
}

std::string edge_name(edge e) {
    return e == edge::k ? "K" : "L3";
}
int lcore_of(edge e) {
    return e == edge::k ? 0 : 1;
}  // 1s or 2p core state

// A file-name stem without blanks, slashes or control characters (korva-psgen takes no blanks).
std::string clean_stem(const std::string& name) {
    std::string s;
    for (char c : name.substr(0, max_stem)) {
        const bool ok = std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' ||
                        c == '_' || c == '+';
        s += ok ? c : '_';
    }
    return s.empty() ? "cluster" : s;
}

}  // namespace

deck_names names_for(const std::string& structure_name, const std::string& element, edge e) {
    const std::string stem = clean_stem(structure_name);
    std::string el;
    for (char c : element) el += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const char letter = e == edge::k ? 'k' : 'l';
    return {stem, stem + ".ps", stem + ".xs",
            el.size() >= 2 ? el.substr(0, 2) + letter : el + "_" + letter};
}

namespace {

// The cluster as a deck's atoms, with the element and distance of each as its note.
korva::deck cluster_deck(const cluster& cl, korva::deck_notes& notes) {
    korva::deck d;
    d.nat = static_cast<int>(cl.atoms.size());
    for (const cluster_atom& a : cl.atoms) {
        d.atoms.push_back({static_cast<real>(a.r[0]), static_cast<real>(a.r[1]),
                           static_cast<real>(a.r[2]), a.iph});
        char el[8];
        std::snprintf(el, sizeof el, "%-2s", a.site->element.c_str());
        notes.atoms.push_back(el + format("%9.4f", a.d));
    }
    return d;
}

}  // namespace

std::string atom_block(const cluster& cl) {
    korva::deck_notes notes;
    return korva::atom_block_text(cluster_deck(cl, notes), notes);
}

std::string shell_table(const cluster& cl) {
    std::ostringstream os;
    os << "  distance (A)  element  count  phase set\n";
    for (const shell_row& r : cl.table) {
        char line[96];
        std::snprintf(line, sizeof line, "  %12.4f  %-7s %6d %10d%s\n", r.d, r.element.c_str(),
                      r.count, r.iph, r.iph == 1 ? "   absorber" : "");
        os << line;
    }
    os << "  phase set  element    Z\n";
    for (std::size_t k = 0; k < cl.sets.size(); ++k) {
        char line[96];
        std::snprintf(line, sizeof line, "  %9zu  %-7s %4d%s\n", k + 1, cl.sets[k].element.c_str(),
                      cl.sets[k].z, k == 0 ? "   absorber (core hole)" : "");
        os << line;
    }
    return os.str();
}

std::string deck_text(const cluster& cl, const deck_names& names, edge e, double edge_ev,
                      const run_defaults& d) {
    korva::deck_notes notes;
    korva::deck k = cluster_deck(cl, notes);
    k.psfile = names.phase_file;
    k.xsfile = names.xs_file;
    k.prefix = names.prefix;
    k.lcore = lcore_of(e);
    k.toll_lmax = static_cast<real>(d.toll_lmax);
    k.mmax = d.mmax;
    k.eps = static_cast<real>(d.eps);
    k.nep = d.nep;
    k.iout = d.iout, k.if1 = d.if1, k.if2 = d.if2;
    k.ene = static_cast<real>(edge_ev);
    k.fac = static_cast<real>(d.fac);
    k.esp = static_cast<real>(d.esp);
    k.kmin = static_cast<real>(d.kmin), k.kmax = static_cast<real>(d.kmax);
    k.dk = static_cast<real>(d.dk);
    k.de0 = static_cast<real>(d.de0);
    // A slash ends a free-format read, so every numeric answer can carry its meaning.
    notes.lcore =
        std::string("lcore: ") + (e == edge::k ? "1s" : "2p") + " core, " + edge_name(e) + " edge";
    notes.p7 = "TOLL_lmax, Mmax, EPS, NEP";
    notes.p8 =
        "IOUT, IF1, IF2, ENE (eV, " + cl.sets.front().element + " " + edge_name(e) + " edge), FAC";
    notes.esp = "ESP: k^ESP chi(k)";
    notes.p11 = "kmin, kmax, dk (1/A)";
    notes.p12 = "energy shift (Ry)";
    return korva::deck_text(k, notes);
}

std::string psgen_text(const cluster& cl, const deck_names& names, edge e, double edge_ev,
                       const std::string& deck_path, const std::string& source,
                       const run_defaults& d) {
    const phase_set& absorber = cl.sets.front();
    std::ostringstream os;
    os << "# korva-psgen input written by korva-cluster from " << source << "\n";
    os << "# self-consistent atoms superposed on the cluster of the deck; run korva-psgen in this "
          "folder\n";
    os << "title " << absorber.element << " " << edge_name(e) << " edge, " << names.stem << ", "
       << cl.atoms.size() << " atoms\n";
    os << "model self-consistent\n";
    os << "deck " << deck_path << "\n";
    for (std::size_t k = 0; k < cl.sets.size(); ++k) {
        os << "type " << cl.sets[k].element << "   # set " << k + 1;
        if (k == 0)
            os << ": the absorber (core hole)\n";
        else
            os << "; nearest neighbour " << format("%.4f", cl.sets[k].nearest) << " A\n";
    }
    if (d.exafs_grid)
        os << "energies " << d.e_first << " " << d.e_last << " " << d.n_energies << " k\n";
    else
        os << "grid near-edge " << d.below_ev << " " << d.above_ev << " " << d.n_near_edge
           << "   # eV below and above the Fermi level, points\n";
    os << "lmax " << d.lmax << "\n";
    os << "edge " << edge_name(e) << "\n";
    // The tabulated level widths (the default damping) begin at neon.
    if (absorber.z < 10) os << "gamma " << d.gamma << "   # Ry\n";
    os << "edge_ev " << edge_ev << "   # " << absorber.element << " " << edge_name(e)
       << " edge, X-ray Data Booklet (Bearden and Burr)\n";
    os << "phase_file " << names.phase_file << "\n";
    os << "xs_file " << names.xs_file << "\n";
    return os.str();
}

}  // namespace korva::cluster
