// Removes the jumps of 2 pi from a phase curve against k, predicting each point from the previous.
#pragma once
#include <ostream>

#include "common/types.hpp"

namespace korva {

// phase[0..nen-1] is corrected in place (phase[0] never changes); kwave holds k of each
// energy point and slope the expected change of the phase per unit of k. A mismatch above
// 16 radians writes a warning on `out` and adds no turn.
void piadj(std::ostream& out, int ner, int nen, const real* kwave, real* phase, real slope);

}  // namespace korva
