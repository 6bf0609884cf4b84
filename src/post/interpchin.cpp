#include "post/interpchin.hpp"

#include <cassert>
#include <cmath>

namespace korva {

void minterp(const real* x, const real* y, int n, real x0, real& value, real& slope,
             bool want_slope) {
    value = 0.0f;
    slope = 0.0f;
    for (int i = 0; i < n; ++i) {
        real den = 1.0f;
        real num = 1.0f;
        for (int j = 0; j < n; ++j) {
            if (j == i) continue;
            den = den * (x[i] - x[j]);
            num = num * (x0 - x[j]);
        }
        value = value + y[i] * num / den;
        if (want_slope) {
            // d/dx0 of the numerator: one factor left out at a time.
            real sum = 0.0f;
            for (int j = 0; j < n; ++j) {
                if (j == i) continue;
                real prod = 1.0f;
                for (int m = 0; m < n; ++m) {
                    if (m == i || m == j) continue;
                    prod = prod * (x0 - x[m]);
                }
                sum = sum + prod;
            }
            slope = slope + y[i] * sum / den;
        }
    }
}

void interpchin([[maybe_unused]] int ner, const real* kwave, const real* amp, const real* phase,
                int norder, [[maybe_unused]] int npi, int nmesh, const real* kmesh,
                const int* istart, real* chi, real* chimesh) {
    assert(nmesh <= npi);
    for (int i = 0; i < nmesh; ++i) {
        const int s = istart[i] - 1;  // 0-based first energy point
        assert(s >= 0 && s + norder <= ner);
        real a, p, unused;
        minterp(kwave + s, amp + s, norder, kmesh[i], a, unused, false);
        minterp(kwave + s, phase + s, norder, kmesh[i], p, unused, false);
        chi[i] = std::sin(p) * a;
        chimesh[i] = chimesh[i] + chi[i];
    }
}

}  // namespace korva
