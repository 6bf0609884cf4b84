#include "sbessel.hpp"

#include <algorithm>
#include <cmath>

namespace korva::psgen {

namespace {

constexpr cdouble I{0.0, 1.0};

// Start order of the downward recurrence: far enough above both lmax and |z| that the
// arbitrary start values have decayed below double precision by the time l = lmax is reached.
int miller_start(cdouble z, int lmax) {
    const double a = std::abs(z);
    const int top = std::max(lmax, static_cast<int>(a));
    return top + 20 + static_cast<int>(std::sqrt(40.0 * (top + 1)));
}

}  // namespace

void sbessel(cdouble z, int lmax, sbessel_values& out) {
    const int n = std::max(lmax, 1) + 1;  // orders 0..n-1, at least j_1 for the derivative of j_0
    out.j.assign(n, 0.0);
    out.y.assign(n, 0.0);
    out.h.assign(n, 0.0);

    const cdouble s = std::sin(z), c = std::cos(z);
    const cdouble j0 = s / z;
    const cdouble j1 = s / (z * z) - c / z;

    // Miller: f_{l-1} = (2l+1)/z f_l - f_{l+1}, rescaled whenever the values grow large.
    const int top = miller_start(z, n - 1);
    cdouble fnext{0.0, 0.0}, fcur{1.0e-30, 0.0};  // f_{l+1}, f_l at l = top
    for (int l = top; l >= 1; --l) {
        const cdouble fprev = static_cast<double>(2 * l + 1) / z * fcur - fnext;
        fnext = fcur;
        fcur = fprev;  // now f_{l-1}
        if (l - 1 < n) out.j[l - 1] = fcur;
        if (std::abs(fcur) > 1.0e200) {
            constexpr double shrink = 1.0e-200;
            fcur *= shrink;
            fnext *= shrink;
            for (int m = l - 1; m < n; ++m) out.j[m] *= shrink;
        }
    }
    // Normalise on whichever of j_0, j_1 the recurrence made larger: near a zero of sin z/z the
    // other one carries the scale.
    const cdouble scale = std::abs(out.j[0]) >= std::abs(out.j[1]) ? j0 / out.j[0] : j1 / out.j[1];
    for (auto& v : out.j) v *= scale;

    // Outgoing Hankel function: h_0 = -i e^{iz}/z, h_1 = -e^{iz}(z + i)/z^2.
    const cdouble e = std::exp(I * z);
    out.h[0] = -I * e / z;
    out.h[1] = -e * (z + I) / (z * z);
    for (int l = 1; l + 1 < n; ++l)
        out.h[l + 1] = static_cast<double>(2 * l + 1) / z * out.h[l] - out.h[l - 1];
    for (int l = 0; l < n; ++l) out.y[l] = -I * (out.h[l] - out.j[l]);
    out.y[0] = -c / z;  // exact, and free of the cancellation in h_0 - j_0

    // f_0' = -f_1;  f_l' = f_{l-1} - (l+1)/z f_l.
    auto deriv = [&](const std::vector<cdouble>& f, std::vector<cdouble>& df) {
        df.assign(lmax + 1, 0.0);
        df[0] = -f[1];
        for (int l = 1; l <= lmax; ++l) df[l] = f[l - 1] - static_cast<double>(l + 1) / z * f[l];
    };
    deriv(out.j, out.dj);
    deriv(out.y, out.dy);
    deriv(out.h, out.dh);
    out.j.resize(lmax + 1);
    out.y.resize(lmax + 1);
    out.h.resize(lmax + 1);
}

}  // namespace korva::psgen
