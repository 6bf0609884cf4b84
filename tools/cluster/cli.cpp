#include "cli.hpp"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string_view>
#include <utility>

#include "cluster.hpp"
#include "common/capacities.hpp"
#include "common/errors.hpp"
#include "common/whole_files.hpp"
#include "read_structure.hpp"
#include "sites.hpp"
#include "write_deck.hpp"

namespace korva::cluster {
namespace {

[[noreturn]] void wrong(const std::string& what) {
    throw cluster_error(exit_wrong_value, what);
}

std::string value_after(const std::vector<std::string>& args, std::size_t& i) {
    const std::string& opt = args[i];
    if (i + 1 >= args.size()) wrong(opt + ": a value must follow");
    return args[++i];
}

double parse_radius(const std::string& v) {
    double r = 0;
    const auto res = std::from_chars(v.data(), v.data() + v.size(), r);
    if (res.ec != std::errc() || res.ptr != v.data() + v.size() || !std::isfinite(r) || r <= 0)
        wrong("--radius " + v + ": the radius must be a number of Angstrom above 0");
    return r;
}

int parse_max_atoms(const std::string& v) {
    int n = 0;
    const auto res = std::from_chars(v.data(), v.data() + v.size(), n);
    if (res.ec != std::errc() || res.ptr != v.data() + v.size() || n < 2 || n > NAT_)
        wrong("--max-atoms " + v + ": the atom count must be a whole number from 2 to " +
              std::to_string(NAT_) + " (the program's capacity)");
    return n;
}

edge parse_edge(const std::string& v) {
    if (v == "K" || v == "k") return edge::k;
    if (v == "L3" || v == "l3") return edge::l3;
    wrong("--edge " + v + ": the edge must be K or L3");
}

// A whole number from lo to hi, or the option is refused with `meaning`.
int whole_number(const std::string& opt, const std::string& v, int lo, int hi,
                 const std::string& meaning) {
    int n = 0;
    const auto res = std::from_chars(v.data(), v.data() + v.size(), n);
    if (res.ec != std::errc() || res.ptr != v.data() + v.size() || n < lo || n > hi)
        wrong(opt + " " + v + ": " + meaning);
    return n;
}

// --grid near-edge (the default) or exafs; true for exafs.
bool parse_grid(const std::string& v) {
    if (v == "near-edge" || v == "exafs") return v == "exafs";
    wrong("--grid " + v + ": the grid must be near-edge or exafs");
}

bool same_file(const std::string& a, const std::string& b) {
    namespace fs = std::filesystem;
    std::error_code e1, e2;
    const fs::path pa = fs::weakly_canonical(a, e1), pb = fs::weakly_canonical(b, e2);
    return (!e1 && !e2) ? pa == pb : a == b;
}

void check_outputs(const options& o) {
    if (o.sites && (!o.deck.empty() || !o.psgen.empty()))
        wrong("--sites lists the absorbing sites and writes no deck or psgen input");
    for (const auto* f : {&o.deck, &o.psgen})
        if (!f->empty() && same_file(*f, o.structure))
            wrong(*f + ": the output would overwrite the structure file");
    if (!o.deck.empty() && !o.psgen.empty() && same_file(o.deck, o.psgen))
        wrong(o.deck + ": --deck and --psgen name the same file");
    if (!o.psgen.empty() && o.deck.empty())
        wrong(
            "--psgen needs --deck: the korva-psgen input names the deck whose atoms make the "
            "cluster potential");
}

// The deck as the psgen input names it: relative to the psgen input's folder, where korva-psgen
// runs (an absolute path when there is no relative one).
std::string deck_for_psgen(const options& o) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path deck = fs::absolute(o.deck, ec).lexically_normal();
    const fs::path dir = fs::absolute(o.psgen, ec).lexically_normal().parent_path();
    const fs::path rel = deck.lexically_relative(dir);
    const std::string name = rel.empty() ? deck.string() : rel.string();
    if (name.find_first_of(" \t#") != std::string::npos)
        wrong("--deck " + o.deck + ": korva-psgen reads a file name without blanks or '#'");
    return name;
}

std::string who_text(const structure& s, int absorber) {
    const atom_site& a = s.sites[static_cast<std::size_t>(absorber)];
    if (s.format == file_format::cif) return a.label + " (" + a.element + ")";
    return a.element + " (atom " + std::to_string(a.number) + ")";
}

std::string summary(const structure& s, int absorber, const options& o, const cluster& cl) {
    std::ostringstream os;
    char radius[32];
    std::snprintf(radius, sizeof radius, "%.3f", o.radius);
    os << "korva-cluster: " << s.path << ", absorber " << who_text(s, absorber) << ", radius "
       << radius << " A: " << cl.atoms.size() << " atoms, " << cl.sets.size() << " phase sets\n";
    for (const std::string& n : s.notes) os << "korva-cluster: note: " << n << "\n";
    os << shell_table(cl);
    if (cl.cut) {
        char line[200];
        std::snprintf(line, sizeof line,
                      "korva-cluster: note: the shell at %.4f A (%d atoms) does not fit within "
                      "%d atoms; the cluster ends before it, with %zu atoms\n",
                      cl.cut->d, cl.cut->count, o.max_atoms, cl.atoms.size());
        os << line;
    }
    return os.str();
}

// The deck and psgen input asked for, as (file name, text) pairs.
std::vector<std::pair<std::string, std::string>> data_files(const structure& s, int absorber,
                                                            const options& o, const cluster& cl) {
    std::vector<std::pair<std::string, std::string>> files;
    if (o.deck.empty() && o.psgen.empty()) return files;
    const phase_set& abs = cl.sets.front();
    const double e_ev = edge_energy(abs.z, o.e);
    if (e_ev <= 0)
        wrong(std::string("--absorber ") + o.absorber + ": the edge table has no " +
              (o.e == edge::k ? "K" : "L3") + " edge for " + abs.element + " (Z = " +
              std::to_string(abs.z) + "); it covers K for Z = 3 to 92, L3 for Z = 10 to 92");
    const deck_names names = names_for(s.name, abs.element, o.e);
    if (!o.deck.empty()) files.push_back({o.deck, deck_text(cl, names, o.e, e_ev)});
    run_defaults d;
    d.exafs_grid = o.exafs_grid;
    if (o.points > 0) d.n_near_edge = d.n_energies = o.points;
    if (!o.psgen.empty())
        files.push_back({o.psgen, psgen_text(cl, names, o.e, e_ev, deck_for_psgen(o),
                                             s.path + ", absorber " + who_text(s, absorber), d)});
    return files;
}

// One option with its value; false when `a` is none of them.
bool valued_option(const std::vector<std::string>& args, std::size_t& i, options& o) {
    const std::string& a = args[i];
    if (a == "--absorber") {
        o.absorber = value_after(args, i);
    } else if (a == "--radius") {
        o.radius = parse_radius(value_after(args, i));
    } else if (a == "--max-atoms") {
        o.max_atoms = parse_max_atoms(value_after(args, i));
    } else if (a == "--deck") {
        o.deck = value_after(args, i);
    } else if (a == "--psgen") {
        o.psgen = value_after(args, i);
    } else if (a == "--edge") {
        o.e = parse_edge(value_after(args, i));
    } else if (a == "--grid") {
        o.exafs_grid = parse_grid(value_after(args, i));
    } else if (a == "--points") {
        o.points = whole_number(a, value_after(args, i), 4, NER_,
                                "the grid's energies must be a whole number from 4 to " +
                                    std::to_string(NER_) + " (the program's capacity)");
    } else if (a == "--frame") {
        o.frame = whole_number(a, value_after(args, i), 1, max_frame,
                               "the frame must be a whole number from 1");
    } else {
        return false;
    }
    return true;
}

// --sites: the absorbing sites WHO stands for, on standard output.
int list_sites(const options& o, std::ostream& out, std::ostream& err) {
    const structure s = read_structure(o.structure, o.frame);
    const std::vector<absorber_site> v = absorber_sites(s, o.absorber);
    err << "korva-cluster: " << s.path << ", absorber " << o.absorber << ": " << v.size()
        << (v.size() == 1 ? " site" : " sites") << "\n";
    for (const std::string& n : s.notes) err << "korva-cluster: note: " << n << "\n";
    out << sites_text(s, v);
    out.flush();
    if (!out) throw cluster_error(exit_write, "standard output could not be written");
    return 0;
}

}  // namespace

options parse_options(const std::vector<std::string>& args) {
    options o;
    o.max_atoms = NAT_;
    bool have_radius = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "-h" || a == "--help") {
            o.help = true;
            return o;
        }
        if (a == "--radius") have_radius = true;
        if (valued_option(args, i, o)) continue;
        if (a == "--sites") {
            o.sites = true;
        } else if (a.size() > 1 && a[0] == '-') {
            wrong(a + ": unknown option (korva-cluster --help lists them)");
        } else if (o.structure.empty()) {
            o.structure = a;
        } else {
            wrong(a + ": one structure file only");
        }
    }
    if (o.structure.empty()) wrong("no structure file (korva-cluster --help)");
    if (o.absorber.empty()) wrong("--absorber is required (a site label, element or number)");
    if (!have_radius && !o.sites) wrong("--radius is required (Angstrom)");
    check_outputs(o);
    return o;
}

int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    try {
        const options o = parse_options(args);
        if (o.help) {
            out << help_text();
            return 0;
        }
        if (o.sites) return list_sites(o, out, err);
        const structure s = read_structure(o.structure, o.frame);
        const int absorber = find_absorber(s, o.absorber);
        const cluster cl = cut_cluster(s, absorber, o.radius, o.max_atoms, NPH_);
        write_whole_files(data_files(s, absorber, o, cl));
        err << summary(s, absorber, o, cl);
        out << atom_block(cl);
        out.flush();
        if (!out) throw cluster_error(exit_write, "standard output could not be written");
        return 0;
    } catch (const cluster_error& e) {
        err << "korva-cluster: " << e.what() << "\n";
        return e.status;
    } catch (const korva::write_error& e) {
        err << "korva-cluster: cannot write " << e.file << ": " << e.reason << "\n";
        return exit_write;
    }
}

}  // namespace korva::cluster

namespace korva::cluster {

namespace {

// The text of --help; {NAT}, {NPH} and {NER} stand for the capacities of the build.
constexpr std::string_view help_template =
    R"(usage: korva-cluster STRUCTURE --absorber WHO --radius R [--max-atoms N]
                     [--deck FILE] [--psgen FILE] [--edge K|L3] [--grid near-edge|exafs]
                     [--points N] [--frame F]
       korva-cluster STRUCTURE --absorber WHO --sites [--frame F]

Cuts a cluster around an absorbing atom out of a structure file and prints the answers to the
KORVA deck's prompts 4 and 5: the atom count, then one line `x y z iph / El d` per atom (Angstrom,
absorber first at 0 0 0, then by increasing distance d; the text after the slash is a comment
the deck reader skips).

STRUCTURE     small-molecule CIF (symmetry from the listed operations, else the Hall or
              Hermann-Mauguin symbol), mmCIF or PDB (first model; first alternative location),
              or XYZ; told from the extension (.cif .mmcif .pdb .ent .xyz), else from the text
--absorber    a CIF site label (Cu1); else an element symbol, the first site of that element in
              file order; else, for XYZ, PDB and mmCIF, an atom number (XYZ: its place in the
              file from 1; PDB and mmCIF: its serial number)
--radius      Angstrom, above 0: shells whose nearest atom lies within R
--max-atoms   2 to {NAT}, default {NAT}: whole shells only, the cluster ends before the first
              shell that does not fit (atoms within 0.001 A of one distance are one shell)
--deck FILE   writes a whole deck (prompts 1 to 12) for the cluster
--psgen FILE  writes a korva-psgen input for the cluster's phase sets (needs --deck: its
              self-consistent potential comes from the deck's atoms)
--edge        K (default) or L3: the edge of the deck and psgen input
--grid        near-edge (default): the psgen energies resolve the edge, from 5 eV below the
              Fermi level korva-psgen finds to 100 eV above it; exafs: the wide grid 0.3 to
              36 Ry of the extended fine structure
--points N    the psgen grid's number of energies, 4 to {NER} (default: {NER}, the program's
              capacity, for near-edge; 70 for exafs)
--frame F     the frame of an XYZ trajectory, from 1 (default 1); every frame of the file is
              read and must list the atoms of the first, element by element
--sites       cuts nothing: lists the absorbing sites WHO stands for, one line
              `site NAME MULTIPLICITY ELEMENT` each after the lines `format F` (cif, mmcif,
              pdb, xyz) and `frames N` (N: the frames of an XYZ trajectory, else 1). A CIF
              site label is that site; an element symbol is every site of the element (CIF:
              the listed sites, each with its images in the unit cell as multiplicity; XYZ,
              PDB, mmCIF: every atom of the element, multiplicity 1); an atom number is that
              atom. NAME is what --absorber takes to name the one site.

Phase sets: 1 is the absorber alone (it carries the core hole), then one per element in order
of first appearance by distance; the program holds at most {NPH}.
Standard error: notes, the shell table (distance, element, count, phase set) and the legend.

Defaults of --deck and --psgen (a K edge):
  data files      NAME.ps and NAME.xs, NAME the structure file's name without its extension;
                  output prefix: the absorber's element and the edge letter (cuk, o_k, fel)
  prompt 6        lcore 0 for K (1s), 1 for L3 (2p)
  prompt 7        TOLL_lmax 0.002, Mmax 3, EPS 0.0001, NEP {NER}
  prompt 8        IOUT 2, IF1 1 (cross-section plot), IF2 0, ENE the edge energy, FAC 1
  prompt 9        ESP 2 (k^2 chi(k))
  prompt 11, 12   k from 3 to 11 1/A in steps of 0.05; no energy shift (0)
  psgen           model self-consistent on the deck's atoms (deck: the --deck file, relative to
                  the psgen input's folder, where korva-psgen is to run); one type per phase
                  set (its element); grid near-edge 5 100 N (5 eV below to 100 eV above
                  the Fermi level, even in k, N the program's energy capacity; --grid exafs:
                  energies 0.3 to 36 Ry, 70 points even in k); lmax 12;
                  edge K or L3; edge_ev from the X-ray Data Booklet (Bearden and Burr) table of
                  K and L3 energies, Z = 3 to 92; damping half the level's tabulated width
                  (gamma 0.07 Ry for an absorber below Ne, which the table lacks)

Exit status: 0 done; 1 a value that cannot be used (option, absorber, partial occupancy,
atoms closer than 0.5 A, more than {NPH} phase sets); 2 a structure file that cannot be read;
3 an output that cannot be written. On an error nothing is printed on standard output and no
file is written.
)";

}  // namespace

std::string help_text() {
    std::string text(help_template);
    const std::pair<std::string_view, int> capacities[] = {
        {"{NAT}", NAT_}, {"{NPH}", NPH_}, {"{NER}", NER_}};
    for (const auto& [mark, value] : capacities)
        for (auto at = text.find(mark); at != std::string::npos; at = text.find(mark, at))
            text.replace(at, mark.size(), std::to_string(value));
    return text;
}

}  // namespace korva::cluster
