// The korva-cluster command: reads a structure, cuts the cluster, prints its atom block and
// writes the deck and the korva-psgen input it was asked for; returns the exit status.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "edges.hpp"

namespace korva::cluster {

constexpr int max_frame = 1000000;  // the largest --frame: a trajectory of a million frames

struct options {
    std::string structure;
    std::string absorber;
    double radius = 0;  // Angstrom
    int max_atoms = 0;  // 0: the program's capacity
    std::string deck;   // empty: no deck
    std::string psgen;  // empty: no psgen input
    edge e = edge::k;
    bool exafs_grid = false;  // --grid exafs: the psgen input's wide grid
    int points = 0;           // energies of the psgen grid; 0: the grid's default
    int frame = 1;            // the frame of an XYZ trajectory, from 1
    bool sites = false;       // --sites: list the absorbing sites, cut nothing
    bool help = false;
};

// The text of --help, with the capacities of this build.
std::string help_text();

// Throws cluster_error (status 1) for anything it cannot use.
options parse_options(const std::vector<std::string>& args);

// `args` are the command-line arguments after the program name. Standard output gets the atom
// block only; the shell table, notes and errors go to `err`. Nothing reaches `out`, and no file
// is written, unless the whole run succeeds.
int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace korva::cluster
