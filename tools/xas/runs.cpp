#include "runs.hpp"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "common/errors.hpp"
#include "elements.hpp"

namespace korva::xas {

namespace {

// The final-state width's default scale for data whose phase shifts carry the inelastic losses
// (the Hedin-Lundqvist self-energy's imaginary part: the mean free path): the arctangent law
// describes the same losses, so it is left out.
constexpr double hedin_lundqvist_scale = 0.0;

// Fermi levels of the two headers that differ by less than this are one (Ry): both are written
// in shortest round-trip form from one value.
constexpr double same_fermi = 1e-9;

[[noreturn]] void wrong(const std::string& what) {
    throw xas_error(exit_wrong_value, what);
}
[[noreturn]] void unreadable(const std::string& what) {
    throw xas_error(exit_unreadable, what);
}

std::string g(double v, int digits = 6) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "%.*g", digits, v);
    return buf;
}

// A file the deck names, as korva-xas opens it: from the deck's folder.
std::string beside(const std::string& deck, const std::string& name) {
    const std::filesystem::path dir = std::filesystem::path(deck).parent_path();
    if (dir.empty() || std::filesystem::path(name).is_absolute()) return name;
    return (dir / name).string();
}

void choose_fermi(const options& o, const run_data& r, choices& c) {
    const std::string& ps = r.psfile;
    const std::string& xs = r.xsfile;
    if (o.fermi) {
        c.p.fermi_ry = *o.fermi;
        c.fermi_source = "--fermi";
        return;
    }
    if (r.ps.fermi && r.xs.fermi && std::abs(*r.ps.fermi - *r.xs.fermi) > same_fermi)
        wrong(ps + " and " + xs + ": their Fermi levels differ (" + g(*r.ps.fermi, 17) + " and " +
              g(*r.xs.fermi, 17) +
              " Ry): they come from different korva-psgen runs; remake "
              "them, or choose one with --fermi");
    if (!r.ps.fermi && !r.xs.fermi)
        unreadable(ps + ": its first line has no E_F field (nor has " + xs +
                   "'s); give the Fermi level with --fermi E_RY");
    c.p.fermi_ry = r.ps.fermi ? *r.ps.fermi : *r.xs.fermi;
    c.fermi_source = r.ps.fermi && r.xs.fermi ? "the headers of " + ps + " and " + xs
                                              : "the header of " + (r.ps.fermi ? ps : xs);
    if (!r.ps.fermi || !r.xs.fermi)
        c.warnings.push_back((r.ps.fermi ? xs : ps) + ": its first line has no E_F field; " +
                             "the Fermi level of " + (r.ps.fermi ? ps : xs) + " is used");
}

void check_fermi(const run_data& r, choices& c) {
    const std::vector<double>& e = r.spectrum.e_ry;
    if (!(c.p.fermi_ry < e.back()))
        wrong("E_F = " + g(c.p.fermi_ry) + " Ry (" + c.fermi_source +
              ") is not below the last computed energy, " + g(e.back()) + " Ry of " + r.sig +
              ": nothing above it to absorb");
    if (c.p.fermi_ry < e.front())
        c.warnings.push_back("E_F = " + g(c.p.fermi_ry) +
                             " Ry lies below the first computed "
                             "energy, " +
                             g(e.front()) + " Ry: the spectrum starts above it");
}

void choose_identity(const options& o, const run_data& r, choices& c) {
    const data_header& h = r.ps;
    const std::optional<int> z = h.z ? h.z : r.xs.z;
    if (o.element) {
        c.element = *o.element;
    } else if (z && *z <= psgen::max_element) {
        c.element = psgen::element_symbol(*z);
    } else {
        unreadable(r.psfile + ": its first line names no element of the absorber (Z=..); " +
                   "give --element");
    }
    const std::optional<std::string> edge = h.edge ? h.edge : r.xs.edge;
    if (!o.edge && !edge) unreadable(r.psfile + ": its first line names no edge; give --edge");
    c.edge = o.edge ? *o.edge : *edge;
    c.exchange = !h.exchange.empty() ? h.exchange : r.xs.exchange;
}

// One line of a run list, or false for a comment or blank line.
bool run_line(const std::string& line, const std::filesystem::path& dir, int n, run_entry& e,
              const std::string& path) {
    std::istringstream is(line);
    std::string weight, deck, label, rest;
    if (!(is >> weight) || weight[0] == '#') return false;
    const auto where = path + ":" + std::to_string(n) + ": ";
    const auto r = std::from_chars(weight.data(), weight.data() + weight.size(), e.weight);
    if (r.ec != std::errc() || r.ptr != weight.data() + weight.size() || !std::isfinite(e.weight) ||
        !(e.weight > 0.0))
        unreadable(where + "'" + weight + "': the weight must be a number above 0");
    if (!(is >> deck)) unreadable(where + "a deck must follow the weight (WEIGHT DECK [LABEL])");
    is >> label;
    if (is >> rest) unreadable(where + "'" + rest + "' after the label (WEIGHT DECK [LABEL])");
    e.deck =
        std::filesystem::path(deck).is_absolute() || dir.empty() ? deck : (dir / deck).string();
    e.label = label;
    return true;
}

}  // namespace

std::vector<run_entry> read_run_list(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) unreadable(path + ": cannot open the run list");
    const std::filesystem::path dir = std::filesystem::path(path).parent_path();
    std::vector<run_entry> runs;
    std::string line;
    for (int n = 1; std::getline(in, line); ++n) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        run_entry e;
        if (!run_line(line, dir, n, e, path)) continue;
        if (e.label.empty()) e.label = std::to_string(runs.size() + 1);
        runs.push_back(e);
    }
    if (runs.empty()) unreadable(path + ": the run list names no run (WEIGHT DECK [LABEL] a line)");
    return runs;
}

run_data read_run(const std::string& deck) {
    run_data r;
    r.deck = deck;
    try {
        r.d = load_deck(deck);
    } catch (const read_error& e) {
        unreadable(e.what);
    }
    if (r.d.if1 <= 0)
        unreadable(deck + ": IF1 = " + std::to_string(r.d.if1) +
                   " (prompt 8): the run writes no cross-section plot file to read");
    if (!(std::isfinite(r.d.ene) && r.d.ene > 0.0f))
        wrong(deck + ": ENE = " + g(r.d.ene) +
              " (prompt 8): the edge energy must be a number of eV above 0");
    r.sig = beside(deck, r.d.prefix + "_kor.sig");
    r.psfile = beside(deck, r.d.psfile);
    r.xsfile = beside(deck, r.d.xsfile);
    r.spectrum = read_sig(r.sig, r.d.lcore);
    r.ps = read_data_header(r.psfile);
    r.xs = read_data_header(r.xsfile);
    return r;
}

choices choose(const options& o, const run_data& r) {
    choices c;
    choose_fermi(o, r, c);
    check_fermi(r, c);
    choose_identity(o, r, c);
    const std::optional<double> gamma = r.ps.gamma ? r.ps.gamma : r.xs.gamma;
    if (!gamma) unreadable(r.psfile + ": its first line has no gamma field (the damping)");
    if (!(*gamma >= 0.0)) unreadable(r.psfile + ": gamma " + g(*gamma) + " Ry is negative");
    c.p.gamma_ry = *gamma;
    c.p.edge_ev = r.d.ene;
    c.p.resolution = o.resolution;
    c.p.final_scale = o.final_scale                     ? *o.final_scale
                      : c.exchange == "hedin-lundqvist" ? hedin_lundqvist_scale
                                                        : 1.0;
    return c;
}

}  // namespace korva::xas
