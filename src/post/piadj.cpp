#include "post/piadj.hpp"

#include <cassert>
#include <cmath>

#include "common/textio.hpp"
#include "common/units.hpp"

namespace korva {

void piadj(std::ostream& out, [[maybe_unused]] int ner, int nen, const real* kwave, real* phase,
           real slope) {
    assert(nen <= ner);
    // Mismatch thresholds in radians: above to1 one turn is missing, above to2 two; beyond
    // to3 the energy mesh is too coarse to tell.
    constexpr real to1 = 4.0f;
    constexpr real to2 = 10.0f;
    constexpr real to3 = 16.0f;
    const real twopi = 2.0f * pi_f;
    int m = 0;  // turns added so far; every later point carries them all
    for (int i = 1; i < nen; ++i) {
        const real p = phase[i - 1] + (kwave[i] - kwave[i - 1]) * slope;
        const real d = p - (phase[i] + twopi * static_cast<real>(m));
        if (d > to1 && d <= to2) m += 1;
        if (d > to2 && d <= to3) m += 2;
        if (-d > to1 && -d <= to2) m -= 1;
        if (-d > to2 && -d <= to3) m -= 2;
        if (std::fabs(d) > to3) {
            out << (record()
                    << " ****  WARNING IN SUBROUTINE \"PIADJ\" USE A FINER ENERGY MESH  **** ");
        }
        phase[i] = phase[i] + twopi * static_cast<real>(m);
    }
}

}  // namespace korva
