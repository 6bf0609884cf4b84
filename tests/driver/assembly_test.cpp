#include "driver/assembly.hpp"

#include <gtest/gtest.h>

#include <sstream>

#include "common/channels.hpp"
#include "propagator/prop1.hpp"
#include "reference/matrix.hpp"

namespace korva {
namespace {

// Two atoms on the z axis: atom 1 of phase set 1 (cut-off 2), atom 2 of set 2 (cut-off 3),
// Mmax = 1, so 7 + 10 channels.
struct two_atoms {
    run_parameters par;
    phase_table t;
    bond_list bonds;
    ylm_table ylm;
    point_cutoffs cut{2};
    std::vector<builder_scratch> builders = std::vector<builder_scratch>(1);
    tile_store g{17};
    std::ostringstream out;
    two_atoms() {
        par.nat = 2;
        par.iph = {1, 2};
        par.mmax = 1;
        t.nen = 2;
        t.nphs = 2;
        for (int e = 1; e <= 2; ++e) {
            t.ckph(e) = cplx(1.1f + 0.1f * e, 0.02f);
            for (int l = 0; l <= 3; ++l) {
                t.til(e, l, 1) = cplx(0.3f / (l + 1), 0.2f);
                t.til(e, l, 2) = cplx(-0.1f, 0.4f / (l + 1));
            }
            cut.l(1, e) = 2;
            cut.l(2, e) = 3;
        }
        cut.lmxtop = 3;
        bonds.rbond = {4.5f};
        bonds.cbond = {1.0f};
        bonds.tbond = {0.0f};
        g.reshape(17);
    }
    cluster_view view() const { return {par, t, bonds, ylm, cut.lmxtop}; }
    assembly_result assemble_point(int e) {
        const atom_layout lay = layout_at(cut, par.iph, par.mmax, e);
        warm_up_builders(view(), builders, out);
        return assemble(view(), lay, e, true, builders, g, out);
    }
};

TEST(Assembly, BlocksOfTwoAtomsWithTheirSignsAndAmplitudes) {
    two_atoms a;
    const assembly_result r = a.assemble_point(1);
    EXPECT_EQ(r.n, 17);
    EXPECT_EQ(r.last_lmax, 3);
    // The bond's block from a fresh builder, independently of the assembly.
    prop1_table fresh;
    std::vector<cplx> gg(LDGG_ * LDGG_);
    std::ostringstream quiet;
    prop1(fresh, quiet, LDGG_, 3, 1, a.t.ckph(1), 4.5f, gg.data());
    const auto ch1 = layout_channels(2, 1), ch2 = layout_channels(3, 1);
    ASSERT_EQ(ch1.size(), 7u);
    ASSERT_EQ(ch2.size(), 10u);
    for (int al = 1; al <= 7; ++al)
        for (int be = 1; be <= 10; ++be) {
            const int l = ch1[al - 1].first, lp = ch2[be - 1].first;
            const cplx up = gg[(al - 1) + (be - 1) * LDGG_] * a.t.til(1, lp, 2);
            const cplx down = ((l + lp) % 2 ? -1.0f : 1.0f) *
                              (gg[(be - 1) + (al - 1) * LDGG_] * a.t.til(1, l, 1));
            // Stored: the builder's block alone; A's entries, the reflected half included, are
            // the design's numbers bit for bit (the axial block is exactly reciprocal).
            EXPECT_EQ(a.g.upper(al, 7 + be), gg[(al - 1) + (be - 1) * LDGG_]) << al << "," << be;
            EXPECT_EQ(a.g.gt(al, 7 + be), up) << al << "," << be;
            EXPECT_EQ(a.g.gt(7 + be, al), down) << al << "," << be;
        }
}

TEST(Assembly, AxialBondKeepsUnequalMOutOfTheRowLists) {
    two_atoms a;
    const assembly_result r = a.assemble_point(1);
    reference::matrix_store m(r.n);
    for (int i = 1; i <= r.n; ++i)
        for (int j = 1; j <= r.n; ++j) m.gt(i, j) = a.g.gt(i, j);
    m.rebuild_row_lists(r.n);
    const auto ch1 = layout_channels(2, 1), ch2 = layout_channels(3, 1);
    for (int row = 1; row <= 7; ++row)
        for (int k = 1; k <= m.nnz(row); ++k) {
            const int c = m.jnz(row, k);
            if (c > 7) {
                EXPECT_EQ(ch1[row - 1].second, ch2[c - 8].second) << row << "," << c;
            } else {
                EXPECT_EQ(c, row);  // nothing inside the atom's own block but the diagonal
            }
        }
}

TEST(Assembly, ALayoutChangeClearsWhatALargerLayoutLeft) {
    two_atoms a;
    // A larger earlier layout (one atom of 17 channels) left entries everywhere.
    for (int i = 1; i <= 24; ++i)
        for (int j = 1; j <= 24; ++j)
            if (tile_store::kept(i, j)) a.g.upper(i, j) = cplx(9.0f, 9.0f);
    a.assemble_point(1);
    // Every stored entry not above the atoms' block diagonal is zero again.
    for (int i = 1; i <= 24; ++i)
        for (int j = 1; j <= 24; ++j)
            if (tile_store::kept(i, j) && !(i <= 7 && j >= 8 && j <= 17)) {
                EXPECT_EQ(a.g.upper(i, j), cplx(0.0f, 0.0f)) << i << "," << j;
            }
    EXPECT_EQ(a.g.atom(7), 1);
    EXPECT_EQ(a.g.atom(8), 2);
    EXPECT_EQ(a.g.amplitude(8), a.t.til(1, 0, 2));
}

TEST(Assembly, MatrixOrderFollowsTheCutOffsOfEveryAtom) {
    two_atoms a;
    EXPECT_EQ(layout_at(a.cut, a.par.iph, 1, 1).order(), 17);
    EXPECT_EQ(layout_at(a.cut, a.par.iph, 3, 1).order(), 9 + 16);
}

}  // namespace
}  // namespace korva
