#include "geometry/ylm.hpp"

#include <algorithm>
#include <array>

#include "common/capacities.hpp"
#include "geometry/legendre.hpp"

namespace korva {

void ylm_table::resize(int ncols, int nrows) {
    rows_ = std::max(nrows, 0);
    cols_ = std::max(ncols, 0);
    data_.assign(static_cast<std::size_t>(rows_) * cols_, 0.0f);
}

void fill_ylm_column(std::ostream& out, double z, int lmx, real* column) {
    std::array<double, NYLM_> work{};
    legendre(out, z, NYLM_, lmx, work.data());
    // legendre fills only the orders that fit in NYLM_ entries.
    const int lfit = std::min(lmx, 2 * LPROP_);
    const int n = lfit < 0 ? 0 : (lfit + 1) * (lfit + 1);
    for (int i = 0; i < n; ++i) column[i] = static_cast<real>(work[i]);
}

}  // namespace korva
