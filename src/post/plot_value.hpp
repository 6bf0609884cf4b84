// The finite stand-in of a computed plot value, so no NaN or Inf reaches a plot file.
#pragma once
#include <cmath>
#include <limits>

#include "common/types.hpp"

namespace korva {

// A finite value is kept; an overflow becomes the largest finite value of its sign (the
// point stays far off the scale, as it would be); a value with no meaning (NaN) becomes 0.
inline real plot_value(real v) {
    if (std::isnan(v)) return 0.0f;
    if (std::isinf(v)) {
        return v > 0.0f ? std::numeric_limits<real>::max() : -std::numeric_limits<real>::max();
    }
    return v;
}

}  // namespace korva
