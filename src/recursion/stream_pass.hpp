// One streaming pass over the tiled store: both products of the recursion, for every channel.
#pragma once
#include "common/types.hpp"
#include "recursion/tile_store.hpp"

namespace korva {

// The vectors of one channel, g.padded() entries each (entry i of the matrix at index i - 1;
// the padding beyond the order must be zero in q and p).
struct pass_vectors {
    const cplx* q;  // in: right vector
    const cplx* p;  // in: left vector
    cplx* gq;       // out: gt q
    cplx* gtp;      // out: gt^T p
};

// The kernels of the pass. They give the same bits; they differ only in speed and in the
// instructions the processor must have. One build holds all of them; each is compiled for its
// own instruction set and chosen when the pass runs.
enum class pass_kernel {
    best,    // the widest kernel the processor runs
    scalar,  // plain C++ with std::fma, one element at a time; runs anywhere
    avx2,    // 256-bit vectors, half a tile column each (processors with AVX2 and FMA)
    avx512,  // 512-bit vectors, a whole tile column each (processors with AVX-512F)
};

// Largest number of channels one pass serves.
constexpr int pass_max_channels = 8;

// The complex multiply-add of both products, in every kernel and in the reference solver of
// the tests: acc + a b with a the matrix entry and b the vector element, two fused
// multiply-adds (one rounding each) per real part, the b.im term first:
//   re = fma(a.re, b.re, fma(-a.im, b.im, acc.re))
//   im = fma(a.im, b.re, fma(a.re, b.im, acc.im))
// that is acc + (i a) b.im + a b.re. Each product still is the plain bilinear one (nothing is
// conjugated); only the roundings are fewer than with separate multiplies and adds.
//
// gq = gt q and gtp = gt^T p for channels 0..nch-1 (1 <= nch <= pass_max_channels), reading
// every tile once. Each element is a sum started from zero over all columns (rows) in
// ascending order of the multiply-adds above, so with finite vectors it has the bits of the
// same sum over just the non-zero entries: a term with a zero factor adds an exact zero (the
// one exception, a partial sum that rounds to -0 from below the smallest subnormal, needs
// products near 1e-45). `threads` > 1 splits the tile rows between threads; a thread continues
// the transposed sums of a column of tiles where the thread above it left them, so the order
// of every sum, and every bit of the result, depends neither on the number of threads nor on
// the kernel. A kernel the processor lacks is replaced by the best one it has.
void stream_pass(const tile_store& g, const pass_vectors* v, int nch, int threads,
                 pass_kernel kernel = pass_kernel::best);

// Whether the processor runs the kernel (best and scalar: always).
bool pass_available(pass_kernel kernel);

// The kernel a pass with `kernel` runs: `kernel` itself when the processor has it, otherwise
// (and for best) the widest available one.
pass_kernel pass_kernel_used(pass_kernel kernel = pass_kernel::best);

// "scalar", "avx2", "avx512" or "best".
const char* pass_kernel_name(pass_kernel kernel);

}  // namespace korva
