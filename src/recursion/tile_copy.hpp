// Copies of column-major blocks into the half store: how the assembly writes the propagator
// blocks, at the speed of writing memory.
#pragma once
#include "common/types.hpp"
#include "recursion/stream_pass.hpp"
#include "recursion/tile_store.hpp"

namespace korva {

// A column-major block: entry (k, l) at src[k + l ld], k = 0..rows-1, l = 0..cols-1.
struct column_block {
    const cplx* src;
    int ld, rows, cols;
};

// Writes the block into g's stored half with its first entry at (i0, j0) (1-based, within the
// order; every entry must be kept: tile of i0 + rows - 1 at most that of j0), unchanged. Each
// column runs down the tiles in pieces of up to 8 entries, one tile apart. A tile that
// receives a subnormal part gets its mark (the marks of other tiles are left as they are).
// `kernel` picks the vector width as for the pass (best, or a kernel the processor lacks,
// becomes the one pass_kernel_used gives; resolve it once for many calls: that reads the
// processor's features); every kernel writes the same bits.
void copy_block(tile_store& g, int i0, int j0, const column_block& b,
                pass_kernel kernel = pass_kernel::best);

}  // namespace korva
