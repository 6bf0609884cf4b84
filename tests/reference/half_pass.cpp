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
    // Row i (1-based) keeps the columns from the first of its own tile on; tile by tile four
    // chains of columns c and c + 4 (the first from the running sum), added as
    // (t0 + t2) + (t1 + t3).
    for (int i = 1; i <= np; ++i) {
        cplx sum = zero;
        for (int j0 = (i - 1) / w * w + 1; j0 <= np; j0 += w) {
            cplx t[4] = {sum, zero, zero, zero};
            for (int c = 0; c < w; ++c)
                t[c % 4] = fused_madd(t[c % 4], g.upper(i, j0 + c), y[j0 + c - 1]);
            sum = (t[0] + t[2]) + (t[1] + t[3]);
        }
        uy[i - 1] = sum;
    }
    const std::vector<int> blocks = pass_row_blocks(g.tiles());
    for (int j = 1; j <= np; ++j) {
        const int last = (j - 1) / w * w + w;  // the last row column j keeps
        for (std::size_t b = 0; b + 1 < blocks.size() && w * blocks[b] < last; ++b) {
            // Lane r: the block's rows i = r + 1 mod 8, ascending.
            cplx p[8];
            for (int r = 0; r < w; ++r) {
                p[r] = zero;
                for (int i = w * blocks[b] + r + 1; i <= std::min(w * blocks[b + 1], last); i += w)
                    p[r] = fused_madd(p[r], g.upper(i, j), z[i - 1]);
            }
            const cplx sum = ((p[0] + p[4]) + (p[2] + p[6])) + ((p[1] + p[5]) + (p[3] + p[7]));
            utz[j - 1] = b == 0 ? sum : utz[j - 1] + sum;
        }
    }
}

}  // namespace korva::reference
