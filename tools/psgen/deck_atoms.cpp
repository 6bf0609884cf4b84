#include "deck_atoms.hpp"

#include <cmath>

#include "common/capacities.hpp"
#include "common/errors.hpp"
#include "input/deck.hpp"
#include "psgen_input.hpp"

namespace korva::psgen {

double distance(const deck_atom& a, const deck_atom& b) {
    return std::hypot(a.x - b.x, a.y - b.y, a.z - b.z);
}

std::vector<deck_atom> read_deck_atoms(const std::string& path) {
    korva::deck d;
    try {
        d = korva::load_deck(path, 5);
    } catch (const korva::read_error& e) {
        throw psgen_error("deck: " + e.what);
    }
    std::vector<deck_atom> atoms;
    for (const korva::deck_atom& a : d.atoms) {
        const std::string what = "deck: atom " + std::to_string(atoms.size() + 1);
        if (!std::isfinite(a.x) || !std::isfinite(a.y) || !std::isfinite(a.z))
            throw psgen_error(what + ": a coordinate is not a finite number");
        if (a.iph < 1 || a.iph > korva::NPH_)
            throw psgen_error(what + ": phase set must be 1.." + std::to_string(korva::NPH_) +
                              ", the phase-set capacity of korva");
        atoms.push_back({a.x, a.y, a.z, a.iph});
    }
    for (std::size_t i = 0; i < atoms.size(); ++i)
        for (std::size_t j = 0; j < i; ++j)
            if (distance(atoms[i], atoms[j]) < 0.1)
                throw psgen_error("deck: atoms " + std::to_string(j + 1) + " and " +
                                  std::to_string(i + 1) + " overlap (nuclei closer than 0.1 A)");
    return atoms;
}

}  // namespace korva::psgen
