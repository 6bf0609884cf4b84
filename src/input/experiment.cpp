#include "input/experiment.hpp"

#include <algorithm>
#include <cmath>

#include "common/listread.hpp"
#include "common/textio.hpp"

namespace korva {

void read_experiment(std::istream& f, std::ostream& out, experiment& x) {
    text_input in(f);
    for (;;) {
        real en = 0, v = 0;
        const read_status st = read_values(in, en, v);
        if (st != read_status::ok) break;
        if (en <= 100.0f) en *= 1000.0f;  // energies up to 100 are in keV
        // The conversion can overflow too (a large negative energy).
        if (!std::isfinite(en) || !std::isfinite(v)) {
            out << (record() << "!!! WARNING experimental data: reading stopped at record"
                             << static_cast<int>(x.energy.size() + 1) << "(not a finite number)");
            break;
        }
        x.smallest = std::min(x.smallest, v);
        x.energy.push_back(en);
        x.value.push_back(v);
    }
}

}  // namespace korva
