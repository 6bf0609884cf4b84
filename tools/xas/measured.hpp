// A measured absorption spectrum, read from an XDI 1.0 file or from plain columns: its energies
// (eV) and absorption, and what the file says of them. One reader, strict: whatever it cannot
// take without guessing is refused with the file and line.
#pragma once

#include <string>
#include <vector>

namespace korva::xas {

struct measured_spectrum {
    std::string path;
    std::string format;          // "XDI 1.0" or "plain columns"
    std::vector<double> energy;  // eV, strictly increasing
    std::vector<double> mu;      // the absorption, in the file's unit
    std::string column;          // how mu was taken: "mutrans", "ln(i0/itrans)", "column 2"
    bool normalised = false;     // normtrans, normfluor, normrefer: already an edge step of 1
    bool kev = false;            // the file's energies were keV (multiplied by 1000)
    std::string element, edge;   // XDI: Element.symbol (as the periodic table writes it) and
                                 // Element.edge (upper case); plain columns: empty
    std::vector<int> lines;      // the file's line of each point
};

// What --exp-column names: empty for the default; an XDI column label (any case) or a column
// number from 1 (plain columns: a number only).
//
// XDI 1.0 (the file's first line is "# XDI/1.x ..."): the version line; "# Namespace.tag: value"
// fields, each well formed (the namespace starting with a letter, the tag of letters, digits,
// '_' and '-'); "# ///" before any user comments; the header-end line "# ---"; an optional
// label line; rows of numbers, all with one count, no comment among them. Column.1 must be
// "energy eV" (or keV), Column.N numbered without gaps and within the rows; Element.symbol and
// Element.edge, when given, name an element and an edge. The absorption is the first of mutrans,
// mufluor, normtrans, normfluor, then ln(i0/itrans) or ifluor/i0, unless --exp-column names a
// column.
//
// Plain columns: '#' comment lines and blank lines anywhere, rows of numbers with one count;
// energy in column 1, the absorption in column 2 or the one --exp-column gives; energies all
// at most 100 are keV (the convention of the program's experimental file). A file named .xdi,
// or whose comments hold XDI fields (Column.N), must be XDI.
//
// Energies must rise strictly and every value be a finite number. Throws xas_error (status 2)
// with "path:line: reason".
measured_spectrum read_measured(const std::string& path, const std::string& column = "");

}  // namespace korva::xas
