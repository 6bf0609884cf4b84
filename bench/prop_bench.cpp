// Time of one propagator-builder call (after the first, which builds the table), per variant,
// at lmax = mmax = 8 and at lmax = 12, mmax = 4.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <sstream>
#include <vector>

#include "common/capacities.hpp"
#include "common/channels.hpp"
#include "geometry/ylm.hpp"
#include "propagator/prop_tables.hpp"

namespace {

using korva::cplx;
using korva::real;

// Repeats `call` until at least `min_seconds` have passed; returns seconds per call.
template <class F>
double time_per_call(F&& call, double min_seconds = 1.0) {
    using clock = std::chrono::steady_clock;
    long n = 1;
    for (;;) {
        const auto t0 = clock::now();
        for (long i = 0; i < n; ++i) call(i);
        const double dt = std::chrono::duration<double>(clock::now() - t0).count();
        if (dt >= min_seconds) return dt / static_cast<double>(n);
        n *= 2;
    }
}

}  // namespace

int main() {
    const int ld = korva::LDGG_;
    std::vector<cplx> gg(static_cast<std::size_t>(ld * ld));
    std::vector<real> y(korva::NYLM_);
    std::ostringstream sink;  // coefficient-count lines
    korva::fill_ylm_column(sink, 0.37, 2 * korva::LPROP_, y.data());
    const real r = 4.5f;
    double checksum = 0.0;

    std::printf("%-6s %5s %5s %6s %14s %14s\n", "prop", "lmax", "mmax", "n", "us/call",
                "ns/element");
    struct cut {
        int lmax, mmax;
    };
    for (const cut c : {cut{8, 8}, cut{12, 4}}) {
        const int n = korva::layout_count(c.lmax, c.mmax);
        const double elements = static_cast<double>(n) * n;
        korva::prop_tables tables;
        // Energy points differ from call to call, as in the energy loop.
        auto k_of = [](long i) { return cplx(1.0f + 0.001f * static_cast<real>(i % 97), 0.02f); };
        korva::prop1(tables.p1, sink, ld, c.lmax, c.mmax, k_of(0), r, gg.data());
        korva::prop2(tables.p2, sink, ld, c.lmax, c.mmax, k_of(0), r, y.data(), gg.data());
        korva::prop3(tables.p3, sink, ld, c.lmax, c.mmax, k_of(0), r, y.data(), 1.1f, gg.data());
        const double t1 = time_per_call([&](long i) {
            korva::prop1(tables.p1, sink, ld, c.lmax, c.mmax, k_of(i), r, gg.data());
            checksum += gg[1].real();
        });
        const double t2 = time_per_call([&](long i) {
            korva::prop2(tables.p2, sink, ld, c.lmax, c.mmax, k_of(i), r, y.data(), gg.data());
            checksum += gg[1].real();
        });
        const double t3 = time_per_call([&](long i) {
            korva::prop3(tables.p3, sink, ld, c.lmax, c.mmax, k_of(i), r, y.data(), 1.1f,
                         gg.data());
            checksum += gg[1].real();
        });
        const double ts[3] = {t1, t2, t3};
        for (int v = 0; v < 3; ++v)
            std::printf("prop%-2d %5d %5d %6d %14.2f %14.2f\n", v + 1, c.lmax, c.mmax, n,
                        ts[v] * 1e6, ts[v] * 1e9 / elements);
    }
    std::printf("(checksum %g)\n", checksum);
    return 0;
}
