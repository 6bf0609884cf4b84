// The texts korva-cluster writes: the atom block of the deck (prompts 4 and 5), the shell table,
// a whole deck and a korva-psgen input for the cluster's phase sets.
#pragma once

#include <string>

#include "cluster.hpp"
#include "common/capacities.hpp"
#include "edges.hpp"

namespace korva::cluster {

// Defaults of the written deck and psgen input, chosen for a K edge of a 3d metal; --help and
// the README list them.
struct run_defaults {
    double toll_lmax = 0.002;               // prompt 7: cut-off tolerance
    int mmax = 3;                           //           |m| cut-off
    double eps = 1e-4;                      //           recursion tolerance
    int nep = NER_;                         //           all energy points of the phase-shift file
    int iout = 2;                           // prompt 8: print level
    int if1 = 1;                            //           cross-section plot, no rescaling
    int if2 = 0;                            //           no experimental comparison
    double fac = 1;                         //           experimental scale (unused)
    double esp = 2;                         // prompt 9: k^2 weighting
    double kmin = 3, kmax = 11, dk = 0.05;  // prompt 11, 1/Angstrom
    double de0 = 0;                         // prompt 12, Ry
    // psgen energies: by default the near-edge grid (`grid near-edge below above n`, eV about the
    // Fermi level korva-psgen finds, even in k); exafs_grid: the wide grid `energies e_first
    // e_last n_energies k` (Ry, even in k) of the extended range.
    bool exafs_grid = false;
    double below_ev = 5.0, above_ev = 100.0;
    int n_near_edge = NER_;
    double e_first = 0.3, e_last = 36.0;
    int n_energies = 70;
    int lmax = 12;        // largest l of the phase-shift table
    double gamma = 0.07;  // Ry, only for an absorber below Ne, whose level widths psgen lacks
};

// What the deck and the psgen input share: the data-file names (from the structure's name) and
// the edge.
struct deck_names {
    std::string stem;        // the structure's name, made safe for a file name
    std::string phase_file;  // NAME.ps
    std::string xs_file;     // NAME.xs
    std::string prefix;      // 3 characters: absorber element and edge letter ("cuk", "o_k")
};

deck_names names_for(const std::string& structure_name, const std::string& element, edge e);

// Prompts 4 and 5: the atom count, then `x y z iph / El d` per atom (Angstrom).
std::string atom_block(const cluster& cl);

// For standard error: the shells (distance, element, count, phase set) and the phase-set legend.
std::string shell_table(const cluster& cl);

// The whole deck, prompts 1 to 12; edge_ev is prompt 8's ENE.
std::string deck_text(const cluster& cl, const deck_names& names, edge e, double edge_ev,
                      const run_defaults& d = {});

// The korva-psgen input of the self-consistent model: the deck file (deck_path, as korva-psgen
// run in the input's folder finds it) whose atoms make the cluster potential, one `type` line
// per phase set, the edge and the defaults.
std::string psgen_text(const cluster& cl, const deck_names& names, edge e, double edge_ev,
                       const std::string& deck_path, const std::string& source,
                       const run_defaults& d = {});

}  // namespace korva::cluster
