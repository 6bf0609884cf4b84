#include "reference/haykor.hpp"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <vector>

#include "common/textio.hpp"
#include "recursion/recursion_lines.hpp"

namespace korva::reference {

namespace {

bool exactly_zero(cplx z) {
    return z.real() == 0.0f && z.imag() == 0.0f;
}

inline cplx madd(cplx acc, cplx a, cplx b) {
    const real re = std::fma(a.real(), b.real(), std::fma(-a.imag(), b.imag(), acc.real()));
    const real im = std::fma(a.imag(), b.real(), std::fma(a.real(), b.imag(), acc.imag()));
    return cplx(re, im);
}

}  // namespace

cplx fused_madd(cplx acc, cplx a, cplx b) {
    return madd(acc, a, b);
}

// row_times and column_times hold nearly all of the solver's time. They are compiled twice, the
// second time for processors with FMA, where std::fma becomes one instruction instead of a
// library call; a correctly rounded fma has the same bits either way.
#if defined(__x86_64__) && defined(__GNUC__)
#define KORVA_FMA_CLONES __attribute__((target_clones("fma", "default")))
#else
#define KORVA_FMA_CLONES
#endif

KORVA_FMA_CLONES cplx row_times(const matrix_store& m, int i, const std::vector<cplx>& v) {
    cplx sum(0.0f, 0.0f);
    for (int k = 1; k <= m.nnz(i); ++k) {
        const int c = m.jnz(i, k);
        sum = madd(sum, m.gt(i, c), v[c]);
    }
    return sum;
}

KORVA_FMA_CLONES cplx column_times(const matrix_store& m, int i, const std::vector<cplx>& v) {
    cplx sum(0.0f, 0.0f);
    for (int k = 1; k <= m.nnz(i); ++k) {
        const int c = m.jnz(i, k);
        sum = madd(sum, m.gt(c, i), v[c]);
    }
    return sum;
}

haykor_result haykor(const matrix_store& m, int n, int r, int minlev, int maxlev, real eps,
                     int iout, std::ostream& out) {
    assert(n >= 1 && n <= m.order() && r >= 1 && r <= n);
    const bool print = iout > 2;
    const cplx zero(0.0f, 0.0f);
    const cplx one(1.0f, 0.0f);

    // Right (q) and left (p) vectors of the current and the previous level, and the products
    // gt q and gt^T p; 1-based, element 0 unused.
    std::vector<cplx> qold(n + 1, zero), pold(n + 1, zero), q(n + 1, zero), p(n + 1, zero);
    std::vector<cplx> gq(n + 1, zero), gtp(n + 1, zero);
    // a(lev), b(lev), b2(lev); the levels run up to maxlev, and at least to 2.
    const int nlev = std::max(maxlev, 2) + 1;
    std::vector<cplx> a(nlev, zero), b(nlev, zero), b2(nlev, zero);

    // Level 1: both start vectors are the unit vector of channel r.
    qold[r] = one;
    pold[r] = one;
    int lev = 1;
    a[1] = m.gt(r, r);
    cplx s = one / a[1];
    if (print) write_a_line(out, 1, a[1], s);
    if (maxlev == 1) return {1, s, 0.0f};

    // The first products need no multiplication: column r and row r of gt without the
    // diagonal are gt e_r - a(1) e_r and its transposed counterpart.
    for (int i = 1; i <= n; ++i) {
        q[i] = m.gt(i, r);
        p[i] = m.gt(r, i);
    }
    q[r] = zero;
    p[r] = zero;
    b2[1] = zero;
    for (int k = 1; k <= m.nnz(r); ++k) {
        const int c = m.jnz(r, k);
        b2[1] += q[c] * p[c];
    }
    if (exactly_zero(b2[1])) return {1, s, 0.0f};  // channel r is isolated
    b[1] = std::sqrt(b2[1]);
    if (print) write_b_line(out, 1, b[1]);
    // Only the listed columns of row r can be non-zero in either vector.
    for (int k = 1; k <= m.nnz(r); ++k) {
        const int c = m.jnz(r, k);
        q[c] = q[c] / b[1];
        p[c] = p[c] / b[1];
    }
    a[2] = zero;
    for (int i = 1; i <= n; ++i) {
        gq[i] = row_times(m, i, q);
        a[2] += p[i] * gq[i];
    }
    lev = 2;
    cplx s_old = s;
    s = one / (a[1] - b2[1] / a[2]);
    if (print) write_a_line(out, 2, a[2], s);

    for (;;) {
        const real err = std::abs(s_old - s);
        if ((err < eps && lev >= minlev) || lev >= maxlev) return {lev, s, err};

        for (int i = 1; i <= n; ++i) gtp[i] = column_times(m, i, p);

        // Three-term update of both sides; b(lev-1), the square-rooted coefficient, serves
        // both. q and p become the unnormalised vectors of the next level.
        cplx sum = zero;
        for (int i = 1; i <= n; ++i) {
            const cplx qn = gq[i] - a[lev] * q[i] - b[lev - 1] * qold[i];
            const cplx pn = gtp[i] - a[lev] * p[i] - b[lev - 1] * pold[i];
            qold[i] = q[i];
            q[i] = qn;
            pold[i] = p[i];
            p[i] = pn;
            sum += qn * pn;
        }
        // The only breakdown recognised: the recursion has exhausted the space reachable
        // from channel r, and the fraction of the last level is exact.
        if (exactly_zero(sum)) return {lev, s, 0.0f};
        b2[lev] = sum;
        b[lev] = std::sqrt(sum);
        if (print) write_b_line(out, lev, b[lev]);
        for (int i = 1; i <= n; ++i) {
            q[i] = q[i] / b[lev];
            p[i] = p[i] / b[lev];
        }
        cplx t = zero;
        for (int i = 1; i <= n; ++i) {
            gq[i] = row_times(m, i, q);  // also what the next update starts from
            t += p[i] * gq[i];
        }
        ++lev;
        a[lev] = t;

        // The fraction afresh from the bottom, with nothing beyond level lev.
        s_old = s;
        s = one / a[lev];
        for (int j = lev - 1; j >= 1; --j) s = one / (a[j] - b2[j] * s);
        if (print) write_a_line(out, lev, a[lev], s);
    }
}

}  // namespace korva::reference
