// One streaming pass over the half store: the products of its stored triangle U and of U's
// transpose, for every channel, reading each stored tile once.
#pragma once
#include <vector>

#include "common/types.hpp"
#include "recursion/tile_store.hpp"

namespace korva {

// The vectors of one channel of a pass, g.padded() entries each (entry i of the matrix at index
// i - 1; the padding beyond the order must be zero in y and z).
struct pass_vectors {
    const cplx* y;  // in: multiplies U
    const cplx* z;  // in: multiplies U^T
    cplx* uy;       // out: U y
    cplx* utz;      // out: U^T z
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

// The blocks of tile rows whose transposed sums are taken apart: block k is tile rows
// b[k] .. b[k+1]-1, b[0] = 0 and b.back() = nt, strictly increasing. They depend on nt only
// (at most 48 blocks, each about as many stored tiles as the others), so the sums below do not
// depend on the threads.
std::vector<int> pass_row_blocks(int nt);

// What a pass keeps between calls: the blocks' partial transposed sums. A recursion holds one
// for all its passes; a pass without one makes its own.
class pass_workspace {
  public:
    cplx* at(int k, int block, int tj) {
        return data_.data() + ((static_cast<std::size_t>(k) * blocks_ + block) * nt_ + tj) * 8;
    }
    void prepare(int nch, int blocks, int nt) {
        blocks_ = blocks;
        nt_ = nt;
        const std::size_t need = static_cast<std::size_t>(nch) * blocks * nt * 8;
        if (data_.size() < need) data_.resize(need);
    }

  private:
    std::vector<cplx> data_;
    int blocks_ = 0, nt_ = 0;
};

// The complex multiply-add of both products, in every kernel and in the reference of the
// tests: acc + a b with a the matrix entry and b the vector element, two fused multiply-adds
// (one rounding each) per real part, the b.im term first:
//   re = fma(a.re, b.re, fma(-a.im, b.im, acc.re))
//   im = fma(a.im, b.re, fma(a.re, b.im, acc.im))
// that is acc + (i a) b.im + a b.re. Each product still is the plain bilinear one (nothing is
// conjugated); only the roundings are fewer than with separate multiplies and adds.
//
// uy = U y and utz = U^T z for channels 0..nch-1 (1 <= nch <= pass_max_channels), over every
// stored entry (the padded triangle of tiles, zeros included):
// - (U y)_i runs from zero over the stored tiles of row i in ascending order; within a tile its
//   eight columns go into four chains t_c of columns c and c + 4 (t_0 from the running sum,
//   the others from zero: four short chains of dependent multiply-adds instead of one long
//   one), added as (t_0 + t_2) + (t_1 + t_3);
// - (U^T z)_j is taken block by block of tile rows (pass_row_blocks): within a block eight sums
//   from zero, lane r = 0..7 over its stored rows i of column j with i - 1 = r mod 8 in
//   ascending order (a lane of a vector, tile after tile, needs no transpose of the tile),
//   added as ((p0 + p4) + (p2 + p6)) + ((p1 + p5) + (p3 + p7)); then the first block's sum
//   plus the next block's, and so on in block order (blocks below column j's tile row take
//   no part).
// With finite vectors a sum has the bits of the same sum over just the non-zero entries: a term
// with a zero factor adds an exact zero (the one exception, a partial sum that rounds to -0
// from below the smallest subnormal, needs products near 1e-45). `threads` > 1 share the blocks
// and then the columns of the last step; every bit of the result depends neither on the number
// of threads nor on the kernel. A kernel the processor lacks is replaced by the best one it has.
void stream_pass(const tile_store& g, const pass_vectors* v, int nch, int threads,
                 pass_kernel kernel = pass_kernel::best, pass_workspace* ws = nullptr);

// Whether the processor runs the kernel (best and scalar: always).
bool pass_available(pass_kernel kernel);

// The kernel a pass with `kernel` runs: `kernel` itself when the processor has it, otherwise
// (and for best) the widest available one.
pass_kernel pass_kernel_used(pass_kernel kernel = pass_kernel::best);

// "scalar", "avx2", "avx512" or "best".
const char* pass_kernel_name(pass_kernel kernel);

}  // namespace korva
