#include "psgen_input.hpp"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <sstream>

#include "elements.hpp"

namespace korva::psgen {

namespace {

constexpr double ev_per_ry = 13.6058;

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

psgen_input read_psgen_input(std::istream& in) {
    psgen_input p;
    bool have_edge = false, have_energies = false, have_lcore = false;
    std::string raw;
    int lineno = 0;
    while (std::getline(in, raw)) {
        ++lineno;
        const std::string line = raw.substr(0, raw.find('#'));
        auto w = tokens(line);
        if (w.empty()) continue;
        line_reader r{lineno, w[0], {w.begin() + 1, w.end()}};
        const std::string& k = r.key;
        if (k == "title") {
            const auto at = line.find("title") + 5;
            const auto b = line.find_first_not_of(" \t\r", at);
            const auto e = line.find_last_not_of(" \t\r");
            p.title = b == std::string::npos ? "" : line.substr(b, e - b + 1);
            for (char& c : p.title)
                if (static_cast<unsigned char>(c) < 32 || c == 127) c = ' ';
        } else if (k == "type") {
            r.want(1, 2);
            const atom_type t{type_charge(r), r.args.size() == 2 ? r.real(1) : 0.0};
            if (!(t.z > 0.0 && t.z <= 120.0)) r.fail("nuclear charge must lie in (0, 120]");
            if (r.args.size() == 2 && !(t.rmt >= 0.1 && t.rmt <= 10.0))
                r.fail("muffin-tin radius must lie in [0.1, 10] Bohr");
            if (p.types.size() == max_types) r.fail("at most 6 atom types");
            p.types.push_back(t);
        } else if (k == "energies") {
            r.want(3, 4);
            const double first = r.real(0), last = r.real(1);
            const int n = r.integer(2);
            bool in_k = false;
            if (r.args.size() == 4) {
                if (r.args[3] == "k")
                    in_k = true;
                else if (r.args[3] != "e")
                    r.fail("spacing must be 'e' or 'k'");
            }
            if (n < 1 || n > max_points) r.fail("number of points must lie in 1..150");
            if (n == 1 && first != last) r.fail("one point needs first = last");
            if (n > 1 && !(last > first)) r.fail("last energy must exceed the first");
            if (!(first >= min_energy && last <= max_energy))
                r.fail("energies must lie in [1e-4, 400] Ry");
            const auto g = energy_grid(first, last, n, in_k);
            p.energies.insert(p.energies.end(), g.begin(), g.end());
            have_energies = true;
        } else if (k == "energy_list") {
            if (r.args.empty()) r.fail("expected energies");
            for (std::size_t i = 0; i < r.args.size(); ++i) p.energies.push_back(r.real(i));
            have_energies = true;
        } else if (k == "gamma") {
            r.want(1, 1);
            p.gamma = r.real(0);
            p.gamma_given = true;
            if (!(p.gamma >= 0.0 && p.gamma <= max_gamma)) r.fail("gamma must lie in [0, 5] Ry");
        } else if (k == "lmax") {
            r.want(1, 1);
            p.lmax = r.integer(0);
            if (p.lmax < 2 || p.lmax > max_l) r.fail("lmax must lie in 2..35");
        } else if (k == "tcut") {
            r.want(1, 1);
            p.tcut = r.real(0);
            if (!(p.tcut >= 0.0 && p.tcut < 1.0)) r.fail("tcut must lie in [0, 1)");
        } else if (k == "lcore") {
            r.want(1, 1);
            p.lcore = r.integer(0);
            have_lcore = true;
            if (p.lcore < 0 || p.lcore > 4) r.fail("lcore must lie in 0..4");
        } else if (k == "edge" && is_level(r.args)) {
            p.edge_name = r.args[0];
        } else if (k == "model" || k == "corehole" || k == "exchange") {
            r.want(1, 1);
            choose(r, k == "model" ? std::vector<std::string>{"self-consistent", "thomas-fermi"}
                      : k == "corehole" ? std::vector<std::string>{"none", "z+1", "relaxed"}
                                        : std::vector<std::string>{"dirac-hara", "lda"});
            (k == "model" ? p.model : k == "corehole" ? p.corehole : p.exchange) = r.args[0];
        } else if (k == "deck") {
            r.want(1, 1);
            p.deck = r.args[0];
        } else if (k == "overlap") {
            r.want(1, 1);
            p.overlap = r.real(0);
            if (!(p.overlap >= 0.0 && p.overlap <= 0.5)) r.fail("overlap must lie in [0, 0.5]");
        } else if (k == "edge" || k == "edge_ev") {
            r.want(1, 1);
            p.edge = r.real(0) / (k == "edge_ev" ? ev_per_ry : 1.0);
            if (!(p.edge > 0.0)) r.fail("edge energy must be positive");
            have_edge = true;
            p.edge_given = true;
        } else if (k == "sigma_edge") {
            r.want(1, 1);
            p.sigma_edge = r.real(0);
            if (!(p.sigma_edge >= 0.0 && p.sigma_edge <= 1.0e6))
                r.fail("sigma_edge must lie in [0, 1e6] Mbarn");
        } else if (k == "phase_file" || k == "xs_file") {
            r.want(1, 1);
            if (r.args[0].size() > 80)
                r.fail("file names longer than 80 characters are cut by KORVA");
            (k == "phase_file" ? p.phase_file : p.xs_file) = r.args[0];
        } else {
            r.fail("unknown keyword");
        }
    }
    check(!p.types.empty(), "no atom type given (keyword 'type')");
    check(have_energies, "no energies given (keyword 'energies' or 'energy_list')");
    if (p.model == "thomas-fermi") {
        check(have_edge, "no edge energy given (keyword 'edge' or 'edge_ev')");
        for (const auto& t : p.types)
            check(t.rmt > 0.0, "model thomas-fermi needs a muffin-tin radius on every type line");
    } else {
        check(!p.deck.empty(), "no deck given (keyword 'deck'): the cluster comes from its atoms");
        for (const auto& t : p.types)
            check(t.z == std::floor(t.z) && t.z <= 92.0,
                  "the self-consistent model takes elements Z = 1..92");
        const int lc = (p.edge_name == "L2" || p.edge_name == "L3") ? 1 : 0;
        check(!have_lcore || p.lcore == lc, "lcore contradicts the edge " + p.edge_name);
        p.lcore = lc;
    }
    check(!p.phase_file.empty(), "no phase-shift file name given (keyword 'phase_file')");
    check(!p.xs_file.empty(), "no cross-section file name given (keyword 'xs_file')");
    check(p.phase_file != p.xs_file, "phase_file and xs_file must differ");
    check(p.energies.size() <= max_points, "more than 150 energy points");
    check(p.lcore + 1 <= p.lmax, "lmax must be at least lcore + 1");
    for (std::size_t i = 0; i < p.energies.size(); ++i) {
        const double e = p.energies[i];
        check(e >= min_energy && e <= max_energy, "energies must lie in [1e-4, 400] Ry");
        // The reader tells points apart by their single-precision values.
        if (i > 0)
            check(static_cast<float>(e) > static_cast<float>(p.energies[i - 1]),
                  "energies must be strictly increasing (also in single precision)");
    }
    return p;
}

}  // namespace korva::psgen
