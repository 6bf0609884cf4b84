// The least-squares fit of the comparison's parameters by GSL's nonlinear least squares
// (gsl_multifit_nlinear: trust region with Levenberg-Marquardt steps, the Jacobian by forward
// differences). Each parameter is free or fixed; a free one stays within its bounds [lo, hi]
// through the map p = lo + (hi - lo)(1 + sin u)/2 of an unbounded u (the transformation of
// MINUIT and lmfit), and its standard error is the error of u carried through dp/du.
#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace korva::xas {

enum parameter_index : std::size_t { p_shift, p_scale, p_resolution, p_width, n_parameters };
using parameter_values = std::array<double, n_parameters>;

struct fit_parameter {
    std::string name;  // as the options name it: shift, scale, resolution, width
    std::string unit;  // "eV", or empty
    double value = 0.0;
    double lo = 0.0, hi = 0.0;
    bool free = true;
    double error = 0.0;     // standard error; 0 when fixed
    bool at_bound = false;  // the fit ended on a bound: the error says nothing there
};
using fit_parameters = std::array<fit_parameter, n_parameters>;

// The comparison's residuals (model - measured) for a set of values; `r` has the residuals'
// count on entry. It may throw: the fit stops and the exception goes on to the caller.
using residual_function = std::function<void(const parameter_values&, std::vector<double>& r)>;

struct fit_outcome {
    fit_parameters p;  // the fitted values (fixed ones as given) and their errors
    bool converged = false;
    std::string reason;  // why it did not converge
    int iterations = 0;
    double chisq = 0.0;  // sum of the squared residuals
};

// A start on a bound moves this share of the range inside: on the bound, dp/du is 0 and the
// parameter could never leave it.
constexpr double start_inset = 0.01;

// The standard errors assume independent residuals of one unknown size, estimated from chisq /
// (n - free parameters) as for unweighted data. Needs more residuals than free parameters.
fit_outcome fit(const fit_parameters& start, std::size_t n, const residual_function& f,
                int max_iterations);

}  // namespace korva::xas
