// The recursion of several channels of one matrix at once, one streaming pass per level.
#pragma once
#include <string>
#include <vector>

#include "recursion/haykor.hpp"
#include "recursion/stream_pass.hpp"
#include "recursion/tile_store.hpp"

namespace korva {

// For each channel r of `channels` (1 <= r <= g.order()), what haykor gives for the same
// matrix in a matrix_store with its row lists rebuilt: the same niter, s and err, bit for
// bit, and at print level iout > 2 the same A and B lines, collected per channel in `lines`
// (one string per channel, in the order of `channels`) instead of written.
//
// The channels advance together: each level reads the matrix once for both products of every
// channel still running; a channel leaves when its own test stops it. `threads` share each pass.
std::vector<haykor_result> haykor_multi(const tile_store& g, const std::vector<int>& channels,
                                        int minlev, int maxlev, real eps, int iout,
                                        std::vector<std::string>& lines, int threads,
                                        pass_kernel kernel = pass_kernel::best);

}  // namespace korva
