// Elements of the inverse of the scattering matrix A = I + G T, each by a Lanczos recursion
// summed up as a continued fraction: one-sided, through the reciprocity of the propagator, where
// the start allows it, two-sided otherwise. The recursions advance together, one streaming pass
// over the half store per level.
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
    cplx s;         // the continued fraction at the last level, approximating left^T A^-1 right
    // Modulus of the change of s at the last level. 0 when the recursion ended on an exactly
    // vanishing b2, and 0 when maxlev = 1 (a single level has nothing to compare with).
    real err = 0;
};

// Where a recursion starts: its right and left vectors, each given by its non-zero entries
// (channel 1..order, coefficient), with sum over i of left_i right_i = 1. Started on the unit
// vectors of one channel r, it gives A^-1(r, r); started on combinations of channels, the
// element left^T A^-1 right.
struct recursion_start {
    std::vector<std::pair<int, cplx>> right, left;
    static recursion_start unit(int r) {
        return {{{r, cplx(1.0f, 0.0f)}}, {{r, cplx(1.0f, 0.0f)}}};
    }
};

// One-sided or two-sided: the contract of a start.
//
// The propagator is reciprocal, G^T = P G P (tile_store.hpp), so (P T) A = A^T (P T): the
// bilinear form x^T P T y makes A symmetric. A two-sided recursion whose left start vector is
// c P T times its right one keeps p_n = c P T q_n at every level, and needs only the product A q
// per level, half the work per stored entry of the two products A q and A^T p.
//
// A start is run one-sided when its left vector is c P T times its right one, entry by entry
// within a relative 2^-20, with c = 1 / (right^T P T right) (checked here, never assumed): the
// unit vector of a channel with m = 0, the combinations (e_m +- e_-m) / sqrt 2 of one atom and
// l, and any combination sum_m c_m |atom, l, m> whose left coefficients are those of the right
// ones reflected (m -> -m with the sign (-1)^(l+m)) times t_l and scaled. The recursion then
// starts from c P T right instead of the given left vector (they differ by the check's 2^-20 at
// most). Every other start (the unit vector of m != 0, any left vector unrelated to the right
// one) runs the two-sided recursion, whose left vectors take their own product with A^T: two
// channels of the pass instead of one.
//
// After level n the value is s = 1/(a(1) - b2(1)/(a(2) - ... - b2(n-1)/a(n))), element (1, 1)
// of the inverse of the complex-symmetric tridiagonal matrix of the recursion; all products are
// bilinear (nothing is conjugated) and in single precision. a(1) is left^T A right, and the
// first vectors are A right - a(1) right and A^T left - a(1) left (or c P T of the right one),
// formed from the columns and rows of the start's channels. A recursion stops at level n when
// (err < eps and n >= minlev) or n >= maxlev, and earlier when the product of its next left
// and right vectors is exactly zero. With maxlev = 1 it returns 1/a(1) at once; a maxlev below 1
// stops at the first test, at level 2. A zero denominator of the fraction is not trapped: s
// follows IEEE arithmetic and may be infinite or NaN; a non-finite err never satisfies the
// tolerance.
//
// At print level iout > 2 each start's text collects one "A(n)" line per level (a(n) and s
// after level n) and one "B(n)" line per off-diagonal coefficient b(n), in the order A(1),
// B(1), A(2), ...; `lines` gets one string per start, in the order of `starts`.
//
// Every level reads the half store once for all running starts (up to pass_max_channels pass
// channels a read); `threads` share each pass and the element-by-element steps, and the bits
// depend neither on them nor on the kernel. The two-sided reference solver of the tests (the
// full matrix through row lists) agrees within single-precision rounding, not bit for bit: A q
// is formed here as q + U (T q) + P U^T (P T q), there as the sums of the rounded entries of A,
// and the one-sided left vectors are c P T q rather than their own sums.
std::vector<haykor_result> haykor(const tile_store& g, const std::vector<recursion_start>& starts,
                                  int minlev, int maxlev, real eps, int iout,
                                  std::vector<std::string>& lines, int threads,
                                  pass_kernel kernel = pass_kernel::best);

// The recursion of each channel r of `channels` (1 <= r <= g.order()), started on its unit
// vectors.
std::vector<haykor_result> haykor(const tile_store& g, const std::vector<int>& channels, int minlev,
                                  int maxlev, real eps, int iout, std::vector<std::string>& lines,
                                  int threads, pass_kernel kernel = pass_kernel::best);

// Whether the start runs one-sided on g (see above); c gets its scale when it does.
bool one_sided_start(const tile_store& g, const recursion_start& st, cplx& c);

}  // namespace korva
