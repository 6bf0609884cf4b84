// The comparison's pieces against independent results: the bounded fit against GSL's linear
// regression, the figures of merit against their closed forms, the measured copper foil against
// the numpy normalisation of bench/xanes/compare.py, and the same data as plain columns in keV
// and as i0 and itrans.
#include <gsl/gsl_fit.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "compare.hpp"
#include "fit.hpp"
#include "measured.hpp"
#include "support/run_program.hpp"

namespace korva::xas {
namespace {

namespace fs = std::filesystem;

const fs::path foil = fs::path(KORVA_SOURCE_DIR) / "examples/cu-k/cu_metal_10K.xdi";

// A straight line y = a + b x fitted through the bounded map (a as the shift, b as the scale,
// both well inside wide bounds) gives what gsl_fit_linear gives: the same values, and the same
// standard errors once the error of u is carried through dp/du.
TEST(xas_fit, a_bounded_straight_line_matches_gsl_fit_linear) {
    std::vector<double> x, y;
    for (int i = 0; i < 40; ++i) {
        x.push_back(0.25 * i);
        y.push_back(1.5 - 0.7 * x.back() + 0.05 * std::sin(3.1 * i));  // a line, and a wobble
    }
    double c0 = 0, c1 = 0, cov00 = 0, cov01 = 0, cov11 = 0, sumsq = 0;
    gsl_fit_linear(x.data(), 1, y.data(), 1, x.size(), &c0, &c1, &cov00, &cov01, &cov11, &sumsq);

    fit_parameters start;
    start[p_shift] = {"a", "", 0.0, -10.0, 10.0};
    start[p_scale] = {"b", "", 0.5, -5.0, 5.0};
    start[p_resolution] = {"r", "", 1.0, 0.0, 2.0, false};
    start[p_width] = {"w", "", 1.0, 0.0, 2.0, false};
    const fit_outcome f = fit(
        start, x.size(),
        [&](const parameter_values& v, std::vector<double>& r) {
            for (std::size_t i = 0; i < r.size(); ++i) r[i] = v[p_shift] + v[p_scale] * x[i] - y[i];
        },
        200);
    ASSERT_TRUE(f.converged) << f.reason;
    // The minimum is found to the solver's tolerances (xtol 1e-8 on u); the errors come from
    // its finite-difference Jacobian (relative steps of 1.5e-8): 1e-6 of them.
    EXPECT_NEAR(f.p[p_shift].value, c0, 1e-7);
    EXPECT_NEAR(f.p[p_scale].value, c1, 1e-7);
    // gsl_fit_linear's covariance is scaled by the scatter about the line already.
    EXPECT_NEAR(f.p[p_shift].error, std::sqrt(cov00), 1e-6 * std::sqrt(cov00));
    EXPECT_NEAR(f.p[p_scale].error, std::sqrt(cov11), 1e-6 * std::sqrt(cov11));
    EXPECT_NEAR(f.chisq, sumsq, 1e-9 * sumsq);
    EXPECT_EQ(f.p[p_resolution].value, 1.0);  // fixed: as given, no error
    EXPECT_EQ(f.p[p_resolution].error, 0.0);
    // A bound that cuts the line's slope holds it there, and says so.
    start[p_scale].hi = -0.8;
    start[p_scale].value = -0.9;
    const fit_outcome held = fit(
        start, x.size(),
        [&](const parameter_values& v, std::vector<double>& r) {
            for (std::size_t i = 0; i < r.size(); ++i) r[i] = v[p_shift] + v[p_scale] * x[i] - y[i];
        },
        200);
    EXPECT_TRUE(held.p[p_scale].at_bound);
    EXPECT_NEAR(held.p[p_scale].value, -0.8, 1e-5);
}

// r of an increasing linear image is 1, of a decreasing one -1; the R-factor of t = (1 - e) m is
// e^2 (sum (e m)^2 / sum m^2).
TEST(xas_fit, figures_take_their_closed_forms) {
    std::vector<double> m, up, down, near;
    for (int i = 0; i < 50; ++i) {
        m.push_back(1.0 + std::sin(0.3 * i));
        up.push_back(3.0 * m.back() + 2.0);
        down.push_back(-0.5 * m.back());
        near.push_back(0.9 * m.back());
    }
    EXPECT_NEAR(figures_of(m, up).r, 1.0, 1e-14);
    EXPECT_NEAR(figures_of(m, down).r, -1.0, 1e-14);
    EXPECT_NEAR(figures_of(m, near).rfactor, 0.01, 1e-14);
}

// The foil: 612 points of mutrans, Cu K; E0 and the edge step as numpy's polyfit gives them in
// bench/xanes/compare.py (E0 8977.58 eV, step 2.3161054369876766 with the pre-edge line over
// E0-150..E0-30 and the quadratic from E0+150 to the end).
TEST(xas_fit, the_copper_foil_as_xdi_as_plain_kev_and_as_intensities) {
    const measured_spectrum m = read_measured(foil.string());
    ASSERT_EQ(m.energy.size(), 612u);
    EXPECT_EQ(m.column, "mutrans");
    EXPECT_EQ(m.element, "Cu");
    EXPECT_EQ(m.edge, "K");
    const measurement n = prepare_measurement(m, {});
    EXPECT_DOUBLE_EQ(n.norm.e0, 8977.58);
    EXPECT_NEAR(n.norm.step, 2.3161054369876766, 1e-10);
    EXPECT_EQ(n.energy.size(), 122u);  // the measured points within E0-10..E0+80

    const fs::path d = test::scratch_dir("xas_measured_forms");
    std::string kev = "# the foil in keV, plain columns\n", i0 = "# XDI/1.0\n";
    i0 += "# Column.1: energy eV\n# Column.2: i0\n# Column.3: itrans\n";
    i0 += "# Element.symbol: Cu\n# Element.edge: K\n#----\n";
    for (std::size_t k = 0; k < m.energy.size(); ++k) {
        char line[96];
        std::snprintf(line, sizeof line, "%.9f %.17g\n", m.energy[k] / 1000.0, m.mu[k]);
        kev += line;
        std::snprintf(line, sizeof line, "%.4f 1e5 %.17g\n", m.energy[k], 1e5 * std::exp(-m.mu[k]));
        i0 += line;
    }
    test::write_file(d / "foil_kev.dat", kev);
    test::write_file(d / "foil_i0.xdi", i0);
    const measured_spectrum k = read_measured((d / "foil_kev.dat").string());
    const measured_spectrum t = read_measured((d / "foil_i0.xdi").string());
    EXPECT_TRUE(k.kev);
    EXPECT_EQ(t.column, "ln(i0/itrans)");
    ASSERT_EQ(k.energy.size(), m.energy.size());
    ASSERT_EQ(t.energy.size(), m.energy.size());
    for (std::size_t i = 0; i < m.energy.size(); ++i) {
        EXPECT_NEAR(k.energy[i], m.energy[i], 1e-6) << i;  // 9 decimals of keV
        EXPECT_EQ(k.mu[i], m.mu[i]) << i;
        EXPECT_NEAR(t.mu[i], m.mu[i], 1e-14) << i;  // ln(1e5 / (1e5 e^-mu)), 17 digits
    }
}

}  // namespace
}  // namespace korva::xas
