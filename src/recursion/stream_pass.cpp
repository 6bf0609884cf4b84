#include "recursion/stream_pass.hpp"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

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

void block_scalar(const tile_store& g, const pass_vectors* v, int nch, const block_job& b) {
    zero_rows(v, nch, b);
    cplx acc[pass_max_channels][W];
    for (int tj = b.i0; tj < g.tiles(); ++tj) {
        for (int k = 0; k < nch; ++k) std::fill(acc[k], acc[k] + W, cplx(0.0f, 0.0f));
        for (int ti = b.i0; ti < b.rows_end(tj); ++ti) {
            const cplx* a = g.tile(ti, tj);
            for (int k = 0; k < nch; ++k) {
                const cplx* z = v[k].z + W * ti;
                const cplx* y = v[k].y + W * tj;
                cplx* uy = v[k].uy + W * ti;
                for (int r = 0; r < W; ++r)
                    for (int c = 0; c < W; ++c) madd(acc[k][c], a[W * c + r], z[r]);
                for (int c = 0; c < W; ++c)
                    for (int r = 0; r < W; ++r) madd(uy[r], a[W * c + r], y[c]);
            }
        }
        for (int k = 0; k < nch; ++k) std::copy(acc[k], acc[k] + W, b.to(v[k], k, tj));
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
                _mm256_loadu_ps(reinterpret_cast<const float*>(v[k].uy + W * ti + 4 * half));
    for (int c = 0; c < W; ++c) {
        const __m256 lo = _mm256_load_ps(af + 16 * c), hi = _mm256_load_ps(af + 16 * c + 8);
        const __m256 los = swap4(lo), his = swap4(hi);
        for (int k = 0; k < K; ++k) {
            const float* qre = reinterpret_cast<const float*>(v[k].y + W * tj + c);
            const double* qim = si.y[k].data() + W * tj + c;
            s[k][0] = madd4(s[k][0], lo, los, qre, qim);
            s[k][1] = madd4(s[k][1], hi, his, qre, qim);
        }
    }
    for (int k = 0; k < K; ++k)
        for (int half = 0; half < 2; ++half)
            _mm256_storeu_ps(reinterpret_cast<float*>(v[k].uy + W * ti + 4 * half), s[k][half]);
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
                              reinterpret_cast<const float*>(v[k].z + i), si.z[k].data() + i);
                }
        }
}

template <int K>
__attribute__((target("avx2,fma"))) void block_avx2(const tile_store& g, const pass_vectors* v,
                                                    const signed_imag& si, const block_job& b) {
    zero_rows(v, K, b);
    for (int tj = b.i0; tj < g.tiles(); ++tj) {
        __m256 acc[K][2];
        for (int k = 0; k < K; ++k) acc[k][0] = acc[k][1] = _mm256_setzero_ps();
        const cplx* a = g.tile(b.i0, tj);
        for (int ti = b.i0; ti < b.rows_end(tj); ++ti, a += tile_store::TILE) {
            for (int line = 0; line < 8; ++line)
                _mm_prefetch(reinterpret_cast<const char*>(a + ahead + 8 * line), _MM_HINT_T0);
            tile_avx2<K>(reinterpret_cast<const float*>(a), v, si, ti, tj, acc);
        }
        for (int k = 0; k < K; ++k)
            for (int half = 0; half < 2; ++half)
                _mm256_storeu_ps(reinterpret_cast<float*>(b.to(v[k], k, tj) + 4 * half),
                                 acc[k][half]);
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
        float* gq = reinterpret_cast<float*>(v[k].uy + W * ti);
        __m512 s = _mm512_loadu_ps(gq);
        for (int c = 0; c < W; ++c)
            s = madd8(s, col[c], cols[c], reinterpret_cast<const float*>(v[k].y + W * tj + c),
                      si.y[k].data() + W * tj + c);
        _mm512_storeu_ps(gq, s);
    }
    // Transposed sums: lanes are the tile's columns, the rows come in ascending order.
    __m512 row[8];
    transpose8(af, row);
    for (int r = 0; r < W; ++r) {
        const __m512 rows = swap8(row[r]);
        for (int k = 0; k < K; ++k)
            acc[k] =
                madd8(acc[k], row[r], rows, reinterpret_cast<const float*>(v[k].z + W * ti + r),
                      si.z[k].data() + W * ti + r);
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
        if (!scale_up(_mm512_loadu_ps(reinterpret_cast<const float*>(v[k].uy + W * ti)), s[k]) ||
            !scale_up(acc[k], t[k]))
            return false;
    scale_check ck{_mm512_set1_epi32(-1), _mm512_setzero_si512()};
    for (int k = 0; k < K; ++k)
        for (int c = 0; c < W; ++c)
            s[k] = madd8_tracked(s[k], col[c], cols[c],
                                 reinterpret_cast<const float*>(v[k].y + W * tj + c),
                                 si.y[k].data() + W * tj + c, ck);
    for (int r = 0; r < W; ++r) {
        const __m512 rows = swap8(row[r]);
        for (int k = 0; k < K; ++k)
            t[k] = madd8_tracked(t[k], row[r], rows,
                                 reinterpret_cast<const float*>(v[k].z + W * ti + r),
                                 si.z[k].data() + W * ti + r, ck);
    }
    if (!scale_held(ck)) return false;
    const __m512 down = _mm512_set1_ps(0x1p-32f);
    for (int k = 0; k < K; ++k) {
        _mm512_storeu_ps(reinterpret_cast<float*>(v[k].uy + W * ti), _mm512_mul_ps(s[k], down));
        acc[k] = _mm512_mul_ps(t[k], down);
    }
    return true;
}

// One tile of a column of tiles into its transposed sums acc: the scaled way for a marked tile
// when that holds, else the plain one.
template <int K>
__attribute__((target("avx512f"))) inline void tile_any_avx512(const tile_store& g,
                                                               const pass_vectors* v,
                                                               const signed_imag& si, int ti,
                                                               int tj, __m512 (&acc)[K]) {
    const cplx* a = g.tile(ti, tj);
    for (int line = 0; line < 8; ++line)
        _mm_prefetch(reinterpret_cast<const char*>(a + ahead + 8 * line), _MM_HINT_T0);
    const float* af = reinterpret_cast<const float*>(a);
    if (!g.marked(ti, tj) || !tile_avx512_scaled<K>(af, v, si, ti, tj, acc))
        tile_avx512<K>(af, v, si, ti, tj, acc);
}

// Columns of tiles tj..tj+P-1 of one block together: the transposed sums of P columns run side
// by side, so the chain of dependent multiply-adds down each column of tiles stalls the core
// less. With P = 2 the second column may hold one more tile of the block, the diagonal one
// (tj + 1, tj + 1): it comes last, after the rows both columns share.
template <int K, int P>
__attribute__((target("avx512f"))) void panel_avx512(const tile_store& g, const pass_vectors* v,
                                                     const signed_imag& si, const block_job& b,
                                                     int tj) {
    __m512 acc[P][K];
    for (int c = 0; c < P; ++c)
        for (int k = 0; k < K; ++k) acc[c][k] = _mm512_setzero_ps();
    const int end = b.rows_end(tj);
    for (int ti = b.i0; ti < end; ++ti)
        for (int c = 0; c < P; ++c) tile_any_avx512<K>(g, v, si, ti, tj + c, acc[c]);
    if (P == 2 && b.rows_end(tj + 1) > end) tile_any_avx512<K>(g, v, si, end, tj + 1, acc[P - 1]);
    for (int c = 0; c < P; ++c)
        for (int k = 0; k < K; ++k)
            _mm512_storeu_ps(reinterpret_cast<float*>(b.to(v[k], k, tj + c)), acc[c][k]);
}

template <int K>
__attribute__((target("avx512f"))) void block_avx512(const tile_store& g, const pass_vectors* v,
                                                     const signed_imag& si, const block_job& b) {
    zero_rows(v, K, b);
    const int nt = g.tiles();
    int tj = b.i0;
    for (; tj + 2 <= nt; tj += 2) panel_avx512<K, 2>(g, v, si, b, tj);
    if (tj < nt) panel_avx512<K, 1>(g, v, si, b, tj);
}

using vector_fn = void (*)(const tile_store&, const pass_vectors*, const signed_imag&,
                           const block_job&);
constexpr vector_fn avx2_kernels[pass_max_channels] = {block_avx2<1>, block_avx2<2>, block_avx2<3>,
                                                       block_avx2<4>, block_avx2<5>, block_avx2<6>,
                                                       block_avx2<7>, block_avx2<8>};
constexpr vector_fn avx512_kernels[pass_max_channels] = {
    block_avx512<1>, block_avx512<2>, block_avx512<3>, block_avx512<4>,
    block_avx512<5>, block_avx512<6>, block_avx512<7>, block_avx512<8>};

#endif

// One block of the pass with the chosen kernel.
void run_block(pass_kernel kernel, const tile_store& g, const pass_vectors* v, int nch,
               const signed_imag* si, const block_job& b) {
#ifdef KORVA_X86
    if (kernel == pass_kernel::avx512) return avx512_kernels[nch - 1](g, v, *si, b);
    if (kernel == pass_kernel::avx2) return avx2_kernels[nch - 1](g, v, *si, b);
#else
    (void)kernel;
    (void)si;
#endif
    block_scalar(g, v, nch, b);
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
        for (int b = 0; b < nb; ++b)
            run_block(kernel, g, v, nch, si.get(), {blocks[b], blocks[b + 1], b, ws});
        for (int tj = 0; tj < nt; ++tj) fold_column(v, nch, blocks, *ws, tj);
        return;
    }
#pragma omp parallel num_threads(threads)
    {
#pragma omp for schedule(static)
        for (int b = 0; b < nb; ++b)
            run_block(kernel, g, v, nch, si.get(), {blocks[b], blocks[b + 1], b, ws});
#pragma omp for schedule(static)
        for (int tj = 0; tj < nt; ++tj) fold_column(v, nch, blocks, *ws, tj);
    }
}

}  // namespace korva
