#include "post/interpchin.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <vector>

#include "common/capacities.hpp"
#include "common/listread.hpp"
#include "post/interpmesh.hpp"

namespace korva {
namespace {

// p(x) = 2 - x + 0.5 x^2 - 0.1 x^3 and its derivative, in double: the oracle.
double cubic(double x) {
    return 2.0 - x + 0.5 * x * x - 0.1 * x * x * x;
}
double cubic_slope(double x) {
    return -1.0 + x - 0.3 * x * x;
}

TEST(Minterp, FourPointsReproduceACubic) {
    const real x[4] = {1.0f, 2.0f, 3.5f, 5.0f};
    real y[4];
    for (int i = 0; i < 4; ++i) y[i] = static_cast<real>(cubic(x[i]));
    for (int t = 0; t <= 60; ++t) {
        const real x0 = 0.5f + 0.1f * static_cast<real>(t);
        real value = -1.0f, slope = -1.0f;
        minterp(x, y, 4, x0, value, slope, true);
        // Lagrange terms up to ~10 times |p| on [0.5, 6.5]: several roundings of values
        // below 10, so 2e-5 absolute, 4e-5 for the slope (one more factor per term).
        EXPECT_NEAR(value, cubic(x0), 2e-5) << "x0=" << x0;
        EXPECT_NEAR(slope, cubic_slope(x0), 4e-5) << "x0=" << x0;
    }
}

TEST(Minterp, StraightLineAndNodes) {
    const real x[4] = {2.0f, 2.25f, 2.5f, 2.75f};
    const real y[4] = {4.0f, 4.5f, 5.0f, 5.5f};  // 2 x
    for (int t = 0; t <= 20; ++t) {
        const real x0 = 1.5f + 0.1f * static_cast<real>(t);
        real value, slope;
        minterp(x, y, 4, x0, value, slope, true);
        // Out to 0.75 beyond the nodes the Lagrange terms reach ~20 times the value: 2e-5.
        EXPECT_NEAR(value, 2.0f * x0, 2e-5f) << "x0=" << x0;
        EXPECT_NEAR(slope, 2.0f, 4e-5f) << "x0=" << x0;  // differences of 0.25-spaced nodes
    }
    // At a node the other numerators vanish: the node's own value comes back exactly.
    for (int i = 0; i < 4; ++i) {
        real value, slope;
        minterp(x, y, 4, x[i], value, slope, false);
        EXPECT_EQ(value, y[i]) << "i=" << i;
        EXPECT_EQ(slope, 0.0f) << "i=" << i;
    }
}

TEST(Minterp, OnePointIsAConstant) {
    const real x[1] = {3.0f};
    const real y[1] = {-1.25f};
    for (const real x0 : {-100.0f, 0.0f, 3.0f, 7.5f}) {
        real value = 9.0f, slope = 9.0f;
        minterp(x, y, 1, x0, value, slope, true);
        EXPECT_EQ(value, -1.25f) << "x0=" << x0;
        EXPECT_EQ(slope, 0.0f) << "x0=" << x0;
    }
}

TEST(Minterp, SlopeIsZeroWhenNotWanted) {
    const real x[2] = {1.0f, 2.0f}, y[2] = {1.0f, 3.0f};
    real value, slope = 5.0f;
    minterp(x, y, 2, 1.5f, value, slope, false);
    EXPECT_EQ(value, 2.0f);
    EXPECT_EQ(slope, 0.0f);
}

// A mesh from kmin to kmax over 60 energy points with k from 1.5 to 13.3 (uneven steps).
struct mesh_setup {
    int nen = 60;
    std::vector<real> eph = std::vector<real>(NER_, 0.0f);
    std::vector<real> kwave = std::vector<real>(NER_, 0.0f);
    std::vector<real> kmesh = std::vector<real>(NPI_, 0.0f);
    std::vector<real> chimesh = std::vector<real>(NPI_, 1.0f);
    std::vector<int> istart = std::vector<int>(NPI_, 0);
    int nmesh = 0;
    real kmin = 0, kmax = 0, dk = 0, de0 = 0;
    mesh_setup() {
        for (int i = 0; i < nen; ++i) {
            const real k = 1.5f + 0.15f * static_cast<real>(i) + 0.0008f * static_cast<real>(i * i);
            eph[i] = k * k / (13.6f * 0.263f);
        }
        kmin = 3, kmax = 12, dk = 0.05f, de0 = 0;
        std::ostringstream out;
        interpmesh(out, kmin, kmax, dk, de0, NER_, nen, eph.data(), kwave.data(), NPI_, nmesh, 4,
                   kmesh.data(), chimesh.data(), istart.data());
    }
};

TEST(Interpchin, UnitAmplitudeAndPhase2kGiveSin2k) {
    mesh_setup m;
    ASSERT_EQ(m.nmesh, 181);
    std::vector<real> amp(NER_, 1.0f), phase(NER_, 0.0f), chi(NPI_, 0.0f);
    for (int i = 0; i < m.nen; ++i) phase[i] = 2.0f * m.kwave[i];
    interpchin(NER_, m.kwave.data(), amp.data(), phase.data(), 4, NPI_, m.nmesh, m.kmesh.data(),
               m.istart.data(), chi.data(), m.chimesh.data());
    for (int i = 0; i < m.nmesh; ++i) {
        const double k = m.kmesh[i];
        // Phase up to 24 rad interpolated exactly but for rounding: a few ulps of 24 (2e-6 each).
        EXPECT_NEAR(chi[i], std::sin(2.0 * k), 2e-5) << "i=" << i;
        EXPECT_EQ(m.chimesh[i], chi[i]) << "i=" << i;
    }
}

TEST(Interpchin, QuadraticPhaseAndLinearAmplitude) {
    // Both are reproduced by the cubic; the product is not, so the oracle is sin(p(k)) a(k).
    mesh_setup m;
    std::vector<real> amp(NER_, 0.0f), phase(NER_, 0.0f), chi(NPI_, 0.0f);
    for (int i = 0; i < m.nen; ++i) {
        const real k = m.kwave[i];
        amp[i] = 0.3f - 0.02f * k;
        phase[i] = 1.0f + 3.0f * k + 0.05f * k * k;
    }
    interpchin(NER_, m.kwave.data(), amp.data(), phase.data(), 4, NPI_, m.nmesh, m.kmesh.data(),
               m.istart.data(), chi.data(), m.chimesh.data());
    for (int i = 0; i < m.nmesh; ++i) {
        const double k = m.kmesh[i];
        const double expect = std::sin(1.0 + 3.0 * k + 0.05 * k * k) * (0.3 - 0.02 * k);
        // Phase up to 44 rad: rounding of the inputs and of the Lagrange sum, ~2e-5 rad.
        EXPECT_NEAR(chi[i], expect, 1e-5) << "i=" << i;
    }
}

TEST(Interpchin, TwoChannelsAreSummed) {
    mesh_setup m;
    std::vector<real> amp1(NER_), ph1(NER_), amp2(NER_), ph2(NER_);
    for (int i = 0; i < m.nen; ++i) {
        const real k = m.kwave[i];
        amp1[i] = 0.1f;
        ph1[i] = 4.0f * k;
        amp2[i] = 0.05f / k;
        ph2[i] = 6.0f * k + 0.5f;
    }
    std::vector<real> chi1(NPI_, 0.0f), chi2(NPI_, 0.0f), chi(NPI_, 0.0f);
    interpchin(NER_, m.kwave.data(), amp1.data(), ph1.data(), 4, NPI_, m.nmesh, m.kmesh.data(),
               m.istart.data(), chi1.data(), m.chimesh.data());
    const std::vector<real> after1 = m.chimesh;
    interpchin(NER_, m.kwave.data(), amp2.data(), ph2.data(), 4, NPI_, m.nmesh, m.kmesh.data(),
               m.istart.data(), chi.data(), m.chimesh.data());
    // The second channel alone, on a zero sum.
    std::vector<real> zero(NPI_, 0.0f);
    interpchin(NER_, m.kwave.data(), amp2.data(), ph2.data(), 4, NPI_, m.nmesh, m.kmesh.data(),
               m.istart.data(), chi2.data(), zero.data());
    for (int i = 0; i < m.nmesh; ++i) {
        EXPECT_EQ(after1[i], chi1[i]) << "i=" << i;
        EXPECT_EQ(chi[i], chi2[i]) << "i=" << i;  // only its own channel
        EXPECT_EQ(m.chimesh[i], chi1[i] + chi2[i]) << "i=" << i;
    }
}

}  // namespace
}  // namespace korva
