// The finished runs korva-xas reads: one deck, or a list of decks with weights (every site of a
// crystal, every frame of a trajectory), each run read from its deck's folder; and what the run
// and the options make of its physics (the Fermi level, the widths, the element and edge).
#pragma once

#include <string>
#include <vector>

#include "cli.hpp"
#include "input/deck.hpp"
#include "inputs.hpp"
#include "spectrum.hpp"

namespace korva::xas {

// One line of a run list: "WEIGHT DECK [LABEL]".
struct run_entry {
    std::string deck;  // as korva-xas opens it: relative to the list's folder made whole
    double weight = 1.0;
    std::string label;  // names the run's column; default: its place in the list from 1
};

// A run list: one run a line, '#' comment lines and blank lines ignored; the weight a finite
// number above 0, the deck relative to the list's own folder. Throws xas_error (status 2) with
// "path:line: reason", or for a list without runs.
std::vector<run_entry> read_run_list(const std::string& path);

// Everything read from one run. The .sig and the data files are named from the deck's folder.
struct run_data {
    korva::deck d;
    std::string deck;  // as given
    std::string sig, psfile, xsfile;
    computed_spectrum spectrum;
    data_header ps, xs;
};

run_data read_run(const std::string& deck);

// What the run and the options make of the physics: the parameters and how each was chosen.
struct choices {
    spectrum_parameters p;
    std::string fermi_source, element, edge, exchange;
    std::vector<std::string> warnings;
};

choices choose(const options& o, const run_data& r);

}  // namespace korva::xas
