#include "post/chiplot.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "common/capacities.hpp"
#include "support/plot_check.hpp"
#include "support/text_lines.hpp"

namespace korva {
namespace {

using test::has_non_finite_text;
using test::lines_of;

std::string plot(const std::vector<real>& k, const std::vector<real>& chi, real esp) {
    std::ostringstream file;
    chiplot(file, NPI_, static_cast<int>(k.size()), k.data(), chi.data(), esp, "abc_kor.chi");
    return file.str();
}

TEST(Chiplot, WholeFileOfASmallMesh) {
    // Weighted values above k = 2.5: |3 * -0.25| = 0.75 and |4 * 0.125| = 0.5, so s = 1; the
    // point at k = 2 is weighted in the data but left out of the range.
    const std::string text = plot({2.0f, 3.0f, 4.0f}, {0.5f, -0.25f, 0.125f}, 1.0f);
    EXPECT_EQ(text,
              " SET MODE VECTOR\n"
              " SET WINDOW X 2 12 Y 2 8.5\n"
              " SET LIMITS X 0 12 Y  -1.0 1.0\n"
              "  0.  0. \n"
              "  PLOT \n"
              " TITLE 3. 9.2 SIZE 3 \"abc_kor.chi\"\n"
              "TITLE 9.5 8. SIZE 2 \"k**1.0\"\n"
              " TITLE BOTTOM SIZE 2.5 \"k1(4A515O20-11)\"\n"
              " CASE                  \" U C CVUSVC  C \"\n"
              " 2.0 1.0\n"
              " 3.0 -0.75\n"
              " 4.0 0.5\n"
              " JOIN\n");
    // Each control character stands under one character of the bottom title.
    const auto lines = lines_of(text);
    EXPECT_EQ(lines[7].find('"'), lines[8].find('"'));
}

TEST(Chiplot, HalfRangeLadder) {
    // One point at k = 3 with ESP = 0: the largest weighted value is the chi value itself.
    const std::pair<real, std::string> cases[] = {
        {0.0f, "-0.2 0.2"},    {0.15f, "-0.2 0.2"},   {0.2f, "-0.5 0.5"},    {0.49f, "-0.5 0.5"},
        {0.5f, "-1.0 1.0"},    {1.5f, "-2.0 2.0"},    {4.99f, "-5.0 5.0"},   {7.0f, "-10.0 10.0"},
        {-7.0f, "-10.0 10.0"}, {10.0f, "-20.0 20.0"}, {35.0f, "-20.0 20.0"},
    };
    for (const auto& [y, limits] : cases) {
        const auto lines = lines_of(plot({3.0f}, {y}, 0.0f));
        EXPECT_EQ(lines[2], " SET LIMITS X 0 12 Y  " + limits) << "y=" << y;
    }
}

TEST(Chiplot, RangeTakesOnlyPointsAboveK25) {
    // k = 2.5 itself and below do not count, however large their values.
    const auto lines = lines_of(plot({1.0f, 2.5f, 2.6f}, {50.0f, 50.0f, 0.1f}, 0.0f));
    EXPECT_EQ(lines[2], " SET LIMITS X 0 12 Y  -0.2 0.2");
    const auto none = lines_of(plot({1.0f, 2.0f}, {3.0f, -4.0f}, 2.0f));
    EXPECT_EQ(none[2], " SET LIMITS X 0 12 Y  -0.2 0.2");
}

TEST(Chiplot, WeightAndExponentTitle) {
    // ESP = 2: range from 4^2 * 0.5 = 8 (s = 10), data weighted by k^2.
    auto lines = lines_of(plot({3.0f, 4.0f}, {-0.25f, 0.5f}, 2.0f));
    EXPECT_EQ(lines[2], " SET LIMITS X 0 12 Y  -10.0 10.0");
    EXPECT_EQ(lines[6], "TITLE 9.5 8. SIZE 2 \"k**2.0\"");
    EXPECT_EQ(lines[9], " 3.0 -2.25");
    EXPECT_EQ(lines[10], " 4.0 8.0");
    // ESP = -0.5: range from 4^-0.5 * 0.5 = 0.25 (s = 0.5), data unweighted.
    lines = lines_of(plot({3.0f, 4.0f}, {-0.25f, 0.5f}, -0.5f));
    EXPECT_EQ(lines[2], " SET LIMITS X 0 12 Y  -0.5 0.5");
    EXPECT_EQ(lines[6], "TITLE 9.5 8. SIZE 2 \"k**-.5\"");
    EXPECT_EQ(lines[9], " 3.0 -0.25");
    EXPECT_EQ(lines[10], " 4.0 0.5");
    // Exponents whose one-decimal form does not fit 3 columns.
    for (const real esp : {10.0f, 12.5f, -1.0f, -3.0f}) {
        lines = lines_of(plot({3.0f}, {0.0f}, esp));
        EXPECT_EQ(lines[6], "TITLE 9.5 8. SIZE 2 \"k*****\"") << "esp=" << esp;
    }
    EXPECT_EQ(lines_of(plot({3.0f}, {0.0f}, 0.0f))[6], "TITLE 9.5 8. SIZE 2 \"k**0.0\"");
}

TEST(Chiplot, NoNonFiniteValueIsWritten) {
    // k^40 overflows at k = 10 and 12; k^0.5 of a negative k and a NaN chi have no value; a
    // negative ESP makes 0^ESP infinite at k = 0, which the range never sees.
    const std::vector<real> k = {-1.0f, 0.0f, 3.0f, 10.0f, 12.0f};
    const std::vector<real> chi = {0.5f, 0.5f, std::numeric_limits<real>::quiet_NaN(), 0.1f, -0.1f};
    for (const real esp : {40.0f, 0.5f, -1.0f}) {
        const std::string text = plot(k, chi, esp);
        EXPECT_FALSE(has_non_finite_text(text)) << "esp=" << esp << "\n" << text;
        EXPECT_EQ(lines_of(text).size(), 9u + k.size() + 1u) << "esp=" << esp;
    }
    const auto big = lines_of(plot(k, chi, 40.0f));
    EXPECT_EQ(big[2], " SET LIMITS X 0 12 Y  -20.0 20.0");
    EXPECT_EQ(big[12], " 10.0 3.4028235e+38");  // the largest finite single, its sign kept
    EXPECT_EQ(big[13], " 12.0 -3.4028235e+38");
    EXPECT_EQ(big[11], " 3.0 0.0");  // NaN chi plotted as 0
    const auto root = lines_of(plot(k, chi, 0.5f));
    EXPECT_EQ(root[9], " -1.0 0.0");  // (-1)^0.5 has no value
    const auto negative = lines_of(plot(k, chi, -1.0f));
    EXPECT_EQ(negative[2], " SET LIMITS X 0 12 Y  -0.2 0.2");  // 0.1 / 10 at most
}

}  // namespace
}  // namespace korva
