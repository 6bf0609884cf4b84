// The reference solver's store: a square complex matrix and the lists of its non-zero entries.
#pragma once
#include <cassert>
#include <cstddef>
#include <vector>

#include "common/capacities.hpp"
#include "common/types.hpp"

namespace korva::reference {

// Square single-precision complex store, 1-based and column by column; a run uses its leading
// N x N corner. Next to the entries it keeps, for every row, the ascending list of columns the
// solver multiplies through.
//
// Row-list rule: after rebuild_row_lists(n), row a (1 <= a <= n) lists column c (1 <= c <= n)
// when gt(a, c) or gt(c, a) has a non-zero real or imaginary part. The pattern is thus the
// symmetric union of the non-zero entries, so the list of row i is also a complete list of the
// non-zero entries of column i, which the solver's transpose product relies on; for a matrix
// whose pattern is already symmetric this is exactly the list of non-zero entries of the row.
// A non-zero diagonal entry is always listed. Rows beyond n list nothing, and an entry that
// becomes non-zero after a rebuild stays unlisted until the next one.
//
// The lists are stored compactly (the columns of all rows one after another, and where each row
// starts), not as an order x order table.
class matrix_store {
  public:
    // Store of this order, zero-filled, with empty row lists; the capacity by default.
    explicit matrix_store(int order);

    int order() const { return order_; }

    cplx& gt(int i, int j) { return gt_[index(i, j)]; }
    cplx gt(int i, int j) const { return gt_[index(i, j)]; }

    // Number of listed columns of row i.
    int nnz(int i) const {
        assert(i >= 1 && i <= order_);
        return row_start_[i] - row_start_[i - 1];
    }
    // The k-th listed column of row i, k = 1..nnz(i), ascending in k.
    int jnz(int i, int k) const {
        assert(k >= 1 && k <= nnz(i));
        return cols_[row_start_[i - 1] + k - 1];
    }

    // gt(i, i) = 1 for i = 1..order.
    void set_unit_diagonal();
    // Recomputes the lists of rows 1..n from the entries of the leading n x n corner (n is
    // clamped to 0..order); rows beyond n are left with empty lists.
    void rebuild_row_lists(int n);

  private:
    std::size_t index(int i, int j) const {
        assert(i >= 1 && i <= order_ && j >= 1 && j <= order_);
        return static_cast<std::size_t>(i - 1) +
               static_cast<std::size_t>(j - 1) * static_cast<std::size_t>(order_);
    }

    int order_;
    std::vector<cplx> gt_;
    // Row i lists cols_[row_start_[i-1]] .. cols_[row_start_[i]-1]; row_start_[0] = 0.
    std::vector<int> row_start_;
    std::vector<int> cols_;
};

}  // namespace korva::reference
