#include "input/psread.hpp"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "common/errors.hpp"

namespace korva {
namespace {

struct result {
    phase_table t;
    std::string out;
    bool stopped = false;
    bool read_failed = false;
};

result read_files(const std::string& ps_text, const std::string& xs_text, int lcore = 0) {
    result r;
    std::istringstream ps(ps_text), xs(xs_text);
    text_input pin(ps), xin(xs);
    std::ostringstream out;
    try {
        psread(out, pin, xin, lcore, r.t);
    } catch (const run_stop&) {
        r.stopped = true;
    } catch (const read_error&) {
        r.read_failed = true;
    }
    r.out = out.str();
    return r;
}

// One record per (energy, set, l) with t = (l + 1) / 10 + i (set) / 100.
std::string records(int nen, int nset, int (*lmax)(int e, int p), real e0 = 1.0f) {
    std::ostringstream s;
    for (int e = 1; e <= nen; ++e)
        for (int p = 1; p <= nset; ++p)
            for (int l = 0; l <= lmax(e, p); ++l)
                s << e0 + 0.5f * e << " 1.2 0.03 " << p << ' ' << l << ' ' << 0.1f * (l + 1) << ' '
                  << 0.01f * p << '\n';
    return s.str();
}

std::string sigma(int n) {
    std::ostringstream s;
    for (int i = 1; i <= n; ++i) s << i << " 0 0 0 " << 2.0f * i << " 0.5 0.25\n";
    return s.str();
}

TEST(Psread, StoresConjugatesAndSummarises) {
    const auto lm = [](int e, int) { return e <= 2 ? 2 : 3; };
    result r = read_files(records(3, 1, lm), sigma(3));
    ASSERT_FALSE(r.stopped);
    EXPECT_EQ(r.t.nen, 3);
    EXPECT_EQ(r.t.nphs, 1);
    EXPECT_EQ(r.t.lmxall, 3);
    EXPECT_EQ(r.t.eph(2), 2.0f);
    EXPECT_EQ(r.t.ckph(1), cplx(1.2f, -0.03f));
    EXPECT_EQ(r.t.til(3, 3, 1), cplx(0.4f, -0.01f));
    EXPECT_EQ(r.t.sig0(2, 1), 4.0f);
    EXPECT_EQ(r.t.sig0c(2, 1), cplx(0.5f, -0.25f));
    EXPECT_EQ(r.out,
              "\n"
              " ** PHASE SHIFTS READ FOR    1  ATOMS AND    3 ENERGY POINTS **\n"
              " ATOM   1   MAXIMUM L VALUE:   3\n"
              " ENERGY CHANGE POINTS\n"
              "   KEN     1   3\n"
              "   LMAX    2   3\n"
              "   MAXIMUM L VALUE AMONG ALL ATOMS AND ENERGIES:    3\n");
}

TEST(Psread, CommentLinesAndRewind) {
    const auto lm = [](int, int) { return 1; };
    result r = read_files("this is a comment\n" + records(2, 1, lm), sigma(2));
    EXPECT_EQ(r.out.find(" HA TROVATO RIGA DI COMMENTO IN FILE FASI\n"), 0u);
    EXPECT_EQ(r.out.find("SIGMA0"), std::string::npos);
    EXPECT_EQ(r.t.sig0(1, 1), 2.0f);  // cross-section file read from its first line
    r = read_files(records(2, 1, lm), "E K re im sig\n" + sigma(2));
    EXPECT_EQ(r.out.find(" HA TROVATO RIGA DI COMMENTO IN SIGMA0\n"), 0u);
    EXPECT_EQ(r.t.nen, 2);
    // A second comment line is a conversion error of the record loop.
    r = read_files("comment\nanother\n" + records(2, 1, lm), sigma(2));
    EXPECT_TRUE(r.stopped);
    EXPECT_NE(r.out.find("  ** ERROR WHILE READING PHASE SHIFTS **\n"), std::string::npos);
    r = read_files(records(2, 1, lm), "c\n1 0 0 0 x 0 0\n");
    EXPECT_TRUE(r.stopped);
    EXPECT_NE(r.out.find("  ** ERROR WHILE READING SIGMA0 **\n"), std::string::npos);
}

TEST(Psread, EmptyFileGivesAnEmptySummary) {
    result r = read_files("", "");
    EXPECT_FALSE(r.stopped);
    EXPECT_EQ(r.t.nen, 0);
    EXPECT_EQ(r.out,
              "\n ** PHASE SHIFTS READ FOR    0  ATOMS AND    0 ENERGY POINTS **\n"
              "   MAXIMUM L VALUE AMONG ALL ATOMS AND ENERGIES:    0\n");
}

TEST(Psread, ShortCrossSectionFileIsAReadError) {
    const auto lm = [](int, int) { return 1; };
    EXPECT_TRUE(read_files(records(3, 1, lm), sigma(2)).read_failed);
    EXPECT_TRUE(read_files(records(3, 1, lm), sigma(3), 1).read_failed);  // two per point
    EXPECT_FALSE(read_files(records(3, 1, lm), sigma(6), 1).read_failed);
    EXPECT_TRUE(read_files(records(1, 1, lm), "").read_failed);
}

TEST(Psread, TwoRecordsPerPointForACoreStateAboveZero) {
    const auto lm = [](int, int) { return 1; };
    result r = read_files(records(2, 1, lm), sigma(4), 1);
    EXPECT_EQ(r.t.sig0(1, 1), 2.0f);
    EXPECT_EQ(r.t.sig0(1, 2), 4.0f);
    EXPECT_EQ(r.t.sig0(2, 1), 6.0f);
    EXPECT_EQ(r.t.sig0(2, 2), 8.0f);
}

TEST(Psread, TooManyEnergyPointsEndsAfterTheSummary) {
    const auto lm = [](int, int) { return 0; };
    result r = read_files(records(151, 1, lm), sigma(151));
    EXPECT_TRUE(r.stopped);
    EXPECT_EQ(r.t.nen, 151);
    EXPECT_NE(r.out.find(" **** WARNING IN \"PSREAD\" NUMBER OF ENERGY POINTS EXCEEDS DIMENSION "
                         "NER_=         150  ****\n"),
              std::string::npos);
    EXPECT_NE(r.out.find("ATOMS AND  151 ENERGY POINTS"), std::string::npos);
    const std::string tail =
        "  ***** ERROR IN \"PSREAD\", INCREASE NER_ TO          151  IN THE CALLING PROGRAM\n";
    EXPECT_EQ(r.out.substr(r.out.size() - tail.size()), tail);
    EXPECT_FALSE(read_files(records(150, 1, lm), sigma(150)).stopped);
}

TEST(Psread, RepeatedEnergyAfterAnotherIsANewPoint) {
    std::string ps = "1 1 0 1 0 0.1 0\n2 1 0 1 0 0.1 0\n1 1 0 1 0 0.1 0\n";
    result r = read_files(ps, sigma(3));
    EXPECT_EQ(r.t.nen, 3);
}

TEST(Psread, SetsOneAndThreeReportThreeAtomsAndOutOfRangeRecordsAreIgnored) {
    std::string ps =
        "1 1 0 1 0 0.1 0\n1 1 0 3 0 0.2 0\n1 1 0 3 2 0.3 0\n"
        "1 1 0 7 0 9 9\n1 1 0 1 36 9 9\n1 1 0 0 0 9 9\n1 1 0 1 -1 9 9\n";
    result r = read_files(ps, sigma(1));
    EXPECT_EQ(r.t.nphs, 3);
    EXPECT_EQ(r.t.lmxp(2, 1), 0);
    EXPECT_EQ(r.t.lmxp(3, 1), 2);
    EXPECT_EQ(r.t.lmxall, 2);
    EXPECT_NE(r.out.find(" ** PHASE SHIFTS READ FOR    3  ATOMS AND    1 ENERGY POINTS **"),
              std::string::npos);
}

TEST(Psread, ChangePointsContinueOnNewLinesAndSaturate) {
    // l alternates 0,1,0,1,...: 40 points give 40 stretches, of which 35 fit.
    std::ostringstream ps;
    for (int e = 1; e <= 40; ++e)
        for (int l = 0; l <= (e % 2 == 0 ? 1 : 0); ++l) ps << e << " 1 0 1 " << l << " 0.1 0\n";
    result r = read_files(ps.str(), sigma(40));
    EXPECT_EQ(r.t.nken(1), 35);
    std::size_t warnings = 0;
    for (std::size_t p = 0; (p = r.out.find("TO MANY CHANGE POINTS", p)) != std::string::npos; ++p)
        ++warnings;
    EXPECT_EQ(warnings, 5u);
    EXPECT_EQ(r.t.kenlmx(1, 35, 2), 1);  // follows the latest value (point 40 has l = 1)
    EXPECT_NE(r.out.find("\n   KEN     1   2   3"), std::string::npos);
    // 35 values: 25 on the first KEN line, 10 on its continuation.
    EXPECT_NE(r.out.find("  25\n   KEN    26"), std::string::npos);
    EXPECT_NE(r.out.find("\n   LMAX    0   1   0"), std::string::npos);
}

TEST(Psread, TruncatedLastRecordAndNonFiniteValuesAreRejected) {
    result r = read_files("1 1 0 1 0 0.1 0\n2 1 0 1\n", sigma(2));
    EXPECT_TRUE(r.read_failed);
    r = read_files("1 1 0 1 0 NaN 0\n", sigma(1));
    EXPECT_TRUE(r.stopped);
    EXPECT_NE(r.out.find("NON-FINITE VALUE IN RECORD"), std::string::npos);
    r = read_files("1 1 0 1 0 0.1 0\n", "1 0 0 0 1e39 0 0\n");
    EXPECT_TRUE(r.stopped);
    EXPECT_NE(r.out.find("CROSS-SECTION FILE: NON-FINITE"), std::string::npos);
}

}  // namespace
}  // namespace korva
