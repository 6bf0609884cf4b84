// Set-up cost of the propagator builders: the first call of each variant, which builds its
// coefficient table (every 3j symbol of the table), at growing cut-offs up to lmax = mmax = 20;
// and the harmonics of one bond direction up to l = 40, as the driver fills a ylm column.
#include <chrono>
#include <cstdio>
#include <sstream>
#include <vector>

#include "common/capacities.hpp"
#include "geometry/ylm.hpp"
#include "propagator/cgc.hpp"
#include "propagator/prop_tables.hpp"

namespace {

using korva::cplx;
using korva::real;
using clock_type = std::chrono::steady_clock;

double seconds_since(clock_type::time_point t0) {
    return std::chrono::duration<double>(clock_type::now() - t0).count();
}

}  // namespace

int main() {
    const int ld = korva::LDGG_;
    std::vector<cplx> gg(static_cast<std::size_t>(ld * ld));
    std::vector<real> y(korva::NYLM_);
    std::ostringstream sink;  // coefficient-count lines and cut-off warnings
    korva::fill_ylm_column(sink, 0.37, 2 * korva::LPROP_, y.data());
    const cplx k(3.0f, 0.02f);
    const real r = 4.5f;

    std::printf("%-6s %5s %5s %10s %12s\n", "prop", "lmax", "mmax", "coeffs", "set-up ms");
    struct cut {
        int lmax, mmax;
    };
    double checksum = 0.0;
    for (const cut c : {cut{8, 8}, cut{12, 12}, cut{15, 15}, cut{18, 18}, cut{20, 20}}) {
        korva::prop_tables t;
        auto t0 = clock_type::now();
        korva::prop1(t.p1, sink, ld, c.lmax, c.mmax, k, r, gg.data());
        const double s1 = seconds_since(t0);
        checksum += gg[1].real();
        t0 = clock_type::now();
        korva::prop2(t.p2, sink, ld, c.lmax, c.mmax, k, r, y.data(), gg.data());
        const double s2 = seconds_since(t0);
        checksum += gg[1].real();
        t0 = clock_type::now();
        korva::prop3(t.p3, sink, ld, c.lmax, c.mmax, k, r, y.data(), 1.1f, gg.data());
        const double s3 = seconds_since(t0);
        checksum += gg[1].real();
        const std::size_t n[3] = {t.p1.coe.size(), t.p2.coe.size(), t.p3.coe.size()};
        const double s[3] = {s1, s2, s3};
        for (int v = 0; v < 3; ++v)
            std::printf("prop%-2d %5d %5d %10zu %12.1f\n", v + 1, c.lmax, c.mmax, n[v], s[v] * 1e3);
    }

    // Every zero-projection symbol c3j0 can hold, momenta up to (40 40 80).
    korva::c3j0_cache cache;
    auto t0 = clock_type::now();
    for (int lo = 0; lo <= 40; ++lo)
        for (int mid = lo; mid <= 40; ++mid)
            for (int hi = mid + lo % 2; hi <= lo + mid; hi += 2)
                checksum += korva::c3j0(cache, sink, lo, mid, hi);
    std::printf("c3j0: all %d triples in %.1f ms\n", cache.computed, seconds_since(t0) * 1e3);

    // One ylm column of l <= 40, repeated for a stable figure.
    t0 = clock_type::now();
    const int reps = 2000;
    for (int i = 0; i < reps; ++i) {
        korva::fill_ylm_column(sink, -0.9 + 1.8 * i / reps, 2 * korva::LPROP_, y.data());
        checksum += y[100];
    }
    std::printf("ylm column, l <= 40: %.1f us\n", seconds_since(t0) * 1e6 / reps);
    std::printf("(checksum %g)\n", checksum);
    return 0;
}
