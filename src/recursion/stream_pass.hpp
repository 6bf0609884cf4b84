// One streaming pass over the tiled store: both products of the recursion, for every channel.
#pragma once
#include "common/types.hpp"
#include "recursion/tile_store.hpp"

namespace korva {

// The vectors of one channel, 4 * tiles() entries each (entry i of the matrix at index i - 1;
// the padding beyond the order must be zero in q and p).
struct pass_vectors {
    const cplx* q;  // in: right vector
    const cplx* p;  // in: left vector
    cplx* gq;       // out: gt q
    cplx* gtp;      // out: gt^T p
};

enum class pass_kernel {
    best,    // the vector kernel where the processor has it, otherwise the scalar one
    scalar,  // plain C++, one element at a time
    avx2,    // 256-bit vectors (only where the processor has AVX2)
};

// Largest number of channels one pass serves.
constexpr int pass_max_channels = 8;

// gq = gt q and gtp = gt^T p for channels 0..nch-1 (1 <= nch <= pass_max_channels), reading
// every tile once. Each element is a sum started from zero over all columns (rows) in
// ascending order, of the products entry x vector element, so with finite vectors it has the
// bits of the same sum over just the non-zero entries. `threads` > 1 splits the tile rows
// between threads; a thread continues the transposed sums of a column of tiles where the
// thread above it left them, so the order of every sum, and every bit of the result, does not
// depend on the number of threads.
void stream_pass(const tile_store& g, const pass_vectors* v, int nch, int threads,
                 pass_kernel kernel = pass_kernel::best);

// Whether the processor runs the avx2 kernel.
bool pass_has_avx2();

}  // namespace korva
