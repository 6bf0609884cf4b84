// Scaled copies of column-major blocks into the tiled store: how the assembly writes the
// propagator blocks, at the speed of writing memory.
#pragma once
#include "common/types.hpp"
#include "recursion/stream_pass.hpp"
#include "recursion/tile_store.hpp"

namespace korva {

// What multiplies the entries of one column.
struct column_scale {
    cplx t;                       // every entry: the amplitude of the column's channel
    const real* sign2 = nullptr;  // per entry k, or none: +-1 at 2k and again at 2k + 1
    real s = 1.0f;                // with sign2: +-1 for the whole column
};

// Writes len entries down column j of g from row i0 (1-based, within the order): entry
// i0 + k becomes src[k] t, or with sign2 (s sign2[2k]) (src[k] t). The products are those of
// std::complex, bit for bit (including its treatment of infinities: a piece whose plain
// product has a NaN is redone with std::complex). The column runs through the tiles in pieces
// of 8 entries; `kernel` picks the vector width as for the pass (a kernel the processor lacks
// is replaced by the best one it has). Resolve best once with pass_kernel_used() for many
// calls: it reads the environment.
void copy_down_column(tile_store& g, int i0, int j, int len, const cplx* src, const column_scale& f,
                      pass_kernel kernel = pass_kernel::best);

}  // namespace korva
