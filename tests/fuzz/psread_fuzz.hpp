// The phase-shift reader run on two texts, with the checks a normal return must pass.
#pragma once
#include <cmath>
#include <new>
#include <sstream>
#include <string>

#include "common/errors.hpp"
#include "fuzz_common.hpp"
#include "input/psread.hpp"

namespace korva_fuzz {

inline void check_table(const korva::phase_table& t) {
    using namespace korva;
    if (t.nen < 0 || t.nen > NER_) fail("psread returned with nen outside 0..NER_");
    if (t.nphs < 0 || t.nphs > NPH_) fail("psread returned with nphs outside 0..NPH_");
    if (t.lmxall < 0 || t.lmxall > LMPH_) fail("psread returned with lmxall outside 0..LMPH_");
    for (int e = 1; e <= t.nen; ++e) {
        if (!std::isfinite(t.eph(e))) fail("non-finite energy in the table");
        if (!std::isfinite(t.sig0(e, 1)) || !std::isfinite(t.sig0(e, 2)))
            fail("non-finite cross section in the table");
    }
    for (int p = 1; p <= t.nphs; ++p)
        if (t.nken(p) < 1 || t.nken(p) > LMPH_) fail("change-point count out of range");
}

inline void run_psread(const std::string& ps_text, const std::string& xs_text, int lcore) {
    std::istringstream ps(ps_text), xs(xs_text);
    korva::text_input pin(ps), xin(xs);
    korva::phase_table t;
    try {
        korva::psread(null_out(), pin, xin, lcore, t);
    } catch (const korva::run_stop&) {
        return;
    } catch (const korva::read_error& e) {
        if (e.what.empty()) fail("read_error without a message");
        return;
    } catch (const std::bad_alloc&) {
        return;
    }
    check_table(t);
}

}  // namespace korva_fuzz
