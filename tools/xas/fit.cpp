#include "fit.hpp"

#include <gsl/gsl_blas.h>
#include <gsl/gsl_errno.h>
#include <gsl/gsl_matrix.h>
#include <gsl/gsl_multifit_nlinear.h>
#include <gsl/gsl_vector.h>

#include <algorithm>
#include <cmath>
#include <exception>
#include <memory>

namespace korva::xas {

namespace {

// GSL's tests of convergence: the relative step of the unbounded parameters and the scaled
// gradient (gsl_multifit_nlinear_test); the change of the cost is not tested.
constexpr double xtol = 1e-8;
constexpr double gtol = 1e-8;
constexpr double ftol = 0.0;

// Bounds closer than this share of the range count as reached.
constexpr double bound_share = 1e-6;

double to_bounded(const fit_parameter& p, double u) {
    return p.lo + (p.hi - p.lo) * 0.5 * (1.0 + std::sin(u));
}

double to_unbounded(const fit_parameter& p, double v) {
    const double inset = start_inset * (p.hi - p.lo);
    const double inside = std::clamp(v, p.lo + inset, p.hi - inset);
    return std::asin(std::clamp(2.0 * (inside - p.lo) / (p.hi - p.lo) - 1.0, -1.0, 1.0));
}

// What the GSL callback sees: the free parameters' places and the caller's function.
struct context {
    fit_parameters p;
    std::vector<std::size_t> free;
    const residual_function* f = nullptr;
    std::vector<double> r;
    std::exception_ptr error;
};

parameter_values values_at(const context& c, const gsl_vector* x) {
    parameter_values v;
    for (std::size_t k = 0; k < n_parameters; ++k) v[k] = c.p[k].value;
    for (std::size_t j = 0; j < c.free.size(); ++j)
        v[c.free[j]] = to_bounded(c.p[c.free[j]], gsl_vector_get(x, j));
    return v;
}

// GSL calls this through C frames: nothing may be thrown across them.
int residuals(const gsl_vector* x, void* data, gsl_vector* out) {
    auto& c = *static_cast<context*>(data);
    try {
        (*c.f)(values_at(c, x), c.r);
    } catch (...) {
        c.error = std::current_exception();
        return GSL_EBADFUNC;
    }
    for (std::size_t i = 0; i < c.r.size(); ++i) {
        if (!std::isfinite(c.r[i])) return GSL_EBADFUNC;
        gsl_vector_set(out, i, c.r[i]);
    }
    return GSL_SUCCESS;
}

using workspace =
    std::unique_ptr<gsl_multifit_nlinear_workspace, decltype(&gsl_multifit_nlinear_free)>;
using vector = std::unique_ptr<gsl_vector, decltype(&gsl_vector_free)>;
using matrix = std::unique_ptr<gsl_matrix, decltype(&gsl_matrix_free)>;

// The values, the standard errors and the bounds reached, from the solver's last state.
void collect(const context& c, gsl_multifit_nlinear_workspace* w, std::size_t n, fit_outcome& out) {
    const gsl_vector* x = gsl_multifit_nlinear_position(w);
    const gsl_vector* f = gsl_multifit_nlinear_residual(w);
    gsl_blas_ddot(f, f, &out.chisq);
    const std::size_t nf = c.free.size();
    matrix cov(gsl_matrix_alloc(nf, nf), gsl_matrix_free);
    gsl_multifit_nlinear_covar(gsl_multifit_nlinear_jac(w), 0.0, cov.get());
    const double s2 = out.chisq / static_cast<double>(n - nf);
    out.p = c.p;
    for (std::size_t j = 0; j < nf; ++j) {
        fit_parameter& p = out.p[c.free[j]];
        const double u = gsl_vector_get(x, j);
        p.value = to_bounded(p, u);
        const double slope = 0.5 * (p.hi - p.lo) * std::abs(std::cos(u));
        p.error = slope * std::sqrt(std::max(0.0, gsl_matrix_get(cov.get(), j, j) * s2));
        p.at_bound = std::min(p.value - p.lo, p.hi - p.value) <= bound_share * (p.hi - p.lo);
    }
    out.iterations = static_cast<int>(gsl_multifit_nlinear_niter(w));
}

}  // namespace

fit_outcome fit(const fit_parameters& start, std::size_t n, const residual_function& f,
                int max_iterations) {
    context c;
    c.p = start;
    c.f = &f;
    c.r.assign(n, 0.0);
    for (std::size_t k = 0; k < n_parameters; ++k)
        if (start[k].free) c.free.push_back(k);
    fit_outcome out;
    out.p = start;
    const std::size_t nf = c.free.size();
    if (nf == 0 || n <= nf) {
        out.reason = nf == 0 ? "no free parameter" : "fewer points than free parameters";
        return out;
    }
    gsl_multifit_nlinear_parameters params = gsl_multifit_nlinear_default_parameters();
    workspace w(gsl_multifit_nlinear_alloc(gsl_multifit_nlinear_trust, &params, n, nf),
                gsl_multifit_nlinear_free);
    vector x(gsl_vector_alloc(nf), gsl_vector_free);
    for (std::size_t j = 0; j < nf; ++j)
        gsl_vector_set(x.get(), j, to_unbounded(start[c.free[j]], start[c.free[j]].value));
    gsl_multifit_nlinear_fdf fdf{};
    fdf.f = residuals;
    fdf.df = nullptr;  // forward differences
    fdf.n = n;
    fdf.p = nf;
    fdf.params = &c;
    int status = gsl_multifit_nlinear_init(x.get(), &fdf, w.get());
    if (c.error) std::rethrow_exception(c.error);
    if (status != GSL_SUCCESS) {
        out.reason = "the residuals at the start are not finite numbers";
        return out;
    }
    int info = 0;
    status = gsl_multifit_nlinear_driver(static_cast<std::size_t>(max_iterations), xtol, gtol, ftol,
                                         nullptr, nullptr, &info, w.get());
    if (c.error) std::rethrow_exception(c.error);
    collect(c, w.get(), n, out);
    out.converged = status == GSL_SUCCESS;
    if (!out.converged) out.reason = gsl_strerror(status);
    return out;
}

}  // namespace korva::xas
