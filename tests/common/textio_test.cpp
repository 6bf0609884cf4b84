#include "common/textio.hpp"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>

namespace korva {
namespace {

TEST(FixedFields, IntegersAlignRightAndOverflowToAsterisks) {
    EXPECT_EQ(field_i(42, 5), "   42");
    EXPECT_EQ(field_i(-42, 3), "-42");
    EXPECT_EQ(field_i(-420, 3), "***");
    EXPECT_EQ(field_i(12345, 4), "****");
}

TEST(FixedFields, FixedPointRoundsAndMarksOverflow) {
    EXPECT_EQ(field_f(12345.6f, 6, 1), "******");
    EXPECT_EQ(field_f(2.0, 10, 5), "   2.00000");
    EXPECT_EQ(field_f(-0.89443, 10, 5), "  -0.89443");
    EXPECT_EQ(field_f(1.23456789, 7, 2), "   1.23");
    // Rounding happens on the exact binary value: 0.125 is exact and rounds to even.
    EXPECT_EQ(field_f(0.125, 5, 2), " 0.12");
    EXPECT_EQ(field_f(0.375, 5, 2), " 0.38");
    EXPECT_EQ(field_f(9.996, 5, 2), "10.00");
    EXPECT_EQ(field_f(99.996, 5, 2), "*****");
}

TEST(FixedFields, NegativeZeroAndTinyNegativesPrintWithoutSign) {
    EXPECT_EQ(field_f(-0.0, 6, 2), "  0.00");
    EXPECT_EQ(field_f(-0.001, 6, 2), "  0.00");
    EXPECT_EQ(field_f(-0.006, 6, 2), " -0.01");
}

TEST(FixedFields, LeadingZeroDroppedOnlyWhenNeeded) {
    EXPECT_EQ(field_f(0.5, 3, 1), "0.5");
    EXPECT_EQ(field_f(-0.5, 3, 1), "-.5");
    EXPECT_EQ(field_f(2.0, 3, 1), "2.0");
    EXPECT_EQ(field_f(10.0, 3, 1), "***");
    EXPECT_EQ(field_f(-1.0, 3, 1), "***");
}

TEST(FixedFields, NonFiniteValuesAreAsterisks) {
    EXPECT_EQ(field_f(std::numeric_limits<double>::quiet_NaN(), 8, 2), "********");
    EXPECT_EQ(field_f(std::numeric_limits<double>::infinity(), 8, 2), "********");
    EXPECT_EQ(field_e(std::numeric_limits<double>::infinity(), 10, 4), "**********");
}

TEST(FixedFields, ExponentForm) {
    EXPECT_EQ(field_e(1.234e-4, 10, 4), "0.1234E-03");
    EXPECT_EQ(field_e(0.0, 10, 4), "0.0000E+00");
    EXPECT_EQ(field_e(-0.0, 10, 4), "0.0000E+00");
    EXPECT_EQ(field_e(-1.234e-4, 11, 4), "-0.1234E-03");
    EXPECT_EQ(field_e(-1.234e-4, 10, 4), "**********");
    EXPECT_EQ(field_e(1.0, 10, 4), "0.1000E+01");
    EXPECT_EQ(field_e(0.99996, 10, 4), "0.1000E+01");  // rounding carries into the exponent
    EXPECT_EQ(field_e(3.3333337e-1, 10, 4), "0.3333E+00");
    EXPECT_EQ(field_e(1e-120, 10, 4), "0.1000-119");
}

TEST(FixedFields, TextIsCutOrPadded) {
    EXPECT_EQ(field_a("abc", 5), "abc  ");
    EXPECT_EQ(field_a("abcdef", 3), "abc");
}

TEST(FreeFormat, RecordLayout) {
    EXPECT_EQ((record() << "> INPUT PHASE SHIFTS FILE NAME").line(),
              " > INPUT PHASE SHIFTS FILE NAME");
    EXPECT_EQ((record() << " DIMENSION ERROR SET NAT_  =" << 100 << "    AT LEAST").line(),
              "  DIMENSION ERROR SET NAT_  =         100     AT LEAST");
    // Adjacent texts are joined.
    EXPECT_EQ((record() << "> INPUT FILE NAME for comparison with "
                        << "experimental data")
                  .line(),
              " > INPUT FILE NAME for comparison with experimental data");
    EXPECT_EQ((record() << 1.5f << -2.0f).line(), " 1.5 -2.0");
    EXPECT_EQ((record() << 3 << 4).line(), "           3           4");
}

TEST(FreeFormat, RealsReadBackExactly) {
    std::mt19937 gen(7);
    std::uniform_int_distribution<std::uint32_t> bits;
    for (int n = 0; n < 20000; ++n) {
        std::uint32_t b = bits(gen);
        float x;
        std::memcpy(&x, &b, sizeof x);
        if (!std::isfinite(x)) continue;
        const std::string s = free_real(x);
        float y = std::strtof(s.c_str(), nullptr);
        ASSERT_EQ(std::memcmp(&x, &y, sizeof x), 0) << s;
    }
    EXPECT_EQ(free_real(0.5f), "0.5");
    EXPECT_EQ(free_real(2.0f), "2.0");
    EXPECT_EQ(free_real(1e-5f), "1e-05");
}

}  // namespace
}  // namespace korva
