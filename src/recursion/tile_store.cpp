#include "recursion/tile_store.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "common/channels.hpp"

namespace korva {

namespace {

constexpr std::size_t chunk = std::size_t{2} << 20;  // bytes a thread zeroes at a time

// Zeroed memory of at least `bytes`, aligned to 64. Every page is touched here, once, rather
// than inside the energy loop, and the threads share the page faults, which cost more than the
// zeroing (3.9 GB: 1.4 s on two threads). Transparent huge pages are not asked for: on the
// machines measured they made the recursion no faster, and compacting memory for them made the
// store of a 1000-atom cluster take 4 to 9 s.
cplx* zeroed_store(std::size_t bytes) {
    bytes = std::max<std::size_t>((bytes + 63) / 64 * 64, 64);
    void* p = std::aligned_alloc(64, bytes);
    if (!p) throw std::bad_alloc();
    const std::ptrdiff_t chunks = static_cast<std::ptrdiff_t>((bytes + chunk - 1) / chunk);
    char* c = static_cast<char*>(p);
#pragma omp parallel for schedule(static)
    for (std::ptrdiff_t i = 0; i < chunks; ++i) {
        const std::size_t from = static_cast<std::size_t>(i) * chunk;
        std::memset(c + from, 0, std::min(chunk, bytes - from));
    }
    return static_cast<cplx*>(p);
}

}  // namespace

tile_store::tile_store(int capacity) : capacity_(std::max(capacity, 0)) {
    data_.reset(zeroed_store(capacity_bytes()));
    const std::size_t tiles = std::max<std::size_t>(triangle((capacity_ + W - 1) / W), 1);
    marks_.reset(new std::atomic<unsigned char>[tiles]);
    for (std::size_t t = 0; t < tiles; ++t) marks_[t].store(0, std::memory_order_relaxed);
    const std::size_t channels = static_cast<std::size_t>((capacity_ + W - 1) / W) * W;
    t_.assign(channels, cplx(0.0f, 0.0f));
    partner_.assign(channels, 0);
    atom_.assign(channels, 0);
    sign_.assign(channels, 1.0f);
}

void tile_store::clear_marks() {
    const std::size_t count = triangle(nt_);
    for (std::size_t t = 0; t < count; ++t) marks_[t].store(0, std::memory_order_relaxed);
}

void tile_store::mark_subnormal_tiles() {
    for (int tj = 0; tj < nt_; ++tj)
        for (int ti = 0; ti <= tj; ++ti) {
            const cplx* a = tile(ti, tj);
            bool any = false;
            for (int e = 0; e < TILE; ++e)
                any = any || std::fpclassify(a[e].real()) == FP_SUBNORMAL ||
                      std::fpclassify(a[e].imag()) == FP_SUBNORMAL;
            if (any) mark(ti, tj)->store(1, std::memory_order_relaxed);
        }
}

// Channels from..to (1-based) atoms of their own, their own partners with sign +1; amplitude
// 1 within the order, 0 in the padding.
void tile_store::own_channels(int from, int to) {
    for (int i = from; i <= to; ++i) {
        const std::size_t k = slot(i);
        t_[k] = cplx(i <= n_ ? 1.0f : 0.0f, 0.0f);
        partner_[k] = i - 1;
        sign_[k] = 1.0f;
        atom_[k] = i;
    }
}

void tile_store::reshape(int n) {
    n_ = std::clamp(n, 0, capacity_);
    nt_ = (n_ + W - 1) / W;
    std::memset(static_cast<void*>(data_.get()), 0, bytes());
    own_channels(1, static_cast<int>(padded()));
    clear_marks();
}

void tile_store::relayout(int n) {
    n_ = std::clamp(n, 0, capacity_);
    nt_ = (n_ + W - 1) / W;
    clear_marks();
    if (nt_ == 0) return;
    own_channels(n_ + 1, static_cast<int>(padded()));
    const cplx zero(0.0f, 0.0f);
    // Below the diagonal of every diagonal tile.
    for (int t = 0; t < nt_; ++t)
        for (int c = 0; c < W; ++c) std::fill_n(tile(t, t) + W * c + c + 1, W - 1 - c, zero);
    const int used = n_ - W * (nt_ - 1);  // rows (columns) of the last tile row (column) in use
    if (used == W) return;
    // Columns n+1.. of every row: the last column of tiles; rows n+1..: its last tile.
    for (int ti = 0; ti < nt_; ++ti)
        std::fill_n(tile(ti, nt_ - 1) + W * used, W * (W - used), zero);
    for (int c = 0; c < used; ++c)
        std::fill_n(tile(nt_ - 1, nt_ - 1) + W * c + used, W - used, zero);
}

void tile_store::set_atom(int atom, int first, int lmax, int mmax) {
    const std::vector<std::pair<int, int>> lm = layout_channels(lmax, mmax);
    for (std::size_t k = 0; k < lm.size(); ++k) {
        const auto [l, m] = lm[k];
        const std::size_t s = slot(first + static_cast<int>(k) + 1);
        partner_[s] = first + layout_index(l, -m, mmax) - 1;
        sign_[s] = (l + m) % 2 == 0 ? 1.0f : -1.0f;
        atom_[s] = atom;
    }
}

}  // namespace korva
