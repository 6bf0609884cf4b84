// Free-electron propagator block of the bond along the cluster's z axis, where only channels
// of equal projection couple.
#pragma once
#include <ostream>
#include <vector>

#include "common/types.hpp"

namespace korva {

// Coupling coefficients of prop1, built on its first call and read back in build order.
struct prop1_table {
    bool built = false;
    int lmax = -1;  // cut-offs the coefficients were built for
    int mmax = 0;
    std::vector<real> coe;  // (-1)^m (2l''+1) (l l' l''; 0 0 0) (l l' l''; m -m 0)
    std::vector<real> sq;   // sqrt((2l+1)(2l'+1)), pair l' <= l at l (l+1)/2 + l'
    std::vector<cplx> h;    // H_l(kr), l = 0..2 lmax
};

// Writes the leading n x n corner of gg (column-major, leading dimension ld, n channels of the
// layout of lmax and mmax): gg(l m; l' m) = -sqrt((2l+1)(2l'+1)) sum over l'' of (-1)^|m|
// (2l''+1) (l l' l''; 0 0 0) (l l' l''; |m| -|m| 0) H_l''(kr), exactly 0 for unequal m.
// The first call builds the table for its lmax and mmax and writes the coefficient count;
// later calls must have lmax at most that and the same mmax.
void prop1(prop1_table& t, std::ostream& out, int ld, int lmax, int mmax, cplx k, real r, cplx* gg);

}  // namespace korva
