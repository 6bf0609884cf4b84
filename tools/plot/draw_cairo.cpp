#include "draw_cairo.hpp"

#include <cairo-pdf.h>
#include <cairo.h>
#include <fontconfig/fontconfig.h>

#include <numbers>
#include <string>
#include <vector>

namespace korva::plot {

namespace {

void trace(cairo_t* cr, const stroke& k) {
    for (const polyline& p : k.parts) {
        if (p.v.empty()) continue;
        cairo_move_to(cr, p.v[0].x, p.v[0].y);
        for (std::size_t i = 1; i < p.v.size(); ++i) cairo_line_to(cr, p.v[i].x, p.v[i].y);
        if (p.closed) cairo_close_path(cr);
    }
}

void check(cairo_status_t status, const std::string& path) {
    if (status != CAIRO_STATUS_SUCCESS)
        throw write_error{"cannot write " + path + ": " + cairo_status_to_string(status)};
}

// Font size and baseline offset (pixels, up) of one piece of a text.
double piece_size(const text& t, const text_span& p) {
    return p.shift == text_shift::none ? t.size : script_scale * t.size;
}

double piece_rise(const text& t, const text_span& p) {
    return p.shift == text_shift::up     ? superscript_rise * t.size
           : p.shift == text_shift::down ? -subscript_drop * t.size
                                         : 0.0;
}

// A text, piece after piece at its own size and height, placed by its anchor.
void show(cairo_t* cr, const text& t) {
    std::vector<text_span> whole;
    const std::vector<text_span>& pieces = t.spans.empty() ? whole : t.spans;
    if (t.spans.empty()) whole.push_back({t.utf8, text_shift::none});
    double width = 0.0;
    for (const text_span& p : pieces) {
        cairo_set_font_size(cr, piece_size(t, p));
        cairo_text_extents_t ext;
        cairo_text_extents(cr, p.utf8.c_str(), &ext);
        width += ext.x_advance;
    }
    double x = t.anchor == text_anchor::start    ? 0.0
               : t.anchor == text_anchor::middle ? -width / 2.0
                                                 : -width;
    cairo_save(cr);
    cairo_translate(cr, t.x, t.y);
    cairo_rotate(cr, -t.angle * std::numbers::pi / 180.0);
    for (const text_span& p : pieces) {
        cairo_set_font_size(cr, piece_size(t, p));
        cairo_move_to(cr, x, -piece_rise(t, p));
        cairo_show_text(cr, p.utf8.c_str());
        double y = 0.0;
        cairo_get_current_point(cr, &x, &y);
    }
    cairo_restore(cr);
}

}  // namespace

void draw(cairo_t* cr, const scene& s) {
    cairo_set_source_rgb(cr, 1.0, 1.0, 1.0);
    cairo_paint(cr);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    for (const stroke& k : s.strokes) {
        cairo_save(cr);
        if (k.role == stroke_role::curve) {
            const box c = clip_of(k, s);
            cairo_rectangle(cr, c.x0, c.y0, c.x1 - c.x0, c.y1 - c.y0);
            cairo_clip(cr);
        }
        trace(cr, k);
        if (k.filled) {
            cairo_set_source_rgb(cr, 1.0, 1.0, 1.0);
            cairo_fill_preserve(cr);
        }
        const double r = k.colour.r / 255.0, g = k.colour.g / 255.0, b = k.colour.b / 255.0;
        if (k.fill_opacity > 0.0) {
            cairo_set_source_rgba(cr, r, g, b, k.fill_opacity);
            cairo_fill_preserve(cr);
        }
        cairo_set_source_rgb(cr, r, g, b);
        cairo_set_line_width(cr, k.width);
        if (k.width > 0.0) {
            cairo_stroke(cr);
        } else {
            cairo_new_path(cr);
        }
        cairo_restore(cr);
    }
    cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_source_rgb(cr, 0.0, 0.0, 0.0);
    for (const text& t : s.texts) show(cr, t);
}

void write_png(const scene& s, const std::string& path) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, s.width, s.height);
    cairo_t* cr = cairo_create(surface);
    draw(cr, s);
    cairo_status_t drawn = cairo_status(cr);
    cairo_destroy(cr);
    cairo_status_t written =
        drawn == CAIRO_STATUS_SUCCESS ? cairo_surface_write_to_png(surface, path.c_str()) : drawn;
    cairo_surface_destroy(surface);
    check(written, path);
}

namespace {

cairo_status_t append_bytes(void* closure, const unsigned char* data, unsigned int length) {
    static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
    return CAIRO_STATUS_SUCCESS;
}

}  // namespace

std::string png_bytes(const scene& s) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, s.width, s.height);
    cairo_t* cr = cairo_create(surface);
    draw(cr, s);
    cairo_status_t drawn = cairo_status(cr);
    cairo_destroy(cr);
    std::string bytes;
    cairo_status_t written = drawn == CAIRO_STATUS_SUCCESS
                                 ? cairo_surface_write_to_png_stream(surface, append_bytes, &bytes)
                                 : drawn;
    cairo_surface_destroy(surface);
    check(written, "the PNG image");
    return bytes;
}

void write_pdf(const scene& s, const std::string& path) {
    // One pixel of the scene is one PDF point: the page is 800 x 600 pt.
    cairo_surface_t* surface = cairo_pdf_surface_create(path.c_str(), s.width, s.height);
    cairo_t* cr = cairo_create(surface);
    draw(cr, s);
    cairo_show_page(cr);
    cairo_status_t drawn = cairo_status(cr);
    cairo_destroy(cr);
    cairo_surface_finish(surface);
    cairo_status_t written = cairo_surface_status(surface);
    cairo_surface_destroy(surface);
    check(drawn != CAIRO_STATUS_SUCCESS ? drawn : written, path);
}

void release_font_caches() {
    cairo_debug_reset_static_data();
    FcFini();
}

}  // namespace korva::plot
