// The run's table of spherical harmonics: one single-precision column of Y(l, m) per bond
// direction, rows in full index order.
#pragma once
#include <ostream>
#include <vector>

#include "common/types.hpp"

namespace korva {

// Column c (1-based) holds bond c + 1; bond 1 is the z axis and has no column.
class ylm_table {
  public:
    ylm_table() = default;
    ylm_table(int ncols, int nrows) { resize(ncols, nrows); }
    // nrows is NYLM_ (1681) or (2 lmxtop + 1)^2; the contents start at zero.
    void resize(int ncols, int nrows);
    real* column(int c) { return data_.data() + static_cast<std::size_t>(c - 1) * rows_; }
    const real* column(int c) const {
        return data_.data() + static_cast<std::size_t>(c - 1) * rows_;
    }
    int rows() const { return rows_; }
    int cols() const { return cols_; }

  private:
    std::vector<real> data_;
    int rows_ = 0;
    int cols_ = 0;
};

// Fills one column with the harmonics of direction cosine z for l = 0..lmx, rounded to single
// precision; lmx and z are copies, so the clamping of legendre stays local. The column must
// hold (lmx + 1)^2 entries; at most NYLM_ are written.
void fill_ylm_column(std::ostream& out, double z, int lmx, real* column);

}  // namespace korva
