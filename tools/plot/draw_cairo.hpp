// Draws a scene with cairo and writes it as a PNG image or a one-page PDF.
#pragma once

#include <string>

#include "scene.hpp"

typedef struct _cairo cairo_t;

namespace korva::plot {

// An output file that could not be written.
struct write_error {
    std::string what;
};

// White page, frame and ticks, the curves clipped to the frame, then the texts.
void draw(cairo_t* cr, const scene& s);

void write_png(const scene& s, const std::string& path);  // throws write_error
void write_pdf(const scene& s, const std::string& path);  // throws write_error

// The PNG file's bytes, for a caller that writes it together with other files (all or none).
// Throws write_error when cairo cannot draw or encode it.
std::string png_bytes(const scene& s);

// Frees the font caches that cairo and fontconfig keep for the process, so that a leak checker
// sees nothing left at exit. Drawing afterwards is allowed and fills them again.
void release_font_caches();

}  // namespace korva::plot
