#include "driver/cutoffs.hpp"

#include <algorithm>
#include <cmath>

#include "common/channels.hpp"

namespace korva {

bool point_cutoffs::changed(int e, int nphs) const {
    if (e == 1) return true;
    for (int p = 1; p <= nphs; ++p)
        if (l(p, e) != l(p, e - 1)) return true;
    return false;
}

point_cutoffs energy_cutoffs(const phase_table& t, int nen, real toll_lmax) {
    point_cutoffs cut(nen);
    real tref = 0.0f;
    const int lc = std::min(t.lmxall, LPROP_);
    for (int e = 1; e <= nen; ++e) {
        // tref is the largest magnitude met at this point and all earlier ones.
        for (int l = 0; l <= lc; ++l)
            for (int p = 1; p <= t.nphs; ++p) tref = std::max(tref, std::abs(t.til(e, l, p)));
        for (int p = 1; p <= t.nphs; ++p) {
            int l = lc;
            // The search stops at 2, or at 0 for a table whose largest l is below 2.
            while (l != 2 && l > 0 && !(std::abs(t.til(e, l, p)) > toll_lmax * tref)) --l;
            cut.l(p, e) = l;
            cut.lmxtop = std::max(cut.lmxtop, l);
        }
    }
    return cut;
}

atom_layout layout_at(const point_cutoffs& cut, const std::vector<int>& iph, int mmax, int e) {
    atom_layout lay;
    int o = 0;
    for (const int p : iph) {
        lay.l.push_back(cut.l(p, e));
        lay.n.push_back(layout_count(lay.l.back(), mmax));
        lay.o.push_back(o);
        o += lay.n.back();
    }
    return lay;
}

}  // namespace korva
