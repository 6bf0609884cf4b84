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

namespace {

// The recursion's vectors and coefficients (1-based, element 0 unused) between its levels.
struct levels {
    std::vector<cplx> qold, pold, q, p, gq, gtp, a, b, b2;
    int lev = 1;
    cplx s, s_old;

    levels(int n, int maxlev) {
        const cplx zero(0.0f, 0.0f);
        for (auto* v : {&qold, &pold, &q, &p, &gq, &gtp}) v->assign(n + 1, zero);
        // a(lev), b(lev), b2(lev); the levels run up to maxlev, and at least to 2.
        for (auto* v : {&a, &b, &b2}) v->assign(std::max(maxlev, 2) + 1, zero);
    }
};

// Levels 2 onwards, from normalised first vectors q and p and b(1): the products, the
// coefficients and the fraction, until the recursion stops.
haykor_result run_levels(const matrix_store& m, int n, levels& v, int minlev, int maxlev, real eps,
                         bool print, std::ostream& out) {
    const cplx zero(0.0f, 0.0f), one(1.0f, 0.0f);
    v.a[2] = zero;
    for (int i = 1; i <= n; ++i) {
        v.gq[i] = row_times(m, i, v.q);
        v.a[2] += v.p[i] * v.gq[i];
    }
    int lev = 2;
    cplx s_old = v.s;
    cplx s = one / (v.a[1] - v.b2[1] / v.a[2]);
    if (print) write_a_line(out, 2, v.a[2], s);
    for (;;) {
        const real err = std::abs(s_old - s);
        if ((err < eps && lev >= minlev) || lev >= maxlev) return {lev, s, err};
        for (int i = 1; i <= n; ++i) v.gtp[i] = column_times(m, i, v.p);
        // Three-term update of both sides; b(lev-1), the square-rooted coefficient, serves
        // both. q and p become the unnormalised vectors of the next level.
        cplx sum = zero;
        for (int i = 1; i <= n; ++i) {
            const cplx qn = v.gq[i] - v.a[lev] * v.q[i] - v.b[lev - 1] * v.qold[i];
            const cplx pn = v.gtp[i] - v.a[lev] * v.p[i] - v.b[lev - 1] * v.pold[i];
            v.qold[i] = v.q[i];
            v.q[i] = qn;
            v.pold[i] = v.p[i];
            v.p[i] = pn;
            sum += qn * pn;
        }
        // The only breakdown recognised: the recursion has exhausted the space reachable
        // from the start, and the fraction of the last level is exact.
        if (exactly_zero(sum)) return {lev, s, 0.0f};
        v.b2[lev] = sum;
        v.b[lev] = std::sqrt(sum);
        if (print) write_b_line(out, lev, v.b[lev]);
        for (int i = 1; i <= n; ++i) {
            v.q[i] = v.q[i] / v.b[lev];
            v.p[i] = v.p[i] / v.b[lev];
        }
        cplx t = zero;
        for (int i = 1; i <= n; ++i) {
            v.gq[i] = row_times(m, i, v.q);  // also what the next update starts from
            t += v.p[i] * v.gq[i];
        }
        ++lev;
        v.a[lev] = t;

        // The fraction afresh from the bottom, with nothing beyond level lev.
        s_old = s;
        s = one / v.a[lev];
        for (int j = lev - 1; j >= 1; --j) s = one / (v.a[j] - v.b2[j] * s);
        if (print) write_a_line(out, lev, v.a[lev], s);
    }
}

}  // namespace

haykor_result haykor(const matrix_store& m, int n, int r, int minlev, int maxlev, real eps,
                     int iout, std::ostream& out) {
    assert(n >= 1 && n <= m.order() && r >= 1 && r <= n);
    const bool print = iout > 2;
    const cplx zero(0.0f, 0.0f);
    const cplx one(1.0f, 0.0f);
    levels v(n, maxlev);

    // Level 1: both start vectors are the unit vector of channel r.
    v.qold[r] = one;
    v.pold[r] = one;
    v.a[1] = m.gt(r, r);
    v.s = one / v.a[1];
    if (print) write_a_line(out, 1, v.a[1], v.s);
    if (maxlev == 1) return {1, v.s, 0.0f};

    // The first products need no multiplication: column r and row r of gt without the
    // diagonal are gt e_r - a(1) e_r and its transposed counterpart.
    for (int i = 1; i <= n; ++i) {
        v.q[i] = m.gt(i, r);
        v.p[i] = m.gt(r, i);
    }
    v.q[r] = zero;
    v.p[r] = zero;
    v.b2[1] = zero;
    for (int k = 1; k <= m.nnz(r); ++k) {
        const int c = m.jnz(r, k);
        v.b2[1] += v.q[c] * v.p[c];
    }
    if (exactly_zero(v.b2[1])) return {1, v.s, 0.0f};  // channel r is isolated
    v.b[1] = std::sqrt(v.b2[1]);
    if (print) write_b_line(out, 1, v.b[1]);
    // Only the listed columns of row r can be non-zero in either vector.
    for (int k = 1; k <= m.nnz(r); ++k) {
        const int c = m.jnz(r, k);
        v.q[c] = v.q[c] / v.b[1];
        v.p[c] = v.p[c] / v.b[1];
    }
    return run_levels(m, n, v, minlev, maxlev, eps, print, out);
}

haykor_result haykor(const matrix_store& m, int n, const recursion_start& st, int minlev,
                     int maxlev, real eps, int iout, std::ostream& out) {
    assert(n >= 1 && n <= m.order());
    const bool print = iout > 2;
    const cplx zero(0.0f, 0.0f), one(1.0f, 0.0f);
    levels v(n, maxlev);
    for (const auto& [i, x] : st.right) v.qold[i] += x;
    for (const auto& [i, x] : st.left) v.pold[i] += x;
    // Level 1: a(1) = left^T A right, from the products of the start vectors.
    std::vector<cplx> aq(n + 1, zero), atp(n + 1, zero);
    v.a[1] = zero;
    for (int i = 1; i <= n; ++i) {
        aq[i] = row_times(m, i, v.qold);
        atp[i] = column_times(m, i, v.pold);
        v.a[1] += v.pold[i] * aq[i];
    }
    v.s = one / v.a[1];
    if (print) write_a_line(out, 1, v.a[1], v.s);
    if (maxlev == 1) return {1, v.s, 0.0f};
    v.b2[1] = zero;
    for (int i = 1; i <= n; ++i) {
        v.q[i] = aq[i] - v.a[1] * v.qold[i];
        v.p[i] = atp[i] - v.a[1] * v.pold[i];
        v.b2[1] += v.q[i] * v.p[i];
    }
    if (exactly_zero(v.b2[1])) return {1, v.s, 0.0f};  // the start is isolated
    v.b[1] = std::sqrt(v.b2[1]);
    if (print) write_b_line(out, 1, v.b[1]);
    for (int i = 1; i <= n; ++i) {
        v.q[i] = v.q[i] / v.b[1];
        v.p[i] = v.p[i] / v.b[1];
    }
    return run_levels(m, n, v, minlev, maxlev, eps, print, out);
}

}  // namespace korva::reference
