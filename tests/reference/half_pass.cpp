#include "reference/half_pass.hpp"

#include "recursion/stream_pass.hpp"
#include "reference/haykor.hpp"

namespace korva::reference {

void half_products(const tile_store& g, const std::vector<cplx>& y, const std::vector<cplx>& z,
                   std::vector<cplx>& uy, std::vector<cplx>& utz) {
    const int w = tile_store::W, np = static_cast<int>(g.padded());
    const cplx zero(0.0f, 0.0f);
    uy.assign(np, zero);
    utz.assign(np, zero);
    // Row i (1-based) keeps the columns from the first of its own tile on.
    for (int i = 1; i <= np; ++i) {
        cplx sum = zero;
        for (int j = (i - 1) / w * w + 1; j <= np; ++j)
            sum = fused_madd(sum, g.upper(i, j), y[j - 1]);
        uy[i - 1] = sum;
    }
    const std::vector<int> blocks = pass_row_blocks(g.tiles());
    for (int j = 1; j <= np; ++j) {
        const int last = (j - 1) / w * w + w;  // the last row column j keeps
        for (std::size_t b = 0; b + 1 < blocks.size() && w * blocks[b] < last; ++b) {
            cplx sum = zero;
            for (int i = w * blocks[b] + 1; i <= std::min(w * blocks[b + 1], last); ++i)
                sum = fused_madd(sum, g.upper(i, j), z[i - 1]);
            utz[j - 1] = b == 0 ? sum : utz[j - 1] + sum;
        }
    }
}

}  // namespace korva::reference
