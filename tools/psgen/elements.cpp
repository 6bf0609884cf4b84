#include "elements.hpp"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "psgen_input.hpp"

namespace korva::psgen {

namespace {

constexpr const char* symbols[max_element + 1] = {
    "",   "H",  "He", "Li", "Be", "B",  "C",  "N",  "O",  "F",  "Ne", "Na", "Mg", "Al", "Si", "P",
    "S",  "Cl", "Ar", "K",  "Ca", "Sc", "Ti", "V",  "Cr", "Mn", "Fe", "Co", "Ni", "Cu", "Zn", "Ga",
    "Ge", "As", "Se", "Br", "Kr", "Rb", "Sr", "Y",  "Zr", "Nb", "Mo", "Tc", "Ru", "Rh", "Pd", "Ag",
    "Cd", "In", "Sn", "Sb", "Te", "I",  "Xe", "Cs", "Ba", "La", "Ce", "Pr", "Nd", "Pm", "Sm", "Eu",
    "Gd", "Tb", "Dy", "Ho", "Er", "Tm", "Yb", "Lu", "Hf", "Ta", "W",  "Re", "Os", "Ir", "Pt", "Au",
    "Hg", "Tl", "Pb", "Bi", "Po", "At", "Rn", "Fr", "Ra", "Ac", "Th", "Pa", "U"};

// Madelung filling order of the subshells.
constexpr int fill_order[][2] = {{1, 0}, {2, 0}, {2, 1}, {3, 0}, {3, 1}, {4, 0}, {3, 2},
                                 {4, 1}, {5, 0}, {4, 2}, {5, 1}, {6, 0}, {4, 3}, {5, 2},
                                 {6, 1}, {7, 0}, {5, 3}, {6, 2}, {7, 1}};

// Ground states that differ from the Madelung filling (the tables' header lines).
struct exception_entry {
    int z;
    const char* valence;  // replaces the valence subshells of the filling
    const char* core;
};
constexpr exception_entry exceptions[] = {
    {24, "3d5 4s1", "[Ar]"},       {29, "3d10 4s1", "[Ar]"},    {41, "4d4 5s1", "[Kr]"},
    {42, "4d5 5s1", "[Kr]"},       {44, "4d7 5s1", "[Kr]"},     {45, "4d8 5s1", "[Kr]"},
    {46, "4d10", "[Kr]"},          {47, "4d10 5s1", "[Kr]"},    {57, "5d1 6s2", "[Xe]"},
    {58, "4f1 5d1 6s2", "[Xe]"},   {64, "4f7 5d1 6s2", "[Xe]"}, {78, "4f14 5d9 6s1", "[Xe]"},
    {79, "4f14 5d10 6s1", "[Xe]"}, {89, "6d1 7s2", "[Rn]"},     {90, "6d2 7s2", "[Rn]"},
    {91, "5f2 6d1 7s2", "[Rn]"},   {92, "5f3 6d1 7s2", "[Rn]"}};

constexpr struct {
    const char* name;
    int z;
} cores[] = {{"[He]", 2}, {"[Ne]", 10}, {"[Ar]", 18}, {"[Kr]", 36}, {"[Xe]", 54}, {"[Rn]", 86}};

const char* const l_letters = "spdfghi";

configuration madelung(int electrons) {
    configuration c;
    double left = electrons;
    for (const auto& s : fill_order) {
        if (left <= 0) break;
        const double take = std::min(left, 2.0 * (2 * s[1] + 1));
        c.push_back({s[0], s[1], take});
        left -= take;
    }
    return c;
}

void sort_subshells(configuration& c) {
    std::sort(c.begin(), c.end(), [](const subshell& a, const subshell& b) {
        return a.n != b.n ? a.n < b.n : a.l < b.l;
    });
}

[[noreturn]] void bad(const std::string& what) {
    throw psgen_error("configuration: " + what);
}

// One token "3d10" or "4f1.5" added to c.
void add_token(const std::string& t, configuration& c) {
    if (t.size() < 3 || !std::isdigit(static_cast<unsigned char>(t[0])))
        bad("'" + t + "' is not a subshell like 3d10");
    std::size_t pos = 0;
    while (pos < t.size() && pos < 3 && std::isdigit(static_cast<unsigned char>(t[pos]))) ++pos;
    const int n = std::atoi(t.substr(0, pos).c_str());
    if (pos >= t.size()) bad("'" + t + "' is not a subshell like 3d10");
    const char* at = std::strchr(l_letters, t[pos]);
    if (at == nullptr || *at == '\0') bad("'" + t + "': unknown angular momentum letter");
    const int l = static_cast<int>(at - l_letters);
    const std::string occ_text = t.substr(pos + 1);
    char* end = nullptr;
    const double occ = std::strtod(occ_text.c_str(), &end);
    if (occ_text.empty() || *end != '\0' || !std::isfinite(occ))
        bad("'" + t + "': the occupation is not a number");
    if (n < 1 || n > 7 || l >= n) bad("'" + t + "': no such subshell (l must be below n <= 7)");
    if (occ < 0.0 || occ > 2.0 * (2 * l + 1))
        bad("'" + t + "': occupation must lie in 0.." + std::to_string(2 * (2 * l + 1)));
    for (const auto& s : c)
        if (s.n == n && s.l == l) bad("subshell " + subshell_label(n, l) + " given twice");
    c.push_back({n, l, occ});
}

}  // namespace

int parse_element(const std::string& s) {
    if (!s.empty() && std::all_of(s.begin(), s.end(), [](char ch) {
            return std::isdigit(static_cast<unsigned char>(ch));
        })) {
        const int z = s.size() > 3 ? 0 : std::atoi(s.c_str());
        if (z < 1 || z > max_element) throw psgen_error("unknown element '" + s + "' (Z = 1..92)");
        return z;
    }
    for (int z = 1; z <= max_element; ++z)
        if (s == symbols[z]) return z;
    throw psgen_error("unknown element '" + s + "' (a symbol such as Cu, or Z = 1..92)");
}

std::string element_symbol(int z) {
    return z >= 1 && z <= max_element ? symbols[z] : "?";
}

configuration ground_state(int z) {
    for (const auto& e : exceptions)
        if (e.z == z) return parse_configuration(std::string(e.core) + " " + e.valence, z);
    configuration c = madelung(z);
    sort_subshells(c);
    return c;
}

configuration parse_configuration(const std::string& s, int z) {
    std::istringstream is(s);
    configuration c;
    bool first = true;
    for (std::string t; is >> t; first = false) {
        if (t.front() == '[') {
            if (!first) bad("the noble-gas core must come first");
            int core = 0;
            for (const auto& k : cores)
                if (t == k.name) core = k.z;
            if (core == 0) bad("unknown core '" + t + "' (one of [He] [Ne] [Ar] [Kr] [Xe] [Rn])");
            c = madelung(core);
            continue;
        }
        add_token(t, c);
    }
    const double count = electron_count(c);
    if (count <= 0.0) bad("no electrons");
    if (count > z + 1.0e-12)
        bad("more electrons (" + std::to_string(count) + ") than the nuclear charge " +
            std::to_string(z) + ": negative ions are not bound in this model");
    std::erase_if(c, [](const subshell& x) { return x.occ == 0.0; });
    sort_subshells(c);
    return c;
}

double electron_count(const configuration& c) {
    double s = 0.0;
    for (const auto& x : c) s += x.occ;
    return s;
}

std::string subshell_label(int n, int l) {
    return std::to_string(n) + l_letters[l];
}

std::string configuration_text(const configuration& c) {
    std::string out;
    for (const auto& x : c) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%g", x.occ);
        if (!out.empty()) out += ' ';
        out += subshell_label(x.n, x.l) + buf;
    }
    return out;
}

}  // namespace korva::psgen
