#include "recursion/tile_copy.hpp"

#include <algorithm>
#include <atomic>
#include <cassert>
#include <cstdint>
#include <cstring>

namespace korva {

namespace {

constexpr int W = tile_store::W;

// Whether a float's bits are those of a subnormal number: exponent field 0, fraction not 0.
inline bool subnormal_bits(std::uint32_t b) {
    return (b & 0x7F800000u) == 0 && (b & 0x007FFFFFu) != 0;
}

// Entries r..r+piece-1 of one tile column (dst: its first entry) from src[0..piece-1]; true
// when a part of one of them is subnormal.
bool piece(cplx* dst, int r, int piece, const cplx* src) {
    std::memcpy(static_cast<void*>(dst + r), src, sizeof(cplx) * static_cast<std::size_t>(piece));
    std::uint32_t bits[2 * W];
    std::memcpy(bits, src, sizeof(cplx) * static_cast<std::size_t>(piece));
    bool tiny = false;
    for (int m = 0; m < 2 * piece; ++m) tiny |= subnormal_bits(bits[m]);
    return tiny;
}

}  // namespace

void copy_block(tile_store& g, int i0, int j0, const column_block& b) {
    assert(b.rows == 0 || tile_store::kept(i0 + b.rows - 1, j0));
    const int r0 = (i0 - 1) % W;
    for (int l = 0; l < b.cols; ++l) {
        const int j = j0 + l, tj = (j - 1) / W;
        const cplx* src = b.src + static_cast<std::ptrdiff_t>(l) * b.ld;
        cplx* col = g.tile((i0 - 1) / W, tj) + W * ((j - 1) % W);
        std::atomic<unsigned char>* mark = g.mark((i0 - 1) / W, tj);
        for (int k = 0, r = r0; k < b.rows; r = 0) {
            const int len = std::min(W - r, b.rows - k);
            if (piece(col, r, len, src + k)) mark->store(1, std::memory_order_relaxed);
            k += len;
            col += tile_store::TILE;
            ++mark;
        }
    }
}

}  // namespace korva
