#include "write_deck.hpp"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <sstream>

namespace korva::cluster {
namespace {

constexpr std::size_t max_stem = 76;  // file names of the deck: at most 80 characters

std::string format(const char* fmt, double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, fmt, v);
    return buf;
}

// Coordinates to 1e-5 Angstrom, with no "-0.00000".
std::string coordinate(double v) {
    return format("%12.5f", std::abs(v) < 5e-6 ? 0.0 : v);
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

std::string atom_block(const cluster& cl) {
    std::ostringstream os;
    os << cl.atoms.size() << "\n";
    for (const cluster_atom& a : cl.atoms) {
        char iph[16];
        std::snprintf(iph, sizeof iph, "%4d", a.iph);
        char el[8];
        std::snprintf(el, sizeof el, "%-2s", a.site->element.c_str());
        os << coordinate(a.r[0]) << coordinate(a.r[1]) << coordinate(a.r[2]) << iph << "  / " << el
           << format("%9.4f", a.d) << "\n";
    }
    return os.str();
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
    std::ostringstream os;
    os << names.phase_file << "\n" << names.xs_file << "\n" << names.prefix << "\n";
    os << atom_block(cl);
    // A slash ends a free-format read, so every numeric answer can carry its meaning.
    os << lcore_of(e) << "   / lcore: " << (e == edge::k ? "1s" : "2p") << " core, " << edge_name(e)
       << " edge\n";
    os << d.toll_lmax << " " << d.mmax << " " << d.eps << " " << d.nep
       << "   / TOLL_lmax, Mmax, EPS, NEP\n";
    os << d.iout << " " << d.if1 << " " << d.if2 << " " << edge_ev << " " << d.fac
       << "   / IOUT, IF1, IF2, ENE (eV, " << cl.sets.front().element << " " << edge_name(e)
       << " edge), FAC\n";
    os << d.esp << "   / ESP: k^ESP chi(k)\n";
    os << d.kmin << " " << d.kmax << " " << d.dk << "   / kmin, kmax, dk (1/A)\n";
    os << d.de0 << "   / energy shift (Ry)\n";
    return os.str();
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
