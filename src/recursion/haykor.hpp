// Diagonal elements of the inverse of the scattering matrix, one per channel, by two-sided
// Lanczos recursions started on the unit vectors of the channels and summed up as continued
// fractions; the channels advance together, one streaming pass over the matrix per level.
#pragma once
#include <string>
#include <utility>
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

// Where a recursion starts: its right and left vectors, each given by its non-zero entries
// (channel 1..order, coefficient), with sum over i of left_i right_i = 1. Started on the unit
// vectors of one channel r, it gives (gt^-1)(r, r); started on combinations of channels, the
// element left^T gt^-1 right.
struct recursion_start {
    std::vector<std::pair<int, cplx>> right, left;
    static recursion_start unit(int r) { return {{{r, cplx(1.0f, 0.0f)}}, {{r, cplx(1.0f, 0.0f)}}}; }
};

// For each start of `starts`, the recursion on the current matrix of g started there.
//
// After level n the value is s = 1/(a(1) - b2(1)/(a(2) - ... - b2(n-1)/a(n))), element (1, 1)
// of the inverse of the complex-symmetric tridiagonal matrix of the recursion; all products are
// bilinear (nothing is conjugated) and in single precision. a(1) is left^T gt right, and the
// first vectors are gt right - a(1) right and gt^T left - a(1) left, formed from the columns and
// rows of the start's channels; started on one channel they are that channel's column and row
// without the diagonal. A recursion stops at level n when
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
std::vector<haykor_result> haykor(const tile_store& g, const std::vector<recursion_start>& starts,
                                  int minlev, int maxlev, real eps, int iout,
                                  std::vector<std::string>& lines, int threads,
                                  pass_kernel kernel = pass_kernel::best);

// The recursion of each channel r of `channels` (1 <= r <= g.order()), started on its unit
// vectors.
std::vector<haykor_result> haykor(const tile_store& g, const std::vector<int>& channels, int minlev,
                                  int maxlev, real eps, int iout, std::vector<std::string>& lines,
                                  int threads, pass_kernel kernel = pass_kernel::best);

}  // namespace korva
