#include "deck_atoms.hpp"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "common/capacities.hpp"
#include "psgen_input.hpp"

namespace korva::psgen {

namespace {

// The values of one deck line: separated by blanks or commas; a slash ends the line.
std::vector<std::string> values(std::string line) {
    line = line.substr(0, line.find('/'));
    std::replace(line.begin(), line.end(), ',', ' ');
    std::istringstream is(line);
    std::vector<std::string> out;
    for (std::string w; is >> w;) out.push_back(w);
    return out;
}

double number(const std::string& s, const std::string& what) {
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(s.c_str(), &end);
    if (end == s.c_str() || *end != '\0' || errno == ERANGE || !std::isfinite(v))
        throw psgen_error("deck: " + what + ": '" + s + "' is not a number");
    return v;
}

}  // namespace

double distance(const deck_atom& a, const deck_atom& b) {
    return std::hypot(a.x - b.x, a.y - b.y, a.z - b.z);
}

std::vector<deck_atom> read_deck_atoms(const std::string& path) {
    std::ifstream in(path);
    if (!in) throw psgen_error("deck: cannot open '" + path + "'");
    std::string line;
    for (int i = 0; i < 3; ++i)  // phase-shift file, cross-section file, prefix
        if (!std::getline(in, line)) throw psgen_error("deck: '" + path + "' ends early");
    if (!std::getline(in, line) || values(line).empty())
        throw psgen_error("deck: no number of atoms in '" + path + "'");
    const double nat = number(values(line)[0], "number of atoms");
    if (nat < 1 || nat > korva::NAT_ || nat != std::floor(nat))
        throw psgen_error("deck: the number of atoms must be 1.." + std::to_string(korva::NAT_) +
                          ", the atom capacity of korva");
    std::vector<deck_atom> atoms;
    for (int i = 0; i < nat; ++i) {
        const std::string what = "atom " + std::to_string(i + 1);
        if (!std::getline(in, line)) throw psgen_error("deck: ends before " + what);
        const auto v = values(line);
        if (v.size() < 4) throw psgen_error("deck: " + what + ": expected x y z and phase set");
        const double iph = number(v[3], what);
        if (iph < 1 || iph > 6 || iph != std::floor(iph))
            throw psgen_error("deck: " + what + ": phase set must be 1..6");
        atoms.push_back(
            {number(v[0], what), number(v[1], what), number(v[2], what), static_cast<int>(iph)});
    }
    for (std::size_t i = 0; i < atoms.size(); ++i)
        for (std::size_t j = 0; j < i; ++j)
            if (distance(atoms[i], atoms[j]) < 0.1)
                throw psgen_error("deck: atoms " + std::to_string(j + 1) + " and " +
                                  std::to_string(i + 1) + " overlap (nuclei closer than 0.1 A)");
    return atoms;
}

}  // namespace korva::psgen
