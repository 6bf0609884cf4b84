// Phase-shift file from the fuzz bytes (after the first, which picks lcore), with a valid
// cross-section file long enough for every energy point of either channel count.
#include <cstdint>
#include <sstream>
#include <string>

#include "psread_fuzz.hpp"

namespace {
std::string cross_sections() {
    std::ostringstream s;
    s << "comment line of the cross-section file\n";
    for (int i = 1; i <= 2 * korva::NER_ + 10; ++i)
        s << 0.1 * i << " 1e-3 0.99 1.0 " << 0.02 + 0.001 * i << " 0.5 -0.25\n";
    return s.str();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    static const std::string xs = cross_sections();
    const int lcore = data[0] % 3;
    korva_fuzz::run_psread(korva_fuzz::as_text(data + 1, size - 1), xs, lcore);
    return 0;
}
