// What korva-xas makes of a finished run and its options: the Fermi level, the damping, the
// widths, the absorber's element and edge, each with how it was chosen; and the XDI fields that
// say so. korva-xas and the Python module (korva.xas) share it.
#pragma once

#include <string>
#include <vector>

#include "cli.hpp"
#include "input/deck.hpp"
#include "inputs.hpp"
#include "spectrum.hpp"
#include "xdi.hpp"

namespace korva::xas {

// Everything read from the run.
struct run_data {
    korva::deck d;
    std::string sig;  // the cross-section plot file, as messages name it
    computed_spectrum spectrum;
    data_header ps, xs;
};

struct choices {
    spectrum_parameters p;
    std::string fermi_source, element, edge, exchange;
    std::vector<std::string> warnings;
};

// The deck's answers korva-xas needs: IF1 > 0 (the run writes its cross sections) and an edge
// energy ENE above 0; throws xas_error (status 2, 1) naming `name`.
void check_deck(const std::string& name, const korva::deck& d);

// Throws xas_error (status 1 for a value it refuses, 2 for a field the data files lack).
choices choose(const options& o, const run_data& r);

std::vector<xdi_field> xdi_fields(const options& o, const run_data& r, const choices& c,
                                  const xas_spectrum& s);

}  // namespace korva::xas
