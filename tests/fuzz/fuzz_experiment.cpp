// Experimental file of the cross-section comparison.
#include <cmath>
#include <cstdint>
#include <new>
#include <sstream>

#include "common/errors.hpp"
#include "fuzz_common.hpp"
#include "input/experiment.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::istringstream f(korva_fuzz::as_text(data, size));
    korva::experiment x;
    try {
        korva::read_experiment(f, korva_fuzz::null_out(), x);
    } catch (const korva::run_stop&) {
        return 0;
    } catch (const korva::read_error&) {
        return 0;
    } catch (const std::bad_alloc&) {
        return 0;
    }
    if (x.energy.size() != x.value.size()) korva_fuzz::fail("energy and value counts differ");
    for (std::size_t i = 0; i < x.energy.size(); ++i)
        if (!std::isfinite(x.energy[i]) || !std::isfinite(x.value[i]))
            korva_fuzz::fail("non-finite experimental record kept");
    if (!x.energy.empty() && !std::isfinite(x.smallest)) korva_fuzz::fail("non-finite minimum");
    return 0;
}
