// The scattering-matrix store of the fast solver: 8 x 8 tiles, column of tiles after column of
// tiles, each tile column by column, so one pass reads the matrix as one stream.
#pragma once
#include <atomic>
#include <cassert>
#include <cstddef>
#include <cstdlib>
#include <memory>

#include "common/types.hpp"

namespace korva {

// Square single-precision complex store, 1-based indices, for matrices up to a fixed order (the
// run's largest). The current order n lays the matrix out as nt x nt tiles of 8 x 8 entries
// (nt = ceil(n / 8)); tile (I, J) (0-based) starts at element 64 (J nt + I), and holds entry
// (8 I + r + 1, 8 J + c + 1) at offset 8 c + r. A tile column is 64 bytes, one 512-bit vector
// or two 256-bit ones; a tile is 512 bytes, aligned to 64. A column of the matrix thus runs in
// pieces of 8 entries, 64 entries apart: the propagator blocks, column-major, are copied in
// without a transpose. The padding beyond n stays zero.
//
// The constructor allocates and zeroes the whole capacity (on 2 MB pages where the system
// grants them), so no energy point pays for the first touch of its pages.
//
// Each tile also has a mark: set, it says the tile may hold subnormal numbers (below 2^-126 in
// magnitude). Processors take a slow path for every floating-point instruction that meets
// one; the pass runs marked tiles in a way that avoids them (stream_pass.hpp). A mark is only
// a hint: the results are the same bits whether a tile is marked or not.
class tile_store {
  public:
    static constexpr int W = 8;         // tile edge
    static constexpr int TILE = W * W;  // entries of a tile

    explicit tile_store(int capacity);

    int capacity() const { return capacity_; }
    int order() const { return n_; }
    int tiles() const { return nt_; }
    // Length of the solver's vectors at the current order: the order rounded up to whole tiles.
    std::size_t padded() const { return static_cast<std::size_t>(nt_) * W; }
    // Bytes of the nt x nt tiles of the current order, and of the whole allocation.
    std::size_t bytes() const { return bytes_of(nt_); }
    std::size_t capacity_bytes() const { return bytes_of((capacity_ + W - 1) / W); }

    // New current order (clamped to 0..capacity): every entry 0, the diagonal 1 up to n.
    void reshape(int n);
    // New current order for a caller that then writes every entry of rows and columns 1..n
    // itself: only the padding beyond n is set to 0. The entries within n hold whatever the
    // earlier order left there, scrambled (its tiles lay elsewhere).
    void relayout(int n);

    cplx& gt(int i, int j) { return data_[index(i, j)]; }
    cplx gt(int i, int j) const { return data_[index(i, j)]; }

    // First entry of tile (I, J), 0-based tile indices.
    const cplx* tile(int ti, int tj) const { return data_.get() + tile_offset(ti, tj); }
    cplx* tile(int ti, int tj) { return data_.get() + tile_offset(ti, tj); }

    // The mark of tile (I, J); marks of the tiles of one column of tiles follow each other.
    // Threads may set marks at the same time.
    std::atomic<unsigned char>* mark(int ti, int tj) {
        return marks_.get() + tile_offset(ti, tj) / TILE;
    }
    bool marked(int ti, int tj) const {
        return marks_[tile_offset(ti, tj) / TILE].load(std::memory_order_relaxed) != 0;
    }
    // Every tile of the current order unmarked (reshape and relayout do this too).
    void clear_marks();
    // Marks every tile of the current order that holds a subnormal real or imaginary part.
    void mark_subnormal_tiles();

  private:
    static std::size_t bytes_of(int nt) {
        return static_cast<std::size_t>(nt) * static_cast<std::size_t>(nt) * TILE * sizeof(cplx);
    }
    std::size_t tile_offset(int ti, int tj) const {
        return TILE * (static_cast<std::size_t>(tj) * static_cast<std::size_t>(nt_) +
                       static_cast<std::size_t>(ti));
    }
    std::size_t index(int i, int j) const {
        assert(i >= 1 && i <= n_ && j >= 1 && j <= n_);
        const int ti = (i - 1) / W, r = (i - 1) % W, tj = (j - 1) / W, c = (j - 1) % W;
        return tile_offset(ti, tj) + static_cast<std::size_t>(W * c + r);
    }

    struct release {
        void operator()(cplx* p) const { std::free(p); }
    };

    int capacity_ = 0, n_ = 0, nt_ = 0;
    std::unique_ptr<cplx[], release> data_;
    std::unique_ptr<std::atomic<unsigned char>[]> marks_;
};

}  // namespace korva
