#include "geometry/legendre.hpp"

#include <array>
#include <charconv>
#include <cmath>
#include <string>

#include "common/capacities.hpp"
#include "common/textio.hpp"

namespace korva {

namespace {
constexpr double qpi = 12.56637061435917;  // 4 pi of the normalisation
constexpr int ncoef = 2 * LMAX_ + 1;       // coefficients of (Z^2 - 1)^l, l <= LMAX_

// A double as a free-format value item: shortest text that reads back as the same double,
// always showing it is a real, with the blanks that separate it from the texts around it.
std::string free_double_item(double x) {
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, x);
    std::string s(1, ' ');
    s.append(buf, res.ptr);
    if (std::isfinite(x) && s.find_first_of(".e") == std::string::npos) s += ".0";
    s += ' ';
    return s;
}
}  // namespace

void derlag(int /*capacity*/, int /*order*/, double* coe, int l, int nd, int m, int& g) {
    double f = 1.0;
    if (nd != 0 && m == 0) f = static_cast<double>(nd);
    if (m != 0 && nd == 0) f = std::sqrt(static_cast<double>((l + m) * (l - m + 1)));
    // After g derivatives of a degree-2l polynomial only one parity of entries is live.
    for (int k = 2 - g % 2; k <= 2 * l - g; k += 2) {
        coe[k - 1] = static_cast<double>(k) * coe[k] / f;
        coe[k] = 0.0;
    }
    ++g;
}

void legendre(std::ostream& out, double& z, int capacity, int& lmx, double* plm) {
    if (lmx > LMAX_) {
        out << (record() << " DIMENSION ERROR IN SUBROUTINE \"LEGENDRE\""
                         << " SET LMAX_ TO " << lmx);
        lmx = LMAX_;
        out << (record() << " CALCULATION LIMITED TO ANGULAR MOMENTUM " << LMAX_);
    }
    double s = 0.0;
    if (z >= -1.0 && z <= 1.0) {
        s = std::sqrt(1.0 - z * z);
    } else if (z > 1.0) {
        out << (record() << " WARNING ORIGINAL VALUE OF Z =" << free_double_item(z)
                         << " CHANGED INTO 1.D0");
        z = 1.0;
    } else if (z < -1.0) {
        out << (record() << " WARNING ORIGINAL VALUE OF Z =" << free_double_item(z)
                         << " CHANGED INTO -1.D0");
        z = -1.0;
    }

    std::array<double, LMAX_ + 1> zp{};
    std::array<double, LMAX_ + 1> sp{};
    zp[0] = 1.0;
    sp[0] = 1.0;
    for (int k = 1; k <= lmx; ++k) {
        zp[k] = zp[k - 1] * z;
        sp[k] = sp[k - 1] * s;
    }

    // Rows i = 0..lmx of (t - 1)^i, row i starting at i (i + 1) / 2.
    std::array<double, (LMAX_ + 1) * (LMAX_ + 2) / 2> bin{};
    bin[0] = 1.0;
    for (int i = 1; i <= lmx; ++i) {
        const int prev = (i - 1) * i / 2;
        const int row = i * (i + 1) / 2;
        bin[row] = -bin[prev];
        for (int j = 1; j <= i - 1; ++j) bin[row + j] = bin[prev + j - 1] - bin[prev + j];
        bin[row + i] = bin[prev + i - 1];
    }

    std::array<double, ncoef> coe{};
    for (int l = 0; l <= lmx; ++l) {
        if ((l + 1) * (l + 1) > capacity) break;  // plm holds no more orders
        int g = 0;
        const int row = l * (l + 1) / 2;
        for (int j = 0; j <= l; ++j) coe[2 * j] = bin[row + j];
        for (int nd = 2 * l; nd >= 2; nd -= 2) derlag(ncoef, lmx, coe.data(), l, nd, 0, g);
        const double norm = std::sqrt(static_cast<double>(2 * l + 1) / qpi);
        double v = 0.0;
        for (int p = l % 2 + 1; p <= l + 1; p += 2) v += coe[p - 1] * zp[p - 1];
        const int centre = l * (l + 1);  // 0-based position of (l, 0)
        plm[centre] = norm * v;
        for (int m = 1; m <= l; ++m) {
            derlag(ncoef, lmx, coe.data(), l, 0, m, g);
            v = 0.0;
            for (int p = (l - m) % 2 + 1; p <= l - m + 1; p += 2) v += coe[p - 1] * zp[p - 1];
            const double sgn = m % 2 == 0 ? 1.0 : -1.0;
            plm[centre + m] = sgn * sp[m] * norm * v;
            plm[centre - m] = sgn * plm[centre + m];
        }
    }
}

}  // namespace korva
