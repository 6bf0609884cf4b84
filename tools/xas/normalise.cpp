#include "normalise.hpp"

#include <gsl/gsl_multifit.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

namespace korva::xas {

namespace {

// Powers of (E - E0) in units of 100 eV keep the normal equations well conditioned.
constexpr double fit_unit = 100.0;  // eV

double polynomial(const std::vector<double>& c, double x) {
    double y = 0.0;
    for (std::size_t k = c.size(); k-- > 0;) y = y * x + c[k];
    return y;
}

std::string range_text(double lo, double hi) {
    char buf[96];
    std::snprintf(buf, sizeof buf, "E0%+g..E0%+g eV", lo, hi);
    return buf;
}

}  // namespace

double largest_derivative(const std::vector<double>& e, const std::vector<double>& mu) {
    std::size_t best = 1;
    double largest = -std::numeric_limits<double>::infinity();
    for (std::size_t i = 1; i + 1 < e.size(); ++i) {
        const double a = e[i] - e[i - 1], b = e[i + 1] - e[i];
        const double d =
            (a * a * mu[i + 1] - b * b * mu[i - 1] + (b * b - a * a) * mu[i]) / (a * b * (a + b));
        if (d > largest) largest = d, best = i;
    }
    return e[best];
}

std::vector<double> fit_polynomial(const std::vector<double>& e, const std::vector<double>& mu,
                                   double e0, double lo, double hi, int degree,
                                   const std::string& what) {
    std::vector<std::size_t> in;
    for (std::size_t i = 0; i < e.size(); ++i)
        if (e[i] - e0 >= lo && e[i] - e0 <= hi) in.push_back(i);
    const std::size_t p = static_cast<std::size_t>(degree) + 1;
    if (in.size() < p + 1)
        throw normalise_error("fewer than " + std::to_string(p + 1) + " points in the " + what +
                              " range " + range_text(lo, hi));
    using matrix = std::unique_ptr<gsl_matrix, decltype(&gsl_matrix_free)>;
    using vector = std::unique_ptr<gsl_vector, decltype(&gsl_vector_free)>;
    matrix x(gsl_matrix_alloc(in.size(), p), gsl_matrix_free);
    matrix cov(gsl_matrix_alloc(p, p), gsl_matrix_free);
    vector y(gsl_vector_alloc(in.size()), gsl_vector_free), c(gsl_vector_alloc(p), gsl_vector_free);
    for (std::size_t r = 0; r < in.size(); ++r) {
        const double t = (e[in[r]] - e0) / fit_unit;
        double power = 1.0;
        for (std::size_t k = 0; k < p; ++k, power *= t) gsl_matrix_set(x.get(), r, k, power);
        gsl_vector_set(y.get(), r, mu[in[r]]);
    }
    auto work = std::unique_ptr<gsl_multifit_linear_workspace, decltype(&gsl_multifit_linear_free)>(
        gsl_multifit_linear_alloc(in.size(), p), gsl_multifit_linear_free);
    double chisq = 0.0;
    gsl_multifit_linear(x.get(), y.get(), c.get(), cov.get(), &chisq, work.get());
    std::vector<double> coef(p);
    double scale = 1.0;  // back to powers of (E - E0) in eV
    for (std::size_t k = 0; k < p; ++k, scale /= fit_unit)
        coef[k] = gsl_vector_get(c.get(), k) * scale;
    return coef;
}

normalise_ranges ranges_for(double e0, double last, bool pre_edge) {
    normalise_ranges r;
    r.pre_edge = pre_edge;
    r.post1 = last - e0 >= 250.0 ? 150.0 : (last - e0) / 3.0;
    return r;
}

normalisation normalise(const std::vector<double>& e, const std::vector<double>& mu,
                        const normalise_ranges& r, std::optional<double> e0) {
    if (e.size() < 3) throw normalise_error("fewer than 3 points");
    normalisation n;
    n.e0 = e0 ? *e0 : largest_derivative(e, mu);
    std::vector<double> line{0.0, 0.0};
    if (r.pre_edge) line = fit_polynomial(e, mu, n.e0, r.pre1, r.pre2, 1, "pre-edge");
    std::vector<double> rest(mu.size());
    for (std::size_t i = 0; i < mu.size(); ++i) rest[i] = mu[i] - polynomial(line, e[i] - n.e0);
    n.post_lo = r.post1;
    n.post_hi = std::min(r.post2, e.back() - n.e0);
    // A quadratic extrapolated to E0 from a short range (a near-edge spectrum of 100 eV) can
    // follow one oscillation below zero: a line then, or a constant, gives the step.
    std::vector<double> post;
    for (n.post_degree = 2; n.post_degree >= 0; --n.post_degree) {
        post = fit_polynomial(e, rest, n.e0, n.post_lo, n.post_hi, n.post_degree, "post-edge");
        if (post[0] > 0.0 && std::isfinite(post[0])) break;
    }
    if (n.post_degree < 0)
        throw normalise_error(
            "the edge step (the post-edge quadratic, line or mean at E0) is not positive");
    n.step = post[0];
    post.resize(3, 0.0);
    n.pre = {line[0], line[1]};
    n.post = {post[0], post[1], post[2]};
    n.mu.resize(mu.size());
    for (std::size_t i = 0; i < mu.size(); ++i) n.mu[i] = rest[i] / n.step;
    return n;
}

}  // namespace korva::xas
