#include "post/signal_plot.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "common/textio.hpp"
#include "common/units.hpp"
#include "post/plot_value.hpp"

namespace korva {

void dat_header(std::ostream& f, const std::string& name) {
    f << (record() << "SET FONT DUPLEX");
    f << (record() << "SET WINDOW X 2 12 Y 2. 8.5");
    f << (record() << "TITLE 3. 9.4 SIZE 2.5 \"" + name + "\"");
    f << (record() << "TITLE 6. .7 SIZE 2.5 \"k (A)\"");
    f << (record() << "TITLE .5 4.5 SIZE 2.5 \"C\"");
    f << (record() << "CASE                  \"G\"");
    f << (record() << "SET SYMBOL 2P SIZE 0.8");
}

void dat_point(std::ostream& f, real k, real xtot, real esp) {
    real y = xtot;
    // k^ESP with k = 0 and a negative ESP has no value: such a point plots 0.
    if (esp != 0.0f) y = (k == 0.0f && esp < 0.0f) ? 0.0f : std::pow(k, esp) * y;
    f << (record() << k << plot_value(y));
}

void dat_curve_end(std::ostream& f, bool more) {
    f << (record() << "PLOT");
    f << (record() << "JOIN");
    if (more) f << (record() << "SET SYMBOL 3P SIZE 0.8");
}

void polarisation_titles(std::ostream& f, const std::vector<std::string>& names) {
    for (std::size_t k = 0; k < names.size(); ++k) {
        char y[16];
        std::snprintf(y, sizeof y, "%.1f", 8.2 - 0.3 * static_cast<double>(k));
        f << (record() << std::string("TITLE 2.3 ") + y + " SIZE 1.2 \"" + names[k] + "\"");
    }
}

namespace {

real largest_total(int nen, const std::vector<sig_curve>& curves) {
    real largest = 0.0f;
    for (int e = 0; e < nen; ++e)
        for (const sig_curve& c : curves)
            largest = std::max(largest, c.sig0[e] * (c.xtot[e] + 1.0f));
    return largest;
}

void sig_header(std::ostream& f, const std::string& name, real largest) {
    f << (record() << "SET FONT DUPLEX");
    f << (record() << "SET WINDOW X 2 12 Y 2. 8.5");
    f << (record() << "SET LIMITS Y 0. " << plot_value(1.1f * largest));
    f << (record() << "TITLE 3. 9.4 SIZE 2.5 \"" + name + "\"");
    f << (record() << "TITLE 6.5 .7 SIZE 2.5 \"E (Ry)\"");
    f << (record() << "TITLE .5 4.5 ANGLE 90 SIZE 2.5 \"S (Mbarn)\"");
    f << (record() << "CASE                  \"G        \"");
    f << (record() << "SET SYMBOL 2P SIZE 0.8");
}

void plot_join(std::ostream& f) {
    f << (record() << "PLOT");
    f << (record() << "JOIN");
}

}  // namespace

void write_sig_plot(std::ostream& f, const std::string& name, int nen, const real* eph,
                    const std::vector<sig_curve>& curves, const sig_experiment* x,
                    const std::vector<std::string>& names) {
    sig_header(f, name, largest_total(nen, curves));
    polarisation_titles(f, names);
    for (std::size_t c = 0; c < curves.size(); ++c) {
        if (c == 1) f << (record() << "SET SYMBOL 3P SIZE 0.8");
        const sig_curve& s = curves[c];
        for (int e = 0; e < nen; ++e)
            f << (record() << eph[e] << plot_value(s.sig0[e] * (s.xtot[e] + 1.0f)));
        plot_join(f);
        for (int e = 0; e < nen; ++e) f << (record() << eph[e] << s.sig0[e]);
        plot_join(f);
    }
    if (x == nullptr) return;
    f << (record() << "SET SYMBOL 6P SIZE 0.8");
    for (std::size_t n = 0; n < x->energy.size(); ++n)
        f << (record() << plot_value((x->energy[n] - x->ene) / ev)
                       << plot_value(x->fac * (x->value[n] - x->smallest)));
    plot_join(f);
}

}  // namespace korva
