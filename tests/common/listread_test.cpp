#include "common/listread.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

namespace korva {
namespace {

TEST(ListRead, ValuesSpanLinesAndEachReadStartsOnANewLine) {
    std::istringstream s("1 2\n3, 4 99 junk\n5\n");
    text_input in(s);
    int a = 0, b = 0, c = 0, d = 0;
    EXPECT_EQ(read_values(in, a, b, c), read_status::ok);
    EXPECT_EQ(c, 3);
    // The rest of line 2 is skipped: the next read starts on line 3.
    EXPECT_EQ(read_values(in, d), read_status::ok);
    EXPECT_EQ(d, 5);
    EXPECT_EQ(read_values(in, d), read_status::end);
}

TEST(ListRead, SlashAndNullValuesLeaveTargetsUnchanged) {
    std::istringstream s("7 / 8 9\n1,,3\n");
    text_input in(s);
    int a = 0, b = -1, c = -2;
    EXPECT_EQ(read_values(in, a, b, c), read_status::ok);
    EXPECT_EQ(a, 7);
    EXPECT_EQ(b, -1);
    EXPECT_EQ(c, -2);
    EXPECT_EQ(read_values(in, a, b, c), read_status::ok);
    EXPECT_EQ(a, 1);
    EXPECT_EQ(b, -1);
    EXPECT_EQ(c, 3);
}

TEST(ListRead, RealFormsOfOlderDataFiles) {
    struct form {
        const char* text;
        float value;
    };
    const form forms[] = {{"1.5", 1.5f},      {"-.25", -0.25f}, {"1e-3", 1e-3f}, {"1.0D-01", 0.1f},
                          {"1.0d+2", 100.0f}, {"12", 12.0f},    {"+3.", 3.0f},   {"2.5E2", 250.0f},
                          {"0.1", 0.1f},      {"-0", -0.0f}};
    for (const form& f : forms) {
        float v = 0;
        ASSERT_TRUE(parse_real(f.text, v)) << f.text;
        EXPECT_EQ(v, f.value) << f.text;
    }
    for (const char* bad : {"abc", "1.2.3", "e5", "1e", "--1", ".", "1x", "1e+"}) {
        float v;
        EXPECT_FALSE(parse_real(bad, v)) << bad;
    }
    float v;
    ASSERT_TRUE(parse_real("NaN", v));
    EXPECT_TRUE(std::isnan(v));
    ASSERT_TRUE(parse_real("1e40", v));
    EXPECT_TRUE(std::isinf(v));
}

TEST(ListRead, SinglePrecisionValuesAreRoundedOnceFromTheDecimal) {
    // 0.500000029802322443... lies just above the midpoint between two floats; rounding it
    // through double first would land on the midpoint and round to even (0.5).
    float v;
    ASSERT_TRUE(parse_real("0.50000002980232239", v));
    EXPECT_EQ(v, std::nextafter(0.5f, 1.0f));
}

TEST(ListRead, IntegersRejectRealsAndTextIsAConversionError) {
    int n = 0;
    EXPECT_FALSE(parse_int("2.5", n));
    EXPECT_FALSE(parse_int("1e2", n));
    EXPECT_TRUE(parse_int("+42", n));
    EXPECT_EQ(n, 42);
    EXPECT_FALSE(parse_int("99999999999", n));
    std::istringstream s("abc\n");
    text_input in(s);
    EXPECT_EQ(read_values(in, n), read_status::bad);
    std::istringstream e("");
    text_input in2(e);
    EXPECT_EQ(read_values(in2, n), read_status::end);
}

TEST(ListRead, BlankLinesAreSkippedAndCrLfIsAccepted) {
    std::istringstream s("\n   \r\n4\r\n");
    text_input in(s);
    int n = 0;
    EXPECT_EQ(read_values(in, n), read_status::ok);
    EXPECT_EQ(n, 4);
    EXPECT_EQ(in.line_number(), 3);
}

TEST(ListRead, NamesAndPrefixes) {
    std::istringstream s(std::string(90, 'x') + "\nab\nname.dat    \n");
    text_input in(s);
    std::string name, prefix;
    EXPECT_EQ(read_name(in, name), read_status::ok);
    EXPECT_EQ(name, std::string(80, 'x'));
    EXPECT_EQ(read_prefix(in, prefix), read_status::ok);
    EXPECT_EQ(prefix, "ab ");
    EXPECT_EQ(read_name(in, name), read_status::ok);
    EXPECT_EQ(name, "name.dat");
    EXPECT_EQ(read_name(in, name), read_status::end);
}

TEST(ListRead, RewindReadsTheFileAgain) {
    std::istringstream s("1 2\n3\n");
    text_input in(s);
    int a, b;
    EXPECT_EQ(read_values(in, a, b), read_status::ok);
    EXPECT_EQ(read_values(in, a), read_status::ok);
    EXPECT_EQ(read_values(in, a), read_status::end);
    in.rewind();
    EXPECT_EQ(read_values(in, a), read_status::ok);
    EXPECT_EQ(a, 1);
}

}  // namespace
}  // namespace korva
