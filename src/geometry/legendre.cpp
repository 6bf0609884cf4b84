#include "geometry/legendre.hpp"

#include <charconv>
#include <cmath>
#include <string>

#include "common/capacities.hpp"
#include "common/textio.hpp"

namespace korva {

namespace {
constexpr double qpi = 12.56637061435917;  // 4 pi of the normalisation

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

// Y(l, m)(theta, 0) for l = 0..ltop into plm, cos theta = z and sin theta = s >= 0, by the
// three-term recurrences of the normalised associated Legendre functions, which lose no digits
// at any order: for each m >= 0, the sectoral value Y(m, m) = -sqrt((2m+1) / (2m)) s Y(m-1, m-1)
// from Y(0, 0) = 1 / sqrt(4 pi), then Y(m+1, m) = sqrt(2m+3) z Y(m, m) and, upwards in l,
// Y(l, m) = a(l, m) (z Y(l-1, m) - Y(l-2, m) / a(l-1, m)), a(l, m) = sqrt((4l^2-1) / (l^2-m^2)).
// Near the poles the sectoral values of large m underflow gracefully to 0; the true values
// there are below 1e-240. Y(l, -m) = (-1)^m Y(l, m).
void fill_harmonics(double z, double s, int ltop, double* plm) {
    auto a = [](int l, int m) {
        return std::sqrt(static_cast<double>(4 * l * l - 1) / static_cast<double>(l * l - m * m));
    };
    double ymm = std::sqrt(1.0 / qpi);
    for (int m = 0; m <= ltop; ++m) {
        if (m > 0) ymm = -std::sqrt(static_cast<double>(2 * m + 1) / (2 * m)) * s * ymm;
        const double sgn = m % 2 == 0 ? 1.0 : -1.0;
        auto store = [&](int l, double v) {
            plm[l * (l + 1) + m] = v;
            plm[l * (l + 1) - m] = sgn * v;
        };
        store(m, ymm);
        if (m == ltop) break;
        double prev = ymm;
        double cur = std::sqrt(static_cast<double>(2 * m + 3)) * z * ymm;
        store(m + 1, cur);
        for (int l = m + 2; l <= ltop; ++l) {
            const double next = a(l, m) * (z * cur - prev / a(l - 1, m));
            prev = cur;
            cur = next;
            store(l, cur);
        }
    }
}
}  // namespace

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
    // Orders whose entries do not fit in plm are left out.
    int ltop = lmx;
    while (ltop >= 0 && (ltop + 1) * (ltop + 1) > capacity) --ltop;
    fill_harmonics(z, s, ltop, plm);
}

}  // namespace korva
