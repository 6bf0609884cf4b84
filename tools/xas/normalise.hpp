// Edge-step normalisation of an absorption spectrum, measured or computed, as Athena and Larch
// do it: E0 at the largest derivative, a straight line fitted below the edge and subtracted, a
// quadratic fitted above it, the edge step their difference at E0, and the spectrum minus the
// line divided by the step. When the quadratic's value at E0 is not positive (a short range
// whose quadratic follows an oscillation), a line is fitted instead, then a constant.
#pragma once

#include <array>
#include <limits>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace korva::xas {

// The fit ranges, eV relative to E0 (Athena's defaults). A range is cut to the data.
struct normalise_ranges {
    // false: no line is fitted and none subtracted, for a spectrum without background below its
    // edge (a computed one: nothing but this edge absorbs in the calculation).
    bool pre_edge = true;
    double pre1 = -150.0, pre2 = -30.0;
    double post1 = 150.0, post2 = std::numeric_limits<double>::infinity();  // to the end
};

struct normalisation {
    double e0 = 0.0;                            // eV
    double step = 0.0;                          // in the unit of mu
    std::array<double, 2> pre{0.0, 0.0};        // line: pre[0] + pre[1] (E - E0)
    std::array<double, 3> post{0.0, 0.0, 0.0};  // quadratic in (E - E0)
    int post_degree = 2;  // 2; 1 or 0 when the quadratic's value at E0 is not positive
    double post_lo = 0.0, post_hi = 0.0;  // the post-edge range used, eV relative to E0
    std::vector<double> mu;               // (mu - line) / step
};

// A spectrum that cannot be normalised: too few points in a range, a step that is not positive.
struct normalise_error : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The energy of the largest derivative (second-order differences on an uneven grid), end
// points excluded. e strictly increasing, at least 3 points.
double largest_derivative(const std::vector<double>& e, const std::vector<double>& mu);

// Least-squares polynomial of the given degree in (e - e0) over the points with lo <= e - e0 <=
// hi (GSL); throws normalise_error naming `what` when fewer than degree + 2 points lie there.
std::vector<double> fit_polynomial(const std::vector<double>& e, const std::vector<double>& mu,
                                   double e0, double lo, double hi, int degree,
                                   const std::string& what);

// E0 at the largest derivative, or at `e0` when given.
normalisation normalise(const std::vector<double>& e, const std::vector<double>& mu,
                        const normalise_ranges& r = {}, std::optional<double> e0 = std::nullopt);

// The ranges for a spectrum from E0 to `last` (eV): the post-edge range from E0 + 150 eV
// (Athena's default) when the spectrum reaches E0 + 250 eV, else from a third of the way
// between E0 and its end, to the end; a pre-edge line when `pre_edge`.
normalise_ranges ranges_for(double e0, double last, bool pre_edge);

}  // namespace korva::xas
