// The finished runs korva-xas reads: one deck, or a list of decks with weights (every site of a
// crystal, every frame of a trajectory), each run read from its deck's folder (what the run and
// the options make of its physics is choices.hpp's).
#pragma once

#include <string>
#include <vector>

#include "choices.hpp"

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

// One run read from its deck's folder: its .sig and data files named from there (r.sig,
// r.d.psfile and r.d.xsfile hold the paths as korva-xas opens them). Throws xas_error.
run_data read_run(const std::string& deck);

}  // namespace korva::xas
