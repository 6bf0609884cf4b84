// One diagonal element of the inverse of the stored matrix, by a two-sided Lanczos recursion
// started on the unit vector of the channel, summed up as a continued fraction.
#pragma once
#include <ostream>

#include "common/types.hpp"
#include "recursion/matrix.hpp"

namespace korva {

struct haykor_result {
    int niter = 0;  // levels used: the number of diagonal coefficients a(n) computed
    cplx s;         // the continued fraction at the last level, approximating (gt^-1)(r, r)
    // Modulus of the change of s at the last level. 0 when the recursion ended on an exactly
    // vanishing b2, and 0 when maxlev = 1 (a single level has nothing to compare with).
    real err = 0;
};

// Recursion on the leading n x n corner of m, through its row lists, for channel r.
//
// After level n the value is s = 1/(a(1) - b2(1)/(a(2) - ... - b2(n-1)/a(n))), element (1, 1)
// of the inverse of the complex-symmetric tridiagonal matrix of the recursion; all products are
// bilinear (nothing is conjugated) and in single precision. The recursion stops at level n when
// (err < eps and n >= minlev) or n >= maxlev, and earlier when the product of the next left
// and right vectors is exactly zero. With maxlev = 1 it returns 1/gt(r, r) at once; a maxlev
// below 1 stops at the first test, at level 2.
//
// At print level iout > 2 it writes one "A(n)" line per level (a(n) and s after level n) and
// one "B(n)" line per off-diagonal coefficient b(n), in the order A(1), B(1), A(2), ...
//
// Preconditions, not checked in release builds: 1 <= r <= n <= m.order(); the row lists are
// rebuilt for rows 1..n and describe the current entries. A zero denominator of the fraction
// (for instance gt(r, r) = 0) is not trapped: s follows IEEE arithmetic and may be infinite or
// NaN; a non-finite err never satisfies the tolerance.
//
// Working storage: six complex vectors of n + 1 elements and three level arrays of
// max(maxlev, 2) + 1, allocated per call; nothing is allocated per level and the store is
// only read.
haykor_result haykor(const matrix_store& m, int n, int r, int minlev, int maxlev, real eps,
                     int iout, std::ostream& out);

}  // namespace korva
