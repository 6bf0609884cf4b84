// Bound eigenstates of the radial Kohn-Sham equation of a spherical atom, non-relativistic or
// scalar-relativistic (Koelling-Harmon: the Dirac equation without the spin-orbit term), by
// shooting with node counting on the logarithmic grid.
#pragma once

#include <vector>

#include "atom_grid.hpp"

namespace korva::psgen {

// Speed of light in Hartree units, the 1986 CODATA value of 1/alpha that the NIST atomic
// reference data used.
constexpr double light_speed = 137.0359895;

struct bound_state {
    double e = 0.0;         // eigenvalue, Hartree
    std::vector<double> p;  // large component P = r R, normalised: int P^2 dr = 1
    std::vector<double> q;  // small component Q = (P' - P/r)/(2 M c); zero non-relativistic
};

// State n, l of the potential v (Hartree, on the grid; v ~ -z/r at the origin). The equations,
// in x = ln r, for P and the auxiliary q = c Q:
//   dP/dx = P + 2 M r q,   dq/dx = -q + (l(l+1)/(2 M r) + r (V - E)) P,
// with M = 1 + (E - V)/(2 c^2) (M = 1 non-relativistic, where q = (P' - P/r)/2). They are
// integrated by the fifth-order Adams-Moulton rule (implicit, solved exactly since the system is
// linear) outward from the origin and inward from where the state has decayed by e^-50, joined
// at the classical turning point; the mismatch of the slope gives the first-order correction of
// E, inside a bracket that the node count keeps. The state is normalised on its large component
// alone, and the atom's density is made of P^2 alone: that is how the scalar-relativistic NIST
// data were computed (with P^2 + Q^2 the Mg total energy differs by 1e-6 Ha but its parts and
// eigenvalues by 1e-3). guess: a starting eigenvalue (0 for none); tol: the relative size of the
// last energy correction at which the state is taken (the default leaves the last bits).
// Throws psgen_error when the potential binds no such state.
bound_state solve_bound(const radial_grid& g, const std::vector<double>& v, double z, int n, int l,
                        bool relativistic, double guess, double tol = 1.0e-13);

}  // namespace korva::psgen
