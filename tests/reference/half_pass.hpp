// The exact reference of the streaming pass over the half store: plain loops over its stored
// entries, one element at a time, the sums in the pass's order (recursion/stream_pass.hpp).
#pragma once
#include <vector>

#include "common/types.hpp"
#include "recursion/tile_store.hpp"

namespace korva::reference {

// uy = U y and utz = U^T z over every stored entry of g (the padded triangle of tiles), vectors
// 0-based and g.padded() long: (U y)_i one sum from zero over the stored columns of row i in
// ascending order; (U^T z)_j the sums from zero over the stored rows of column j within each
// block of tile rows (pass_row_blocks), ascending, then the first block's sum plus the next
// ones' in block order. Every multiply-add is fused_madd (reference/haykor.hpp).
void half_products(const tile_store& g, const std::vector<cplx>& y, const std::vector<cplx>& z,
                   std::vector<cplx>& uy, std::vector<cplx>& utz);

}  // namespace korva::reference
