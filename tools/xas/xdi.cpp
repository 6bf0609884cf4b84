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

}  // namespace korva::xas
