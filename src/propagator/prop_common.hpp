// What the three propagator builders share: access to the column-major block, the first-call
// preparation of their tables, the coefficient-count line and the capacity messages.
#pragma once
#include <algorithm>
#include <cstddef>
#include <ostream>
#include <string>

#include "common/types.hpp"

namespace korva {

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

// What every builder does first: the cut-off warning above lcut; on the first call the table
// for lmax and mmax and its report (`where` as for report_coefficients). A later call outside
// the calling contract (a larger lmax or another mmax than the first call's) rebuilds rather
// than read coefficients that were never made.
template <class Table, class Build>
void prepare_table(Table& t, std::ostream& out, const char* name, int lcut, int nind,
                   const char* where, int lmax, int mmax, Build build) {
    if (lmax > lcut) write_cutoff_warning(out, name, lmax);
    if (!t.built) {
        build(t, lmax, mmax);
        report_coefficients(out, static_cast<int>(t.coe.size()), lmax, nind, where);
        t.built = true;
    } else if (lmax > t.lmax || mmax != t.mmax) {
        build(t, lmax, mmax);
    }
}

}  // namespace korva
