// The assembly's block copies: std::complex's bits in every kernel, wherever the block starts
// and ends within the tiles, and nothing written outside it.
#include "recursion/tile_copy.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <iostream>
#include <limits>
#include <random>
#include <vector>

#include "support/kernels.hpp"

namespace korva {
namespace {

bool same_bits(cplx a, cplx b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// The block's inputs: a column-major source with values whose plain product has a NaN (an
// overflow into inf - inf in one part, and (inf, inf) times a real amplitude, NaN in both
// parts, which std::complex turns into (inf, inf)), amplitudes and signs.
struct block_inputs {
    static constexpr int ld = 40;
    std::vector<cplx> src = std::vector<cplx>(ld * ld), t = std::vector<cplx>(ld);
    std::vector<real> col_sign, row_sign2;
    block_inputs() {
        std::mt19937 gen(3);
        std::uniform_real_distribution<float> u(-3.0f, 3.0f);
        for (cplx& z : src) z = cplx(u(gen), u(gen));
        for (cplx& z : t) z = cplx(u(gen), u(gen));
        const float inf = std::numeric_limits<float>::infinity();
        src[9 + 2 * ld] = cplx(3e38f, 3e38f);
        src[5 + 3 * ld] = cplx(inf, inf);
        t[3] = cplx(2.0f, 0.0f);
        for (int k = 0; k < ld; ++k) {
            col_sign.push_back(k % 2 ? -1.0f : 1.0f);
            row_sign2.insert(row_sign2.end(), 2, k % 3 ? 1.0f : -1.0f);
        }
    }
    scaled_block block(int rows, int cols, bool sg) const {
        return {src.data(),
                ld,
                rows,
                cols,
                t.data(),
                sg ? row_sign2.data() : nullptr,
                sg ? col_sign.data() : nullptr};
    }
    // What entry (k, l) of the block must hold.
    cplx want(int k, int l, bool sg) const {
        const cplx z = src[k + l * ld] * t[l];
        return sg ? (col_sign[l] * row_sign2[2 * k]) * z : z;
    }
};

TEST(TileCopy, EveryKernelGivesTheBitsOfStdComplex) {
    const std::vector<pass_kernel> kernels = test::kernels_here();
    const block_inputs in;
    const int n = 60;
    for (pass_kernel kern : kernels)
        for (int i0 : {1, 4, 9, 15})
            for (int j0 : {2, 8})
                for (int rows : {1, 7, 8, 17, 31})
                    for (int cols : {1, 6, 13})
                        for (bool sg : {false, true}) {
                            tile_store g(n);
                            g.reshape(n);
                            copy_block(g, i0, j0, in.block(rows, cols, sg), kern);
                            int wrong = 0;
                            for (int j = 1; j <= n; ++j)
                                for (int i = 1; i <= n; ++i) {
                                    const int k = i - i0, l = j - j0;
                                    const bool in_block = k >= 0 && k < rows && l >= 0 && l < cols;
                                    const cplx unit = i == j ? cplx(1.0f, 0.0f) : cplx(0.0f, 0.0f);
                                    wrong +=
                                        !same_bits(g.gt(i, j), in_block ? in.want(k, l, sg) : unit);
                                }
                            ASSERT_EQ(wrong, 0) << "kernel=" << pass_kernel_name(kern)
                                                << " i0=" << i0 << " j0=" << j0 << " rows=" << rows
                                                << " cols=" << cols << " signed=" << sg;
                        }
}

}  // namespace
}  // namespace korva
