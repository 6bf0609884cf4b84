// Free-electron propagator block of a bond of zero azimuth, from the real spherical harmonics
// of its direction.
#pragma once
#include <ostream>
#include <vector>

#include "common/types.hpp"

namespace korva {

// Coupling coefficients of prop2, built on its first call and read back in build order.
struct prop2_table {
    bool built = false;
    int lmax = -1;  // cut-offs the coefficients were built for
    int mmax = 0;
    std::vector<real> coe;  // (-1)^m' sqrt(2l''+1) (l l' l''; 0 0 0) (l l' l''; m -m' m'-m)
    std::vector<real> sq;   // sqrt(4 pi (2l+1)(2l'+1)), pairs l' <= l in loop order
    std::vector<cplx> hy;   // Y(l, m) H_l(kr) at l (l+1) + m, l = 0..2 lmax
};

// Writes the leading n x n corner of gg (column-major, leading dimension ld): for m >= 0,
// gg(l m; l' m') = -sqrt(4 pi (2l+1)(2l'+1)) sum over l'' of (-1)^m' sqrt(2l''+1)
// (l l' l''; 0 0 0) (l l' l''; m -m' m'-m) Y(l'', m'-m) H_l''(kr), gg(l -m; l' -m') =
// (-1)^(m+m') gg(l m; l' m'), gg symmetric. ycol holds Y(l, m) of the bond at
// full_index(l, m) - 1 for l <= 2 lmax. Table and calling order as for prop1.
void prop2(prop2_table& t, std::ostream& out, int ld, int lmax, int mmax, cplx k, real r,
           const real* ycol, cplx* gg);

}  // namespace korva
