// The angular-momentum cut-off of every phase set at every energy point, and the channel
// layout of the cluster it gives.
#pragma once
#include <vector>

#include "common/capacities.hpp"
#include "common/types.hpp"
#include "input/phase_table.hpp"

namespace korva {

class point_cutoffs {
  public:
    point_cutoffs() = default;
    explicit point_cutoffs(int nen) : l_(static_cast<std::size_t>(nen) * NPH_, 0), nen_(nen) {}

    int nen() const { return nen_; }
    // Cut-off of phase set p = 1..NPH_ at energy point e = 1..nen.
    int& l(int p, int e) { return l_[static_cast<std::size_t>(e - 1) * NPH_ + p - 1]; }
    int l(int p, int e) const { return l_[static_cast<std::size_t>(e - 1) * NPH_ + p - 1]; }
    // Whether some phase set has another cut-off at e than at e - 1 (always at e = 1).
    bool changed(int e, int nphs) const;

    int lmxtop = 0;  // the largest cut-off of the run

  private:
    std::vector<int> l_;
    int nen_ = 0;
};

// Cut-offs of points 1..nen from TOLL_lmax and the running reference magnitude of the
// amplitudes.
point_cutoffs energy_cutoffs(const phase_table& t, int nen, real toll_lmax);

// The layout of every atom at one point: cut-off, channel count and first index - 1.
struct atom_layout {
    std::vector<int> l, n, o;
    int order() const { return n.empty() ? 0 : o.back() + n.back(); }
};

// Atom i (1-based) has phase set iph[i - 1].
atom_layout layout_at(const point_cutoffs& cut, const std::vector<int>& iph, int mmax, int e);

}  // namespace korva
