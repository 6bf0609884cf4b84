#include "recursion/stream_pass.hpp"

#include <algorithm>
#include <atomic>
#include <cassert>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "recursion/simd.hpp"
#ifdef _OPENMP
#include <omp.h>
#endif

namespace korva {

namespace {

constexpr int W = tile_store::W;

// Where the threads meet: thread t (t < threads - 1) leaves its running transposed sums of
// column block J in hand[t] and then raises done[t] to J + 1.
struct handoff {
    int nch = 0, nt = 0;
    std::vector<std::vector<cplx>> hand;
    std::unique_ptr<std::atomic<int>[]> done;

    handoff(int threads, int nch_, int nt_) : nch(nch_), nt(nt_) {
        hand.assign(static_cast<std::size_t>(std::max(threads - 1, 0)),
                    std::vector<cplx>(static_cast<std::size_t>(nch) * W * nt));
        done.reset(new std::atomic<int>[static_cast<std::size_t>(std::max(threads, 1))]);
        for (int t = 0; t < threads; ++t) done[t].store(0, std::memory_order_relaxed);
    }
    cplx* at(int t, int k, int tj) {
        return hand[t].data() + (static_cast<std::size_t>(k) * nt + tj) * W;
    }
    // Spins while the thread above is busy with the same column of tiles; gives the core away
    // now and then, in case that thread is waiting for it (more threads than cores).
    void wait(int t, int tj) const {
        for (int spin = 1; done[t].load(std::memory_order_acquire) <= tj; ++spin) {
#ifdef KORVA_X86
            _mm_pause();
#endif
            if (spin % 256 == 0) std::this_thread::yield();
        }
    }
};

// What the vector kernels broadcast besides the real parts: for each vector element b the
// pair (-b.im, b.im), which multiplies the swapped matrix entries (a.im, a.re) in the inner
// multiply-add. Held as the 8 bytes of a double, so one 64-bit broadcast fetches the pair.
struct signed_imag {
    std::vector<std::vector<double>> q, p;

    signed_imag(const pass_vectors* v, int nch, std::size_t len) : q(nch), p(nch) {
        for (int k = 0; k < nch; ++k) {
            q[k] = pairs(v[k].q, len);
            p[k] = pairs(v[k].p, len);
        }
    }
    static std::vector<double> pairs(const cplx* b, std::size_t len) {
        std::vector<double> out(len);
        for (std::size_t i = 0; i < len; ++i) {
            const float two[2] = {-b[i].imag(), b[i].imag()};
            std::memcpy(&out[i], two, sizeof two);
        }
        return out;
    }
};

// Where one thread works: tile rows i0..i1-1 of every column of tiles, as thread t of
// `threads`.
struct share {
    int i0, i1, t, threads;
};

// The multiply-add of the pass (see stream_pass.hpp), one element.
inline void madd(cplx& acc, cplx a, cplx b) {
    const real re = std::fma(a.real(), b.real(), std::fma(-a.imag(), b.imag(), acc.real()));
    const real im = std::fma(a.imag(), b.real(), std::fma(a.real(), b.imag(), acc.imag()));
    acc = cplx(re, im);
}

// Starts the transposed sums of column of tiles tj: where the thread above left them, or 0.
void take_over(handoff& h, const share& s, int tj, int k, cplx* acc) {
    for (int c = 0; c < W; ++c) acc[c] = s.t > 0 ? h.at(s.t - 1, k, tj)[c] : cplx(0.0f, 0.0f);
}

// Where the transposed sums of column of tiles tj go when the thread is done with it.
cplx* hand_on(handoff& h, const pass_vectors& v, const share& s, int k, int tj) {
    return s.t == s.threads - 1 ? v.gtp + W * tj : h.at(s.t, k, tj);
}

void zero_rows(const pass_vectors* v, int nch, const share& s) {
    for (int k = 0; k < nch; ++k)
        std::fill(v[k].gq + W * s.i0, v[k].gq + W * s.i1, cplx(0.0f, 0.0f));
}

void pass_scalar(const tile_store& g, const pass_vectors* v, int nch, const share& s, handoff& h) {
    zero_rows(v, nch, s);
    cplx acc[pass_max_channels][W];
    for (int tj = 0; tj < g.tiles(); ++tj) {
        if (s.t > 0) h.wait(s.t - 1, tj);
        for (int k = 0; k < nch; ++k) take_over(h, s, tj, k, acc[k]);
        for (int ti = s.i0; ti < s.i1; ++ti) {
            const cplx* a = g.tile(ti, tj);
            for (int k = 0; k < nch; ++k) {
                const cplx* p = v[k].p + W * ti;
                const cplx* q = v[k].q + W * tj;
                cplx* gq = v[k].gq + W * ti;
                for (int r = 0; r < W; ++r)
                    for (int c = 0; c < W; ++c) madd(acc[k][c], a[W * c + r], p[r]);
                for (int c = 0; c < W; ++c)
                    for (int r = 0; r < W; ++r) madd(gq[r], a[W * c + r], q[c]);
            }
        }
        for (int k = 0; k < nch; ++k) std::copy(acc[k], acc[k] + W, hand_on(h, v[k], s, k, tj));
        if (s.t < s.threads - 1) h.done[s.t].store(tj + 1, std::memory_order_release);
    }
}

#ifdef KORVA_X86

constexpr int ahead = 4 * tile_store::TILE;  // prefetch distance: four tiles, 2 KB

// The multiply-add on four complex numbers a (interleaved re, im), `as` the same with re and
// im swapped, b.re at bre and the pair (-b.im, b.im) at bim.
__attribute__((target("avx2,fma"))) inline __m256 madd4(__m256 acc, __m256 a, __m256 as,
                                                        const float* bre, const double* bim) {
    const __m256 inner = _mm256_fmadd_ps(as, _mm256_castpd_ps(_mm256_broadcast_sd(bim)), acc);
    return _mm256_fmadd_ps(a, _mm256_broadcast_ss(bre), inner);
}

__attribute__((target("avx2,fma"))) inline __m256 swap4(__m256 a) {
    return _mm256_permute_ps(a, 0xB1);
}

// Four vectors of four complex numbers, `stride` floats apart, become four vectors of their
// first, second, third and fourth elements: four tile columns become four rows.
__attribute__((target("avx2,fma"))) inline void transpose4(const float* a, int stride,
                                                           __m256 out[4]) {
    const __m256d r0 = _mm256_castps_pd(_mm256_load_ps(a)),
                  r1 = _mm256_castps_pd(_mm256_load_ps(a + stride)),
                  r2 = _mm256_castps_pd(_mm256_load_ps(a + 2 * stride)),
                  r3 = _mm256_castps_pd(_mm256_load_ps(a + 3 * stride));
    const __m256d lo01 = _mm256_unpacklo_pd(r0, r1), hi01 = _mm256_unpackhi_pd(r0, r1);
    const __m256d lo23 = _mm256_unpacklo_pd(r2, r3), hi23 = _mm256_unpackhi_pd(r2, r3);
    out[0] = _mm256_castpd_ps(_mm256_permute2f128_pd(lo01, lo23, 0x20));
    out[1] = _mm256_castpd_ps(_mm256_permute2f128_pd(hi01, hi23, 0x20));
    out[2] = _mm256_castpd_ps(_mm256_permute2f128_pd(lo01, lo23, 0x31));
    out[3] = _mm256_castpd_ps(_mm256_permute2f128_pd(hi01, hi23, 0x31));
}

// One tile for K channels, 256-bit vectors: a tile column is two vectors, and the transposed
// sums take the tile as four 4 x 4 quarters.
template <int K>
__attribute__((target("avx2,fma"))) inline void tile_avx2(const float* af, const pass_vectors* v,
                                                          const signed_imag& si, int ti, int tj,
                                                          __m256 (&acc)[K][2]) {
    // Direct sums: lanes are the rows (two vectors), the columns come in ascending order.
    __m256 s[K][2];
    for (int k = 0; k < K; ++k)
        for (int half = 0; half < 2; ++half)
            s[k][half] =
                _mm256_loadu_ps(reinterpret_cast<const float*>(v[k].gq + W * ti + 4 * half));
    for (int c = 0; c < W; ++c) {
        const __m256 lo = _mm256_load_ps(af + 16 * c), hi = _mm256_load_ps(af + 16 * c + 8);
        const __m256 los = swap4(lo), his = swap4(hi);
        for (int k = 0; k < K; ++k) {
            const float* qre = reinterpret_cast<const float*>(v[k].q + W * tj + c);
            const double* qim = si.q[k].data() + W * tj + c;
            s[k][0] = madd4(s[k][0], lo, los, qre, qim);
            s[k][1] = madd4(s[k][1], hi, his, qre, qim);
        }
    }
    for (int k = 0; k < K; ++k)
        for (int half = 0; half < 2; ++half)
            _mm256_storeu_ps(reinterpret_cast<float*>(v[k].gq + W * ti + 4 * half), s[k][half]);
    // Transposed sums: lanes are four columns, the rows of both quarters in ascending order.
    for (int hc = 0; hc < 2; ++hc)
        for (int hr = 0; hr < 2; ++hr) {
            __m256 row[4], rows[4];
            transpose4(af + 64 * hc + 8 * hr, 16, row);
            for (int m = 0; m < 4; ++m) rows[m] = swap4(row[m]);
            for (int k = 0; k < K; ++k)
                for (int m = 0; m < 4; ++m) {
                    const int i = W * ti + 4 * hr + m;
                    acc[k][hc] =
                        madd4(acc[k][hc], row[m], rows[m],
                              reinterpret_cast<const float*>(v[k].p + i), si.p[k].data() + i);
                }
        }
}

template <int K>
__attribute__((target("avx2,fma"))) void pass_avx2(const tile_store& g, const pass_vectors* v,
                                                   const signed_imag& si, const share& s,
                                                   handoff& h) {
    zero_rows(v, K, s);
    for (int tj = 0; tj < g.tiles(); ++tj) {
        __m256 acc[K][2];
        if (s.t > 0) h.wait(s.t - 1, tj);
        for (int k = 0; k < K; ++k)
            for (int half = 0; half < 2; ++half)
                acc[k][half] = s.t > 0 ? _mm256_loadu_ps(reinterpret_cast<const float*>(
                                             h.at(s.t - 1, k, tj) + 4 * half))
                                       : _mm256_setzero_ps();
        const cplx* a = g.tile(s.i0, tj);
        for (int ti = s.i0; ti < s.i1; ++ti, a += tile_store::TILE) {
            for (int line = 0; line < 8; ++line)
                _mm_prefetch(reinterpret_cast<const char*>(a + ahead + 8 * line), _MM_HINT_T0);
            tile_avx2<K>(reinterpret_cast<const float*>(a), v, si, ti, tj, acc);
        }
        for (int k = 0; k < K; ++k)
            for (int half = 0; half < 2; ++half)
                _mm256_storeu_ps(reinterpret_cast<float*>(hand_on(h, v[k], s, k, tj) + 4 * half),
                                 acc[k][half]);
        if (s.t < s.threads - 1) h.done[s.t].store(tj + 1, std::memory_order_release);
    }
}

// The multiply-add on eight complex numbers, as madd4.
__attribute__((target("avx512f"))) inline __m512 madd8(__m512 acc, __m512 a, __m512 as,
                                                       const float* bre, const double* bim) {
    const __m512 inner = _mm512_fmadd_ps(as, _mm512_castpd_ps(_mm512_set1_pd(*bim)), acc);
    return _mm512_fmadd_ps(a, _mm512_set1_ps(*bre), inner);
}

__attribute__((target("avx512f"))) inline __m512 swap8(__m512 a) {
    return _mm512_permute_ps(a, 0xB1);
}

// Eight vectors of eight complex numbers (16 floats apart) become eight vectors of their first,
// second, ... elements: the eight tile columns become the eight tile rows. Complex numbers
// move as 64-bit units, in three rounds.
__attribute__((target("avx512f"))) inline void transpose8(const float* a, __m512 out[8]) {
    __m512d r[8], t[8], u[8];
    for (int i = 0; i < 8; ++i) r[i] = _mm512_castps_pd(_mm512_load_ps(a + 16 * i));
    for (int i = 0; i < 8; i += 2) {
        t[i] = _mm512_unpacklo_pd(r[i], r[i + 1]);      // elements 0, 2, 4, 6 of i and i+1
        t[i + 1] = _mm512_unpackhi_pd(r[i], r[i + 1]);  // elements 1, 3, 5, 7
    }
    for (int i = 0; i < 8; i += 4)
        for (int odd = 0; odd < 2; ++odd) {
            // Vectors i..i+3: elements 0, 4 (0x88) and 2, 6 (0xDD), or 1, 5 and 3, 7 with odd.
            u[i + 2 * odd] = _mm512_shuffle_f64x2(t[i + odd], t[i + 2 + odd], 0x88);
            u[i + 2 * odd + 1] = _mm512_shuffle_f64x2(t[i + odd], t[i + 2 + odd], 0xDD);
        }
    // u[0]: elements 0, 4 of vectors 0..3; u[1]: 2, 6; u[2]: 1, 5; u[3]: 3, 7; u[4..7]: 4..7.
    constexpr int first[4] = {0, 2, 1, 3};
    for (int m = 0; m < 4; ++m) {
        out[first[m]] = _mm512_castpd_ps(_mm512_shuffle_f64x2(u[m], u[m + 4], 0x88));
        out[first[m] + 4] = _mm512_castpd_ps(_mm512_shuffle_f64x2(u[m], u[m + 4], 0xDD));
    }
}

// One tile for K channels, 512-bit vectors: a tile column is one vector.
template <int K>
__attribute__((target("avx512f"))) inline void tile_avx512(const float* af, const pass_vectors* v,
                                                           const signed_imag& si, int ti, int tj,
                                                           __m512 (&acc)[K]) {
    // Direct sums: lanes are the tile's rows, the columns come in ascending order.
    __m512 col[8], cols[8];
    for (int c = 0; c < W; ++c) {
        col[c] = _mm512_load_ps(af + 16 * c);
        cols[c] = swap8(col[c]);
    }
    for (int k = 0; k < K; ++k) {
        float* gq = reinterpret_cast<float*>(v[k].gq + W * ti);
        __m512 s = _mm512_loadu_ps(gq);
        for (int c = 0; c < W; ++c)
            s = madd8(s, col[c], cols[c], reinterpret_cast<const float*>(v[k].q + W * tj + c),
                      si.q[k].data() + W * tj + c);
        _mm512_storeu_ps(gq, s);
    }
    // Transposed sums: lanes are the tile's columns, the rows come in ascending order.
    __m512 row[8];
    transpose8(af, row);
    for (int r = 0; r < W; ++r) {
        const __m512 rows = swap8(row[r]);
        for (int k = 0; k < K; ++k)
            acc[k] =
                madd8(acc[k], row[r], rows, reinterpret_cast<const float*>(v[k].p + W * ti + r),
                      si.p[k].data() + W * ti + r);
    }
}

// Marked tiles (they may hold subnormal numbers; tile_store.hpp). Every floating-point
// instruction that meets a subnormal operand or result costs the processor a slow path of
// about 40 ns. A marked tile is therefore computed with everything scaled by 2^32: the
// entries, exactly, by integer operations on their bits (a subnormal entry becomes normal),
// and the running sums, so no operand is subnormal. fma(2^32 x, y, 2^32 c) is 2^32 fma(x, y, c)
// exactly whenever the unscaled result is normal or zero (scaling by a power of two moves
// every rounding with it) and nothing overflows. Each result is checked for that (at least
// 2^-125 unscaled, at most the largest float, or zero); if one fails, the tile is computed the
// plain way from its unchanged sums.
constexpr int scale_bits = 32;

struct scale_check {
    __m512i lo, hi;  // smallest |bits| - 1 (a zero wraps to the top) and largest |bits| seen
};

__attribute__((target("avx512f"))) inline void track(scale_check& ck, __m512 r) {
    const __m512i b = _mm512_and_si512(_mm512_castps_si512(r), _mm512_set1_epi32(0x7FFFFFFF));
    ck.lo = _mm512_min_epu32(ck.lo, _mm512_sub_epi32(b, _mm512_set1_epi32(1)));
    ck.hi = _mm512_max_epu32(ck.hi, b);
}

// x 2^32 exactly without a floating-point operation on x; false when x is too large (or not
// finite) for that.
__attribute__((target("avx512f"))) inline bool scale_up(__m512 x, __m512& out) {
    const __m512i b = _mm512_castps_si512(x);
    const __m512i expo = _mm512_and_si512(b, _mm512_set1_epi32(0x7F800000));
    if (_mm512_cmpgt_epu32_mask(expo, _mm512_set1_epi32((254 - scale_bits) << 23))) return false;
    // Normal numbers: add to the exponent. Zero and subnormal numbers: fraction f gives f 2^-149,
    // that is (float)f 2^(32-149) after scaling, a normal number or zero; then the sign.
    const __mmask16 tiny = _mm512_testn_epi32_mask(b, _mm512_set1_epi32(0x7F800000));
    const __m512i normal = _mm512_add_epi32(b, _mm512_set1_epi32(scale_bits << 23));
    const __m512 frac = _mm512_cvtepi32_ps(_mm512_and_si512(b, _mm512_set1_epi32(0x007FFFFF)));
    const __m512i sub =
        _mm512_or_si512(_mm512_castps_si512(_mm512_mul_ps(frac, _mm512_set1_ps(0x1p-117f))),
                        _mm512_and_si512(b, _mm512_set1_epi32(static_cast<int>(0x80000000u))));
    out = _mm512_castsi512_ps(_mm512_mask_blend_epi32(tiny, normal, sub));
    return true;
}

__attribute__((target("avx512f"))) inline __m512 madd8_tracked(__m512 acc, __m512 a, __m512 as,
                                                               const float* bre, const double* bim,
                                                               scale_check& ck) {
    const __m512 inner = _mm512_fmadd_ps(as, _mm512_castpd_ps(_mm512_set1_pd(*bim)), acc);
    track(ck, inner);
    const __m512 outer = _mm512_fmadd_ps(a, _mm512_set1_ps(*bre), inner);
    track(ck, outer);
    return outer;
}

// Whether every result tracked was 0 or within 2^-125 .. the largest float unscaled.
__attribute__((target("avx512f"))) inline bool scale_held(const scale_check& ck) {
    const int lo_bits = (127 - 125 + scale_bits) << 23;  // 2^(32-125), scaled
    return !_mm512_cmplt_epu32_mask(ck.lo, _mm512_set1_epi32(lo_bits - 1)) &&
           !_mm512_cmpgt_epu32_mask(ck.hi, _mm512_set1_epi32(0x7F7FFFFF));
}

// The marked tile scaled; false (and nothing written, acc unchanged) when the scaling does not
// hold.
template <int K>
__attribute__((target("avx512f"))) bool tile_avx512_scaled(const float* af, const pass_vectors* v,
                                                           const signed_imag& si, int ti, int tj,
                                                           __m512 (&acc)[K]) {
    __m512 col[8], cols[8], row[8], s[K], t[K];
    for (int c = 0; c < W; ++c) {
        if (!scale_up(_mm512_load_ps(af + 16 * c), col[c])) return false;
        cols[c] = swap8(col[c]);
    }
    alignas(64) float scaled[8 * 16];
    for (int c = 0; c < W; ++c) _mm512_storeu_ps(scaled + 16 * c, col[c]);
    transpose8(scaled, row);
    for (int k = 0; k < K; ++k)
        if (!scale_up(_mm512_loadu_ps(reinterpret_cast<const float*>(v[k].gq + W * ti)), s[k]) ||
            !scale_up(acc[k], t[k]))
            return false;
    scale_check ck{_mm512_set1_epi32(-1), _mm512_setzero_si512()};
    for (int k = 0; k < K; ++k)
        for (int c = 0; c < W; ++c)
            s[k] = madd8_tracked(s[k], col[c], cols[c],
                                 reinterpret_cast<const float*>(v[k].q + W * tj + c),
                                 si.q[k].data() + W * tj + c, ck);
    for (int r = 0; r < W; ++r) {
        const __m512 rows = swap8(row[r]);
        for (int k = 0; k < K; ++k)
            t[k] = madd8_tracked(t[k], row[r], rows,
                                 reinterpret_cast<const float*>(v[k].p + W * ti + r),
                                 si.p[k].data() + W * ti + r, ck);
    }
    if (!scale_held(ck)) return false;
    const __m512 down = _mm512_set1_ps(0x1p-32f);
    for (int k = 0; k < K; ++k) {
        _mm512_storeu_ps(reinterpret_cast<float*>(v[k].gq + W * ti), _mm512_mul_ps(s[k], down));
        acc[k] = _mm512_mul_ps(t[k], down);
    }
    return true;
}

// Columns of tiles tj..tj+P-1 together: the transposed sums of P columns run side by side, so
// the chain of dependent multiply-adds down each column of tiles stalls the core less.
template <int K, int P>
__attribute__((target("avx512f"))) void panel_avx512(const tile_store& g, const pass_vectors* v,
                                                     const signed_imag& si, const share& s,
                                                     handoff& h, int tj) {
    __m512 acc[P][K];
    if (s.t > 0) h.wait(s.t - 1, tj + P - 1);
    for (int c = 0; c < P; ++c)
        for (int k = 0; k < K; ++k)
            acc[c][k] =
                s.t > 0 ? _mm512_loadu_ps(reinterpret_cast<const float*>(h.at(s.t - 1, k, tj + c)))
                        : _mm512_setzero_ps();
    for (int ti = s.i0; ti < s.i1; ++ti)
        for (int c = 0; c < P; ++c) {
            const cplx* a = g.tile(ti, tj + c);
            for (int line = 0; line < 8; ++line)
                _mm_prefetch(reinterpret_cast<const char*>(a + ahead + 8 * line), _MM_HINT_T0);
            const float* af = reinterpret_cast<const float*>(a);
            if (!g.marked(ti, tj + c) || !tile_avx512_scaled<K>(af, v, si, ti, tj + c, acc[c]))
                tile_avx512<K>(af, v, si, ti, tj + c, acc[c]);
        }
    for (int c = 0; c < P; ++c)
        for (int k = 0; k < K; ++k)
            _mm512_storeu_ps(reinterpret_cast<float*>(hand_on(h, v[k], s, k, tj + c)), acc[c][k]);
    if (s.t < s.threads - 1) h.done[s.t].store(tj + P, std::memory_order_release);
}

template <int K>
__attribute__((target("avx512f"))) void pass_avx512(const tile_store& g, const pass_vectors* v,
                                                    const signed_imag& si, const share& s,
                                                    handoff& h) {
    zero_rows(v, K, s);
    const int nt = g.tiles();
    int tj = 0;
    for (; tj + 2 <= nt; tj += 2) panel_avx512<K, 2>(g, v, si, s, h, tj);
    if (tj < nt) panel_avx512<K, 1>(g, v, si, s, h, tj);
}

using vector_fn = void (*)(const tile_store&, const pass_vectors*, const signed_imag&, const share&,
                           handoff&);
constexpr vector_fn avx2_kernels[pass_max_channels] = {pass_avx2<1>, pass_avx2<2>, pass_avx2<3>,
                                                       pass_avx2<4>, pass_avx2<5>, pass_avx2<6>,
                                                       pass_avx2<7>, pass_avx2<8>};
constexpr vector_fn avx512_kernels[pass_max_channels] = {
    pass_avx512<1>, pass_avx512<2>, pass_avx512<3>, pass_avx512<4>,
    pass_avx512<5>, pass_avx512<6>, pass_avx512<7>, pass_avx512<8>};

#endif

// Runs share t of the pass with the chosen kernel.
void run_share(pass_kernel kernel, const tile_store& g, const pass_vectors* v, int nch,
               const signed_imag* si, const share& s, handoff& h) {
#ifdef KORVA_X86
    if (kernel == pass_kernel::avx512) return avx512_kernels[nch - 1](g, v, *si, s, h);
    if (kernel == pass_kernel::avx2) return avx2_kernels[nch - 1](g, v, *si, s, h);
#else
    (void)kernel;
    (void)si;
#endif
    pass_scalar(g, v, nch, s, h);
}

}  // namespace

bool pass_available(pass_kernel kernel) {
    switch (kernel) {
        case pass_kernel::best:
        case pass_kernel::scalar:
            return true;
#ifdef KORVA_X86
        case pass_kernel::avx2:
            return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
        case pass_kernel::avx512:
            return __builtin_cpu_supports("avx512f");
#endif
        default:
            return false;
    }
}

pass_kernel pass_kernel_used(pass_kernel kernel) {
    if (kernel != pass_kernel::best && pass_available(kernel)) return kernel;
    for (pass_kernel k : {pass_kernel::avx512, pass_kernel::avx2})
        if (pass_available(k)) return k;
    return pass_kernel::scalar;
}

const char* pass_kernel_name(pass_kernel kernel) {
    switch (kernel) {
        case pass_kernel::scalar:
            return "scalar";
        case pass_kernel::avx2:
            return "avx2";
        case pass_kernel::avx512:
            return "avx512";
        default:
            return "best";
    }
}

void stream_pass(const tile_store& g, const pass_vectors* v, int nch, int threads,
                 pass_kernel kernel) {
    assert(nch >= 1 && nch <= pass_max_channels);
    const int nt = g.tiles();
    if (nt == 0) return;
    kernel = pass_kernel_used(kernel);
    std::unique_ptr<signed_imag> si;
    if (kernel != pass_kernel::scalar) si = std::make_unique<signed_imag>(v, nch, g.padded());
    // Every thread needs a share of the tile rows worth the hand-over: eight tile rows.
    threads = std::clamp(std::min(threads, nt / 8), 1, 64);
    handoff h(threads, nch, nt);
    auto body = [&](int t) {
        const share s{static_cast<int>(static_cast<long>(nt) * t / threads),
                      static_cast<int>(static_cast<long>(nt) * (t + 1) / threads), t, threads};
        run_share(kernel, g, v, nch, si.get(), s, h);
    };
    if (threads == 1) {
        body(0);
        return;
    }
#ifdef _OPENMP
#pragma omp parallel num_threads(threads)
    {
        // A thread the runtime did not grant leaves its rows to nobody: run them in order.
        const int got = omp_get_num_threads();
        if (got == threads) {
            body(omp_get_thread_num());
        } else if (omp_get_thread_num() == 0) {
            for (int t = 0; t < threads; ++t) body(t);
        }
    }
#else
    for (int t = 0; t < threads; ++t) body(t);
#endif
}

}  // namespace korva
