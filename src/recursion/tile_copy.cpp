#include "recursion/tile_copy.hpp"

#include <algorithm>
#include <atomic>
#include <cmath>

#include "recursion/simd.hpp"

namespace korva {

namespace {

constexpr int W = tile_store::W;

// What multiplies the entries of one column: t, and with sign2 the signs s sign2[2k]; and the
// mark of the column's first tile (the next tiles' marks follow it).
struct column_scale {
    cplx t;
    const real* sign2 = nullptr;
    real s = 1.0f;
    std::atomic<unsigned char>* mark = nullptr;
};

void set(std::atomic<unsigned char>* mark) {
    mark->store(1, std::memory_order_relaxed);
}

// Entries r..r+piece-1 of one tile column (dst: its first entry) from src[0..piece-1]; the
// tile's mark set when one of them is subnormal.
void piece_scalar(cplx* dst, int r, int piece, const cplx* src, const column_scale& f,
                  const real* sign2, std::atomic<unsigned char>* mark) {
    bool tiny = false;
    for (int m = 0; m < piece; ++m) {
        const cplx z = sign2 ? (f.s * sign2[2 * m]) * (src[m] * f.t) : src[m] * f.t;
        dst[r + m] = z;
        tiny = tiny || std::fpclassify(z.real()) == FP_SUBNORMAL ||
               std::fpclassify(z.imag()) == FP_SUBNORMAL;
    }
    if (tiny) set(mark);
}

#ifdef KORVA_X86

// The plain product, as std::complex computes it when no NaN comes out:
// (a.re t.re - a.im t.im, a.im t.re + a.re t.im), each product and sum rounded on its own;
// tre = (t.re, t.re), tim = (-t.im, t.im) pairs.
__attribute__((target("avx512f"))) void column_avx512(cplx* col, int r, int len, const cplx* src,
                                                      const column_scale& f) {
    const __m512 tre = _mm512_set1_ps(f.t.real());
    const float ti = f.t.imag();
    const __m512 tims =
        _mm512_setr_ps(-ti, ti, -ti, ti, -ti, ti, -ti, ti, -ti, ti, -ti, ti, -ti, ti, -ti, ti);
    const __m512 s = _mm512_set1_ps(f.s);
    const __m512i exponent = _mm512_set1_epi32(0x7F800000),
                  fraction = _mm512_set1_epi32(0x007FFFFF);
    std::atomic<unsigned char>* mark = f.mark;
    for (int k = 0; k < len; r = 0) {
        const int piece = std::min(W - r, len - k);
        const __mmask16 m = static_cast<__mmask16>(((1u << (2 * piece)) - 1) << (2 * r));
        const __m512 a = _mm512_maskz_loadu_ps(m, reinterpret_cast<const float*>(src + k - r));
        __m512 z =
            _mm512_add_ps(_mm512_mul_ps(a, tre), _mm512_mul_ps(_mm512_permute_ps(a, 0xB1), tims));
        if (f.sign2)
            z = _mm512_mul_ps(_mm512_mul_ps(s, _mm512_maskz_loadu_ps(m, f.sign2 + 2 * (k - r))), z);
        if (_mm512_mask_cmp_ps_mask(m, z, z, _CMP_UNORD_Q)) {
            piece_scalar(col, r, piece, src + k, f, f.sign2 ? f.sign2 + 2 * k : nullptr, mark);
        } else {
            _mm512_mask_storeu_ps(reinterpret_cast<float*>(col), m, z);
            // Subnormal parts: exponent field 0, fraction not 0.
            const __m512i bits = _mm512_castps_si512(z);
            const __mmask16 zero_exp = _mm512_mask_testn_epi32_mask(m, bits, exponent);
            if (_mm512_mask_test_epi32_mask(zero_exp, bits, fraction)) set(mark);
        }
        k += piece;
        col += tile_store::TILE;
        ++mark;
    }
}

// Stores the two halves of a tile column's piece under their masks; true when a part of an
// entry is subnormal: exponent field 0, fraction not 0 (masked-off lanes hold 0).
__attribute__((target("avx2"))) bool store_avx2(cplx* col, const __m256i m[2], const __m256 z[2]) {
    const __m256i exponent = _mm256_set1_epi32(0x7F800000),
                  fraction = _mm256_set1_epi32(0x007FFFFF);
    const __m256i zero = _mm256_setzero_si256();
    bool tiny = false;
    for (int h = 0; h < 2; ++h) {
        _mm256_maskstore_ps(reinterpret_cast<float*>(col + 4 * h), m[h], z[h]);
        const __m256i bits = _mm256_castps_si256(z[h]);
        const __m256i zero_exp = _mm256_cmpeq_epi32(_mm256_and_si256(bits, exponent), zero);
        const __m256i no_frac = _mm256_cmpeq_epi32(_mm256_and_si256(bits, fraction), zero);
        tiny = tiny || _mm256_movemask_epi8(_mm256_andnot_si256(no_frac, zero_exp)) != 0;
    }
    return tiny;
}

// The same with 256-bit vectors: a tile column in two halves of four entries.
__attribute__((target("avx2"))) void column_avx2(cplx* col, int r, int len, const cplx* src,
                                                 const column_scale& f) {
    const __m256 tre = _mm256_set1_ps(f.t.real());
    const float ti = f.t.imag();
    const __m256 tims = _mm256_setr_ps(-ti, ti, -ti, ti, -ti, ti, -ti, ti);
    const __m256 s = _mm256_set1_ps(f.s);
    const __m256i lane = _mm256_setr_epi32(0, 0, 1, 1, 2, 2, 3, 3);  // entry of each float
    std::atomic<unsigned char>* mark = f.mark;
    for (int k = 0; k < len; r = 0) {
        const int piece = std::min(W - r, len - k);
        bool redo = false;
        __m256 z[2];
        __m256i m[2];
        for (int h = 0; h < 2; ++h) {
            // Entries 4h..4h+3 of the tile column that lie in r..r+piece-1.
            const __m256i e = _mm256_add_epi32(lane, _mm256_set1_epi32(4 * h));
            m[h] = _mm256_and_si256(_mm256_cmpgt_epi32(e, _mm256_set1_epi32(r - 1)),
                                    _mm256_cmpgt_epi32(_mm256_set1_epi32(r + piece), e));
            const float* from = reinterpret_cast<const float*>(src + k - r + 4 * h);
            const __m256 a = _mm256_maskload_ps(from, m[h]);
            z[h] = _mm256_add_ps(_mm256_mul_ps(a, tre),
                                 _mm256_mul_ps(_mm256_permute_ps(a, 0xB1), tims));
            if (f.sign2)
                z[h] = _mm256_mul_ps(
                    _mm256_mul_ps(s, _mm256_maskload_ps(f.sign2 + 2 * (k - r + 4 * h), m[h])),
                    z[h]);
            const __m256 nan =
                _mm256_and_ps(_mm256_cmp_ps(z[h], z[h], _CMP_UNORD_Q), _mm256_castsi256_ps(m[h]));
            redo = redo || _mm256_movemask_ps(nan) != 0;
        }
        if (redo)
            piece_scalar(col, r, piece, src + k, f, f.sign2 ? f.sign2 + 2 * k : nullptr, mark);
        else if (store_avx2(col, m, z))
            set(mark);
        k += piece;
        col += tile_store::TILE;
        ++mark;
    }
}

#endif

void column_scalar(cplx* col, int r, int len, const cplx* src, const column_scale& f) {
    std::atomic<unsigned char>* mark = f.mark;
    for (int k = 0; k < len; r = 0) {
        const int piece = std::min(W - r, len - k);
        piece_scalar(col, r, piece, src + k, f, f.sign2 ? f.sign2 + 2 * k : nullptr, mark);
        k += piece;
        col += tile_store::TILE;
        ++mark;
    }
}

using column_fn = void (*)(cplx*, int, int, const cplx*, const column_scale&);

column_fn column_kernel(pass_kernel kernel) {
    if (kernel == pass_kernel::best || !pass_available(kernel)) kernel = pass_kernel_used(kernel);
#ifdef KORVA_X86
    if (kernel == pass_kernel::avx512) return column_avx512;
    if (kernel == pass_kernel::avx2) return column_avx2;
#endif
    return column_scalar;
}

}  // namespace

void copy_block(tile_store& g, int i0, int j0, const scaled_block& b, pass_kernel kernel) {
    const column_fn copy = column_kernel(kernel);
    // Column j0 + l from row i0 on: the first piece's tile column, the row of i0 within it.
    const int r = (i0 - 1) % W;
    for (int l = 0; l < b.cols; ++l) {
        const int j = j0 + l;
        cplx* col = g.tile((i0 - 1) / W, (j - 1) / W) + W * ((j - 1) % W);
        const column_scale f{b.t[l], b.row_sign2, b.col_sign ? b.col_sign[l] : 1.0f,
                             g.mark((i0 - 1) / W, (j - 1) / W)};
        copy(col, r, b.rows, b.src + static_cast<std::ptrdiff_t>(l) * b.ld, f);
    }
}

}  // namespace korva
