#include "xdi.hpp"

#include <cstdio>

#include "driver/version.hpp"

namespace korva::xas {

std::string xdi_text(const std::vector<xdi_field>& fields, const std::string& comment,
                     const std::vector<double>& energy, const std::vector<double>& mu) {
    std::string t = std::string("# XDI/1.0 KORVA/") + korva_version + "\n";
    t += "# Column.1: energy eV\n# Column.2: mu\n";
    for (const xdi_field& f : fields) t += "# " + f.name + ": " + f.value + "\n";
    t += "# ///\n# " + comment + "\n#------------------------\n";
    t += "#      energy            mu\n";
    char line[64];
    for (std::size_t i = 0; i < energy.size(); ++i) {
        std::snprintf(line, sizeof line, "  %12.4f  %15.8g\n", energy[i], mu[i]);
        t += line;
    }
    return t;
}

std::string xdi_table(const std::vector<xdi_field>& fields, const std::string& comment,
                      const std::vector<xdi_column>& columns) {
    std::string t = std::string("# XDI/1.0 KORVA/") + korva_version + "\n";
    for (std::size_t c = 0; c < columns.size(); ++c) {
        t += "# Column." + std::to_string(c + 1) + ": " + columns[c].label;
        if (!columns[c].unit.empty()) t += " " + columns[c].unit;
        t += "\n";
    }
    for (const xdi_field& f : fields) t += "# " + f.name + ": " + f.value + "\n";
    t += "# ///\n# " + comment + "\n#------------------------\n#";
    char cell[64];
    for (std::size_t c = 0; c < columns.size(); ++c) {
        std::snprintf(cell, sizeof cell, c == 0 ? "%13s" : " %16s", columns[c].label.c_str());
        t += cell;
    }
    t += "\n";
    const std::size_t rows = columns.empty() ? 0 : columns[0].values.size();
    for (std::size_t i = 0; i < rows; ++i) {
        std::snprintf(cell, sizeof cell, "  %12.4f", columns[0].values[i]);
        t += cell;
        for (std::size_t c = 1; c < columns.size(); ++c) {
            std::snprintf(cell, sizeof cell, "  %15.8g", columns[c].values[i]);
            t += cell;
        }
        t += "\n";
    }
    return t;
}

}  // namespace korva::xas
