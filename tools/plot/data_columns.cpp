#include "data_columns.hpp"

#include "plot_number.hpp"

namespace korva::plot {

std::string describe(const curve& c) {
    std::string d = c.markers && c.line ? "PLOT+JOIN" : c.markers ? "PLOT" : "JOIN";
    if (c.markers) d += c.symbol_name.empty() ? ", default symbol" : ", symbol " + c.symbol_name;
    return d;
}

void write_columns(const plot_file& plot, const std::string& file, std::ostream& out,
                   bool after_other_output) {
    // A control character in a file name must not end the comment line.
    std::string name = file;
    for (char& ch : name)
        if (static_cast<unsigned char>(ch) < 0x20 || ch == 0x7f) ch = '?';
    bool separate = after_other_output;
    if (plot.curves.empty()) {
        if (separate) out << '\n';
        out << "# no curves in " << name << '\n';
        return;
    }
    int n = 0;
    for (const curve& c : plot.curves) {
        if (separate) out << '\n';
        separate = true;
        out << "# curve " << ++n << " (" << describe(c) << ") of " << name << '\n';
        for (const point& p : c.points) out << shortest(p.x) << ' ' << shortest(p.y) << '\n';
    }
}

}  // namespace korva::plot
