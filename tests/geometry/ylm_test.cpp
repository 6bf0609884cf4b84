#include "geometry/ylm.hpp"

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "common/capacities.hpp"
#include "geometry/legendre.hpp"

namespace korva {
namespace {

TEST(YlmTable, ColumnsAreContiguousRuns) {
    ylm_table t(3, 25);
    EXPECT_EQ(t.rows(), 25);
    EXPECT_EQ(t.cols(), 3);
    EXPECT_EQ(t.column(2) - t.column(1), 25);
    EXPECT_EQ(t.column(3)[24], 0.0f);
    t.resize(2, NYLM_);
    EXPECT_EQ(t.column(2) - t.column(1), NYLM_);
}

TEST(YlmTable, FillRoundsLegendreAndLeavesTheRestAlone) {
    std::ostringstream out;
    const int lmx = 8;
    std::vector<real> col(NYLM_, 9.0f);
    fill_ylm_column(out, 0.3, lmx, col.data());
    double z = 0.3;
    int l = lmx;
    std::vector<double> plm(NYLM_);
    legendre(out, z, NYLM_, l, plm.data());
    for (int i = 0; i < (lmx + 1) * (lmx + 1); ++i)
        EXPECT_EQ(col[i], static_cast<real>(plm[i])) << "i=" << i;
    EXPECT_EQ(col[(lmx + 1) * (lmx + 1)], 9.0f);
    EXPECT_EQ(out.str(), "");
}

TEST(YlmTable, FillTakesTheLargestOrderThatFits) {
    // An order above 2 LPROP_ fills the whole NYLM_ column and no more.
    std::ostringstream out;
    std::vector<real> col(NYLM_ + 1, 9.0f);
    fill_ylm_column(out, -0.4, 50, col.data());
    EXPECT_NE(col[NYLM_ - 1], 9.0f);
    EXPECT_EQ(col[NYLM_], 9.0f);
}

}  // namespace
}  // namespace korva
