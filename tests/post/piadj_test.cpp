#include "post/piadj.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <vector>

#include "common/capacities.hpp"
#include "common/units.hpp"

namespace korva {
namespace {

const std::string warning_line =
    "  ****  WARNING IN SUBROUTINE \"PIADJ\" USE A FINER ENERGY MESH  **** \n";
const real twopi = 2.0f * pi_f;

TEST(Piadj, MismatchThresholds) {
    // Two points, slope 0: the prediction is phase(1) = 0, so d = -phase(2) exactly.
    struct tcase {
        real d;
        int turns;
        bool warns;
    };
    const tcase cases[] = {{4.0f, 0, false},     {4.0001f, 1, false},  {10.0f, 1, false},
                           {10.0001f, 2, false}, {16.0f, 2, false},    {16.0001f, 0, true},
                           {20.0f, 0, true},     {-4.0f, 0, false},    {-7.0f, -1, false},
                           {-10.0f, -1, false},  {-12.0f, -2, false},  {-20.0f, 0, true},
                           {0.5f, 0, false},     {-4.0001f, -1, false}};
    for (const tcase& c : cases) {
        const real kwave[2] = {3.0f, 3.1f};
        real phase[2] = {0.0f, -c.d};
        std::ostringstream out;
        piadj(out, NER_, 2, kwave, phase, 0.0f);
        EXPECT_EQ(phase[0], 0.0f) << "d=" << c.d;
        EXPECT_EQ(phase[1], -c.d + twopi * static_cast<real>(c.turns)) << "d=" << c.d;
        EXPECT_EQ(out.str(), c.warns ? warning_line : "") << "d=" << c.d;
    }
}

TEST(Piadj, SlopeEntersThePrediction) {
    // With slope 10 and a k step of 0.5 the prediction is 5 above phase(1): a phase equal to
    // phase(1) has d = 5 and gains a turn; one 5 higher is left alone.
    const real kwave[2] = {2.0f, 2.5f};
    real flat[2] = {1.0f, 1.0f};
    real rising[2] = {1.0f, 6.0f};
    std::ostringstream out;
    piadj(out, NER_, 2, kwave, flat, 10.0f);
    piadj(out, NER_, 2, kwave, rising, 10.0f);
    EXPECT_EQ(flat[1], 1.0f + twopi);
    EXPECT_EQ(rising[1], 6.0f);
    EXPECT_EQ(out.str(), "");
}

TEST(Piadj, OneDropBecomesContinuous) {
    // A phase 5 k + 0.3 sin k (slope 5, a bond of 5 Bohr) with 2 pi taken off from point 8 on.
    const int nen = 30;
    std::vector<real> kwave(nen), truth(nen), phase(nen);
    for (int i = 0; i < nen; ++i) {
        kwave[i] = 2.0f + 0.1f * static_cast<real>(i);
        truth[i] = 5.0f * kwave[i] + 0.3f * std::sin(kwave[i]);
        phase[i] = i >= 7 ? truth[i] - twopi : truth[i];
    }
    std::ostringstream out;
    piadj(out, NER_, nen, kwave.data(), phase.data(), 5.0f);
    // Subtracting and adding 2 pi back rounds twice near |phase| < 32: a few ulps of 32.
    constexpr real tol = 2e-5f;
    for (int i = 0; i < nen; ++i) EXPECT_NEAR(phase[i], truth[i], tol) << "i=" << i;
    EXPECT_EQ(out.str(), "");
}

TEST(Piadj, WrappedPhaseOverManyTurnsAccumulates) {
    // The principal value of 2 R k for R = 2.5 (5 units per unit of k) over k = 1..13 wraps
    // about ten times; unwrapping must carry every earlier turn.
    const int nen = 121;
    std::vector<real> kwave(nen), truth(nen), phase(nen);
    for (int i = 0; i < nen; ++i) {
        kwave[i] = 1.0f + 0.1f * static_cast<real>(i);
        truth[i] = 5.0f * kwave[i];
        phase[i] = std::atan2(std::sin(truth[i]), std::cos(truth[i]));
    }
    const real offset = truth[0] - phase[0];  // phase(1) keeps its principal value
    std::ostringstream out;
    piadj(out, NER_, nen, kwave.data(), phase.data(), 5.0f);
    // Up to 65 rad after up to 11 added turns: each step rounds at the 4e-6 ulp of 64.
    constexpr real tol = 1e-4f;
    for (int i = 0; i < nen; ++i) EXPECT_NEAR(phase[i] + offset, truth[i], tol) << "i=" << i;
}

TEST(Piadj, WarningOncePerPointAndTurnsKept) {
    // Point 2 gains a turn, point 3 is 20 rad off (warning, m stays 1), point 4 follows point
    // 3 and still carries the turn of point 2.
    const real kwave[4] = {1.0f, 1.1f, 1.2f, 1.3f};
    real phase[4] = {0.0f, -6.0f, -26.0f, -26.5f};
    std::ostringstream out;
    piadj(out, NER_, 4, kwave, phase, 0.0f);
    EXPECT_EQ(out.str(), warning_line);
    EXPECT_EQ(phase[1], -6.0f + twopi);
    EXPECT_EQ(phase[2], -26.0f + twopi);
    EXPECT_EQ(phase[3], -26.5f + twopi);
}

}  // namespace
}  // namespace korva
