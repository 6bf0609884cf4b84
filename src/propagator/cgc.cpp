#include "propagator/cgc.hpp"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <utility>

#include "common/textio.hpp"

namespace korva {

namespace {

// Multiplies v by the product of num[p]! / den[p]! over p, the lists sorted descending each by
// itself and paired rank by rank; v is kept within 1e-20..1e20 by rescaling, each rescale
// moving e by 2 (e counts powers of 1e10).
template <int n>
void ratio_pass(int (&num)[n], int (&den)[n], double& v, int& e) {
    for (int p = 0; p < n - 1; ++p) {
        int in = p;
        int id = p;
        for (int q = p + 1; q < n; ++q) {
            if (num[q] > num[in]) in = q;
            if (den[q] > den[id]) id = q;
        }
        std::swap(num[p], num[in]);
        std::swap(den[p], den[id]);
    }
    for (int p = 0; p < n; ++p) {
        const int a = num[p];
        const int b = den[p];
        if (a > b) {
            for (int f = std::max(b + 1, 2); f <= a; ++f) {
                if (std::fabs(v) >= 1e20) {
                    v /= 1e20;
                    e += 2;
                }
                v *= static_cast<double>(f);
            }
        } else if (a < b) {
            for (int f = std::max(a + 1, 2); f <= b; ++f) {
                if (std::fabs(v) <= 1e-20) {
                    v *= 1e20;
                    e -= 2;
                }
                v /= static_cast<double>(f);
            }
        }
    }
}

// 1e10^e by repeated multiplication (a reciprocal for negative e). For momenta up to 40, e
// stays within -2..3, where the intermediate powers up to 1e20 are exact and any order of
// evaluation rounds once.
double pow1e10(int e) {
    double p = 1.0;
    for (int i = 0; i < std::abs(e); ++i) p *= 1e10;
    return e < 0 ? 1.0 / p : p;
}

}  // namespace

real cgc(int j1, int j2, int j3, int m1, int m2) {
    const int mt = m1 + m2;
    int num[5] = {j3 + j1 - j2, j3 + j2 - j1, j1 + j2 - j3, j3 + mt, j3 - mt};
    int den[5] = {j1 + j2 + j3 + 1, j1 - m1, j1 + m1, j2 - m2, j2 + m2};
    for (int p = 0; p < 5; ++p)
        if (num[p] < 0 || den[p] < 0) return 0.0f;
    const int k0 = std::max(0, mt + j2 - j1);
    const int kmax = std::min(j3 + j2 - j1, j3 + mt);

    double v = 1.0;
    int e = 0;
    ratio_pass(num, den, v, e);
    e /= 2;
    v = std::sqrt(static_cast<double>(2 * j3 + 1) * v);

    // First term of the sum; one of k0! and (k0 + j1 - j2 - M)! is 0!.
    int num2[3] = {j2 + j3 + m1 - k0, j1 - m1 + k0, 0};
    int den2[3] = {k0 > 0 ? k0 : j1 - j2 - mt, j3 + j2 - j1 - k0, j3 + mt - k0};
    ratio_pass(num2, den2, v, e);
    if ((j2 + k0 + m2) % 2 != 0) v = -v;
    double t = v * pow1e10(e);
    double s = t;
    for (int k = k0 + 1; k <= kmax; ++k) {
        const int pn = (j1 + k - m1) * (j3 + j2 - j1 - k + 1) * (j3 + mt - k + 1);
        const int qd = (j1 + k - j2 - mt) * k * (j2 + j3 + m1 - k + 1);
        t = -t * static_cast<double>(pn) / static_cast<double>(qd);
        s = s + t;
    }
    return static_cast<real>(s);
}

real c3j(int j1, int j2, int j3, int m1, int m2, int m3) {
    if (m1 + m2 + m3 != 0) return 0.0f;
    const real sgn = (j1 - j2 - m3) % 2 == 0 ? 1.0f : -1.0f;
    return cgc(j1, j2, j3, m1, m2) * sgn / std::sqrt(static_cast<real>(2 * j3 + 1));
}

int c3j0_triple(int lmin, int lmid, int lmax) {
    const int t = lmin - 1;
    const int p = std::abs(t) % 2;
    return 10 * ((t + 4) * t + 4 - p) + ((6 * p + 10 - (4 * t + 9) * t) * t - 3 * p) / 24 + 1 +
           (lmid - lmin) * (lmin / 2 + 1) + (lmax + p - 1 - lmid) / 2 + 1;
}

double c3j0(c3j0_cache& cache, std::ostream& out, int l1, int l2, int l3) {
    const int jt = l1 + l2 + l3;
    const int lmin = std::min({l1, l2, l3});
    const int lmax = std::max({l1, l2, l3});
    const int lmid = jt - lmin - lmax;
    if (lmid > 40) {
        out << (record() << " WARNING IN SUBROUTINE C3J0: L2=" << lmid
                         << "    MAXIMUM L VALUE ALLOWED IS " << 40);
        return 0.0;
    }
    if (lmin < 0) {
        out << (record() << " WARNING IN SUBROUTINE C3J0 "
                         << "L VALUES SHOULD BE NON NEGATIVE " << lmin << lmid << lmax);
        return 0.0;
    }
    if (jt % 2 != 0 || lmin + lmid < lmax) return 0.0;
    const int n = c3j0_triple(lmin, lmid, lmax);
    assert(n >= 1 && n <= NC3J0_);
    const auto slot = static_cast<std::size_t>(n - 1);
    if (cache.flx[slot] != 0) return cache.value[slot];
    cache.value[slot] = static_cast<double>(c3j(lmin, lmid, lmax, 0, 0, 0));
    cache.flx[slot] = 1;
    ++cache.computed;
    return cache.value[slot];
}

}  // namespace korva
