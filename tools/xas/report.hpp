// What korva-xas writes: the summary on standard output and the files (the spectrum's XDI
// file, the comparison's, the pictures), all as texts so that they are written together or not
// at all.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "session.hpp"

namespace korva::xas {

// The summary of a command that computed spectra.
std::string summary(const session& s);

// The summary of a measurement read alone (korva-xas --exp FILE).
std::string measurement_summary(const measurement& m);

// Every output file as (name, text). Throws xas_error (status 3) when a picture cannot be made.
std::vector<std::pair<std::string, std::string>> outputs(const session& s);

}  // namespace korva::xas
