// Channel numbering: the full (l, m) index and the layout with an |m| cut-off.
#pragma once
#include <algorithm>
#include <utility>
#include <vector>

namespace korva {

// Final-state channel c = 1, 2 of the core state lcore: its l.
constexpr int channel_l0(int lcore, int c) {
    return lcore == 0 ? 1 : (c == 1 ? lcore - 1 : lcore + 1);
}

// 1-based full index of (l, m), m = -l..l.
constexpr int full_index(int l, int m) {
    return l * (l + 1) + m + 1;
}

// Number of channels l = 0..lmax, |m| <= min(l, mmax).
constexpr int layout_count(int lmax, int mmax) {
    const int mu0 = std::min(lmax, mmax);
    return (mu0 + 1) * (mu0 + 1) + (lmax - mu0) * (2 * mu0 + 1);
}

// 1-based number of channel (l, 0) in the layout; it does not depend on lmax, which is why
// the layout of a smaller cut-off is a prefix of a larger one.
constexpr int layout_centre(int l, int mmax) {
    if (l <= mmax) return l * (l + 1) + 1;
    return (l - mmax - 1) * (2 * mmax + 1) + (mmax + 1) * (mmax + 1) + mmax + 1;
}

// 1-based number of channel (l, m), |m| <= min(l, mmax).
constexpr int layout_index(int l, int m, int mmax) {
    return layout_centre(l, mmax) + m;
}

// The (l, m) pairs of the layout, in order.
inline std::vector<std::pair<int, int>> layout_channels(int lmax, int mmax) {
    std::vector<std::pair<int, int>> out;
    out.reserve(layout_count(lmax, mmax));
    for (int l = 0; l <= lmax; ++l) {
        const int mu = std::min(l, mmax);
        for (int m = -mu; m <= mu; ++m) out.emplace_back(l, m);
    }
    return out;
}

}  // namespace korva
