// Times korva-plot on the four plot files of a typical run (signal with two channels of 150
// points, cross sections with experimental points, chi on 300 mesh points, 201-point Fourier
// transform): reading, layout, PNG and SVG, as the program does for each file.
#include <unistd.h>

#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "draw_cairo.hpp"
#include "draw_svg.hpp"
#include "plot_read.hpp"
#include "scene.hpp"

namespace {

std::string real_text(float v) {
    char buf[32];
    return std::string(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
}

std::string point(float x, float y) {
    std::string line = " ";
    line += real_text(x);
    line += ' ';
    line += real_text(y);
    line += '\n';
    return line;
}

std::string dat() {
    std::string s =
        " SET FONT DUPLEX\n SET WINDOW X 2 12 Y 2. 8.5\n TITLE 3. 9.4 SIZE 2.5 \"cuk_kor.dat\"\n"
        " TITLE 6. .7 SIZE 2.5 \"k (A)\"\n TITLE .5 4.5 SIZE 2.5 \"C\"\n"
        " CASE                  \"G\"\n SET SYMBOL 2P SIZE 0.8\n";
    for (int c = 0; c < 2; ++c) {
        for (int e = 0; e < 150; ++e) {
            float k = std::sqrt(0.05f + 0.03f * e) / 0.529f;
            s += point(k, 0.3f * std::sin(5.0f * k + c) * std::exp(-0.2f * k));
        }
        s += " PLOT\n JOIN\n SET SYMBOL 3P SIZE 0.8\n";
    }
    return s + " PLOT\n JOIN\n";
}

std::string sig() {
    std::string s =
        " SET FONT DUPLEX\n SET WINDOW X 2 12 Y 2. 8.5\n SET LIMITS Y 0.  3.3\n"
        " TITLE 3. 9.4 SIZE 2.5 \"cuk_kor.sig\"\n TITLE 6.5 .7 SIZE 2.5 \"E (Ry)\"\n"
        " TITLE .5 4.5 ANGLE 90 SIZE 2.5 \"S (Mbarn)\"\n CASE                  \"G        \"\n"
        " SET SYMBOL 2P SIZE 0.8\n";
    for (int c = 0; c < 2; ++c) {
        if (c == 1) s += " SET SYMBOL 3P SIZE 0.8\n";
        for (int curve = 0; curve < 2; ++curve) {
            for (int e = 0; e < 150; ++e) {
                float eph = 0.05f + 0.03f * e, sig0 = 2.0f / (1.0f + eph);
                s += point(eph, curve == 0 ? sig0 * (1.0f + 0.3f * std::sin(9.0f * eph)) : sig0);
            }
            s += " PLOT\n JOIN\n";
        }
    }
    s += " SET SYMBOL 6P SIZE 0.8\n";
    for (int n = 0; n < 300; ++n) s += point(0.02f * n, 1.5f + 0.2f * std::sin(0.1f * n));
    return s + " PLOT\n JOIN\n";
}

std::string chi() {
    std::string s =
        " SET MODE VECTOR\n SET WINDOW X 2 12 Y 2 8.5\n SET LIMITS X 0 12 Y  -2 2\n  0.  0. \n"
        "  PLOT \n TITLE 3. 9.2 SIZE 3 \"cuk_kor.chi\"\nTITLE 9.5 8. SIZE 2 \"k**2.0\"\n"
        " TITLE BOTTOM SIZE 2.5 \"k1(4A515O20-11)\"\n CASE                  \" U C CVUSVC  C \"\n";
    for (int i = 0; i < 300; ++i) {
        float k = 2.0f + 0.03f * i;
        s += point(k, 0.1f * k * k * std::sin(5.0f * k) * std::exp(-0.3f * k));
    }
    return s + " JOIN\n";
}

std::string fou() {
    std::string s = " SET MODE VECTOR\n SET WINDOW X 2 12 Y 2 8.5\n SET LIMITS X 0 8.0 \n";
    for (int n = 0; n <= 200; ++n) {
        float r = 0.04f * n;
        s += point(r, 3.0f * std::exp(-(r - 2.5f) * (r - 2.5f) / 0.1f));
    }
    return s +
           " JOIN\n 0. 0.\n TITLE 3. 9.2 SIZE 3 \"cuk_kor.fou\"\n"
           " TITLE 7 8. SIZE 2 \"Fourier Transform\"\n TITLE BOTTOM SIZE 2.5 \"R1(4A515O2)\"\n"
           " CASE                  \" U C CVUSV \"\n PLOT\n";
}

}  // namespace

int main() {
    namespace fs = std::filesystem;
    using clock = std::chrono::steady_clock;
    fs::path dir = fs::temp_directory_path() / ("korva_plot_bench_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::vector<std::pair<std::string, std::string>> files = {{"cuk_kor.dat", dat()},
                                                                    {"cuk_kor.sig", sig()},
                                                                    {"cuk_kor.chi", chi()},
                                                                    {"cuk_kor.fou", fou()}};
    for (const auto& [name, text] : files) std::ofstream(dir / name) << text;

    constexpr int rounds = 20;
    std::vector<double> per_file(files.size(), 0.0);
    double reading = 0.0, png = 0.0, svg_time = 0.0;  // summed over the counted rounds
    double best_set = 1e300, total = 0.0;
    for (int r = 0; r <= rounds; ++r) {  // round 0 warms the font caches and is not counted
        double set = 0.0;
        for (std::size_t f = 0; f < files.size(); ++f) {
            std::string path = (dir / files[f].first).string();
            auto t0 = clock::now();
            std::ifstream in(path);
            std::ostringstream warn;
            korva::plot::plot_file plot = korva::plot::read_plot(in, path, warn);
            korva::plot::scene s = korva::plot::layout(plot);
            auto t1 = clock::now();
            korva::plot::write_png(s, path + ".png");
            auto t2 = clock::now();
            std::ofstream svg(path + ".svg");
            korva::plot::write_svg(s, svg);
            svg.close();
            auto t3 = clock::now();
            double ms = std::chrono::duration<double, std::milli>(t3 - t0).count();
            if (r > 0) {
                per_file[f] += ms;
                reading += std::chrono::duration<double, std::milli>(t1 - t0).count();
                png += std::chrono::duration<double, std::milli>(t2 - t1).count();
                svg_time += std::chrono::duration<double, std::milli>(t3 - t2).count();
            }
            set += ms;
        }
        if (r > 0) total += set, best_set = std::min(best_set, set);
    }
    std::printf("korva-plot, four typical files, read + layout + PNG + SVG, %d rounds\n", rounds);
    for (std::size_t f = 0; f < files.size(); ++f)
        std::printf("  %-12s %8.2f ms\n", files[f].first.c_str(), per_file[f] / rounds);
    std::printf("  all four     %8.2f ms mean, %8.2f ms best\n", total / rounds, best_set);
    std::printf("  of which     %8.2f ms reading and layout, %.2f ms PNG, %.2f ms SVG\n",
                reading / rounds, png / rounds, svg_time / rounds);
    fs::remove_all(dir);
    korva::plot::release_font_caches();
    return 0;
}
