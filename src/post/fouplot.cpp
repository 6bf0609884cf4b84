#include "post/fouplot.hpp"

#include <cassert>
#include <cmath>

#include "common/textio.hpp"
#include "post/plot_value.hpp"

namespace korva {

void fouplot(fouplot_state& st, std::ostream& file, [[maybe_unused]] int npi, int nmesh,
             const real* kmesh, const real* chimesh, real k1, real k2, real esp,
             const std::string& name) {
    assert(nmesh <= npi);
    constexpr real rstep = 0.04f;    // Angstrom
    constexpr int last_r = 200;      // R = 0 .. 8
    constexpr real taper = 1.5f;     // width of each Gaussian edge of the window, 1/Angstrom
    constexpr real divisor = 0.32f;  // of the squared distance in the taper exponent

    if (st.new_plot) {
        st.new_plot = false;
        file << (record() << "SET MODE VECTOR");
        file << (record() << "SET WINDOW X 2 12 Y 2 8.5");
        file << (record() << "SET LIMITS X 0 8.0 ");
    }

    for (int n = 0; n <= last_r; ++n) {
        const real r = static_cast<real>(n) * rstep;
        real s = 0.0f;
        real c = 0.0f;
        real kp = nmesh > 0 ? kmesh[0] : 0.0f;
        for (int j = 0; j < nmesh; ++j) {
            const real k = kmesh[j];
            real w = 1.0f;
            if (k > k2 || k < k1) w = 0.0f;
            if (k1 <= k && k < k1 + taper) {
                const real t = k1 + taper - k;
                w = std::exp(-(t * t) / divisor);
            }
            // Tested last: where the two tapers overlap, the upper one decides.
            if (k2 - taper < k && k <= k2) {
                const real t = k2 - taper - k;
                w = std::exp(-(t * t) / divisor);
            }
            // The k step makes the sum a quadrature; the first point has none.
            const real a = esp > 0.0f ? std::pow(k, esp) * (k - kp) : 1.0f;
            const real arg = 2.0f * r * k;
            s = s + std::sin(arg) * chimesh[j] * a * w;
            c = c + std::cos(arg) * chimesh[j] * a * w;
            kp = k;
        }
        real mag = std::sqrt(c * c + s * s);
        // Squares can overflow where the sums themselves do not.
        if (std::isinf(mag) && std::isfinite(c) && std::isfinite(s)) mag = std::hypot(c, s);
        file << (record() << r << plot_value(mag));
    }

    file << (record() << "JOIN");
    file << (record() << "0. 0.");
    file << " TITLE 3. 9.2 SIZE 3 \"" << field_a(name, 11) << "\"\n";
    file << (record() << "TITLE 7 8. SIZE 2 \"Fourier Transform\"");
    file << (record() << "TITLE BOTTOM SIZE 2.5 \"R1(4A515O2)\"");
    file << (record() << "CASE                  \" U C CVUSV \"");
    file << (record() << "PLOT");
}

}  // namespace korva
