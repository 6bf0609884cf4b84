#include "geometry/angles.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <sstream>

namespace korva {
namespace {

struct cluster {
    std::vector<real> x, y, z;
    void add(real a, real b, real c) { x.push_back(a), y.push_back(b), z.push_back(c); }
    int n() const { return static_cast<int>(x.size()); }
};

bond_list run_angles(const cluster& c, std::string* text = nullptr) {
    angles_frame f;
    bond_list b;
    std::ostringstream out;
    angles(f, out, c.n(), c.x.data(), c.y.data(), c.z.data(), b);
    if (text) *text = out.str();
    return b;
}

TEST(Angles, ThreeAtomTableAndItsAzimuths) {
    cluster c;
    c.add(0, 0, 0), c.add(0, 0, 2), c.add(1, 0, 0);
    std::string text;
    bond_list b = run_angles(c, &text);
    EXPECT_EQ(
        text,
        "  BOND    1   ATOMS   1   2   R=   2.00000   COS(FI)=   1.00000  THETA=   0.00000\n"
        "  BOND    2   ATOMS   1   3   R=   1.00000   COS(FI)=   0.00000  THETA=   0.00000\n"
        "  BOND    3   ATOMS   2   3   R=   2.23607   COS(FI)=  -0.89443  THETA=   0.00000\n");
    EXPECT_FALSE(b.thetanz);
    // Fourth atom on +y: azimuth pi/2; on -y: 3 pi/2.
    c.add(0, 1, 0);
    b = run_angles(c);
    EXPECT_FLOAT_EQ(b.tbond[2], 1.5707964f);  // bond (1,4)
    EXPECT_FLOAT_EQ(b.cbond[2], 0.0f);
    EXPECT_TRUE(b.thetanz);
    c.y[3] = -1;
    b = run_angles(c);
    EXPECT_NEAR(b.tbond[2], 4.71239f, 1e-5f);
}

TEST(Angles, AtomsOnTheAxisHaveNoAzimuth) {
    cluster c;
    for (int i = 0; i < 5; ++i) c.add(0, 0, 1.5f * i);
    bond_list b = run_angles(c);
    EXPECT_FALSE(b.thetanz);
    for (int i = 0; i < b.count(); ++i) EXPECT_EQ(b.tbond[i], 0.0f) << i;
}

TEST(Angles, AxialBondAfterTheReferenceHasAzimuthHalfPi) {
    cluster c;
    c.add(0, 0, 0), c.add(0, 0, 2), c.add(1, 0, 0), c.add(0, 0, -3);
    bond_list b = run_angles(c);
    EXPECT_FLOAT_EQ(b.tbond[2], 1.5707964f);  // bond (1,4), antiparallel to z
    EXPECT_TRUE(b.thetanz);
}

TEST(Angles, OnlyFiftyBondsListedButAllComputedInPairOrder) {
    cluster c;
    std::mt19937 gen(3);
    std::uniform_real_distribution<float> u(-5, 5);
    for (int i = 0; i < 11; ++i) c.add(u(gen), u(gen), u(gen));
    std::string text;
    bond_list b = run_angles(c, &text);
    EXPECT_EQ(b.count(), 55);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 50);
    // Bond number of pair (i, j) is (i-1)(2N-i)/2 + j - i; its length is the distance.
    const int n = c.n();
    for (int i = 1; i <= n; ++i)
        for (int j = i + 1; j <= n; ++j) {
            const int bnum = (i - 1) * (2 * n - i) / 2 + (j - i);
            const double d =
                std::hypot(std::hypot(c.x[j - 1] - c.x[i - 1], c.y[j - 1] - c.y[i - 1]),
                           c.z[j - 1] - c.z[i - 1]);
            EXPECT_NEAR(b.rbond[bnum - 1], d, 1e-5 * d) << i << "," << j;
        }
}

TEST(Angles, AzimuthsAndCosinesReproduceTheBondDirections) {
    // Rebuild each direction from (cos, azimuth) in the frame (xt0, zz x xt0, zz).
    cluster c;
    std::mt19937 gen(11);
    std::uniform_real_distribution<float> u(-4, 4);
    for (int i = 0; i < 8; ++i) c.add(u(gen), u(gen), u(gen));
    angles_frame f;
    bond_list b;
    std::ostringstream out;
    angles(f, out, c.n(), c.x.data(), c.y.data(), c.z.data(), b);
    ASSERT_TRUE(f.jtheta);
    double ey[3] = {f.zz[1] * f.xt0[2] - f.zz[2] * f.xt0[1],
                    f.zz[2] * f.xt0[0] - f.zz[0] * f.xt0[2],
                    f.zz[0] * f.xt0[1] - f.zz[1] * f.xt0[0]};
    const int n = c.n();
    int bnum = 1;
    for (int i = 1; i <= n; ++i)
        for (int j = (i == 1 ? 3 : i + 1); j <= n; ++j) {
            ++bnum;
            const double ct = b.cbond[bnum - 1], st = std::sqrt(std::max(0.0, 1 - ct * ct));
            const double ph = b.tbond[bnum - 1];
            EXPECT_GE(ph, 0.0);
            EXPECT_LT(ph, 2 * M_PI);
            const double r = b.rbond[bnum - 1];
            const double d[3] = {(c.x[j - 1] - c.x[i - 1]) / r, (c.y[j - 1] - c.y[i - 1]) / r,
                                 (c.z[j - 1] - c.z[i - 1]) / r};
            for (int k = 0; k < 3; ++k) {
                const double rebuilt =
                    st * std::cos(ph) * f.xt0[k] + st * std::sin(ph) * ey[k] + ct * f.zz[k];
                EXPECT_NEAR(rebuilt, d[k], 2e-5) << "bond " << bnum << " k=" << k;
            }
        }
}

}  // namespace
}  // namespace korva
