// The cluster of a KORVA deck: positions (Angstrom) and phase sets of its atoms, read from the
// deck's first lines (two file names, the prefix, the number of atoms, one line per atom).
#pragma once

#include <string>
#include <vector>

namespace korva::psgen {

struct deck_atom {
    double x, y, z;  // Angstrom
    int iph;         // phase set, from 1
};

// Reads the atom block of the deck file. Throws psgen_error when the file is missing, a value
// cannot be read, there are no atoms or more than the atom capacity (NAT_), or two nuclei lie
// closer than 0.1 Angstrom.
std::vector<deck_atom> read_deck_atoms(const std::string& path);

double distance(const deck_atom& a, const deck_atom& b);

}  // namespace korva::psgen
