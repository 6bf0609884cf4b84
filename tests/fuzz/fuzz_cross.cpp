// Cross-section file from the fuzz bytes (after the first, which picks lcore), with a valid
// phase-shift file of 12 energy points, two phase sets and l up to 3.
#include <cstdint>
#include <sstream>
#include <string>

#include "psread_fuzz.hpp"

namespace {
std::string phase_shifts() {
    std::ostringstream s;
    s << "comment line of the phase-shift file\n";
    for (int e = 1; e <= 12; ++e)
        for (int p = 1; p <= 2; ++p)
            for (int l = 0; l <= (e < 6 ? 2 : 3); ++l)
                s << 0.5 * e << " 1.1 -0.05 " << p << ' ' << l << ' ' << 0.3 / (l + 1) << ' '
                  << -0.1 * p << '\n';
    return s.str();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    static const std::string ps = phase_shifts();
    const int lcore = data[0] % 3;
    korva_fuzz::run_psread(ps, korva_fuzz::as_text(data + 1, size - 1), lcore);
    return 0;
}
