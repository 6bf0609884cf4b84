// Angular-momentum coupling coefficients for integer momenta: the Clebsch-Gordan coefficient,
// the Wigner 3j symbol and a cached 3j symbol with zero projections.
#pragma once
#include <array>
#include <cstdint>
#include <ostream>

#include "common/types.hpp"

namespace korva {

// <j1 m1, j2 m2 | j3 m1+m2>, Condon-Shortley phase, by Racah's formula: the factorials paired
// into ratios and rescaled by 1e20 so that none overflows, the alternating sum taken exactly in
// integer arithmetic, so the result is the exact value rounded to single precision (up to
// 1e-13 relative before that rounding); 0 when a selection rule fails.
real cgc(int j1, int j2, int j3, int m1, int m2);

// (j1 j2 j3; m1 m2 m3), from cgc's double-precision value, rounded once to single precision;
// 0 when m1 + m2 + m3 != 0 or a selection rule fails.
real c3j(int j1, int j2, int j3, int m1, int m2, int m3);

// Rank (from 1) of (lmin, lmid, lmax) in lexicographic order among the triples
// 0 <= lmin <= lmid <= 40, lmid <= lmax <= lmin + lmid, lmin + lmid + lmax even (6391 of them).
int c3j0_triple(int lmin, int lmid, int lmax);

constexpr int NC3J0_ = 6391;  // admissible triples of c3j0, momenta up to 40

// The values c3j0 has computed so far; a fresh one is empty.
struct c3j0_cache {
    std::array<std::uint8_t, NC3J0_> flx{};  // flag n: value n is known
    std::array<double, NC3J0_> value{};
    int computed = 0;  // symbols evaluated (not answered from the table)
};

// (l1 l2 l3; 0 0 0), each admissible triple computed once and then answered from the cache;
// 0 with a warning on `out` for a momentum above 40 or below 0, silently for odd sums and
// triangle violations.
double c3j0(c3j0_cache& cache, std::ostream& out, int l1, int l2, int l3);

}  // namespace korva
