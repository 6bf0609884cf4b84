#include "post/fouplot.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "common/capacities.hpp"
#include "common/listread.hpp"
#include "common/textio.hpp"
#include "support/plot_check.hpp"
#include "support/text_lines.hpp"

namespace korva {
namespace {

using test::lines_of;

const std::vector<std::string> header = {" SET MODE VECTOR", " SET WINDOW X 2 12 Y 2 8.5",
                                         " SET LIMITS X 0 8.0 "};
const std::vector<std::string> ending = {" JOIN",
                                         " 0. 0.",
                                         " TITLE 3. 9.2 SIZE 3 \"abc_kor.fou\"",
                                         " TITLE 7 8. SIZE 2 \"Fourier Transform\"",
                                         " TITLE BOTTOM SIZE 2.5 \"R1(4A515O2)\"",
                                         " CASE                  \" U C CVUSV \"",
                                         " PLOT"};

struct curve {
    std::vector<real> r, mag;
};

// The data lines of a file with the header: R and |F(R)| as written.
curve data_of(const std::vector<std::string>& lines) {
    curve c;
    for (std::size_t i = header.size(); i + ending.size() < lines.size(); ++i) {
        const std::string& l = lines[i];
        const std::size_t sp = l.find(' ', 1);
        real r = 0, m = 0;
        EXPECT_TRUE(parse_real(l.substr(1, sp - 1), r)) << l;
        EXPECT_TRUE(parse_real(l.substr(sp + 1), m)) << l;
        c.r.push_back(r);
        c.mag.push_back(m);
    }
    return c;
}

std::vector<std::string> transform(const std::vector<real>& k, const std::vector<real>& chi,
                                   real k1, real k2, real esp) {
    fouplot_state st;
    std::ostringstream file;
    fouplot(st, file, NPI_, static_cast<int>(k.size()), k.data(), chi.data(), k1, k2, esp,
            "abc_kor.fou");
    return lines_of(file.str());
}

// |F(0)| of one mesh point with chi = 1 and ESP = 0 is the window itself.
real window_at(real k, real k1, real k2) {
    return data_of(transform({k}, {1.0f}, k1, k2, 0.0f)).mag[0];
}

TEST(Fouplot, FileLayoutAnd201DataLines) {
    for (const int nmesh : {1, 7, 181, NPI_}) {
        std::vector<real> k(nmesh), chi(nmesh);
        for (int i = 0; i < nmesh; ++i) {
            k[i] = 3.0f + 0.03f * static_cast<real>(i);
            chi[i] = std::sin(2.0f * k[i]);
        }
        const auto lines = transform(k, chi, 3.0f, 12.0f, 1.0f);
        ASSERT_EQ(lines.size(), header.size() + 201 + ending.size()) << "nmesh=" << nmesh;
        for (std::size_t i = 0; i < header.size(); ++i) EXPECT_EQ(lines[i], header[i]);
        for (std::size_t i = 0; i < ending.size(); ++i) {
            EXPECT_EQ(lines[lines.size() - ending.size() + i], ending[i]) << "nmesh=" << nmesh;
        }
        const curve c = data_of(lines);
        for (int n = 0; n <= 200; ++n) {
            EXPECT_EQ(c.r[n], static_cast<real>(n) * 0.04f) << "n=" << n;
            EXPECT_GE(c.mag[n], 0.0f) << "n=" << n;
        }
        EXPECT_EQ(c.r[200], 8.0f);
    }
}

TEST(Fouplot, HeaderOnlyOnTheFirstCallOfAState) {
    fouplot_state st;
    const real k[2] = {3.0f, 3.1f}, chi[2] = {1.0f, 1.0f};
    std::ostringstream first, second, fresh;
    fouplot(st, first, NPI_, 2, k, chi, 3.0f, 12.0f, 2.0f, "abc_kor.fou");
    fouplot(st, second, NPI_, 2, k, chi, 3.0f, 12.0f, 2.0f, "abc_kor.fou");
    EXPECT_FALSE(st.new_plot);
    EXPECT_EQ(first.str().substr(first.str().size() - second.str().size()), second.str());
    EXPECT_EQ(lines_of(second.str()).size(), 201u + ending.size());
    EXPECT_EQ(lines_of(second.str())[0].substr(0, 3), " 0.");
    fouplot_state other;
    fouplot(other, fresh, NPI_, 2, k, chi, 3.0f, 12.0f, 2.0f, "abc_kor.fou");
    EXPECT_EQ(fresh.str(), first.str());
}

TEST(Fouplot, WindowTapers) {
    // exp(-1.5^2 / 0.32) = exp(-7.03125), the window at both ends; single-precision exp and
    // the shortest round-trip print: 1e-6 relative.
    const double edge = std::exp(-7.03125);
    const struct {
        real k, k1, k2;
        double w;
    } cases[] = {
        {3.0f, 3.0f, 12.0f, edge},
        {12.0f, 3.0f, 12.0f, edge},
        {3.75f, 3.0f, 12.0f, std::exp(-0.75 * 0.75 / 0.32)},
        {4.5f, 3.0f, 12.0f, 1.0},  // k1 + 1.5: past the lower taper
        {7.0f, 3.0f, 12.0f, 1.0},
        {10.5f, 3.0f, 12.0f, 1.0},  // k2 - 1.5: not yet in the upper taper
        {11.0f, 3.0f, 12.0f, std::exp(-0.5 * 0.5 / 0.32)},
        {2.99f, 3.0f, 12.0f, 0.0},
        {12.01f, 3.0f, 12.0f, 0.0},
        // Window of width 2: both tapers cover k = 3.8 and the upper one decides.
        {3.8f, 3.0f, 5.0f, std::exp(-(3.5 - 3.8) * (3.5 - 3.8) / 0.32)},
        // Below k2 - 1.5 = 3.5 only the lower taper applies.
        {3.2f, 3.0f, 5.0f, std::exp(-(4.5 - 3.2) * (4.5 - 3.2) / 0.32)},
    };
    for (const auto& c : cases) {
        EXPECT_NEAR(window_at(c.k, c.k1, c.k2), c.w, 1e-6 * c.w + 1e-12)
            << "k=" << c.k << " k1=" << c.k1 << " k2=" << c.k2;
    }
}

TEST(Fouplot, KStepWeightAndFirstPoint) {
    // Wide window (tapers far from the points). ESP = 1: the first point has no k step and
    // contributes nothing; the second enters with 3.5 * 0.5. ESP <= 0: both with weight 1.
    const std::vector<real> k = {3.0f, 3.5f}, chi = {100.0f, 1.0f};
    EXPECT_EQ(data_of(transform(k, chi, -10.0f, 100.0f, 1.0f)).mag[0], 1.75f);
    EXPECT_EQ(data_of(transform(k, chi, -10.0f, 100.0f, 0.0f)).mag[0], 101.0f);
    EXPECT_EQ(data_of(transform(k, chi, -10.0f, 100.0f, -2.0f)).mag[0], 101.0f);
    const curve single = data_of(transform({5.0f}, {3.0f}, -10.0f, 100.0f, 2.0f));
    for (int n = 0; n <= 200; ++n) EXPECT_EQ(single.mag[n], 0.0f) << "n=" << n;
}

TEST(Fouplot, Sin2kR0PeaksAtR0AndMatchesADirectSum) {
    // chi = sin(2 k R0), R0 = 2.5, on the mesh 3..12 step 0.05, window 3..12, ESP = 1.
    const double r0 = 2.5;
    const int nmesh = 181;
    std::vector<real> k(nmesh), chi(nmesh);
    for (int i = 0; i < nmesh; ++i) {
        k[i] = 0.05f * static_cast<real>(i) + 3.0f;
        chi[i] = static_cast<real>(std::sin(2.0 * k[i] * r0));
    }
    const curve c = data_of(transform(k, chi, 3.0f, 12.0f, 1.0f));
    int peak = 0;
    for (int n = 0; n <= 200; ++n) {
        if (c.mag[n] > c.mag[peak]) peak = n;
    }
    EXPECT_NEAR(c.r[peak], r0, 0.041) << "peak at R=" << c.r[peak];
    // Oracle: the same window and weights summed in double.
    double biggest = 0.0;
    std::vector<double> oracle(201);
    for (int n = 0; n <= 200; ++n) {
        const double r = 0.04 * n;
        double s = 0.0, cc = 0.0;
        for (int j = 0; j < nmesh; ++j) {
            const double kk = k[j], kp = j > 0 ? k[j - 1] : k[j];
            double w = (kk > 12.0 || kk < 3.0) ? 0.0 : 1.0;
            if (kk >= 3.0 && kk < 4.5) w = std::exp(-(4.5 - kk) * (4.5 - kk) / 0.32);
            if (kk > 10.5 && kk <= 12.0) w = std::exp(-(10.5 - kk) * (10.5 - kk) / 0.32);
            const double a = kk * (kk - kp);
            s += std::sin(2.0 * r * kk) * chi[j] * a * w;
            cc += std::cos(2.0 * r * kk) * chi[j] * a * w;
        }
        oracle[n] = std::hypot(s, cc);
        biggest = std::max(biggest, oracle[n]);
    }
    // Arguments up to 2 * 8 * 12 = 192 rad carry a float rounding of ~1e-5 rad per term; over
    // 181 terms the sum is good to ~1e-4 of the peak.
    for (int n = 0; n <= 200; ++n) {
        EXPECT_NEAR(c.mag[n], oracle[n], 2e-4 * biggest) << "n=" << n;
    }
    EXPECT_GT(c.mag[peak], 10.0f * c.mag[0]);
}

TEST(Fouplot, NoNonFiniteValueIsWritten) {
    // k^40 overflows at k = 12 (and times the k step); NaN chi; a huge but finite sum.
    const std::vector<real> k = {3.0f, 6.0f, 12.0f}, chi = {1.0f, 1.0f, 1.0f};
    const std::vector<real> nan_chi = {1.0f, std::nanf(""), 1.0f};
    for (const auto& lines :
         {transform(k, chi, 3.0f, 12.0f, 40.0f), transform(k, nan_chi, 3.0f, 12.0f, 1.0f),
          transform(k, {1e30f, 1e30f, 1e30f}, -10.0f, 100.0f, 0.0f)}) {
        ASSERT_EQ(lines.size(), header.size() + 201 + ending.size());
        for (const std::string& l : lines) EXPECT_FALSE(test::has_non_finite_text(l)) << l;
    }
    // Sums of 3e30 square to more than the largest single: the magnitude is still 3e30.
    const curve big = data_of(transform(k, {1e30f, 1e30f, 1e30f}, -10.0f, 100.0f, 0.0f));
    EXPECT_NEAR(big.mag[0], 3e30f, 3e30f * 1e-6f);
}

}  // namespace
}  // namespace korva
