// Self-consistent Kohn-Sham LDA solution of a spherical atom or ion: eigenstates of the radial
// equation in the potential -z/r + V_H + V_xc of their own density, iterated to self-consistency.
#pragma once

#include <ostream>
#include <vector>

#include "atom_grid.hpp"
#include "atom_radial.hpp"
#include "elements.hpp"
#include "lda_xc.hpp"

namespace korva::psgen {

struct atom_options {
    bool relativistic = false;  // scalar-relativistic (Koelling-Harmon) eigenstates
    vwn_variant xc = vwn_variant::vwn5;
};

struct atom_orbital {
    int n;
    int l;
    double occ;
    bound_state state;
};

// Total energy and its parts, Hartree, laid out as in the NIST tables.
struct atom_energies {
    double total = 0.0;
    double kinetic = 0.0;  // sum of f_i e_i minus int n V
    double coulomb = 0.0;  // Hartree energy, 1/2 int n V_H
    double enuc = 0.0;     // electron-nucleus, -z int n/r
    double xc = 0.0;
};

struct atom_solution {
    double z = 0.0;
    radial_grid grid;
    std::vector<atom_orbital> orbitals;
    atom_energies energy;
    std::vector<double> density;    // radial density n(r) = 4 pi r^2 rho(r), electrons per Bohr
    std::vector<double> v_hartree;  // Hartree, on the grid
    std::vector<double> v_xc;       // Hartree, on the grid
    int iterations = 0;
};

// Solves the atom of nuclear charge z (need not be an integer: z+1 core holes) in configuration
// c. Throws psgen_error if a state is not bound or the iteration does not converge.
atom_solution solve_atom(double z, const configuration& c, const atom_options& o = {});

// Hartree potential of a radial density n(r) on its grid.
std::vector<double> hartree_potential(const radial_grid& g, const std::vector<double>& n);

// "Etot = ..." lines and one line per orbital, as laid out in the NIST tables.
void print_atom(std::ostream& os, const atom_solution& a);

}  // namespace korva::psgen
