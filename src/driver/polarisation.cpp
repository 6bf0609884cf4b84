#include "driver/polarisation.hpp"

#include <cmath>
#include <cstdio>

#include "common/channels.hpp"

namespace korva {

namespace {

double dot(const double a[3], const vec3& b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

}  // namespace

vec3 cluster_frame_vector(const angles_frame& f, const vec3& e) {
    // The frame's axes in double: the vector is rounded once, at the end.
    const double z[3] = {f.zz[0], f.zz[1], f.zz[2]};
    double x[3] = {f.xt0[0], f.xt0[1], f.xt0[2]};
    if (!f.jtheta) {
        // No bond off the axis: any direction normal to z, the signal does not depend on it.
        const double a[3] = {std::fabs(z[0]) < 0.9 ? 1.0 : 0.0, std::fabs(z[0]) < 0.9 ? 0.0 : 1.0,
                             0.0};
        const double c = a[0] * z[0] + a[1] * z[1];
        double n = 0;
        for (int k = 0; k < 3; ++k) {
            x[k] = a[k] - c * z[k];
            n += x[k] * x[k];
        }
        for (double& v : x) v /= std::sqrt(n);
    }
    const double y[3] = {z[1] * x[2] - z[2] * x[1], z[2] * x[0] - z[0] * x[2],
                         z[0] * x[1] - z[1] * x[0]};
    return {static_cast<real>(dot(x, e)), static_cast<real>(dot(y, e)),
            static_cast<real>(dot(z, e))};
}

std::string polarisation_name(int k, const vec3& e) {
    char buf[96];
    std::snprintf(buf, sizeof buf, "e%d = (%.3g, %.3g, %.3g)", k, static_cast<double>(e[0]),
                  static_cast<double>(e[1]), static_cast<double>(e[2]));
    return buf;
}

recursion_start polarised_start(const vec3& e, int mmax) {
    const double r = 1.0 / std::sqrt(2.0);
    const std::complex<double> c[3] = {{e[0] * r, e[1] * r}, {e[2], 0.0}, {-e[0] * r, e[1] * r}};
    recursion_start s;
    for (int m = -1; m <= 1; ++m) {
        const cplx cm(static_cast<real>(c[m + 1].real()), static_cast<real>(c[m + 1].imag()));
        const int idx = layout_index(1, m, mmax);
        s.right.emplace_back(idx, cm);
        s.left.emplace_back(idx, std::conj(cm));
    }
    return s;
}

}  // namespace korva
