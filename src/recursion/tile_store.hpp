// The scattering-matrix store of the fast solver: 4 x 4 tiles, column of tiles after column of
// tiles, each tile row by row, so one pass reads the matrix as one stream.
#pragma once
#include <cassert>
#include <cstddef>
#include <cstdlib>
#include <memory>

#include "common/types.hpp"

namespace korva {

// Square single-precision complex store, 1-based indices, for matrices up to a fixed order (the
// run's largest). The current order n lays the matrix out as nt x nt tiles of 4 x 4 entries
// (nt = ceil(n / 4)); tile (I, J) (0-based) starts at element 16 (J nt + I), and holds entry
// (4 I + r + 1, 4 J + c + 1) at offset 4 r + c. The padding beyond n stays zero. Every tile is
// 128 bytes, aligned to 64.
class tile_store {
  public:
    static constexpr int W = 4;  // tile edge

    explicit tile_store(int capacity);

    int capacity() const { return capacity_; }
    int order() const { return n_; }
    int tiles() const { return nt_; }

    // New current order (clamped to 0..capacity): every entry 0, the diagonal 1 up to n.
    void reshape(int n);

    cplx& gt(int i, int j) { return data_[index(i, j)]; }
    cplx gt(int i, int j) const { return data_[index(i, j)]; }

    // First entry of tile (I, J), 0-based tile indices.
    const cplx* tile(int ti, int tj) const {
        return data_.get() + 16 * (static_cast<std::size_t>(tj) * nt_ + ti);
    }

  private:
    std::size_t index(int i, int j) const {
        assert(i >= 1 && i <= n_ && j >= 1 && j <= n_);
        const int ti = (i - 1) / W, r = (i - 1) % W, tj = (j - 1) / W, c = (j - 1) % W;
        return 16 * (static_cast<std::size_t>(tj) * nt_ + ti) + 4 * r + c;
    }

    struct release {
        void operator()(cplx* p) const { std::free(p); }
    };

    int capacity_ = 0, n_ = 0, nt_ = 0;
    std::unique_ptr<cplx[], release> data_;
};

}  // namespace korva
