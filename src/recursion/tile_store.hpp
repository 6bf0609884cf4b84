// The scattering matrix A = I + G T of the fast solver, kept as half of the propagator G: the
// upper triangle of 8 x 8 tiles, column of tiles after column of tiles, each tile column by
// column, and per channel the amplitude t (T) and the reflection m -> -m (P) that give the rest.
#pragma once
#include <algorithm>
#include <atomic>
#include <cassert>
#include <cstddef>
#include <cstdlib>
#include <memory>
#include <vector>

#include "common/types.hpp"

namespace korva {

// Why half is enough. Each atom's own block of G is zero; the block of the bond (i, j), i < j,
// is the builder's. The propagator is reciprocal: G^T = P G P, where P sends the channel
// (atom, l, m) to (atom, l, -m) with the sign (-1)^(l+m) (P is its own inverse and symmetric).
// With U the blocks above the diagonal (atom i < atom j), G = U + P U^T P: an entry of atom
// i > atom j is G(a, b) = s_a s_b U(b', a'), with a' the channel (l, -m) of a and s_a its sign.
// The builders write their blocks with exactly these signs, so every reflected entry is the
// number a full assembly would write, bit for bit.
//
// Storage. The order n lays G out as nt = ceil(n / 8) tiles a side; only tiles (I, J) with
// I <= J are kept (0-based), tile (I, J) from element 64 (J (J + 1) / 2 + I) on, holding entry
// (8 I + r + 1, 8 J + c + 1) at offset 8 c + r. A tile column is 64 bytes, one 512-bit vector or
// two 256-bit ones; a tile is 512 bytes, aligned to 64. A tile's place depends on (I, J) only,
// not on the order. Every stored entry that is not above the atoms' block diagonal (atom(a) >=
// atom(b): the atoms' own blocks and the lower half of each diagonal tile) holds 0, as does the
// padding beyond n; so do the amplitudes of the padding channels.
//
// Each channel also has the amplitude t of its (atom, l), its partner (l, -m) in the same atom,
// the sign (-1)^(l+m) and its atom. reshape makes every channel an atom of its own, its own
// partner with sign +1 and t = 1 (A = I + G, G symmetric).
//
// The constructor allocates and zeroes the whole capacity, so no energy point pays for the
// first touch of its pages.
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
    // Bytes of the nt (nt + 1) / 2 tiles of the current order, and of the whole allocation.
    std::size_t bytes() const { return bytes_of(nt_); }
    std::size_t capacity_bytes() const { return bytes_of((capacity_ + W - 1) / W); }
    // Bytes of the tiles a store of order n keeps (the store itself need not exist).
    static std::size_t bytes_for_order(int n) { return bytes_of((n + W - 1) / W); }

    // New current order (clamped to 0..capacity): every stored entry 0, every channel an atom
    // of its own (see above).
    void reshape(int n);
    // New current order for a caller that then writes every entry above the atoms' block
    // diagonal itself, zeroes the atoms' own blocks and sets every channel (set_atom,
    // amplitude): here only the padding beyond n and the lower half of each diagonal tile are
    // set to 0, and the padding channels get amplitude 0.
    void relayout(int n);

    // The stored entry (i, j), 1 <= i, j <= padded(), tile of i <= tile of j.
    cplx& upper(int i, int j) { return data_[index(i, j)]; }
    cplx upper(int i, int j) const { return data_[index(i, j)]; }
    // Whether entry (i, j) is kept.
    static bool kept(int i, int j) { return (i - 1) / W <= (j - 1) / W; }

    // Channels first + 1 .. first + count of the layout of (lmax, mmax) (l = 0..lmax, |m| <=
    // min(l, mmax)) become atom `atom`'s: partners and signs from their (l, m).
    void set_atom(int atom, int first, int lmax, int mmax);
    cplx& amplitude(int i) { return t_[slot(i)]; }
    cplx amplitude(int i) const { return t_[slot(i)]; }
    int partner(int i) const { return partner_[slot(i)] + 1; }
    real sign(int i) const { return sign_[slot(i)]; }
    int atom(int i) const { return atom_[slot(i)]; }
    // The channels' amplitudes, partners (0-based) and signs, padded() of each.
    const cplx* amplitudes() const { return t_.data(); }
    const int* partners() const { return partner_.data(); }
    const real* signs() const { return sign_.data(); }

    // Entry (i, j) of G, 1 <= i, j <= order(), from the stored half.
    cplx g(int i, int j) const {
        if (atom(i) == atom(j)) return cplx(0.0f, 0.0f);
        if (atom(i) < atom(j)) return upper(i, j);
        return (sign(i) * sign(j)) * upper(partner(j), partner(i));
    }
    // Entry (i, j) of the scattering matrix A = I + G T: the product g(i, j) t_j of
    // std::complex, the number the design's full assembly writes.
    cplx gt(int i, int j) const {
        if (atom(i) == atom(j)) return cplx(i == j ? 1.0f : 0.0f, 0.0f);
        return g(i, j) * amplitude(j);
    }

    // First entry of tile (I, J), 0-based tile indices, I <= J.
    const cplx* tile(int ti, int tj) const { return data_.get() + tile_offset(ti, tj); }
    cplx* tile(int ti, int tj) { return data_.get() + tile_offset(ti, tj); }

    // The mark of tile (I, J); the marks of one column of tiles follow each other.
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
    static std::size_t triangle(int nt) {
        return static_cast<std::size_t>(nt) * static_cast<std::size_t>(nt + 1) / 2;
    }
    static std::size_t bytes_of(int nt) { return triangle(nt) * TILE * sizeof(cplx); }
    static std::size_t tile_offset(int ti, int tj) {
        assert(ti >= 0 && ti <= tj);
        return TILE * (triangle(tj) + static_cast<std::size_t>(ti));
    }
    std::size_t index(int i, int j) const {
        assert(i >= 1 && j >= 1 && static_cast<std::size_t>(std::max(i, j)) <= padded());
        const int ti = (i - 1) / W, r = (i - 1) % W, tj = (j - 1) / W, c = (j - 1) % W;
        return tile_offset(ti, tj) + static_cast<std::size_t>(W * c + r);
    }
    std::size_t slot(int i) const {
        assert(i >= 1 && static_cast<std::size_t>(i) <= padded());
        return static_cast<std::size_t>(i - 1);
    }
    void own_channels(int from, int to);

    struct release {
        void operator()(cplx* p) const { std::free(p); }
    };

    int capacity_ = 0, n_ = 0, nt_ = 0;
    std::unique_ptr<cplx[], release> data_;
    std::unique_ptr<std::atomic<unsigned char>[]> marks_;
    std::vector<cplx> t_;
    std::vector<int> partner_, atom_;
    std::vector<real> sign_;
};

}  // namespace korva
