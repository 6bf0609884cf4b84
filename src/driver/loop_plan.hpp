// What the preparation of the energy loop decides: the cut-offs of every point, the points the
// loop computes and the channels, for every member that computes points.
#pragma once
#include "driver/cutoffs.hpp"

namespace korva {

struct loop_plan {
    point_cutoffs cut;  // of the set-up's points
    int nen = 0;        // the set-up's points up to the first whose matrix does not fit
    int nch = 1;        // final-state channels: 1, or 2 when lcore > 0
    int nmax = 0;       // the largest matrix order among them
    int total() const { return nch * nen; }
};

// Point k = 1..nch nen of the loop: channel 1's points first, then channel 2's.
struct point_index {
    int c = 0, e = 0;
};

inline point_index point_at(int k, int nen) {
    return {(k - 1) / nen + 1, (k - 1) % nen + 1};
}

}  // namespace korva
