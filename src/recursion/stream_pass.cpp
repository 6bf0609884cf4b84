#include "recursion/stream_pass.hpp"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#ifdef _OPENMP
#include <omp.h>
#endif

#include "recursion/simd.hpp"

namespace korva {

namespace {

constexpr int W = tile_store::W;

// What the vector kernels broadcast besides the real parts: for each vector element b the
// pair (-b.im, b.im), which multiplies the swapped matrix entries (a.im, a.re) in the inner
// multiply-add. Held as the 8 bytes of a double, so one 64-bit broadcast fetches the pair.
struct signed_imag {
    std::vector<std::vector<double>> y, z;

    signed_imag(const pass_vectors* v, int nch, std::size_t len) : y(nch), z(nch) {
        for (int k = 0; k < nch; ++k) {
            y[k] = pairs(v[k].y, len);
            z[k] = pairs(v[k].z, len);
        }
    }
    const double* yim(int k) const { return y[static_cast<std::size_t>(k)].data(); }
    const double* zim(int k) const { return z[static_cast<std::size_t>(k)].data(); }
    static std::vector<double> pairs(const cplx* b, std::size_t len) {
        std::vector<double> out(len);
        for (std::size_t i = 0; i < len; ++i) {
            const float two[2] = {-b[i].imag(), b[i].imag()};
            std::memcpy(&out[i], two, sizeof two);
        }
        return out;
    }
};

// One block of tile rows, i0..i1-1: its direct sums go to the rows' elements of uy, its
// transposed sums of column of tiles tj to where `to` says.
struct block_job {
    int i0, i1, block;
    pass_workspace* ws;
    // The first block's sums are the start of the result itself; the others' wait for the
    // last step in the workspace.
    cplx* to(const pass_vectors& v, int k, int tj) const {
        return block == 0 ? v.utz + W * tj : ws->at(k, block, tj);
    }
    // The block's rows in column of tiles tj: i0 .. rows_end(tj) - 1 (none when tj < i0).
    int rows_end(int tj) const { return std::min(i1, tj + 1); }
};

// The multiply-add of the pass (see stream_pass.hpp), one element.
inline void madd(cplx& acc, cplx a, cplx b) {
    const real re = std::fma(a.real(), b.real(), std::fma(-a.imag(), b.imag(), acc.real()));
    const real im = std::fma(a.imag(), b.real(), std::fma(a.real(), b.imag(), acc.imag()));
    acc = cplx(re, im);
}

void zero_rows(const pass_vectors* v, int nch, const block_job& b) {
    for (int k = 0; k < nch; ++k)
        std::fill(v[k].uy + W * b.i0, v[k].uy + W * b.i1, cplx(0.0f, 0.0f));
}

// The sum of the eight lanes of a column's transposed sums, lane r holding the rows r mod 8:
// the tree every kernel takes.
inline cplx lane_sum(const cplx* p) {
    return ((p[0] + p[4]) + (p[2] + p[6])) + ((p[1] + p[5]) + (p[3] + p[7]));
}

// The block's tiles of column of tiles tj, every channel.
void column_scalar(const tile_store& g, const pass_vectors* v, int nch, const block_job& b,
                   int tj) {
    cplx lane[pass_max_channels][W][W];  // channel, column, row of the tile
    {
        for (int k = 0; k < nch; ++k)
            for (int c = 0; c < W; ++c) std::fill(lane[k][c], lane[k][c] + W, cplx(0.0f, 0.0f));
        for (int ti = b.i0; ti < b.rows_end(tj); ++ti) {
            const cplx* a = g.tile(ti, tj);
            for (int k = 0; k < nch; ++k) {
                const cplx* z = v[k].z + W * ti;
                const cplx* y = v[k].y + W * tj;
                cplx* uy = v[k].uy + W * ti;
                for (int c = 0; c < W; ++c)
                    for (int r = 0; r < W; ++r) madd(lane[k][c][r], a[W * c + r], z[r]);
                for (int r = 0; r < W; ++r) {
                    // Four chains, columns c and c + 4, the first from the running sum.
                    cplx t[4] = {uy[r], cplx(0.0f, 0.0f), cplx(0.0f, 0.0f), cplx(0.0f, 0.0f)};
                    for (int c = 0; c < W; ++c) madd(t[c % 4], a[W * c + r], y[c]);
                    uy[r] = (t[0] + t[2]) + (t[1] + t[3]);
                }
            }
        }
        for (int k = 0; k < nch; ++k) {
            cplx* to = b.to(v[k], k, tj);
            for (int c = 0; c < W; ++c) to[c] = lane_sum(lane[k][c]);
        }
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

// The lanes' tree of one column (lanes r = 0..3 in h[0], 4..7 in h[1]) into to[0].
__attribute__((target("avx2,fma"))) inline void lane_sum4(const __m256 h[2], cplx* to) {
    const __m256 q = _mm256_add_ps(h[0], h[1]);                             // p_r + p_(r+4)
    const __m256 t = _mm256_add_ps(q, _mm256_permute2f128_ps(q, q, 0x01));  // + q_(r+2)
    const __m128 lo = _mm256_castps256_ps128(t);
    const __m128 sum = _mm_add_ps(lo, _mm_movehl_ps(lo, lo));  // (q0 + q2) + (q1 + q3)
    _mm_storel_pi(reinterpret_cast<__m64*>(to), sum);
}

// One tile for channel k, 256-bit vectors: a tile column is two vectors. The direct sums run
// along the tile's columns; the transposed sums add into their lanes.
__attribute__((target("avx2,fma"))) inline void tile_avx2(const float* af, const pass_vectors& v,
                                                          const double* yim, const double* zim,
                                                          int ti, int tj, __m256 (&acc)[W][2]) {
    __m256 s[2], zre[2], zi[2];
    for (int h = 0; h < 2; ++h) {
        s[h] = _mm256_loadu_ps(reinterpret_cast<const float*>(v.uy + W * ti + 4 * h));
        zre[h] = _mm256_moveldup_ps(
            _mm256_loadu_ps(reinterpret_cast<const float*>(v.z + W * ti + 4 * h)));
        zi[h] = _mm256_loadu_ps(reinterpret_cast<const float*>(zim + W * ti + 4 * h));
    }
    // The direct sums in four chains (columns c and c + 4), the first from the running sum.
    __m256 t[2][4];
    for (int h = 0; h < 2; ++h) {
        t[h][0] = s[h];
        t[h][1] = t[h][2] = t[h][3] = _mm256_setzero_ps();
    }
    for (int c = 0; c < W; ++c) {
        const float* yre = reinterpret_cast<const float*>(v.y + W * tj + c);
        for (int h = 0; h < 2; ++h) {
            const __m256 a = _mm256_load_ps(af + 16 * c + 8 * h), as = swap4(a);
            t[h][c % 4] = madd4(t[h][c % 4], a, as, yre, yim + W * tj + c);
            acc[c][h] = _mm256_fmadd_ps(a, zre[h], _mm256_fmadd_ps(as, zi[h], acc[c][h]));
        }
    }
    for (int h = 0; h < 2; ++h)
        s[h] = _mm256_add_ps(_mm256_add_ps(t[h][0], t[h][2]), _mm256_add_ps(t[h][1], t[h][3]));
    for (int h = 0; h < 2; ++h)
        _mm256_storeu_ps(reinterpret_cast<float*>(v.uy + W * ti + 4 * h), s[h]);
}

// The block's tiles of column of tiles tj, channel by channel (the tiles come again from the
// cache for the later channels).
__attribute__((target("avx2,fma"))) void chunk_avx2(const tile_store& g, const pass_vectors* v,
                                                    int nch, const signed_imag& si,
                                                    const block_job& b, int tj) {
    for (int k = 0; k < nch; ++k) {
        __m256 acc[W][2];
        for (auto& c : acc) c[0] = c[1] = _mm256_setzero_ps();
        const cplx* a = g.tile(b.i0, tj);
        for (int ti = b.i0; ti < b.rows_end(tj); ++ti, a += tile_store::TILE) {
            if (k == 0)
                for (int line = 0; line < 8; ++line)
                    _mm_prefetch(reinterpret_cast<const char*>(a + ahead + 8 * line), _MM_HINT_T0);
            tile_avx2(reinterpret_cast<const float*>(a), v[k], si.yim(k), si.zim(k), ti, tj, acc);
        }
        cplx* to = b.to(v[k], k, tj);
        for (int c = 0; c < W; ++c) lane_sum4(acc[c], to + c);
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

// The lanes' tree of eight columns at once: acc[c] holds column c's lanes r = 0..7; the result
// holds in lane c ((p0 + p4) + (p2 + p6)) + ((p1 + p5) + (p3 + p7)) of acc[c]. Complex numbers
// move as 64-bit units.
__attribute__((target("avx512f"))) inline __m512 lane_sum8(const __m512 (&acc)[W]) {
    __m512d u[4], w[2];
    for (int c = 0; c < 4; ++c) {
        // Lanes r and r + 4: columns c (lanes 0..3) and c + 4 (lanes 4..7).
        const __m512d a = _mm512_castps_pd(acc[c]), e = _mm512_castps_pd(acc[c + 4]);
        u[c] = _mm512_castps_pd(_mm512_add_ps(_mm512_castpd_ps(_mm512_shuffle_f64x2(a, e, 0x44)),
                                              _mm512_castpd_ps(_mm512_shuffle_f64x2(a, e, 0xEE))));
    }
    for (int c = 0; c < 2; ++c) {
        // Then r and r + 2: columns c, c + 4, c + 2, c + 6, two lanes each.
        const __m512d lo = _mm512_shuffle_f64x2(u[c], u[c + 2], 0x88),
                      hi = _mm512_shuffle_f64x2(u[c], u[c + 2], 0xDD);
        w[c] = _mm512_castps_pd(_mm512_add_ps(_mm512_castpd_ps(lo), _mm512_castpd_ps(hi)));
    }
    // Then the pair: columns 0, 1, 4, 5, 2, 3, 6, 7, put in order.
    const __m512 sum = _mm512_add_ps(_mm512_castpd_ps(_mm512_unpacklo_pd(w[0], w[1])),
                                     _mm512_castpd_ps(_mm512_unpackhi_pd(w[0], w[1])));
    const __m512i order = _mm512_setr_epi64(0, 1, 4, 5, 2, 3, 6, 7);
    return _mm512_castpd_ps(_mm512_permutexvar_pd(order, _mm512_castps_pd(sum)));
}

// What one tile reads of K channels besides the tile: the direct sums of its rows, and the
// transposed sums' multipliers z_r as (re, re) and (-im, im) pairs.
template <int K>
struct tile_inputs {
    __m512 s[K], zre[K], zim[K];
};

template <int K>
__attribute__((target("avx512f"))) inline tile_inputs<K> inputs8(const pass_vectors* v,
                                                                 const signed_imag& si, int k0,
                                                                 int ti) {
    tile_inputs<K> in;
    for (int k = 0; k < K; ++k) {
        in.s[k] = _mm512_loadu_ps(reinterpret_cast<const float*>(v[k].uy + W * ti));
        in.zre[k] =
            _mm512_moveldup_ps(_mm512_loadu_ps(reinterpret_cast<const float*>(v[k].z + W * ti)));
        in.zim[k] = _mm512_loadu_ps(reinterpret_cast<const float*>(si.zim(k0 + k) + W * ti));
    }
    return in;
}

// One tile for channels k0..k0+K-1 (v: channel k0's vectors), 512-bit vectors: a tile column
// is one vector. The direct sums run along the tile's columns; the transposed sums add into
// their lanes, acc[k][c] for column c.
template <int K>
__attribute__((target("avx512f"))) inline void tile_avx512(const float* af, const pass_vectors* v,
                                                           const signed_imag& si, int k0, int ti,
                                                           int tj, __m512 (&acc)[K][W]) {
    tile_inputs<K> in = inputs8<K>(v, si, k0, ti);
    // The direct sums in four chains (columns c and c + 4), the first from the running sum.
    __m512 t[K][4];
    for (int k = 0; k < K; ++k) {
        t[k][0] = in.s[k];
        t[k][1] = t[k][2] = t[k][3] = _mm512_setzero_ps();
    }
    for (int c = 0; c < W; ++c) {
        const __m512 a = _mm512_load_ps(af + 16 * c), as = swap8(a);
        for (int k = 0; k < K; ++k) {
            t[k][c % 4] =
                madd8(t[k][c % 4], a, as, reinterpret_cast<const float*>(v[k].y + W * tj + c),
                      si.yim(k0 + k) + W * tj + c);
            acc[k][c] = _mm512_fmadd_ps(a, in.zre[k], _mm512_fmadd_ps(as, in.zim[k], acc[k][c]));
        }
    }
    for (int k = 0; k < K; ++k)
        in.s[k] = _mm512_add_ps(_mm512_add_ps(t[k][0], t[k][2]), _mm512_add_ps(t[k][1], t[k][3]));
    for (int k = 0; k < K; ++k)
        _mm512_storeu_ps(reinterpret_cast<float*>(v[k].uy + W * ti), in.s[k]);
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

__attribute__((target("avx512f"))) inline __m512 fmadd_tracked(__m512 a, __m512 b, __m512 c,
                                                               scale_check& ck) {
    const __m512 r = _mm512_fmadd_ps(a, b, c);
    track(ck, r);
    return r;
}

// Whether every result tracked was 0 or within 2^-125 .. the largest float unscaled.
__attribute__((target("avx512f"))) inline bool scale_held(const scale_check& ck) {
    const int lo_bits = (127 - 125 + scale_bits) << 23;  // 2^(32-125), scaled
    return !_mm512_cmplt_epu32_mask(ck.lo, _mm512_set1_epi32(lo_bits - 1)) &&
           !_mm512_cmpgt_epu32_mask(ck.hi, _mm512_set1_epi32(0x7F7FFFFF));
}

// The tile's columns scaled, and their swapped halves; false when they cannot be.
__attribute__((target("avx512f"))) inline bool scaled_columns(const float* af, __m512 (&col)[W],
                                                              __m512 (&cols)[W]) {
    for (int c = 0; c < W; ++c) {
        if (!scale_up(_mm512_load_ps(af + 16 * c), col[c])) return false;
        cols[c] = swap8(col[c]);
    }
    return true;
}

// The marked tile scaled; false (and nothing written, acc unchanged) when the scaling does not
// hold.
template <int K>
__attribute__((target("avx512f"))) bool tile_avx512_scaled(const float* af, const pass_vectors* v,
                                                           const signed_imag& si, int k0, int ti,
                                                           int tj, __m512 (&acc)[K][W]) {
    __m512 col[W], cols[W], t[K][W];
    if (!scaled_columns(af, col, cols)) return false;
    tile_inputs<K> in = inputs8<K>(v, si, k0, ti);
    for (int k = 0; k < K; ++k) {
        if (!scale_up(in.s[k], in.s[k])) return false;
        for (int c = 0; c < W; ++c)
            if (!scale_up(acc[k][c], t[k][c])) return false;
    }
    scale_check ck{_mm512_set1_epi32(-1), _mm512_setzero_si512()};
    __m512 d[K][4];
    for (int k = 0; k < K; ++k) {
        d[k][0] = in.s[k];
        d[k][1] = d[k][2] = d[k][3] = _mm512_setzero_ps();
    }
    for (int c = 0; c < W; ++c)
        for (int k = 0; k < K; ++k) {
            const float* yre = reinterpret_cast<const float*>(v[k].y + W * tj + c);
            const __m512 yi = _mm512_castpd_ps(_mm512_set1_pd(si.yim(k0 + k)[W * tj + c]));
            const __m512 inner = fmadd_tracked(cols[c], yi, d[k][c % 4], ck);
            d[k][c % 4] = fmadd_tracked(col[c], _mm512_set1_ps(*yre), inner, ck);
            t[k][c] = fmadd_tracked(col[c], in.zre[k],
                                    fmadd_tracked(cols[c], in.zim[k], t[k][c], ck), ck);
        }
    for (int k = 0; k < K; ++k) {
        const __m512 lo = _mm512_add_ps(d[k][0], d[k][2]), hi = _mm512_add_ps(d[k][1], d[k][3]);
        in.s[k] = _mm512_add_ps(lo, hi);
        track(ck, lo);
        track(ck, hi);
        track(ck, in.s[k]);
    }
    if (!scale_held(ck)) return false;
    const __m512 down = _mm512_set1_ps(0x1p-32f);
    for (int k = 0; k < K; ++k) {
        _mm512_storeu_ps(reinterpret_cast<float*>(v[k].uy + W * ti), _mm512_mul_ps(in.s[k], down));
        for (int c = 0; c < W; ++c) acc[k][c] = _mm512_mul_ps(t[k][c], down);
    }
    return true;
}

// The block's tiles of column of tiles tj for channels k0..k0+K-1 (v: channel k0's vectors):
// K = 2 keeps its sixteen lane sums in registers; further channels come again over the same
// tiles, from the cache.
template <int K>
__attribute__((target("avx512f"))) void chunk_avx512(const tile_store& g, const pass_vectors* v,
                                                     const signed_imag& si, const block_job& b,
                                                     int k0, int tj) {
    __m512 acc[K][W];
    for (int k = 0; k < K; ++k)
        for (int c = 0; c < W; ++c) acc[k][c] = _mm512_setzero_ps();
    for (int ti = b.i0; ti < b.rows_end(tj); ++ti) {
        const cplx* a = g.tile(ti, tj);
        if (k0 == 0)
            for (int line = 0; line < 8; ++line)
                _mm_prefetch(reinterpret_cast<const char*>(a + ahead + 8 * line), _MM_HINT_T0);
        const float* af = reinterpret_cast<const float*>(a);
        if (!g.marked(ti, tj) || !tile_avx512_scaled<K>(af, v, si, k0, ti, tj, acc))
            tile_avx512<K>(af, v, si, k0, ti, tj, acc);
    }
    for (int k = 0; k < K; ++k)
        _mm512_storeu_ps(reinterpret_cast<float*>(b.to(v[k], k0 + k, tj)), lane_sum8(acc[k]));
}

__attribute__((target("avx512f"))) void column_avx512(const tile_store& g, const pass_vectors* v,
                                                      int nch, const signed_imag& si,
                                                      const block_job& b, int tj) {
    for (int k0 = 0; k0 < nch; k0 += 2) {
        if (nch - k0 >= 2)
            chunk_avx512<2>(g, v + k0, si, b, k0, tj);
        else
            chunk_avx512<1>(g, v + k0, si, b, k0, tj);
    }
}

#endif

// The block's tiles of column of tiles tj with the chosen kernel.
void run_column(pass_kernel kernel, const tile_store& g, const pass_vectors* v, int nch,
                const signed_imag* si, const block_job& b, int tj) {
#ifdef KORVA_X86
    if (kernel == pass_kernel::avx512) return column_avx512(g, v, nch, *si, b, tj);
    if (kernel == pass_kernel::avx2) return chunk_avx2(g, v, nch, *si, b, tj);
#else
    (void)kernel;
    (void)si;
#endif
    column_scalar(g, v, nch, b, tj);
}

// Blocks first..last-1 of the pass, column of tiles by column of tiles: in each column the
// blocks' tiles follow each other in the store, so one thread reads one run of it instead of a
// short run per block. Each block's sums are its own and see the columns in the same order as
// block by block, so the bits are the same.
void run_blocks(pass_kernel kernel, const tile_store& g, const pass_vectors* v, int nch,
                const signed_imag* si, const std::vector<int>& blocks, int first, int last,
                pass_workspace* ws) {
    for (int b = first; b < last; ++b) zero_rows(v, nch, {blocks[b], blocks[b + 1], b, ws});
    if (first >= last) return;
    for (int tj = blocks[first]; tj < g.tiles(); ++tj)
        for (int b = first; b < last && blocks[b] <= tj; ++b)
            run_column(kernel, g, v, nch, si, {blocks[b], blocks[b + 1], b, ws}, tj);
}

// The transposed sums of column of tiles tj: the first block's, plus each later block's that
// reaches the column, in block order.
void fold_column(const pass_vectors* v, int nch, const std::vector<int>& blocks, pass_workspace& ws,
                 int tj) {
    for (int k = 0; k < nch; ++k) {
        cplx* out = v[k].utz + W * tj;
        for (std::size_t b = 1; b + 1 < blocks.size() && blocks[b] <= tj; ++b) {
            const cplx* part = ws.at(k, static_cast<int>(b), tj);
            for (int c = 0; c < W; ++c) out[c] += part[c];
        }
    }
}

}  // namespace

std::vector<int> pass_row_blocks(int nt) {
    // Stored tiles above tile row I: I nt - I (I - 1) / 2; each block about 1/nb of them.
    const int nb = std::min(48, nt);
    const auto above = [nt](long i) { return i * nt - i * (i - 1) / 2; };
    const long total = above(nt);
    std::vector<int> b{0};
    for (int k = 1, i = 0; k <= nb; ++k) {
        while (i < nt && above(i) * nb < k * total) ++i;
        if (i > b.back()) b.push_back(i);
    }
    if (b.back() != nt) b.push_back(nt);
    return b;
}

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
                 pass_kernel kernel, pass_workspace* ws) {
    assert(nch >= 1 && nch <= pass_max_channels);
    const int nt = g.tiles();
    if (nt == 0) return;
    kernel = pass_kernel_used(kernel);
    std::unique_ptr<signed_imag> si;
    if (kernel != pass_kernel::scalar) si = std::make_unique<signed_imag>(v, nch, g.padded());
    const std::vector<int> blocks = pass_row_blocks(nt);
    const int nb = static_cast<int>(blocks.size()) - 1;
    pass_workspace own;
    if (!ws) ws = &own;
    ws->prepare(nch, nb, nt);
    // A few tile rows a thread are not worth the threads' start.
    threads = nt >= 32 ? std::clamp(threads, 1, nb) : 1;
    if (threads == 1) {
        run_blocks(kernel, g, v, nch, si.get(), blocks, 0, nb, ws);
        for (int tj = 0; tj < nt; ++tj) fold_column(v, nch, blocks, *ws, tj);
        return;
    }
#pragma omp parallel num_threads(threads)
    {
        // Each thread a run of consecutive blocks, about as many tiles as the others'.
#ifdef _OPENMP
        const int t = omp_get_thread_num(), n = omp_get_num_threads();
#else
        const int t = 0, n = 1;
#endif
        run_blocks(kernel, g, v, nch, si.get(), blocks, nb * t / n, nb * (t + 1) / n, ws);
#pragma omp barrier
#pragma omp for schedule(static)
        for (int tj = 0; tj < nt; ++tj) fold_column(v, nch, blocks, *ws, tj);
    }
}

}  // namespace korva
