#include "driver/assembly.hpp"

#include <gtest/gtest.h>

#include <sstream>

#include "common/channels.hpp"
#include "propagator/prop1.hpp"

namespace korva {
namespace {

// Two atoms on the z axis: atom 1 of phase set 1 (cut-off 2), atom 2 of set 2 (cut-off 3),
// Mmax = 1, so 7 + 10 channels.
struct two_atoms {
    run_state st;
    std::ostringstream out;
    two_atoms() {
        st.par.nat = 2;
        st.par.iph = {1, 2};
        st.par.mmax = 1;
        phase_table& t = st.phases;
        t.nen = 2;
        t.nphs = 2;
        for (int e = 1; e <= 2; ++e) {
            t.ckph(e) = cplx(1.1f + 0.1f * e, 0.02f);
            for (int l = 0; l <= 3; ++l) {
                t.til(e, l, 1) = cplx(0.3f / (l + 1), 0.2f);
                t.til(e, l, 2) = cplx(-0.1f, 0.4f / (l + 1));
            }
            t.lmxp(1, e) = 2;
            t.lmxp(2, e) = 3;
        }
        st.bonds.rbond = {4.5f};
        st.bonds.cbond = {1.0f};
        st.bonds.tbond = {0.0f};
        st.matrix = std::make_unique<matrix_store>(17);
        st.matrix->set_unit_diagonal();
    }
};

TEST(Assembly, BlocksOfTwoAtomsWithTheirSignsAndAmplitudes) {
    two_atoms a;
    const assembly_result r = assemble(a.st, a.out, 1, true);
    EXPECT_EQ(r.n, 17);
    EXPECT_EQ(r.last_lmax, 3);
    // The bond's block from a fresh builder, independently of the assembly.
    prop1_table fresh;
    std::vector<cplx> gg(LDGG_ * LDGG_);
    std::ostringstream quiet;
    prop1(fresh, quiet, LPROP_, LDGG_, 3, 1, a.st.phases.ckph(1), 4.5f, gg.data());
    const auto ch1 = layout_channels(2, 1), ch2 = layout_channels(3, 1);
    ASSERT_EQ(ch1.size(), 7u);
    ASSERT_EQ(ch2.size(), 10u);
    const matrix_store& g = *a.st.matrix;
    for (int al = 1; al <= 7; ++al)
        for (int be = 1; be <= 10; ++be) {
            const int l = ch1[al - 1].first, lp = ch2[be - 1].first;
            const cplx up = gg[(al - 1) + (be - 1) * LDGG_] * a.st.phases.til(1, lp, 2);
            const cplx down = ((l + lp) % 2 ? -1.0f : 1.0f) *
                              (gg[(be - 1) + (al - 1) * LDGG_] * a.st.phases.til(1, l, 1));
            EXPECT_EQ(g.gt(al, 7 + be), up) << al << "," << be;
            EXPECT_EQ(g.gt(7 + be, al), down) << al << "," << be;
        }
}

TEST(Assembly, AxialBondKeepsUnequalMOutOfTheRowLists) {
    two_atoms a;
    const assembly_result r = assemble(a.st, a.out, 1, true);
    matrix_store& g = *a.st.matrix;
    g.rebuild_row_lists(r.n);
    const auto ch1 = layout_channels(2, 1), ch2 = layout_channels(3, 1);
    for (int row = 1; row <= 7; ++row)
        for (int k = 1; k <= g.nnz(row); ++k) {
            const int c = g.jnz(row, k);
            if (c > 7) {
                EXPECT_EQ(ch1[row - 1].second, ch2[c - 8].second) << row << "," << c;
            } else {
                EXPECT_EQ(c, row);  // nothing inside the atom's own block but the diagonal
            }
        }
}

TEST(Assembly, ALayoutChangeClearsWhatALargerLayoutLeft) {
    two_atoms a;
    // A larger earlier layout (one atom of 17 channels) left entries inside atom 1's block.
    for (int i = 1; i <= 17; ++i)
        for (int j = 1; j <= 17; ++j)
            if (i != j) a.st.matrix->gt(i, j) = cplx(9.0f, 9.0f);
    assemble(a.st, a.out, 1, true);
    const matrix_store& g = *a.st.matrix;
    for (int i = 1; i <= 7; ++i)
        for (int j = 1; j <= 7; ++j)
            if (i != j) {
                EXPECT_EQ(g.gt(i, j), cplx(0.0f, 0.0f)) << i << "," << j;
            }
    for (int i = 8; i <= 17; ++i)
        for (int j = 8; j <= 17; ++j)
            if (i != j) {
                EXPECT_EQ(g.gt(i, j), cplx(0.0f, 0.0f)) << i << "," << j;
            }
    EXPECT_EQ(g.gt(1, 1), cplx(1.0f, 0.0f));
}

TEST(Assembly, MatrixOrderFollowsTheCutOffsOfEveryAtom) {
    two_atoms a;
    EXPECT_EQ(matrix_order(a.st, 1), 17);
    a.st.par.mmax = 3;
    EXPECT_EQ(matrix_order(a.st, 1), 9 + 16);
}

}  // namespace
}  // namespace korva
