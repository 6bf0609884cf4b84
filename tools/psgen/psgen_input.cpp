#include "psgen_input.hpp"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <map>
#include <sstream>

#include "elements.hpp"

namespace korva::psgen {

namespace {

constexpr double ev_per_ry = 13.6058;

std::string g6(double v) {
    std::ostringstream os;
    os << v;
    return os.str();
}

std::vector<std::string> tokens(const std::string& s) {
    std::istringstream is(s);
    std::vector<std::string> out;
    for (std::string w; is >> w;) out.push_back(w);
    return out;
}

struct line_reader {
    int lineno;
    std::string key;
    std::vector<std::string> args;

    [[noreturn]] void fail(const std::string& what) const {
        throw psgen_error("line " + std::to_string(lineno) + " (" + key + "): " + what);
    }
    void want(std::size_t lo, std::size_t hi) const {
        if (args.size() < lo || args.size() > hi)
            fail(lo == hi
                     ? "expected " + std::to_string(lo) + " value(s)"
                     : "expected " + std::to_string(lo) + " to " + std::to_string(hi) + " values");
    }
    double real(std::size_t i) const {
        const char* s = args[i].c_str();
        char* end = nullptr;
        errno = 0;
        const double v = std::strtod(s, &end);
        if (end == s || *end != '\0' || errno == ERANGE || !std::isfinite(v))
            fail("'" + args[i] + "' is not a finite number");
        return v;
    }
    int integer(std::size_t i) const {
        const char* s = args[i].c_str();
        char* end = nullptr;
        errno = 0;
        const long v = std::strtol(s, &end, 10);
        if (end == s || *end != '\0' || errno == ERANGE || v < -1000000 || v > 1000000)
            fail("'" + args[i] + "' is not an integer");
        return static_cast<int>(v);
    }
};

void check(bool ok, const std::string& what) {
    if (!ok) throw psgen_error(what);
}

bool is_level(const std::vector<std::string>& args) {
    return args.size() == 1 &&
           (args[0] == "K" || args[0] == "L1" || args[0] == "L2" || args[0] == "L3");
}

void choose(const line_reader& r, const std::vector<std::string>& allowed) {
    for (const auto& a : allowed)
        if (r.args[0] == a) return;
    std::string list;
    for (const auto& a : allowed) list += (list.empty() ? "" : ", ") + a;
    r.fail("'" + r.args[0] + "' is not one of " + list);
}

// Nuclear charge of a type line: a number, or an element symbol.
double type_charge(const line_reader& r) {
    if (!r.args[0].empty() && std::isalpha(static_cast<unsigned char>(r.args[0][0]))) {
        try {
            return parse_element(r.args[0]);
        } catch (const psgen_error& e) {
            r.fail(e.what());
        }
    }
    return r.real(0);
}

}  // namespace

std::vector<double> energy_grid(double first, double last, int n, bool in_k) {
    std::vector<double> e(n);
    if (n == 1) {
        e[0] = first;
        return e;
    }
    const double a = in_k ? std::sqrt(first) : first;
    const double b = in_k ? std::sqrt(last) : last;
    for (int i = 0; i < n; ++i) {
        const double s = a + (b - a) * i / (n - 1);
        e[i] = in_k ? s * s : s;
    }
    e[0] = first;  // both ends exactly the values asked for
    e[n - 1] = last;
    return e;
}

std::vector<double> near_edge_energies(const near_edge_grid& g, double fermi) {
    const double first = std::max(fermi - g.below_ev / ev_per_ry, near_edge_floor);
    return energy_grid(first, fermi + g.above_ev / ev_per_ry, g.n, true);
}

void check_energies(const std::vector<double>& e) {
    check(e.size() <= max_points, "more than " + std::to_string(max_points) + " energy points");
    for (std::size_t i = 0; i < e.size(); ++i) {
        check(e[i] >= min_energy && e[i] <= max_energy,
              "energies must lie in [" + g6(min_energy) + ", " + g6(max_energy) + "] Ry");
        if (i > 0)
            check(static_cast<float>(e[i]) > static_cast<float>(e[i - 1]),
                  "energies must be strictly increasing (also in single precision)");
    }
}

namespace {

// What the keyword lines have said so far.
struct input_state {
    psgen_input p;
    bool have_edge = false, have_energies = false, have_lcore = false;
};

using keyword_handler = void (*)(const line_reader& r, const std::string& line, input_state& s);

void title_line(const line_reader&, const std::string& line, input_state& s) {
    std::string& t = s.p.title;
    const auto at = line.find("title") + 5;
    const auto b = line.find_first_not_of(" \t\r", at);
    const auto e = line.find_last_not_of(" \t\r");
    t = b == std::string::npos ? "" : line.substr(b, e - b + 1);
    for (char& c : t)
        if (static_cast<unsigned char>(c) < 32 || c == 127) c = ' ';
}

void type_line(const line_reader& r, const std::string&, input_state& s) {
    r.want(1, 2);
    const atom_type t{type_charge(r), r.args.size() == 2 ? r.real(1) : 0.0};
    if (!(t.z > 0.0 && t.z <= 120.0)) r.fail("nuclear charge must lie in (0, 120]");
    if (r.args.size() == 2 && !(t.rmt >= 0.1 && t.rmt <= 10.0))
        r.fail("muffin-tin radius must lie in [0.1, 10] Bohr");
    if (s.p.types.size() == max_types)
        r.fail("at most " + std::to_string(max_types) + " atom types");
    s.p.types.push_back(t);
}

void energies_line(const line_reader& r, const std::string&, input_state& s) {
    r.want(3, 4);
    const double first = r.real(0), last = r.real(1);
    const int n = r.integer(2);
    if (r.args.size() == 4 && r.args[3] != "k" && r.args[3] != "e")
        r.fail("spacing must be 'e' or 'k'");
    const bool in_k = r.args.size() == 4 && r.args[3] == "k";
    if (n < 1 || n > max_points)
        r.fail("number of points must lie in 1.." + std::to_string(max_points));
    if (n == 1 && first != last) r.fail("one point needs first = last");
    if (n > 1 && !(last > first)) r.fail("last energy must exceed the first");
    if (!(first >= min_energy && last <= max_energy)) r.fail("energies must lie in [1e-4, 400] Ry");
    const auto g = energy_grid(first, last, n, in_k);
    s.p.energies.insert(s.p.energies.end(), g.begin(), g.end());
    s.have_energies = true;
}

void energy_list_line(const line_reader& r, const std::string&, input_state& s) {
    if (r.args.empty()) r.fail("expected energies");
    for (std::size_t i = 0; i < r.args.size(); ++i) s.p.energies.push_back(r.real(i));
    s.have_energies = true;
}

// One real into `v`; `ok` tells whether it is in range, `what` is the message when not.
template <class InRange>
void one_real(const line_reader& r, double& v, InRange ok, const char* what) {
    r.want(1, 1);
    v = r.real(0);
    if (!ok(v)) r.fail(what);
}

void gamma_line(const line_reader& r, const std::string&, input_state& s) {
    one_real(
        r, s.p.gamma, [](double v) { return v >= 0.0 && v <= max_gamma; },
        "gamma must lie in [0, 5] Ry");
    s.p.gamma_given = true;
}

void tcut_line(const line_reader& r, const std::string&, input_state& s) {
    one_real(
        r, s.p.tcut, [](double v) { return v >= 0.0 && v < 1.0; }, "tcut must lie in [0, 1)");
}

void overlap_line(const line_reader& r, const std::string&, input_state& s) {
    one_real(
        r, s.p.overlap, [](double v) { return v >= 0.0 && v <= 0.5; },
        "overlap must lie in [0, 0.5]");
}

void sigma_edge_line(const line_reader& r, const std::string&, input_state& s) {
    one_real(
        r, s.p.sigma_edge, [](double v) { return v >= 0.0 && v <= 1.0e6; },
        "sigma_edge must lie in [0, 1e6] Mbarn");
}

void lmax_line(const line_reader& r, const std::string&, input_state& s) {
    r.want(1, 1);
    s.p.lmax = r.integer(0);
    if (s.p.lmax < 2 || s.p.lmax > max_l) r.fail("lmax must lie in 2.." + std::to_string(max_l));
}

void lcore_line(const line_reader& r, const std::string&, input_state& s) {
    r.want(1, 1);
    s.p.lcore = r.integer(0);
    s.have_lcore = true;
    if (s.p.lcore < 0 || s.p.lcore > 4) r.fail("lcore must lie in 0..4");
}

// `edge K|L1|L2|L3` names the core level; `edge E` (Ry) and `edge_ev E` give its energy.
void edge_line(const line_reader& r, const std::string&, input_state& s) {
    if (r.key == "edge" && is_level(r.args)) {
        s.p.edge_name = r.args[0];
        return;
    }
    r.want(1, 1);
    s.p.edge = r.real(0) / (r.key == "edge_ev" ? ev_per_ry : 1.0);
    if (!(s.p.edge > 0.0)) r.fail("edge energy must be positive");
    s.have_edge = true;
    s.p.edge_given = true;
}

void choice_line(const line_reader& r, const std::string&, input_state& s) {
    r.want(1, 1);
    const std::string& k = r.key;
    choose(r, k == "model"      ? std::vector<std::string>{"self-consistent", "thomas-fermi"}
              : k == "corehole" ? std::vector<std::string>{"none", "z+1", "relaxed"}
                                : std::vector<std::string>{"hedin-lundqvist", "dirac-hara", "lda"});
    (k == "model" ? s.p.model : k == "corehole" ? s.p.corehole : s.p.exchange) = r.args[0];
}

// `fermi charge-count|friedel|electron-gas|E`: how the Fermi level is found, or its value (Ry).
void fermi_line(const line_reader& r, const std::string&, input_state& s) {
    r.want(1, 1);
    if (r.args[0] == "charge-count" || r.args[0] == "friedel" || r.args[0] == "electron-gas") {
        s.p.fermi = r.args[0];
        return;
    }
    s.p.fermi = "given";
    s.p.fermi_given = r.real(0);
    if (!(s.p.fermi_given >= 0.0 && s.p.fermi_given <= 20.0))
        r.fail("the Fermi level must be charge-count, friedel, electron-gas or lie in [0, 20] Ry");
}

// `grid near-edge [below_ev above_ev n]`: the energies about the Fermi level.
void grid_line(const line_reader& r, const std::string&, input_state& s) {
    if (r.args.empty() || r.args[0] != "near-edge") r.fail("the grid must be 'near-edge'");
    if (r.args.size() != 1 && r.args.size() != 4)
        r.fail("expected 'near-edge' alone or with below_eV above_eV n");
    near_edge_grid g;
    if (r.args.size() == 4) {
        g = {r.real(1), r.real(2), r.integer(3)};
        if (!(g.below_ev >= 0.0 && g.below_ev <= 100.0)) r.fail("below_eV must lie in [0, 100] eV");
        if (!(g.above_ev >= 1.0 && g.above_ev <= 2000.0))
            r.fail("above_eV must lie in [1, 2000] eV");
        if (g.n < 4 || g.n > max_points)
            r.fail("number of points must lie in 4.." + std::to_string(max_points));
    }
    s.p.near_edge = g;
}

void deck_line(const line_reader& r, const std::string&, input_state& s) {
    r.want(1, 1);
    s.p.deck = r.args[0];
}

void file_line(const line_reader& r, const std::string&, input_state& s) {
    r.want(1, 1);
    if (r.args[0].size() > 80) r.fail("file names longer than 80 characters are cut by KORVA");
    (r.key == "phase_file" ? s.p.phase_file : s.p.xs_file) = r.args[0];
}

keyword_handler handler_of(const std::string& key) {
    static const std::map<std::string, keyword_handler> handlers{
        {"title", title_line},       {"type", type_line},
        {"energies", energies_line}, {"energy_list", energy_list_line},
        {"gamma", gamma_line},       {"lmax", lmax_line},
        {"tcut", tcut_line},         {"lcore", lcore_line},
        {"edge", edge_line},         {"edge_ev", edge_line},
        {"model", choice_line},      {"corehole", choice_line},
        {"exchange", choice_line},   {"deck", deck_line},
        {"overlap", overlap_line},   {"sigma_edge", sigma_edge_line},
        {"phase_file", file_line},   {"xs_file", file_line},
        {"grid", grid_line},         {"fermi", fermi_line}};
    const auto it = handlers.find(key);
    return it == handlers.end() ? nullptr : it->second;
}

// What each model needs beyond the keyword lines themselves.
void check_model(input_state& s) {
    psgen_input& p = s.p;
    if (p.model == "thomas-fermi") {
        check(s.have_edge, "no edge energy given (keyword 'edge' or 'edge_ev')");
        check(!p.near_edge, "grid near-edge needs the Fermi level of the self-consistent model");
        check(p.fermi == "charge-count", "the Thomas-Fermi model has no Fermi level: no 'fermi'");
        for (const auto& t : p.types)
            check(t.rmt > 0.0, "model thomas-fermi needs a muffin-tin radius on every type line");
        return;
    }
    check(!p.deck.empty(), "no deck given (keyword 'deck'): the cluster comes from its atoms");
    for (const auto& t : p.types)
        check(t.z == std::floor(t.z) && t.z <= 92.0,
              "the self-consistent model takes elements Z = 1..92");
    const int lc = (p.edge_name == "L2" || p.edge_name == "L3") ? 1 : 0;
    check(!s.have_lcore || p.lcore == lc, "lcore contradicts the edge " + p.edge_name);
    p.lcore = lc;
}

void check_complete(input_state& s) {
    const psgen_input& p = s.p;
    check(!p.types.empty(), "no atom type given (keyword 'type')");
    check(s.have_energies || p.near_edge,
          "no energies given (keyword 'grid', 'energies' or 'energy_list')");
    check(!(s.have_energies && p.near_edge),
          "grid near-edge replaces 'energies' and 'energy_list': give one of them");
    check_model(s);
    check(!p.phase_file.empty(), "no phase-shift file name given (keyword 'phase_file')");
    check(!p.xs_file.empty(), "no cross-section file name given (keyword 'xs_file')");
    check(p.phase_file != p.xs_file, "phase_file and xs_file must differ");
    check(p.lcore + 1 <= p.lmax, "lmax must be at least lcore + 1");
    check_energies(p.energies);
}

}  // namespace

psgen_input read_psgen_input(std::istream& in) {
    input_state s;
    std::string raw;
    for (int lineno = 1; std::getline(in, raw); ++lineno) {
        const std::string line = raw.substr(0, raw.find('#'));
        const auto w = tokens(line);
        if (w.empty()) continue;
        const line_reader r{lineno, w[0], {w.begin() + 1, w.end()}};
        const keyword_handler h = handler_of(r.key);
        if (h == nullptr) r.fail("unknown keyword");
        h(r, line, s);
    }
    check_complete(s);
    return s.p;
}

}  // namespace korva::psgen
