#include "common/cputime.hpp"

#include <ctime>

namespace korva {
double cpu_seconds() {
    return static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
}
}  // namespace korva
