// Muffin-tin potential of a cluster from superposed self-consistent atoms (Mattheiss): the
// neutral atoms' densities and Coulomb potentials, spherically averaged around each site, Norman
// radii scaled to a given overlap, and the interstitial level.
#pragma once

#include <vector>

#include "atom_grid.hpp"
#include "atom_scf.hpp"
#include "deck_atoms.hpp"

namespace korva::psgen {

// One phase set of the cluster, at its representative site (the first atom of the deck that
// carries it), in Hartree units on a radial grid from 1e-6 to 15 Bohr.
struct site_potential {
    int z = 0;            // nuclear charge of the type
    int count = 0;        // atoms of the deck with this phase set
    double norman = 0.0;  // Norman radius, Bohr
    double rmt = 0.0;     // muffin-tin radius, Bohr
    radial_grid grid;
    std::vector<double> rv;   // r V_c(r): nuclear plus electrons' Coulomb potential, Hartree Bohr
    std::vector<double> rho;  // electrons per Bohr^3
};

struct cluster_potential {
    std::vector<site_potential> types;  // by phase set, from 1
};

// The free atoms that make the cluster: one per phase set (for the absorber's set, the atom with
// its core hole, possibly of charge Z+1) solved self-consistently beforehand.
// rmt_override: per phase set, a muffin-tin radius in Bohr, or 0 for the scaled Norman radius.
// overlap: the Norman radii are scaled by one common factor so that the closest pair of spheres
// overlaps by this fraction of its distance: (r_i + r_j) = (1 + overlap) d_ij.
cluster_potential build_cluster_potential(const std::vector<deck_atom>& atoms,
                                          const std::vector<atom_solution>& free_atoms,
                                          const std::vector<double>& rmt_override, double overlap);

// Coulomb potential (Hartree) and density of a type at radius r, by interpolation.
double coulomb_at(const site_potential& s, double r);
double density_at(const site_potential& s, double r);

}  // namespace korva::psgen
