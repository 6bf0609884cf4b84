// Scaled copies of column-major blocks into the tiled store: how the assembly writes the
// propagator blocks, at the speed of writing memory.
#pragma once
#include "common/types.hpp"
#include "recursion/stream_pass.hpp"
#include "recursion/tile_store.hpp"

namespace korva {

// A column-major block and what multiplies its entries.
struct scaled_block {
    const cplx* src;  // entry (k, l) at src[k + l ld], k = 0..rows-1, l = 0..cols-1
    int ld, rows, cols;
    const cplx* t;                    // per column l: the amplitude of the column's channel
    const real* row_sign2 = nullptr;  // per row k, or none: +-1 at 2k and again at 2k + 1
    const real* col_sign = nullptr;   // per column l, with row_sign2: +-1
};

// Writes the block into g with its first entry at (i0, j0) (1-based, within the order): entry
// (k, l) becomes src(k, l) t[l], or with signs (col_sign[l] row_sign2[2k]) (src(k, l) t[l]).
// The products are those of std::complex, bit for bit (including its treatment of
// infinities: a piece whose plain product has a NaN is redone with std::complex). Each column
// runs down the tiles in pieces of up to 8 entries, one tile apart. A tile that receives a
// subnormal part gets its mark (the marks of other tiles are left as they are).
// `kernel` picks the vector width as for the pass (best, or a kernel the processor lacks,
// becomes the one pass_kernel_used gives; resolve it once for many calls: that reads the
// environment).
void copy_block(tile_store& g, int i0, int j0, const scaled_block& b,
                pass_kernel kernel = pass_kernel::best);

}  // namespace korva
