// The plot files of a run, in the exact line forms the main program writes them, read, drawn
// to PNG and SVG, and run through the korva-plot program itself.
#include <cairo.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "data_columns.hpp"
#include "draw_cairo.hpp"
#include "draw_svg.hpp"
#include "legend.hpp"
#include "plot_read.hpp"
#include "scene.hpp"

namespace korva::plot {
namespace {

namespace fs = std::filesystem;

// A real as the main program writes it: single precision, shortest round-trip form.
std::string real_text(float v) {
    char buf[32];
    return std::string(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
}

// A free-format data line: a blank, x, a blank, y.
std::string data_line(float x, float y) {
    std::string line = " ";
    line += real_text(x);
    line += ' ';
    line += real_text(y);
    line += '\n';
    return line;
}

struct sample {
    std::string name;
    std::string text;
    std::vector<std::vector<std::pair<float, float>>> curves;  // the points as written
};

std::vector<std::pair<float, float>> wave(int n, float x0, float dx, float amp, float phase) {
    std::vector<std::pair<float, float>> p;
    for (int i = 0; i < n; ++i) {
        float x = x0 + dx * static_cast<float>(i);
        p.push_back({x, amp * std::sin(5.0f * x + phase) * std::exp(-0.2f * x)});
    }
    return p;
}

std::string lines(const std::vector<std::pair<float, float>>& p) {
    std::string s;
    for (auto [x, y] : p) s += data_line(x, y);
    return s;
}

// Signal file: seven header lines, then per channel its points, PLOT, JOIN (two channels:
// SET SYMBOL 3P after each channel, and a last PLOT, JOIN with no points).
sample dat_file(int channels) {
    sample s{"cuk_kor.dat", "", {}};
    s.text =
        " SET FONT DUPLEX\n"
        " SET WINDOW X 2 12 Y 2. 8.5\n"
        " TITLE 3. 9.4 SIZE 2.5 \"cuk_kor.dat\"\n"
        " TITLE 6. .7 SIZE 2.5 \"k (A)\"\n"
        " TITLE .5 4.5 SIZE 2.5 \"C\"\n"
        " CASE                  \"G\"\n"
        " SET SYMBOL 2P SIZE 0.8\n";
    for (int c = 0; c < channels; ++c) {
        s.curves.push_back(wave(40, 0.6f, 0.07f, 0.3f - 0.1f * c, 1.3f * c));
        s.text += lines(s.curves.back());
        s.text += channels == 1 ? " PLOT\n JOIN\n" : " PLOT\n JOIN\n SET SYMBOL 3P SIZE 0.8\n";
    }
    if (channels == 2) s.text += " PLOT\n JOIN\n";
    return s;
}

// Cross-section file with the experimental section: fixed y range, per channel the total and
// the atomic cross-section (the second channel with marker 3P), then the experiment.
sample sig_file(int channels = 1) {
    sample s{"cuk_kor.sig", "", {}};
    std::string curves;
    float largest = 0.0f;
    for (int c = 0; c < channels; ++c) {
        std::vector<std::pair<float, float>> total, atomic;
        for (int e = 0; e < 50; ++e) {
            float eph = 0.1f + 0.06f * static_cast<float>(e);
            float sig0 = (2.0f + static_cast<float>(c)) / (1.0f + eph);
            float xtot = 0.3f * std::sin(9.0f * std::sqrt(eph) + static_cast<float>(c));
            total.push_back({eph, sig0 * (xtot + 1.0f)});
            atomic.push_back({eph, sig0});
            largest = std::max(largest, sig0 * (xtot + 1.0f));
        }
        if (c == 1) curves += " SET SYMBOL 3P SIZE 0.8\n";
        curves += lines(total) + " PLOT\n JOIN\n" + lines(atomic) + " PLOT\n JOIN\n";
        s.curves.push_back(total);
        s.curves.push_back(atomic);
    }
    std::vector<std::pair<float, float>> experiment;
    for (int n = 0; n < 30; ++n) {
        float eph = 0.2f + 0.09f * static_cast<float>(n);
        experiment.push_back({eph, 1.2f * (1.0f + 0.2f * std::sin(9.0f * std::sqrt(eph)))});
    }
    s.curves.push_back(experiment);
    s.text =
        " SET FONT DUPLEX\n"
        " SET WINDOW X 2 12 Y 2. 8.5\n"
        " SET LIMITS Y 0.  " +
        real_text(1.1f * largest) +
        "\n"
        " TITLE 3. 9.4 SIZE 2.5 \"cuk_kor.sig\"\n"
        " TITLE 6.5 .7 SIZE 2.5 \"E (Ry)\"\n"
        " TITLE .5 4.5 ANGLE 90 SIZE 2.5 \"S (Mbarn)\"\n"
        " CASE                  \"G        \"\n"
        " SET SYMBOL 2P SIZE 0.8\n" +
        curves + " SET SYMBOL 6P SIZE 0.8\n" + lines(experiment) + " PLOT\n JOIN\n";
    return s;
}

// Chi file: a marker at the origin, the titles (line 7 without the leading blank), the curve.
sample chi_file() {
    sample s{"cuk_kor.chi", "", {}};
    auto chi = wave(120, 2.0f, 0.08f, 0.4f, 0.0f);
    s.text =
        " SET MODE VECTOR\n"
        " SET WINDOW X 2 12 Y 2 8.5\n"
        " SET LIMITS X 0 12 Y  -0.5 0.5\n"
        "  0.  0. \n"
        "  PLOT \n"
        " TITLE 3. 9.2 SIZE 3 \"cuk_kor.chi\"\n"
        "TITLE 9.5 8. SIZE 2 \"k**2.0\"\n"
        " TITLE BOTTOM SIZE 2.5 \"k1(4A515O20-11)\"\n"
        " CASE                  \" U C CVUSVC  C \"\n" +
        lines(chi) + " JOIN\n";
    s.curves = {{{0.0f, 0.0f}}, chi};
    return s;
}

// Fourier file: 201 points for R = 0..8, JOIN, the origin point and the titles, PLOT last.
sample fou_file() {
    sample s{"cuk_kor.fou", "", {}};
    std::vector<std::pair<float, float>> ft;
    for (int n = 0; n <= 200; ++n) {
        float r = static_cast<float>(n) * 0.04f;
        ft.push_back({r, 3.0f * std::exp(-(r - 2.5f) * (r - 2.5f) / 0.1f) + 1e-05f});
    }
    s.text =
        " SET MODE VECTOR\n"
        " SET WINDOW X 2 12 Y 2 8.5\n"
        " SET LIMITS X 0 8.0 \n" +
        lines(ft) +
        " JOIN\n"
        " 0. 0.\n"
        " TITLE 3. 9.2 SIZE 3 \"cuk_kor.fou\"\n"
        " TITLE 7 8. SIZE 2 \"Fourier Transform\"\n"
        " TITLE BOTTOM SIZE 2.5 \"R1(4A515O2)\"\n"
        " CASE                  \" U C CVUSV \"\n"
        " PLOT\n";
    s.curves = {ft, {{0.0f, 0.0f}}};
    return s;
}

// Header of a fixed-axis plot: limits, origin marker, file title over the frame, k title.
sample plotin_file() {
    sample s{"cuk_kor.pin", "", {}};
    std::string name = "cuk_kor.pin";
    name.resize(80, ' ');
    s.text =
        " SET MODE VECTOR\n"
        " SET WINDOW X 2 12 Y 2 8.5\n"
        " SET LIMITS X 0 17 Y -.75 +.75\n"
        "  0. 0. \n"
        " PLOT\n"
        " TITLE TOP \"          file   " +
        name +
        "\"\n"
        " TITLE 6.1 1.4 SIZE 2.5 \"k1(4A515O20-11)\"\n"
        " CASE                  \" U C CVUSVC  C \"\n";
    s.curves = {{{0.0f, 0.0f}}};
    return s;
}

std::vector<sample> all_samples() {
    return {dat_file(1), dat_file(2), sig_file(1),  sig_file(2),
            chi_file(),  fou_file(),  plotin_file()};
}

plot_file parse(const sample& s, std::string* warnings = nullptr) {
    std::istringstream in(s.text);
    std::ostringstream warn;
    plot_file p = read_plot(in, s.name, warn);
    if (warnings) *warnings = warn.str();
    return p;
}

// Leaves no font cache behind for a leak checker at the end of the test program.
class font_cache_release : public ::testing::Environment {
    void TearDown() override { release_font_caches(); }
};
const ::testing::Environment* const font_caches =
    ::testing::AddGlobalTestEnvironment(new font_cache_release);

class PlotFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir = fs::temp_directory_path() /
              ("korva_plot_" + std::to_string(::getpid()) + "_" + info->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string put(const std::string& name, const std::string& text) {
        std::string path = (dir / name).string();
        std::ofstream(path) << text;
        return path;
    }

    fs::path dir;
};

struct raster {
    int width = 0, height = 0;
    std::vector<std::uint32_t> px;  // 0x00RRGGBB
};

raster load_png(const std::string& path) {
    raster r;
    cairo_surface_t* s = cairo_image_surface_create_from_png(path.c_str());
    if (cairo_surface_status(s) == CAIRO_STATUS_SUCCESS) {
        r.width = cairo_image_surface_get_width(s);
        r.height = cairo_image_surface_get_height(s);
        int stride = cairo_image_surface_get_stride(s);
        const unsigned char* data = cairo_image_surface_get_data(s);
        for (int y = 0; y < r.height; ++y)
            for (int x = 0; x < r.width; ++x) {
                std::uint32_t v;
                std::memcpy(&v, data + y * stride + 4 * x, 4);
                r.px.push_back(v & 0xffffffu);
            }
    }
    cairo_surface_destroy(s);
    return r;
}

// Frame, ticks and text are black on white, so any pixel with a clear hue belongs to a curve
// (antialiased edges are tinted too). 40 of 255 is well above the grey of antialiased text.
bool coloured(std::uint32_t v) {
    int r = (v >> 16) & 0xff, g = (v >> 8) & 0xff, b = v & 0xff;
    return std::max({r, g, b}) - std::min({r, g, b}) > 40;
}

// True when the pixel is curve colour c blended with white (antialiasing), within 12%.
bool tinted_by(std::uint32_t v, rgb c) {
    double p[3] = {255.0 - ((v >> 16) & 0xff), 255.0 - ((v >> 8) & 0xff), 255.0 - (v & 0xff)};
    double q[3] = {255.0 - c.r, 255.0 - c.g, 255.0 - c.b};
    double a =
        (p[0] * q[0] + p[1] * q[1] + p[2] * q[2]) / (q[0] * q[0] + q[1] * q[1] + q[2] * q[2]);
    double err = 0.0;
    for (int i = 0; i < 3; ++i) err = std::max(err, std::fabs(p[i] - a * q[i]));
    return a > 0.15 && err < 0.12 * 255.0;
}

raster render(const plot_file& p, const std::string& path) {
    write_png(layout(p), path);
    return load_png(path);
}

int count_coloured(const raster& r) {
    int n = 0;
    for (auto v : r.px) n += coloured(v);
    return n;
}

TEST_F(PlotFiles, EachFileReadsIntoItsCurves) {
    for (const sample& s : all_samples()) {
        std::string warnings;
        plot_file p = parse(s, &warnings);
        EXPECT_EQ(warnings, "") << s.name << " curves=" << s.curves.size();
        ASSERT_EQ(p.curves.size(), s.curves.size()) << s.name;
        for (std::size_t c = 0; c < s.curves.size(); ++c) {
            ASSERT_EQ(p.curves[c].points.size(), s.curves[c].size()) << s.name << " c=" << c;
            for (std::size_t i = 0; i < s.curves[c].size(); ++i) {
                // Exactly the single-precision values written.
                EXPECT_EQ(static_cast<float>(p.curves[c].points[i].x), s.curves[c][i].first);
                EXPECT_EQ(static_cast<float>(p.curves[c].points[i].y), s.curves[c][i].second);
            }
        }
    }
    plot_file dat2 = parse(dat_file(2));
    EXPECT_EQ(describe(dat2.curves[0]), "PLOT+JOIN, symbol 2P");
    EXPECT_EQ(describe(dat2.curves[1]), "PLOT+JOIN, symbol 3P");
    EXPECT_FALSE(dat2.x.fixed || dat2.y.fixed);
    EXPECT_EQ(dat2.titles[2].controls, "G");

    plot_file sig = parse(sig_file());
    EXPECT_TRUE(sig.y.fixed && !sig.x.fixed);
    EXPECT_EQ(describe(sig.curves[2]), "PLOT+JOIN, symbol 6P");

    plot_file chi = parse(chi_file());
    EXPECT_EQ(describe(chi.curves[0]), "PLOT, default symbol");
    EXPECT_EQ(describe(chi.curves[1]), "JOIN");
    EXPECT_EQ(chi.y.lo, -0.5);
    EXPECT_EQ(chi.titles.size(), 3u);

    plot_file fou = parse(fou_file());
    EXPECT_TRUE(fou.x.fixed && !fou.y.fixed);
    EXPECT_EQ(fou.x.hi, 8.0);
    EXPECT_EQ(fou.titles.back().controls, " U C CVUSV ");

    plot_file pin = parse(plotin_file());
    EXPECT_EQ(pin.titles[0].where, placement::top);
    EXPECT_EQ(pin.titles[0].text.size(), 97u);  // 10 blanks, "file", 3 blanks, 80 characters
}

TEST_F(PlotFiles, PicturesHaveTheirSizeAndCurvesStayInsideTheFrame) {
    for (const sample& s : all_samples()) {
        plot_file p = parse(s);
        scene sc = layout(p);
        std::string png = (dir / (s.name + ".png")).string();
        write_png(sc, png);
        raster r = load_png(png);
        ASSERT_EQ(r.width, 800) << s.name;
        ASSERT_EQ(r.height, 600) << s.name;
        std::vector<int> per_curve(p.curves.size(), 0);
        int outside = 0;
        for (int y = 0; y < r.height; ++y)
            for (int x = 0; x < r.width; ++x) {
                std::uint32_t v = r.px[static_cast<std::size_t>(y * r.width + x)];
                if (!coloured(v)) continue;
                // One pixel of antialiasing on the frame line.
                if (x < sc.frame.x0 - 1 || x > sc.frame.x1 + 1 || y < sc.frame.y0 - 1 ||
                    y > sc.frame.y1 + 1)
                    ++outside;
                for (std::size_t c = 0; c < p.curves.size(); ++c)
                    per_curve[c] += tinted_by(v, curve_colour(static_cast<int>(c) + 1));
            }
        EXPECT_EQ(outside, 0) << s.name;
        // Every curve of many points shows; a lone marker at the frame corner may not.
        for (std::size_t c = 0; c < p.curves.size(); ++c)
            if (p.curves[c].points.size() > 1) {
                EXPECT_GT(per_curve[c], 100) << s.name << " c=" << c;
            }
    }
}

TEST_F(PlotFiles, MarkersAndLinesDrawDifferently) {
    plot_file base;
    curve c;
    for (int i = 0; i < 12; ++i) c.points.push_back({i * 1.0, std::sin(i * 0.7)});
    c.symbol = 2;
    auto variant = [&](bool markers, bool line, int symbol) {
        plot_file p = base;
        curve k = c;
        k.markers = markers, k.line = line, k.symbol = symbol;
        p.curves.push_back(k);
        return render(p, (dir / "v.png").string());
    };
    int markers = count_coloured(variant(true, false, 2));
    int line = count_coloured(variant(false, true, 2));
    int both = count_coloured(variant(true, true, 2));
    EXPECT_GT(markers, 100);
    EXPECT_GT(line, 100);
    EXPECT_NE(markers, line);
    EXPECT_GT(both, markers);
    EXPECT_GT(both, line);
    EXPECT_LE(both, markers + line);

    // Each marker number draws its own shape: masks differ by at least a pixel per marker.
    std::vector<std::vector<bool>> masks;
    for (int symbol : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}) {
        raster r = variant(true, false, symbol);
        std::vector<bool> m;
        for (auto v : r.px) m.push_back(coloured(v));
        masks.push_back(m);
    }
    for (std::size_t a = 0; a < masks.size(); ++a)
        for (std::size_t b = a + 1; b < masks.size(); ++b) {
            int differ = 0;
            for (std::size_t i = 0; i < masks[a].size(); ++i) differ += masks[a][i] != masks[b][i];
            EXPECT_GE(differ, 12) << "symbols " << a + 1 << " and " << b + 1;
        }
}

// Runs the program with the shell, returns its exit status; output goes to files in dir.
int run_tool(const std::string& args, const fs::path& dir, std::string* out = nullptr,
             std::string* err = nullptr) {
    fs::path o = dir / "stdout.txt", e = dir / "stderr.txt";
    std::string cmd = std::string("'") + KORVA_PLOT_BINARY + "' " + args + " >'" + o.string() +
                      "' 2>'" + e.string() + "' </dev/null";
    int status = std::system(cmd.c_str());
    auto slurp = [](const fs::path& f) {
        std::ifstream in(f);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    };
    if (out) *out = slurp(o);
    if (err) *err = slurp(e);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(PlotFiles, SvgHoldsOnePathPerCurve) {
    for (const sample& s : all_samples()) {
        plot_file p = parse(s);
        std::ostringstream svg;
        write_svg(layout(p), svg);
        std::string t = svg.str();
        std::size_t paths = 0;
        for (auto at = t.find("<path class=\"curve\""); at != std::string::npos;
             at = t.find("<path class=\"curve\"", at + 1))
            ++paths;
        EXPECT_EQ(paths, p.curves.size()) << s.name;
        for (std::size_t c = 1; c <= p.curves.size(); ++c)
            EXPECT_NE(t.find("id=\"curve-" + std::to_string(c) + "\""), std::string::npos)
                << s.name;
        EXPECT_EQ(t.rfind("</svg>\n"), t.size() - 7) << s.name;
    }
    std::ostringstream dat;
    write_svg(layout(parse(dat_file(2))), dat);
    EXPECT_NE(dat.str().find("id=\"curve-2\" data-style=\"PLOT+JOIN\" data-symbol=\"3P\""),
              std::string::npos);
    EXPECT_NE(dat.str().find(">\u03c7</text>"), std::string::npos);  // "C" under control G
    std::ostringstream sig;
    write_svg(layout(parse(sig_file())), sig);
    EXPECT_NE(sig.str().find("transform=\"rotate(-90.00 30.00 330.00)\">\u03c3 (Mbarn)</text>"),
              std::string::npos);
    // The axis titles of chi and Fourier plot read k (Angstrom^-1) and R (Angstrom).
    std::ostringstream chi, fou;
    write_svg(layout(parse(chi_file())), chi);
    write_svg(layout(parse(fou_file())), fou);
    EXPECT_NE(chi.str().find(">k (\u00c5\u207b\u00b9)</text>"), std::string::npos) << chi.str();
    EXPECT_EQ(chi.str().find("4A515"), std::string::npos);
    EXPECT_NE(fou.str().find(">R (\u00c5)</text>"), std::string::npos);
    EXPECT_EQ(fou.str().find("4A515"), std::string::npos);
}

std::vector<std::string> names(const plot_file& p) {
    std::vector<std::string> n;
    for (const legend_entry& e : legend_entries(p)) n.push_back(e.name);
    return n;
}

TEST_F(PlotFiles, LegendNamesTheCurvesInTheOrderTheRunWritesThem) {
    using v = std::vector<std::string>;
    EXPECT_EQ(names(parse(dat_file(1))), v{"final state l+1"});
    EXPECT_EQ(names(parse(dat_file(2))), (v{"final state l-1", "final state l+1"}));
    EXPECT_EQ(names(parse(sig_file(1))), (v{"total", "atomic", "experiment"}));
    EXPECT_EQ(names(parse(sig_file(2))),
              (v{"total, l-1", "atomic, l-1", "total, l+1", "atomic, l+1", "experiment"}));
    // One curve besides the origin mark: nothing to tell apart.
    EXPECT_EQ(names(parse(chi_file())), v{});
    EXPECT_EQ(names(parse(fou_file())), v{});
    // A file that does not say what it holds: curve N, numbered as in --data.
    sample other = dat_file(2);
    other.text.replace(other.text.find("cuk_kor.dat"), 11, "my own data");
    EXPECT_EQ(names(parse(other)), (v{"curve 1", "curve 2"}));
    sample three = dat_file(2);
    three.text += " 1 1\n 2 2\n JOIN\n";
    EXPECT_EQ(names(parse(three)), (v{"curve 1", "curve 2", "curve 3"}));

    // Drawn: one sample per entry and its name, inside the frame; none with --no-legend.
    std::string sig = put("cuk_kor.sig", sig_file(2).text);
    std::string with = (dir / "with.svg").string(), without = (dir / "without.svg").string();
    ASSERT_EQ(run_tool("-o '" + with + "' '" + sig + "'", dir), 0);
    ASSERT_EQ(run_tool("--no-legend -o '" + without + "' '" + sig + "'", dir), 0);
    auto slurp = [](const std::string& f) {
        std::ifstream in(f);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    };
    std::string a = slurp(with), b = slurp(without);
    for (int c = 1; c <= 5; ++c)
        EXPECT_NE(a.find("class=\"legend\" data-curve=\"" + std::to_string(c) + "\""),
                  std::string::npos)
            << "c=" << c;
    EXPECT_NE(a.find(">atomic, l+1</text>"), std::string::npos);
    EXPECT_EQ(b.find("legend"), std::string::npos);
    EXPECT_EQ(b.find(">experiment<"), std::string::npos);
    scene sc = layout(parse(sig_file(2)));
    for (const stroke& k : sc.strokes)
        if (k.role == stroke_role::legend)
            for (const polyline& p : k.parts)
                for (const vertex& q : p.v) {
                    EXPECT_GT(q.x, sc.frame.x0);
                    EXPECT_LT(q.x, sc.frame.x1);
                    EXPECT_GT(q.y, sc.frame.y0);
                    EXPECT_LT(q.y, sc.frame.y1);
                }
}

TEST_F(PlotFiles, ProgramDrawsEveryFileBesideIt) {
    std::string args;
    for (const sample& s : all_samples()) args += " '" + put(s.name, s.text) + "'";
    std::string err;
    EXPECT_EQ(run_tool(args, dir, nullptr, &err), 0) << err;
    EXPECT_EQ(err, "");
    for (const sample& s : all_samples()) {
        raster r = load_png((dir / (s.name + ".png")).string());
        EXPECT_EQ(r.width, 800) << s.name;
        EXPECT_EQ(r.height, 600) << s.name;
        std::ifstream svg(dir / (s.name + ".svg"));
        std::string head;
        std::getline(svg, head);
        EXPECT_EQ(head, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>") << s.name;
    }
    std::string pdf = (dir / "chi.pdf").string();
    EXPECT_EQ(run_tool("-o '" + pdf + "' '" + (dir / "cuk_kor.chi").string() + "'", dir), 0);
    std::ifstream in(pdf);
    std::string magic(4, ' ');
    in.read(magic.data(), 4);
    EXPECT_EQ(magic, "%PDF");
}

TEST_F(PlotFiles, DataColumnsGiveBackEveryNumberExactly) {
    sample s = dat_file(2);
    std::string path = put(s.name, s.text);
    std::string out, err;
    ASSERT_EQ(run_tool("--data '" + path + "'", dir, &out, &err), 0) << err;
    // Expected text: the tokens as the main program wrote them, without the leading blank.
    std::string expected;
    for (std::size_t c = 0; c < s.curves.size(); ++c) {
        if (c > 0) expected += "\n";
        expected += "# curve " + std::to_string(c + 1) + " (PLOT+JOIN, symbol " +
                    (c == 0 ? "2P" : "3P") + ") of " + path + "\n";
        for (auto [x, y] : s.curves[c]) expected += real_text(x) + " " + real_text(y) + "\n";
    }
    EXPECT_EQ(out, expected);
    std::string listed = (dir / "columns.txt").string();
    ASSERT_EQ(run_tool("--data -o '" + listed + "' '" + path + "'", dir, &out), 0);
    EXPECT_EQ(out, "");
    std::ifstream columns(listed);
    std::stringstream ss;
    ss << columns.rdbuf();
    EXPECT_EQ(ss.str(), expected);

    // Tokens in other spellings come back as the same values in shortest form.
    std::string other = put("other.fou", " 0. .5\n +.75 1.0E+02\n 2.5D-3 -0.0123\n JOIN\n");
    ASSERT_EQ(run_tool("--data '" + other + "'", dir, &out), 0);
    EXPECT_EQ(out, "# curve 1 (JOIN) of " + other + "\n0 0.5\n0.75 100\n0.0025 -0.0123\n");
}

TEST_F(PlotFiles, UnknownCommandWarnsWithItsLineAndStillDraws) {
    sample s = dat_file(1);
    std::string text = s.text;
    text.insert(text.find(" SET SYMBOL"), " SET COLOUR RED\n");  // becomes line 7
    std::string path = put("warn_kor.dat", text);
    std::string err;
    EXPECT_EQ(run_tool("'" + path + "'", dir, nullptr, &err), 0);
    EXPECT_NE(err.find(path + ":7: warning: unknown command \"SET COLOUR RED\""), std::string::npos)
        << err;
    raster r = load_png(path + ".png");
    EXPECT_EQ(r.width, 800);
    EXPECT_GT(count_coloured(r), 100);
}

TEST_F(PlotFiles, BrokenDataLineGivesStatusTwoAndItsLine) {
    sample s = dat_file(1);
    std::string text = s.text;
    std::size_t at = 0;
    for (int i = 0; i < 10; ++i) at = text.find('\n', at) + 1;  // start of line 11
    text.insert(at, " 1.25 0.5x\n");
    std::string path = put("bad_kor.dat", text);
    std::string err;
    EXPECT_EQ(run_tool("'" + path + "'", dir, nullptr, &err), 2);
    EXPECT_NE(err.find(path + ":11: error: malformed data line \"1.25 0.5x\""), std::string::npos)
        << err;
    EXPECT_FALSE(fs::exists(path + ".png"));
    EXPECT_EQ(run_tool("--data '" + path + "'", dir, nullptr, &err), 2);
    EXPECT_NE(err.find(":11: error:"), std::string::npos) << err;
}

TEST_F(PlotFiles, UsageAndMissingFiles) {
    std::string out, err;
    EXPECT_EQ(run_tool("'" + (dir / "none_kor.dat").string() + "'", dir, nullptr, &err), 1);
    EXPECT_NE(err.find("cannot open " + (dir / "none_kor.dat").string()), std::string::npos);
    EXPECT_EQ(run_tool("'" + dir.string() + "'", dir, nullptr, &err), 1);
    EXPECT_NE(err.find("is a directory"), std::string::npos) << err;
    EXPECT_EQ(run_tool("", dir, nullptr, &err), 1);
    EXPECT_EQ(run_tool("--frobnicate x", dir, nullptr, &err), 1);
    std::string a = put("a.dat", dat_file(1).text), b = put("b.dat", dat_file(1).text);
    EXPECT_EQ(run_tool("-o x.png '" + a + "' '" + b + "'", dir), 1);
    EXPECT_EQ(run_tool("-o '" + (dir / "x.gif").string() + "' '" + a + "'", dir), 1);
    EXPECT_EQ(run_tool("-o '" + (dir / "no/such/dir/x.png").string() + "' '" + a + "'", dir,
                       nullptr, &err),
              1);
    EXPECT_NE(err.find("cannot write"), std::string::npos) << err;
    // The other files are still drawn; the worst status is returned.
    EXPECT_EQ(run_tool("'" + a + "' '" + (dir / "none").string() + "' '" + b + "'", dir), 1);
    EXPECT_TRUE(fs::exists(a + ".png") && fs::exists(b + ".svg"));
    EXPECT_EQ(run_tool("--help", dir, &out), 0);
    EXPECT_EQ(out.rfind("Usage: korva-plot [-o OUT] [--no-legend] FILE...\n", 0), 0u) << out;
}

TEST_F(PlotFiles, HostileInputNeverCrashesOrPrintsNonFiniteNumbers) {
    std::string bin;
    for (int i = 0; i < 4096; ++i) bin += static_cast<char>((i * 7919) % 256);
    const std::string texts[] = {
        "",
        bin,
        " TITLE 1e300 -1e300 SIZE 1e300 \"\xff\xfe<&>\"\n 1 1\n PLOT\n",
        " SET LIMITS X 0 1e-300 Y -1e308 1e308\n -1e308 1e308\n 1e308 -1e308\n PLOT\n JOIN\n",
        " 1e308 1e308\n -1e308 -1e308\n JOIN\n PLOT\n",
        " 5 5\n 5 5\n JOIN\n",
        " SET SYMBOL 99999999999999999999P SIZE 1e30\n 1 2\n PLOT\n"};
    int k = 0;
    for (const std::string& t : texts) {
        // Built in steps: g++ 12 warns falsely (-Wrestrict) about "h" + std::to_string(k).
        std::string name = std::to_string(k);
        name.insert(name.begin(), 'h');
        std::string path = put(name + ".dat", t);
        int status = run_tool("'" + path + "'", dir);
        EXPECT_TRUE(status == 0 || status == 2) << "case " << k << " status " << status;
        if (status == 0) {
            std::ifstream svg(path + ".svg");
            std::stringstream ss;
            ss << svg.rdbuf();
            EXPECT_EQ(ss.str().find("nan"), std::string::npos) << "case " << k;
            EXPECT_EQ(ss.str().find("inf"), std::string::npos) << "case " << k;
            EXPECT_EQ(load_png(path + ".png").width, 800) << "case " << k;
        }
        ++k;
    }
}

}  // namespace
}  // namespace korva::plot
