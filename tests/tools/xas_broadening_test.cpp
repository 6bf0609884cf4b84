// korva-xas's broadening against closed forms: a Lorentzian of a step is an arctangent, a
// Gaussian of a Gaussian is a Gaussian, every cell keeps its area, and the Fermi step and the
// arctangent width take their defining values.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "broadening.hpp"

namespace korva::xas {
namespace {

constexpr double pi = std::numbers::pi;
// Double-precision sums of a few thousand terms of order 1.
constexpr double sum_rounding = 1e-12;

grid_spectrum grid(double x0, double step, std::size_t n) {
    return {x0, step, std::vector<double>(n, 0.0)};
}

// The unit step on cells (0 below x = -h/2, 1 from the cell at x = 0 on), continued beyond the
// ends, spread by a Lorentzian of one width: exactly 1/2 + arctan((x + h/2)/g)/pi, since the
// cells' integrated weights telescope. A width that depends on energy but is the same on
// both sides of the step changes nothing.
TEST(xas_broadening, lorentzian_of_a_step_is_an_arctangent) {
    for (const double fwhm : {0.3, 2.0, 15.0}) {
        grid_spectrum s = grid(-40.0, 0.1, 801);
        for (std::size_t i = 0; i < s.mu.size(); ++i) s.mu[i] = s.x(i) > -0.05 ? 1.0 : 0.0;
        const grid_spectrum out = lorentzian(s, [&](double) { return fwhm; });
        double worst = 0.0;
        for (std::size_t i = 0; i < s.mu.size(); ++i) {
            const double exact = 0.5 + std::atan((s.x(i) + 0.05) / (0.5 * fwhm)) / pi;
            worst = std::max(worst, std::abs(out.mu[i] - exact));
        }
        EXPECT_LT(worst, sum_rounding) << "FWHM " << fwhm;
    }
}

// Gaussians of standard deviations s1 and s2 make one of sqrt(s1^2 + s2^2 + h^2/12): the cell
// integration adds a box of the grid step. Grid 0.01 eV; what remains is of order h^4 (1.5e-11
// of the peak measured).
TEST(xas_broadening, gaussian_of_a_gaussian_is_a_gaussian) {
    const double h = 0.01, s1 = 0.8, fwhm = 1.0;
    const double s2 = fwhm / (2.0 * std::sqrt(2.0 * std::log(2.0)));
    grid_spectrum s = grid(-20.0, h, 4001);
    for (std::size_t i = 0; i < s.mu.size(); ++i)
        s.mu[i] = std::exp(-0.5 * s.x(i) * s.x(i) / (s1 * s1)) / (s1 * std::sqrt(2.0 * pi));
    const grid_spectrum out = gaussian(s, fwhm);
    const double sigma = std::sqrt(s1 * s1 + s2 * s2 + h * h / 12.0);
    const double peak = 1.0 / (sigma * std::sqrt(2.0 * pi));
    double worst = 0.0;
    for (std::size_t i = 0; i < s.mu.size(); ++i) {
        const double exact = peak * std::exp(-0.5 * s.x(i) * s.x(i) / (sigma * sigma));
        worst = std::max(worst, std::abs(out.mu[i] - exact));
    }
    std::cout << "[ measured ] Gaussian of a Gaussian: worst difference " << worst / peak
              << " of the peak\n";
    EXPECT_LT(worst, 1e-9 * peak);
}

// Each cell's Lorentzian, of its own width, lands on the grid with the share that lies between
// the grid's outer cell edges, 1/pi (arctan((x_last + h/2 - x_j)/g_j) - arctan((x_first - h/2 -
// x_j)/g_j)); with the arctangent width law (0 at and below E_F) and zero ends, the sum of the
// output is the sum of these shares. The Gaussian keeps the area of a spectrum far from the ends.
TEST(xas_broadening, every_cell_keeps_its_area) {
    grid_spectrum s = grid(-10.0, 0.1, 1201);
    for (std::size_t i = 1; i + 1 < s.mu.size(); ++i) s.mu[i] = 1.0 + std::sin(0.37 * s.x(i));
    const arctan_width law;
    const grid_spectrum out = lorentzian(s, law);
    const double lo = s.x0 - 0.05, hi = s.x(s.mu.size() - 1) + 0.05;
    double kept = 0.0, sum = 0.0;
    for (std::size_t j = 0; j < s.mu.size(); ++j) {
        const double g = 0.5 * law(s.x(j));
        const double share =
            g > 0.0 ? (std::atan((hi - s.x(j)) / g) - std::atan((lo - s.x(j)) / g)) / pi : 1.0;
        kept += s.mu[j] * share;
    }
    for (double v : out.mu) sum += v;
    EXPECT_NEAR(sum, kept, sum_rounding * kept);

    grid_spectrum peak = grid(-30.0, 0.1, 601);
    peak.mu[300] = 1.0;
    double area = 0.0;
    for (double v : gaussian(peak, 2.0).mu) area += v;
    EXPECT_NEAR(area, 1.0, sum_rounding);
}

// fermi_step: 1/2 at E_F, 1/4 and 3/4 one half width below and above (arctan(1) = pi/4).
// The arctangent width: 0 at and below E_F, Gamma_max/2 at E = E_F + E_cent (e - 1/e^2 = 0),
// Gamma_max (1/2 + arctan(pi/3 * 15/30 * (2 - 1/4))/pi) at 2 E_cent, Gamma_max far above.
TEST(xas_broadening, fermi_step_and_arctangent_width_take_their_defining_values) {
    EXPECT_DOUBLE_EQ(fermi_step(0.0, 0.7), 0.5);
    EXPECT_DOUBLE_EQ(fermi_step(-0.7, 0.7), 0.25);
    EXPECT_DOUBLE_EQ(fermi_step(0.7, 0.7), 0.75);
    EXPECT_EQ(fermi_step(-1e-3, 0.0), 0.0);
    const arctan_width law;  // 15, 30, 30 eV
    EXPECT_EQ(law(-5.0), 0.0);
    EXPECT_EQ(law(0.0), 0.0);
    EXPECT_DOUBLE_EQ(law(30.0), 7.5);
    EXPECT_DOUBLE_EQ(law(60.0), 15.0 * (0.5 + std::atan(pi / 6.0 * 1.75) / pi));
    EXPECT_NEAR(law(1e6), 15.0, 1e-3);
    EXPECT_LT(law(1e-3), 2e-8);  // Gamma_max / (pi |arg|), arg = -(pi/6) / e^2, e = 1/30000
}

// The piecewise-linear curve through the points, on the grid anchored at 0 (the Fermi level).
TEST(xas_broadening, resample_follows_the_lines_between_the_points) {
    const grid_spectrum g = resample({-0.23, 0.5, 1.0}, {2.0, 4.0, 0.0}, 0.1);
    ASSERT_EQ(g.mu.size(), 13u);  // -0.2 .. 1.0
    EXPECT_NEAR(g.x0, -0.2, 1e-15);
    EXPECT_NEAR(g.mu[0], 2.0 + 2.0 * 0.03 / 0.73, 1e-12);
    EXPECT_NEAR(g.mu[9], 2.4, 1e-12);  // x = 0.7
    EXPECT_NEAR(g.mu[12], 0.0, 1e-12);
}

}  // namespace
}  // namespace korva::xas
