// Diagonal elements of the inverse of the scattering matrix, one per channel, by two-sided
// Lanczos recursions started on the unit vectors of the channels and summed up as continued
// fractions; the channels advance together, one streaming pass over the matrix per level.
#pragma once
#include <string>
#include <vector>

#include "common/types.hpp"
#include "recursion/stream_pass.hpp"
#include "recursion/tile_store.hpp"

namespace korva {

struct haykor_result {
    int niter = 0;  // levels used: the number of diagonal coefficients a(n) computed
    cplx s;         // the continued fraction at the last level, approximating (gt^-1)(r, r)
    // Modulus of the change of s at the last level. 0 when the recursion ended on an exactly
    // vanishing b2, and 0 when maxlev = 1 (a single level has nothing to compare with).
    real err = 0;
};

// For each channel r of `channels` (1 <= r <= g.order()), the recursion on the current
// matrix of g started on channel r.
//
// After level n the value is s = 1/(a(1) - b2(1)/(a(2) - ... - b2(n-1)/a(n))), element (1, 1)
// of the inverse of the complex-symmetric tridiagonal matrix of the recursion; all products are
// bilinear (nothing is conjugated) and in single precision. A channel stops at level n when
// (err < eps and n >= minlev) or n >= maxlev, and earlier when the product of its next left
// and right vectors is exactly zero. With maxlev = 1 it returns 1/gt(r, r) at once; a maxlev
// below 1 stops at the first test, at level 2. A zero denominator of the fraction is not
// trapped: s follows IEEE arithmetic and may be infinite or NaN; a non-finite err never
// satisfies the tolerance.
//
// At print level iout > 2 each channel's text collects one "A(n)" line per level (a(n) and s
// after level n) and one "B(n)" line per off-diagonal coefficient b(n), in the order A(1),
// B(1), A(2), ...; `lines` gets one string per channel, in the order of `channels`.
//
// Every level reads the matrix once for both products of every channel still running;
// `threads` share each pass. The reference solver of the tests (one channel at a time through
// lists of the non-zero entries) gives the same niter, s, err and lines, bit for bit.
std::vector<haykor_result> haykor(const tile_store& g, const std::vector<int>& channels, int minlev,
                                  int maxlev, real eps, int iout, std::vector<std::string>& lines,
                                  int threads, pass_kernel kernel = pass_kernel::best);

}  // namespace korva
