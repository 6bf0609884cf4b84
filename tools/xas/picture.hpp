// The normalised spectrum drawn with korva-plot's look: one line against the photon energy.
#pragma once

#include <string>
#include <vector>

namespace korva::xas {

struct picture_text {
    std::string title;  // above the frame
    std::string x_axis = "Photon energy (eV)";
    std::string y_axis = "Normalised absorption";
};

// The picture's bytes: PNG when `png`, else an SVG document. Throws plot::write_error when
// cairo cannot make the PNG.
std::string picture(const std::vector<double>& energy, const std::vector<double>& mu,
                    const picture_text& text, bool png);

}  // namespace korva::xas
