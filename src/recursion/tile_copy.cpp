#include "recursion/tile_copy.hpp"

#include <algorithm>
#include <atomic>
#include <cassert>
#include <cstdint>
#include <cstring>

#include "recursion/simd.hpp"

namespace korva {

namespace {

constexpr int W = tile_store::W;

void set(std::atomic<unsigned char>* mark) {
    mark->store(1, std::memory_order_relaxed);
}

// Entries r..r+piece-1 of one tile column (dst: its first entry) from src[0..piece-1]; true
// when a part of one of them is subnormal: exponent field 0, fraction not 0.
bool piece_scalar(cplx* dst, int r, int piece, const cplx* src) {
    const float* s = reinterpret_cast<const float*>(src);
    float* d = reinterpret_cast<float*>(dst + r);
    bool tiny = false;
    for (int m = 0; m < 2 * piece; ++m) {
        std::uint32_t b;
        std::memcpy(&b, s + m, sizeof b);
        d[m] = s[m];
        tiny = tiny || ((b & 0x7F800000u) == 0 && (b & 0x007FFFFFu) != 0);
    }
    return tiny;
}

// One column of the block from row r of its first tile on, `len` entries, down the tiles.
void column_scalar(cplx* col, int r, int len, const cplx* src, std::atomic<unsigned char>* mark) {
    for (int k = 0; k < len; r = 0) {
        const int piece = std::min(W - r, len - k);
        if (piece_scalar(col, r, piece, src + k)) set(mark);
        k += piece;
        col += tile_store::TILE;
        ++mark;
    }
}

#ifdef KORVA_X86

// A piece is one masked load and store of a tile column.
__attribute__((target("avx512f"))) void column_avx512(cplx* col, int r, int len, const cplx* src,
                                                      std::atomic<unsigned char>* mark) {
    const __m512i exponent = _mm512_set1_epi32(0x7F800000),
                  fraction = _mm512_set1_epi32(0x007FFFFF);
    for (int k = 0; k < len; r = 0) {
        const int piece = std::min(W - r, len - k);
        const __mmask16 m = static_cast<__mmask16>(((1u << (2 * piece)) - 1) << (2 * r));
        const __m512i bits = _mm512_maskz_loadu_epi32(m, src + k - r);
        _mm512_mask_storeu_epi32(col, m, bits);
        const __mmask16 zero_exp = _mm512_mask_testn_epi32_mask(m, bits, exponent);
        if (_mm512_mask_test_epi32_mask(zero_exp, bits, fraction)) set(mark);
        k += piece;
        col += tile_store::TILE;
        ++mark;
    }
}

// The same with 256-bit vectors: a tile column in two halves of four entries.
__attribute__((target("avx2"))) void column_avx2(cplx* col, int r, int len, const cplx* src,
                                                 std::atomic<unsigned char>* mark) {
    const __m256i exponent = _mm256_set1_epi32(0x7F800000),
                  fraction = _mm256_set1_epi32(0x007FFFFF), zero = _mm256_setzero_si256();
    const __m256i lane = _mm256_setr_epi32(0, 0, 1, 1, 2, 2, 3, 3);  // entry of each float
    for (int k = 0; k < len; r = 0) {
        const int piece = std::min(W - r, len - k);
        bool tiny = false;
        for (int h = 0; h < 2; ++h) {
            // Entries 4h..4h+3 of the tile column that lie in r..r+piece-1.
            const __m256i e = _mm256_add_epi32(lane, _mm256_set1_epi32(4 * h));
            const __m256i m = _mm256_and_si256(_mm256_cmpgt_epi32(e, _mm256_set1_epi32(r - 1)),
                                               _mm256_cmpgt_epi32(_mm256_set1_epi32(r + piece), e));
            const int* from = reinterpret_cast<const int*>(src + k - r + 4 * h);
            const __m256i bits = _mm256_maskload_epi32(from, m);
            _mm256_maskstore_epi32(reinterpret_cast<int*>(col + 4 * h), m, bits);
            // Masked-off lanes hold 0, which is not subnormal.
            const __m256i zero_exp = _mm256_cmpeq_epi32(_mm256_and_si256(bits, exponent), zero);
            const __m256i no_frac = _mm256_cmpeq_epi32(_mm256_and_si256(bits, fraction), zero);
            tiny = tiny || _mm256_movemask_epi8(_mm256_andnot_si256(no_frac, zero_exp)) != 0;
        }
        if (tiny) set(mark);
        k += piece;
        col += tile_store::TILE;
        ++mark;
    }
}

#endif

using column_fn = void (*)(cplx*, int, int, const cplx*, std::atomic<unsigned char>*);

column_fn column_kernel(pass_kernel kernel) {
    if (kernel == pass_kernel::best || !pass_available(kernel)) kernel = pass_kernel_used(kernel);
#ifdef KORVA_X86
    if (kernel == pass_kernel::avx512) return column_avx512;
    if (kernel == pass_kernel::avx2) return column_avx2;
#endif
    return column_scalar;
}

}  // namespace

void copy_block(tile_store& g, int i0, int j0, const column_block& b, pass_kernel kernel) {
    assert(b.rows == 0 || tile_store::kept(i0 + b.rows - 1, j0));
    const column_fn copy = column_kernel(kernel);
    const int r = (i0 - 1) % W, ti = (i0 - 1) / W;
    for (int l = 0; l < b.cols; ++l) {
        const int j = j0 + l, tj = (j - 1) / W;
        copy(g.tile(ti, tj) + W * ((j - 1) % W), r, b.rows,
             b.src + static_cast<std::ptrdiff_t>(l) * b.ld, g.mark(ti, tj));
    }
}

}  // namespace korva
