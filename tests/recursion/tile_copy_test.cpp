// The assembly's block copies: every entry unchanged in every kernel wherever the block starts
// and ends within the tiles, nothing written outside it, and the tiles that get subnormal parts
// marked.
#include "recursion/tile_copy.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "support/kernels.hpp"

namespace korva {
namespace {

bool same_bits(cplx a, cplx b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

TEST(TileCopy, BlocksArriveUnchangedAndMarkTheirSubnormalTiles) {
    constexpr int ld = 40;
    std::vector<cplx> src(ld * ld);
    std::mt19937 gen(3);
    std::uniform_real_distribution<float> u(-3.0f, 3.0f);
    for (cplx& z : src) z = cplx(u(gen), u(gen));
    src[9 + 2 * ld] = cplx(1e-40f, -0.0f);  // a subnormal part: entry (9, 2) of the block
    const int n = 80;
    for (pass_kernel kern : test::kernels_here())
        for (int i0 : {1, 4, 9, 15})
            for (int j0 : {48, 55})
                for (int rows : {1, 7, 8, 17, 31})
                    for (int cols : {1, 6, 13}) {
                        tile_store g(n);
                        g.reshape(n);
                        copy_block(g, i0, j0, {src.data(), ld, rows, cols}, kern);
                        int wrong = 0;
                        for (int j = 1; j <= n; ++j)
                            for (int i = 1; i <= j; ++i) {
                                if (!tile_store::kept(i, j)) continue;
                                const int k = i - i0, l = j - j0;
                                const bool in_block = k >= 0 && k < rows && l >= 0 && l < cols;
                                wrong += !same_bits(g.upper(i, j),
                                                    in_block ? src[k + l * ld] : cplx(0.0f, 0.0f));
                            }
                        ASSERT_EQ(wrong, 0)
                            << "i0=" << i0 << " j0=" << j0 << " rows=" << rows << " cols=" << cols;
                        const bool tiny = rows > 9 && cols > 2;
                        for (int tj = 0; tj < g.tiles(); ++tj)
                            for (int ti = 0; ti <= tj; ++ti)
                                EXPECT_EQ(g.marked(ti, tj),
                                          tiny && ti == (i0 + 8) / 8 && tj == (j0 + 1) / 8)
                                    << ti << "," << tj;
                    }
}

}  // namespace
}  // namespace korva
