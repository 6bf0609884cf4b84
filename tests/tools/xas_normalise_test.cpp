// Edge-step normalisation on a synthetic edge whose step is known: a pre-edge line, an edge of
// height J broadened by a Gaussian, and a quadratic post-edge trend; the fits of GSL against a
// polynomial they must reproduce.
#include <gtest/gtest.h>

#include <cmath>

#include "normalise.hpp"

namespace korva::xas {
namespace {

// mu(E) = p0 + p1 (E - E0) + J (1 + erf((E - E0)/w))/2 (1 + q1 (E - E0) + q2 (E - E0)^2): below
// E0 - 30 eV the erf term is below 1e-300 (w = 3 eV), above E0 + 150 eV it is J times the
// quadratic, so the pre-edge line is p0 + p1 (E - E0) and the step J, to rounding, once E0 is
// found at the largest derivative (the grid point E0 itself: the derivative's peak moves by
// less than 0.01 eV from p1, q1 and q2).
struct synthetic_edge {
    double e0 = 8979.0, p0 = 0.9, p1 = -4e-4, j = 1.7, w = 3.0, q1 = -2e-4, q2 = 3e-7;

    double operator()(double e) const {
        const double x = e - e0;
        return p0 + p1 * x + j * 0.5 * (1.0 + std::erf(x / w)) * (1.0 + q1 * x + q2 * x * x);
    }
};

TEST(xas_normalise, a_synthetic_edge_has_its_known_step) {
    const synthetic_edge edge;
    std::vector<double> e, mu;
    for (double x = -200.0; x <= 600.0; x += 0.5) {
        e.push_back(edge.e0 + x);
        mu.push_back(edge(edge.e0 + x));
    }
    const normalisation n = normalise(e, mu);  // Athena's ranges: -150..-30, 150..end
    EXPECT_DOUBLE_EQ(n.e0, edge.e0);
    EXPECT_NEAR(n.step, edge.j, 1e-9 * edge.j);
    EXPECT_NEAR(n.pre[0], edge.p0, 1e-9);
    EXPECT_NEAR(n.pre[1], edge.p1, 1e-12);
    EXPECT_NEAR(n.post[1], edge.j * edge.q1, 1e-12);
    EXPECT_NEAR(n.post[2], edge.j * edge.q2, 1e-14);
    EXPECT_NEAR(n.post_hi, 600.0, 1e-9);
    for (std::size_t i = 0; i < e.size(); ++i) {  // far below 0, far above the quadratic trend
        const double x = e[i] - edge.e0;
        const double expected = x < -30.0 ? 0.0 : 1.0 + edge.q1 * x + edge.q2 * x * x;
        if (std::abs(x) > 30.0) {
            ASSERT_NEAR(n.mu[i], expected, 1e-9) << "E - E0 = " << x;
        }
    }

    // A computed spectrum: no pre-edge line, so the edge without its line has the same step.
    for (std::size_t i = 0; i < e.size(); ++i) mu[i] -= edge.p0 + edge.p1 * (e[i] - edge.e0);
    normalise_ranges computed;
    computed.pre_edge = false;
    EXPECT_NEAR(normalise(e, mu, computed).step, edge.j, 1e-9 * edge.j);

    // A spectrum that ends before the post-edge range cannot be normalised with it.
    const std::vector<double> short_e(e.begin(), e.begin() + 600),
        short_mu(mu.begin(), mu.begin() + 600);
    EXPECT_THROW(normalise(short_e, short_mu), normalise_error);
}

}  // namespace
}  // namespace korva::xas
