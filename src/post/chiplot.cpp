#include "post/chiplot.hpp"

#include <cassert>
#include <cmath>

#include "common/textio.hpp"
#include "post/plot_value.hpp"

namespace korva {

void chiplot(std::ostream& file, [[maybe_unused]] int npi, int nmesh, const real* kmesh,
             const real* chimesh, real esp, const std::string& name) {
    assert(nmesh <= npi);
    // Largest weighted value above k = 2.5, where k^esp is finite for any esp; an overflow
    // there only selects the top of the ladder, and a NaN never wins the comparison.
    real y = 0.0f;
    for (int i = 0; i < nmesh; ++i) {
        if (kmesh[i] > 2.5f) {
            const real v = std::fabs(std::pow(kmesh[i], esp) * chimesh[i]);
            if (v > y) y = v;
        }
    }
    real s = 20.0f;
    for (const real step : {0.2f, 0.5f, 1.0f, 2.0f, 5.0f, 10.0f}) {
        if (step > y) {
            s = step;
            break;
        }
    }

    file << (record() << "SET MODE VECTOR");
    file << (record() << "SET WINDOW X 2 12 Y 2 8.5");
    file << (record() << "SET LIMITS X 0 12 Y " << -s << s);
    file << (record() << " 0.  0. ");
    file << (record() << " PLOT ");
    file << " TITLE 3. 9.2 SIZE 3 \"" << field_a(name, 11) << "\"\n";
    file << "TITLE 9.5 8. SIZE 2 \"k**" << field_f(esp, 3, 1) << "\"\n";
    file << (record() << "TITLE BOTTOM SIZE 2.5 \"k1(4A515O20-11)\"");
    file << (record() << "CASE                  \" U C CVUSVC  C \"");
    for (int i = 0; i < nmesh; ++i) {
        const real w = esp > 0.0f ? std::pow(kmesh[i], esp) : 1.0f;
        file << (record() << plot_value(kmesh[i]) << plot_value(w * chimesh[i]));
    }
    file << (record() << "JOIN");
}

}  // namespace korva
