// The assembly's column copies: std::complex's bits in every kernel, whatever the column's
// start and length within the tiles, and nothing written outside the column's segment.
#include "recursion/tile_copy.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <iostream>
#include <limits>
#include <random>
#include <vector>

namespace korva {
namespace {

bool same_bits(cplx a, cplx b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

TEST(TileCopy, EveryKernelGivesTheBitsOfStdComplex) {
    std::vector<pass_kernel> kernels;
    for (pass_kernel k : {pass_kernel::scalar, pass_kernel::avx2, pass_kernel::avx512}) {
        if (pass_available(k))
            kernels.push_back(k);
        else
            std::cout << "[   note   ] kernel " << pass_kernel_name(k)
                      << " not checked: this processor lacks its instructions\n";
    }
    const int n = 45;
    std::mt19937 gen(3);
    std::uniform_real_distribution<float> u(-3.0f, 3.0f);
    const float inf = std::numeric_limits<float>::infinity();
    std::vector<cplx> src(n);
    for (cplx& z : src) z = cplx(u(gen), u(gen));
    // Values whose plain product has a NaN: an overflow into inf - inf in one part, and (inf,
    // inf) times a real amplitude, NaN in both parts, which std::complex turns into (inf, inf).
    src[9] = cplx(3e38f, 3e38f);
    src[5] = cplx(inf, inf);
    const cplx t(2.5f, -1.75f), real_t(2.0f, 0.0f);
    std::vector<real> sign2;
    for (int k = 0; k < n; ++k) sign2.insert(sign2.end(), 2, k % 3 == 0 ? -1.0f : 1.0f);
    for (pass_kernel kern : kernels)
        for (int i0 : {1, 4, 8, 9, 15})
            for (int len : {1, 3, 7, 8, 9, 17, 31})
                for (int signed_copy = 0; signed_copy < 2; ++signed_copy) {
                    const cplx tt = len == 17 ? real_t : t;
                    tile_store g(n + 7);
                    g.reshape(n + 7);
                    const int j = 11;
                    const column_scale f{tt, signed_copy ? sign2.data() : nullptr, -1.0f};
                    copy_down_column(g, i0, j, len, src.data(), f, kern);
                    for (int i = 1; i <= n + 7; ++i) {
                        const int k = i - i0;
                        cplx want = i == j ? cplx(1.0f, 0.0f) : cplx(0.0f, 0.0f);
                        if (k >= 0 && k < len)
                            want =
                                signed_copy ? (-1.0f * sign2[2 * k]) * (src[k] * tt) : src[k] * tt;
                        ASSERT_TRUE(same_bits(g.gt(i, j), want))
                            << "kernel=" << pass_kernel_name(kern) << " i0=" << i0 << " len=" << len
                            << " i=" << i << " signed=" << signed_copy;
                        if (i != j + 1) {
                            ASSERT_EQ(g.gt(i, j + 1), cplx(0.0f, 0.0f));  // the next column
                        }
                    }
                }
}

}  // namespace
}  // namespace korva
