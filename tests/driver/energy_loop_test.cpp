#include <gtest/gtest.h>

#include "driver/cutoffs.hpp"

namespace korva {
namespace {

// A table of nen points, one phase set, |t_l| = amp(e, l).
phase_table table(int nen, int lmax, real (*amp)(int e, int l)) {
    phase_table t;
    t.nen = nen;
    t.nphs = 1;
    t.lmxall = lmax;
    for (int e = 1; e <= nen; ++e)
        for (int l = 0; l <= lmax; ++l) t.til(e, l, 1) = cplx(0.0f, amp(e, l));
    return t;
}

TEST(Cutoffs, ReferenceMagnitudeGrowsWithTheEnergyIndex) {
    // Point 1 has a strong l = 0 amplitude (1.0); point 2 only weak ones (0.01 at every l),
    // so with TOLL = 0.02 point 2 is cut at 2 although alone it would keep every l.
    phase_table t =
        table(2, 6, [](int e, int l) { return e == 1 ? (l == 0 ? 1.0f : 0.05f) : 0.01f; });
    const point_cutoffs cut = energy_cutoffs(t, t.nen, 0.02f);
    EXPECT_EQ(cut.l(1, 1), 6);  // 0.05 > 0.02
    EXPECT_EQ(cut.l(1, 2), 2);  // 0.01 <= 0.02 * 1.0: down to the floor at 2
    EXPECT_EQ(cut.lmxtop, 6);
}

TEST(Cutoffs, ZeroToleranceKeepsEveryNonZeroAmplitudeAndTwentyIsTheCeiling) {
    phase_table t = table(1, 30, [](int, int l) { return l <= 25 ? 0.5f : 0.0f; });
    EXPECT_EQ(energy_cutoffs(t, t.nen, 0.0f).lmxtop, 20);
    t = table(1, 8, [](int, int l) { return l <= 5 ? 0.5f : 0.0f; });
    EXPECT_EQ(energy_cutoffs(t, t.nen, 0.0f).lmxtop, 5);  // exact zeros above l = 5 are cut
}

TEST(Cutoffs, TablesBelowLTwoStillEnd) {
    phase_table t = table(1, 1, [](int, int l) { return l == 0 ? 1.0f : 0.0f; });
    EXPECT_EQ(energy_cutoffs(t, t.nen, 0.1f).lmxtop, 0);
    t = table(1, 1, [](int, int) { return 1.0f; });
    EXPECT_EQ(energy_cutoffs(t, t.nen, 0.1f).lmxtop, 1);
}

}  // namespace
}  // namespace korva
