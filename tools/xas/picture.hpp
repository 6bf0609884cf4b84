// Pictures with korva-plot's look: the normalised spectrum against the photon energy (with the
// spread of several runs as a band), and the overlay of a computed and a measured spectrum with
// their residual in a panel below.
#pragma once

#include <string>
#include <vector>

namespace korva::xas {

struct picture_text {
    std::string title;  // above the frame
    std::string x_axis = "Photon energy (eV)";
    std::string y_axis = "Normalised absorption";
};

// The picture's bytes: PNG when `png`, else an SVG document. A `spread` (empty: none) draws the
// band mu - spread .. mu + spread. Throws plot::write_error when cairo cannot make the PNG.
std::string picture(const std::vector<double>& energy, const std::vector<double>& mu,
                    const picture_text& text, bool png, const std::vector<double>& spread = {});

struct overlay {
    std::vector<double> energy, computed, spread;  // the computed spectrum (spread: may be empty)
    std::vector<double> measured_energy, measured, residual;  // residual = measured - computed
    std::string computed_name, measured_name;                 // the legend's names
    std::vector<std::string> notes;                           // the figures, one legend line each
    picture_text text;
};

std::string overlay_picture(const overlay& o, bool png);

}  // namespace korva::xas
