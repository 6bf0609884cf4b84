#include "recursion/tile_store.hpp"

#include <algorithm>
#include <cstring>
#include <new>

namespace korva {

tile_store::tile_store(int capacity) : capacity_(std::max(capacity, 0)) {
    const std::size_t nt = static_cast<std::size_t>((capacity_ + W - 1) / W);
    const std::size_t bytes = std::max<std::size_t>(nt * nt * 16 * sizeof(cplx), 64);
    data_.reset(static_cast<cplx*>(std::aligned_alloc(64, bytes)));
    if (!data_) throw std::bad_alloc();
}

void tile_store::reshape(int n) {
    n_ = std::clamp(n, 0, capacity_);
    nt_ = (n_ + W - 1) / W;
    std::memset(static_cast<void*>(data_.get()), 0,
                static_cast<std::size_t>(nt_) * nt_ * 16 * sizeof(cplx));
    for (int i = 1; i <= n_; ++i) gt(i, i) = cplx(1.0f, 0.0f);
}

}  // namespace korva
