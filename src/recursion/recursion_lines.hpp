// The A and B lines the recursion writes at print level 3 and above.
#pragma once
#include <ostream>

#include "common/textio.hpp"
#include "common/types.hpp"

namespace korva {

// Level n: a(n) and the continued fraction s after it.
inline void write_a_line(std::ostream& out, int n, cplx a, cplx s) {
    out << "        "
        << " A(" << field_i(n, 3) << ") = " << field_f(a.real(), 14, 8) << field_f(a.imag(), 14, 8)
        << "     "
        << "S=" << field_f(s.real(), 14, 8) << field_f(s.imag(), 14, 8) << '\n';
}

inline void write_b_line(std::ostream& out, int n, cplx b) {
    out << "        "
        << " B(" << field_i(n, 3) << ") = " << field_f(b.real(), 14, 8) << field_f(b.imag(), 14, 8)
        << '\n';
}

}  // namespace korva
