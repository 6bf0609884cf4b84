// What the three propagator builders share: the channel numbering of a call, access to the
// column-major block, the coefficient-count line and the capacity messages.
#pragma once
#include <algorithm>
#include <cstddef>
#include <ostream>
#include <string>

#include "common/types.hpp"

namespace korva {

// Channel numbering of one call with cut-offs lmax and mmax.
struct prop_layout {
    int mm0, mm1, mm2, ndim;
    prop_layout(int lmax, int mmax)
        : mm0(std::min(lmax, mmax)),
          mm1(2 * mm0 + 1),
          mm2((mm0 + 1) * (mm0 + 1)),
          ndim((lmax - mm0) * mm1 + mm2) {}
    // 1-based number of channel (l, 0).
    int centre(int l) const {
        return l <= mm0 ? l * (l + 1) + 1 : (l - mm0 - 1) * mm1 + mm2 + mm0 + 1;
    }
};

// Element (a, b), 1-based, of a column-major block with leading dimension ld.
inline cplx& gg_at(cplx* gg, int ld, int a, int b) {
    return gg[static_cast<std::size_t>(a - 1) +
              static_cast<std::size_t>(b - 1) * static_cast<std::size_t>(ld)];
}

// " >>>>  " count " COEFF.    COMPUTED   Lmax =" lmax ... "<<<<", after a blank in column 1.
std::string coeff_count_line(int ind, int lmax);
// The first call's report: the coefficient-count line and, past the capacity nind, the
// NIND message; `where` is its "SUBROUTINE ... NIND TO" part, spaced as each builder has it.
void report_coefficients(std::ostream& out, int ind, int lmax, int nind, const char* where);

// The cut-off warning of builder `name` ("PROP1", ...), written on every call above its limit.
void write_cutoff_warning(std::ostream& out, const char* name, int lmax);

}  // namespace korva
