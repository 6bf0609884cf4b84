#include "reference/matrix.hpp"

#include <algorithm>

namespace korva::reference {

namespace {
// Rows taken together by one sweep of the rebuild.
constexpr int row_band = 64;

bool nonzero(cplx z) {
    return z.real() != 0.0f || z.imag() != 0.0f;
}
}  // namespace

matrix_store::matrix_store(int order)
    : order_(std::max(order, 0)),
      gt_(static_cast<std::size_t>(order_) * static_cast<std::size_t>(order_), cplx(0.0f, 0.0f)),
      row_start_(order_ + 1, 0) {}

void matrix_store::set_unit_diagonal() {
    for (int i = 1; i <= order_; ++i) gt(i, i) = cplx(1.0f, 0.0f);
}

void matrix_store::rebuild_row_lists(int n) {
    n = std::clamp(n, 0, order_);
    cols_.clear();  // keeps its capacity: a rebuild with a pattern no larger allocates nothing
    row_start_[0] = 0;
    // Rows are swept in bands of row_band, column c outermost, so that both reads walk the
    // store in storage order: gt(a, c) down column c, and gt(c, a) down each of the band's own
    // columns a, one element per c. Column c is visited in ascending order, which keeps every
    // list ascending.
    std::vector<std::vector<int>> band(row_band);
    for (int a0 = 1; a0 <= n; a0 += row_band) {
        const int a1 = std::min(n, a0 + row_band - 1);
        for (auto& list : band) list.clear();
        for (int c = 1; c <= n; ++c) {
            for (int a = a0; a <= a1; ++a) {
                if (nonzero(gt(a, c)) || nonzero(gt(c, a))) band[a - a0].push_back(c);
            }
        }
        for (int a = a0; a <= a1; ++a) {
            const auto& list = band[a - a0];
            cols_.insert(cols_.end(), list.begin(), list.end());
            row_start_[a] = static_cast<int>(cols_.size());
        }
    }
    for (int a = n + 1; a <= order_; ++a) row_start_[a] = static_cast<int>(cols_.size());
}

}  // namespace korva::reference
