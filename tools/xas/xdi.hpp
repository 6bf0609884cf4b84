// The XDI 1.0 text of a spectrum (energy in eV, mu), as Larch and Athena read it: the version
// line, the header fields, the "# ///" line, a comment, the column labels and the data.
#pragma once

#include <string>
#include <vector>

namespace korva::xas {

// "Namespace.tag" and its value, written "# Namespace.tag: value".
struct xdi_field {
    std::string name;
    std::string value;
};

// The first line is "# XDI/1.0 KORVA/<version>"; Column.1 (energy eV) and Column.2 (mu) come
// first, then `fields`. Energies with 4 decimals, mu with 8 significant digits.
std::string xdi_text(const std::vector<xdi_field>& fields, const std::string& comment,
                     const std::vector<double>& energy, const std::vector<double>& mu);

// One column of a table: its label (a word), its unit (may be empty) and its values.
struct xdi_column {
    std::string label, unit;
    std::vector<double> values;
};

// The same form with any columns, the first the energy (4 decimals), the others with 8
// significant digits; Column.N fields name them in order.
std::string xdi_table(const std::vector<xdi_field>& fields, const std::string& comment,
                      const std::vector<xdi_column>& columns);

}  // namespace korva::xas
