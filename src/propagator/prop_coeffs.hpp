// Coefficient table shared by the builders for general bonds (prop2 and prop3).
#pragma once
#include <algorithm>
#include <cstdlib>
#include <vector>

#include "common/types.hpp"

namespace korva {

// Smallest l'' of the sum for (l, l') and d = m' - m: at least |l - l'|, at least |d|, and of
// the parity of l + l'. C++ % keeps the sign of its first operand.
inline int prop_lmin(int l, int lp, int d) {
    return std::max(std::abs(l - lp), std::abs(d) + std::abs((l + lp - d) % 2));
}

// Fills sq with sqrt(4 pi (2l+1)(2l'+1)) and coe with
// (-1)^m' (sqrt(2l''+1) (l l' l''; 0 0 0)) (l l' l''; m -m' m'-m) in the builders' loop order.
void build_general_coeffs(int lmax, int mmax, std::vector<real>& sq, std::vector<real>& coe);

}  // namespace korva
