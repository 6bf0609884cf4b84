// The cluster of a KORVA deck: positions (Angstrom) and phase sets of its atoms, read with the
// program's own deck reader (input/deck), so a deck reads here as korva reads it.
#pragma once

#include <string>
#include <vector>

namespace korva::psgen {

struct deck_atom {
    double x, y, z;  // Angstrom
    int iph;         // phase set, from 1
};

// Reads the deck file whole and returns its atoms. Throws psgen_error when the file is missing,
// a value cannot be read, the deck ends early, there are no atoms or more than the atom capacity
// (NAT_), a phase set lies outside 1..NPH_, or two nuclei lie closer than 0.1 Angstrom.
std::vector<deck_atom> read_deck_atoms(const std::string& path);

double distance(const deck_atom& a, const deck_atom& b);

}  // namespace korva::psgen
