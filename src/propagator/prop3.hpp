// Free-electron propagator block of a general bond, from the real spherical harmonics of its
// polar angle and the phase exp(i m phi) of its azimuth.
#pragma once
#include <ostream>
#include <vector>

#include "common/types.hpp"

namespace korva {

// Coupling coefficients of prop3 (the same as prop2's), built on its first call.
struct prop3_table {
    bool built = false;
    int lmax = -1;  // cut-offs the coefficients were built for
    int mmax = 0;
    std::vector<real> coe;    // (-1)^m' sqrt(2l''+1) (l l' l''; 0 0 0) (l l' l''; m -m' m'-m)
    std::vector<real> sq;     // sqrt(4 pi (2l+1)(2l'+1)), pairs l' <= l in loop order
    std::vector<cplx> hy;     // Y(l, m) H_l(kr) exp(i m phi) at l (l+1) + m, l = 0..2 lmax
    std::vector<cplx> phase;  // exp(i m phi) at 2 lmax + m, m = -2 lmax..2 lmax
};

// Writes the leading n x n corner of gg (column-major, leading dimension ld): with
// P(l m; l' m') = -sqrt(4 pi (2l+1)(2l'+1)) sum over l'' of (-1)^m' sqrt(2l''+1)
// (l l' l''; 0 0 0) (l l' l''; m -m' m'-m) Y(l'', m'-m) exp(i (m'-m) phi) H_l''(kr) and Q the
// same with Y(l'', m-m') exp(i (m-m') phi): for m >= 0, gg(l m; l' m') = P,
// gg(l' m'; l m) = (-1)^(m+m') Q, and for m > 0 gg(l -m; l' -m') = Q,
// gg(l' -m'; l -m) = (-1)^(m+m') P. ycol as for prop2; table and calling order as for prop1.
void prop3(prop3_table& t, std::ostream& out, int ld, int lmax, int mmax, cplx k, real r,
           const real* ycol, real phi, cplx* gg);

}  // namespace korva
