// The reference recursion: one element of the inverse of the stored matrix, by a two-sided
// Lanczos recursion started on the unit vectors of a channel (or on a start's vectors) and summed
// up as a continued fraction, one start at a time through the row lists of the full matrix.
// This is the design's algorithm: on the design's full matrix, started on unit vectors, it has
// the bits of the program before the half store. The program's streaming solver
// (recursion/haykor.hpp) agrees with it within single-precision rounding.
#pragma once
#include <ostream>
#include <vector>

#include "common/types.hpp"
#include "recursion/haykor.hpp"
#include "reference/matrix.hpp"

namespace korva::reference {

// acc + a b as the program's pass computes it (recursion/stream_pass.hpp), written out here
// with std::fma: re = fma(a.re, b.re, fma(-a.im, b.im, acc.re)), im = fma(a.im, b.re,
// fma(a.re, b.im, acc.im)). a is the matrix entry, b the vector element.
cplx fused_madd(cplx acc, cplx a, cplx b);

// Sum of gt(i, k) v(k) over the listed columns k of row i, ascending, starting from zero, each
// term added by fused_madd; v is 1-based (element 0 unused).
cplx row_times(const matrix_store& m, int i, const std::vector<cplx>& v);

// Sum of gt(k, i) v(k) over the listed columns k of row i, in the same way: the list of row i
// serves as the pattern of column i, which the symmetric row lists guarantee.
cplx column_times(const matrix_store& m, int i, const std::vector<cplx>& v);

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

// The same recursion started on the vectors of `st` (recursion/haykor.hpp): right and left
// vectors as given, a(1) = left^T A right and the first vectors A right - a(1) right and
// A^T left - a(1) left from the products through the row lists. Always two-sided. Started on
// the unit vectors of r it agrees with the call above within rounding.
haykor_result haykor(const matrix_store& m, int n, const recursion_start& st, int minlev,
                     int maxlev, real eps, int iout, std::ostream& out);

}  // namespace korva::reference
