#include "geometry/angles.hpp"

#include <cmath>

#include "common/textio.hpp"
#include "common/units.hpp"

namespace korva {

namespace {
void bond_line(std::ostream& out, int b, int i, int j, real r, real c, real t) {
    out << ' ' << " BOND " << field_i(b, 4) << "   ATOMS" << field_i(i, 4) << field_i(j, 4)
        << "   R=" << field_f(r, 10, 5) << "   COS(FI)=" << field_f(c, 10, 5)
        << "  THETA=" << field_f(t, 10, 5) << '\n';
}
real clamp1(real x) {
    return x > 1.0f ? 1.0f : (x < -1.0f ? -1.0f : x);
}
}  // namespace

std::vector<real> bond_lengths(int nat, const real* xat, const real* yat, const real* zat) {
    std::vector<real> r;
    r.reserve(static_cast<std::size_t>(nat) * (nat - 1) / 2);
    for (int i = 0; i < nat; ++i)
        for (int j = i + 1; j < nat; ++j) {
            const real dx = xat[j] - xat[i], dy = yat[j] - yat[i], dz = zat[j] - zat[i];
            r.push_back(std::sqrt(dx * dx + dy * dy + dz * dz));
        }
    return r;
}

void angles(angles_frame& f, std::ostream& out, int nat, const real* xat, const real* yat,
            const real* zat, bond_list& bonds) {
    const int nb = nat * (nat - 1) / 2;
    bonds.rbond = bond_lengths(nat, xat, yat, zat);
    bonds.cbond.assign(nb, 0.0f);
    bonds.tbond.assign(nb, 0.0f);

    // Bond 1 is the z axis.
    {
        const real dx = xat[1] - xat[0], dy = yat[1] - yat[0], dz = zat[1] - zat[0];
        const real r = bonds.rbond[0];
        f.zz[0] = dx / r;
        f.zz[1] = dy / r;
        f.zz[2] = dz / r;
        bonds.cbond[0] = 1.0f;
        bonds.tbond[0] = 0.0f;
        bonds.thetanz = false;
        bond_line(out, 1, 1, 2, r, 1.0f, 0.0f);
    }

    int ib = 1;
    for (int i = 1; i <= nat; ++i) {
        for (int j = (i + 1 > 3 ? i + 1 : 3); j <= nat; ++j) {
            ++ib;
            const real ex = xat[j - 1] - xat[i - 1], ey = yat[j - 1] - yat[i - 1],
                       ez = zat[j - 1] - zat[i - 1];
            const real r = bonds.rbond[ib - 1];
            const real dx = ex / r, dy = ey / r, dz = ez / r;
            const real c = clamp1(dx * f.zz[0] + dy * f.zz[1] + dz * f.zz[2]);
            real xt[3] = {dx - c * f.zz[0], dy - c * f.zz[1], dz - c * f.zz[2]};
            const real tt = std::sqrt(xt[0] * xt[0] + xt[1] * xt[1] + xt[2] * xt[2]);
            if (tt > 0.0f)
                for (real& x : xt) x /= tt;
            real theta = 0.0f;
            if (!f.jtheta) {
                // The first bond off the axis fixes the reference direction.
                if (std::fabs(c) != 1.0f) {
                    for (int k = 0; k < 3; ++k) f.xt0[k] = xt[k];
                    f.jtheta = true;
                }
            } else {
                const real ct = clamp1(xt[0] * f.xt0[0] + xt[1] * f.xt0[1] + xt[2] * f.xt0[2]);
                theta = std::acos(ct);
                // det(xt0, xt, zz) = xt0 . (xt x zz)
                const real cx = xt[1] * f.zz[2] - xt[2] * f.zz[1];
                const real cy = xt[2] * f.zz[0] - xt[0] * f.zz[2];
                const real cz = xt[0] * f.zz[1] - xt[1] * f.zz[0];
                const real det = f.xt0[0] * cx + f.xt0[1] * cy + f.xt0[2] * cz;
                if (theta != 0.0f && det < 0.0f) theta = 2.0f * pi_f - theta;
                if (theta != 0.0f) bonds.thetanz = true;
            }
            bonds.cbond[ib - 1] = c;
            bonds.tbond[ib - 1] = theta;
            if (ib <= 50) bond_line(out, ib, i, j, r, c, theta);
        }
    }
}

}  // namespace korva
