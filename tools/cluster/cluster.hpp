// Cuts a cluster out of a structure: the absorber at the origin, then whole shells of neighbours
// by increasing distance up to a radius and an atom count, each element its own phase set.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "structure.hpp"

namespace korva::cluster {

constexpr double shell_tolerance = 1e-3;  // Angstrom: atoms this close in distance form one shell
constexpr double min_separation = 0.5;    // Angstrom: closer atoms mean a broken structure

struct cluster_atom {
    vec3 r{};                         // Angstrom, relative to the absorber
    double d{};                       // distance from the absorber, Angstrom
    int iph = 0;                      // phase set, from 1
    const atom_site* site = nullptr;  // the structure's atom it is (an image of)
};

struct phase_set {
    std::string element;
    int z = 0;
    double nearest = 0;  // shortest distance from an atom of the set to another atom, Angstrom
};

struct shell_row {
    double d = 0;  // distance of the shell's nearest member, Angstrom
    std::string element;
    int count = 0;
    int iph = 0;
};

struct left_out_shell {
    double d = 0;
    int count = 0;
};

struct cluster {
    std::vector<cluster_atom> atoms;    // absorber first, then by increasing distance
    std::vector<phase_set> sets;        // sets[0] is set 1, the absorber alone
    std::vector<shell_row> table;       // the absorber's row first
    std::optional<left_out_shell> cut;  // the first shell that did not fit within max_atoms
};

// The listed site that `who` names: a CIF site label; else an element symbol (any case), the
// first site of that element in file order; else, for XYZ, PDB and mmCIF, an atom number (XYZ:
// position in the file, from 1; PDB/mmCIF: the serial number). Throws cluster_error (status 1).
int find_absorber(const structure& s, const std::string& who);

// The cluster around listed site `absorber`: whole shells whose nearest member lies within
// `radius`, as long as the atom count (absorber included) stays within `max_atoms`. Throws
// cluster_error (status 1) when no shell fits, when two atoms are closer than min_separation or
// when more than `max_sets` phase sets are needed.
cluster cut_cluster(const structure& s, int absorber, double radius, int max_atoms, int max_sets);

}  // namespace korva::cluster
