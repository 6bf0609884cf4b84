// The exact reference of the streaming pass over the half store: plain loops over its stored
// entries, one element at a time, the sums in the pass's order (recursion/stream_pass.hpp).
#pragma once
#include <vector>

#include "common/types.hpp"
#include "recursion/tile_store.hpp"

namespace korva::reference {

// uy = U y and utz = U^T z over every stored entry of g (the padded triangle of tiles), vectors
// 0-based and g.padded() long: (U y)_i from zero over the stored tiles of row i in ascending
// order, each tile's eight columns in four chains t_c of columns c and c + 4 (t_0 from the
// running sum, the others from zero), added as (t_0 + t_2) + (t_1 + t_3); (U^T z)_j within each block of tile rows (pass_row_blocks) eight sums from
// zero, lane r over the block's stored rows of column j that are r + 1 mod 8, ascending, added
// as ((p0 + p4) + (p2 + p6)) + ((p1 + p5) + (p3 + p7)); then the first block's sum plus the next
// ones' in block order. Every multiply-add is fused_madd (reference/haykor.hpp).
void half_products(const tile_store& g, const std::vector<cplx>& y, const std::vector<cplx>& z,
                   std::vector<cplx>& uy, std::vector<cplx>& utz);

}  // namespace korva::reference
