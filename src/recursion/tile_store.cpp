#include "recursion/tile_store.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

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
    const std::size_t nt = static_cast<std::size_t>((capacity_ + W - 1) / W);
    marks_.reset(new std::atomic<unsigned char>[std::max<std::size_t>(nt * nt, 1)]);
    for (std::size_t t = 0; t < std::max<std::size_t>(nt * nt, 1); ++t)
        marks_[t].store(0, std::memory_order_relaxed);
}

void tile_store::clear_marks() {
    const std::size_t count = static_cast<std::size_t>(nt_) * static_cast<std::size_t>(nt_);
    for (std::size_t t = 0; t < count; ++t) marks_[t].store(0, std::memory_order_relaxed);
}

void tile_store::mark_subnormal_tiles() {
    for (int tj = 0; tj < nt_; ++tj)
        for (int ti = 0; ti < nt_; ++ti) {
            const cplx* a = tile(ti, tj);
            bool any = false;
            for (int e = 0; e < TILE; ++e)
                any = any || std::fpclassify(a[e].real()) == FP_SUBNORMAL ||
                      std::fpclassify(a[e].imag()) == FP_SUBNORMAL;
            if (any) mark(ti, tj)->store(1, std::memory_order_relaxed);
        }
}

void tile_store::reshape(int n) {
    n_ = std::clamp(n, 0, capacity_);
    nt_ = (n_ + W - 1) / W;
    std::memset(static_cast<void*>(data_.get()), 0, bytes());
    for (int i = 1; i <= n_; ++i) gt(i, i) = cplx(1.0f, 0.0f);
    clear_marks();
}

void tile_store::relayout(int n) {
    n_ = std::clamp(n, 0, capacity_);
    nt_ = (n_ + W - 1) / W;
    clear_marks();
    const int used = n_ - W * (nt_ - 1);  // rows (columns) of the last tile row (column) in use
    if (nt_ == 0 || used == W) return;
    const cplx zero(0.0f, 0.0f);
    // Rows n+1.. of every column: the last tile row.
    for (int tj = 0; tj < nt_; ++tj)
        for (int c = 0; c < W; ++c) std::fill_n(tile(nt_ - 1, tj) + W * c + used, W - used, zero);
    // Columns n+1.. of every row: the last tile column.
    for (int ti = 0; ti < nt_; ++ti)
        std::fill_n(tile(ti, nt_ - 1) + W * used, W * (W - used), zero);
}

}  // namespace korva
