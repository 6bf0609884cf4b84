// korva-plot on plot files written by the program's own writers (src/post): read into their
// curves, drawn to PNG and SVG, and run through the korva-plot program itself.
#include <cairo.h>
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "case_text.hpp"
#include "common/capacities.hpp"
#include "common/units.hpp"
#include "data_columns.hpp"
#include "draw_cairo.hpp"
#include "draw_svg.hpp"
#include "legend.hpp"
#include "plot_read.hpp"
#include "post/chiplot.hpp"
#include "post/fouplot.hpp"
#include "post/open.hpp"
#include "post/signal_plot.hpp"
#include "scene.hpp"
#include "support/run_program.hpp"
#include "support/text_lines.hpp"

namespace korva::plot {
namespace {

namespace fs = std::filesystem;
using test::read_file;
using test::write_file;

// A plot file in the test's folder and the number of points of each curve, in the order written.
struct sample {
    std::string path;
    std::vector<std::size_t> sizes;
};

// n abscissae x0 + i dx and a damped wave over them.
struct series {
    std::vector<real> x, y;
};
series wave(int n, real x0, real dx, real amp, real phase) {
    series s;
    for (int i = 0; i < n; ++i) {
        s.x.push_back(x0 + dx * static_cast<real>(i));
        s.y.push_back(amp * std::sin(5.0f * s.x.back() + phase) * std::exp(-0.2f * s.x.back()));
    }
    return s;
}

// Writes one plot file as the run does (connected by open(), put in place by commit());
// `sizes` are the numbers of points of its curves.
template <class Write>
sample written(const fs::path& dir, const std::string& name, std::vector<std::size_t> sizes,
               Write write) {
    std::ostringstream log;
    korva::plot_file f;
    korva::open(log, f, (dir / name).string());
    write(f);
    f.commit();
    return {(dir / name).string(), sizes};
}

// The signal file of `channels` channels of 40 points, with the title `title`.
sample dat_file(const fs::path& dir, const std::string& name, int channels,
                const std::string& title = "") {
    return written(dir, name, std::vector<std::size_t>(channels, 40), [&](std::ostream& f) {
        dat_header(f, title.empty() ? name : title);
        for (int c = 0; c < channels; ++c) {
            const series s = wave(40, 0.6f, 0.07f, 0.3f - 0.1f * c, 1.3f * c);
            for (int i = 0; i < 40; ++i) dat_point(f, s.x[i], s.y[i], 2.0f);
            dat_curve_end(f, c + 1 < channels);
        }
    });
}

// The cross-section file of one or two channels on 50 energies, and 30 experimental points.
sample sig_file(const fs::path& dir, const std::string& name, int channels) {
    const series x = wave(30, 0.2f, 0.09f, 0.2f, 1.0f);
    std::vector<real> energy, value, sig0[2];
    for (int n = 0; n < 30; ++n) energy.push_back(ev * x.x[n]), value.push_back(1.2f + x.y[n]);
    const series xtot[2] = {wave(50, 0.1f, 0.06f, 0.3f, 0.0f), wave(50, 0.1f, 0.06f, 0.3f, 1.0f)};
    std::vector<sig_curve> curves;
    for (int c = 0; c < channels; ++c) {
        for (real e : xtot[c].x) sig0[c].push_back((2.0f + static_cast<real>(c)) / (1.0f + e));
        curves.push_back({sig0[c].data(), xtot[c].y.data()});
    }
    const sig_experiment experiment{energy, value, 0.0f, 0.0f, 1.0f};
    std::vector<std::size_t> sizes(2 * channels, 50);
    sizes.push_back(30);
    return written(dir, name, sizes, [&](std::ostream& f) {
        write_sig_plot(f, name, 50, xtot[0].x.data(), curves, &experiment);
    });
}

// The lines of a file that hold two numbers and nothing else, in order: its data lines.
std::vector<std::pair<float, float>> data_lines(const std::string& path) {
    auto number = [](const std::string& t, float& v) {
        const auto r = std::from_chars(t.data(), t.data() + t.size(), v);
        return r.ec == std::errc() && r.ptr == t.data() + t.size();
    };
    std::vector<std::pair<float, float>> points;
    for (const std::string& line : test::lines_of(read_file(path))) {
        std::istringstream in(line);
        std::string a, b, more;
        float x, y;
        if (in >> a >> b && !(in >> more) && number(a, x) && number(b, y)) points.push_back({x, y});
    }
    return points;
}

// A single-precision value in its shortest round-trip form.
std::string shortest_text(float v) {
    char buf[32];
    return std::string(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
}

plot_file parse(const sample& s, std::string* warnings = nullptr) {
    std::istringstream in(read_file(s.path));
    std::ostringstream warn;
    plot_file p = read_plot(in, s.path, warn);
    if (warnings) *warnings = warn.str();
    return p;
}

// korva-plot run in `dir` with the arguments `args`.
test::program_run plot_tool(const fs::path& dir, const std::string& args) {
    return test::run_command(dir, std::string("'") + KORVA_PLOT_BINARY + "' " + args);
}

// Leaves no font cache behind for a leak checker at the end of the test program.
class font_cache_release : public ::testing::Environment {
    void TearDown() override { release_font_caches(); }
};
const ::testing::Environment* const font_caches =
    ::testing::AddGlobalTestEnvironment(new font_cache_release);

// Each test gets a folder of its own with the files of a one-channel and a two-channel run.
class PlotFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = test::scratch_dir(std::string("plot_") +
                                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        dat1 = dat_file(dir, "one_kor.dat", 1);
        dat2 = dat_file(dir, "two_kor.dat", 2);
        sig1 = sig_file(dir, "one_kor.sig", 1);
        sig2 = sig_file(dir, "two_kor.sig", 2);
        // chi(k) on a mesh of 120 points from k = 2 and its Fourier transform; each file with
        // a marker at the origin.
        const series k = wave(120, 2.0f, 0.08f, 0.4f, 0.0f);
        chi = written(dir, "one_kor.chi", {1, 120}, [&](std::ostream& f) {
            chiplot(f, NPI_, 120, k.x.data(), k.y.data(), 0.0f, "one_kor.chi");
        });
        fouplot_state st;
        fou = written(dir, "one_kor.fou", {201, 1}, [&](std::ostream& f) {
            fouplot(st, f, NPI_, 120, k.x.data(), k.y.data(), 3.0f, 11.0f, 2.0f, "one_kor.fou");
        });
    }
    void TearDown() override { fs::remove_all(dir); }
    std::vector<sample> all() const { return {dat1, dat2, sig1, sig2, chi, fou}; }

    fs::path dir;
    sample dat1, dat2, sig1, sig2, chi, fou;
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

TEST_F(PlotFiles, EachFileReadsIntoItsCurvesWithTheValuesWritten) {
    for (const sample& s : all()) {
        std::string warnings;
        plot_file p = parse(s, &warnings);
        EXPECT_EQ(warnings, "") << s.path;
        ASSERT_EQ(p.curves.size(), s.sizes.size()) << s.path;
        // Every data line, in order, exactly the single-precision values written.
        const auto lines = data_lines(s.path);
        std::size_t at = 0;
        for (std::size_t c = 0; c < s.sizes.size(); ++c) {
            ASSERT_EQ(p.curves[c].points.size(), s.sizes[c]) << s.path << " c=" << c;
            for (const point& q : p.curves[c].points) {
                ASSERT_LT(at, lines.size()) << s.path;
                EXPECT_EQ(static_cast<float>(q.x), lines[at].first) << s.path << " " << at;
                EXPECT_EQ(static_cast<float>(q.y), lines[at].second) << s.path << " " << at;
                ++at;
            }
        }
        EXPECT_EQ(at, lines.size()) << s.path;
    }
    plot_file dat = parse(dat2);
    EXPECT_EQ(describe(dat.curves[0]), "PLOT+JOIN, symbol 2P");
    EXPECT_EQ(describe(dat.curves[1]), "PLOT+JOIN, symbol 3P");
    EXPECT_FALSE(dat.x.fixed || dat.y.fixed);
    EXPECT_EQ(dat.titles[2].controls, "G");

    plot_file sig = parse(sig1);
    EXPECT_TRUE(sig.y.fixed && !sig.x.fixed);
    EXPECT_EQ(describe(sig.curves[2]), "PLOT+JOIN, symbol 6P");

    plot_file c = parse(chi);
    EXPECT_EQ(describe(c.curves[0]), "PLOT, default symbol");
    EXPECT_EQ(describe(c.curves[1]), "JOIN");
    EXPECT_EQ(c.y.lo, -0.5);  // the ladder's step above 0.4 exp(-0.5), the largest |chi|
    EXPECT_EQ(c.titles.size(), 3u);

    plot_file f = parse(fou);
    EXPECT_TRUE(f.x.fixed && !f.y.fixed);
    EXPECT_EQ(f.x.hi, 8.0);
    EXPECT_EQ(f.titles.back().controls, " U C CVUSV ");
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

TEST_F(PlotFiles, SvgHoldsOnePathPerCurve) {
    for (const sample& s : all()) {
        plot_file p = parse(s);
        std::ostringstream svg;
        write_svg(layout(p), svg);
        std::string t = svg.str();
        std::size_t paths = 0;
        for (auto at = t.find("<path class=\"curve\""); at != std::string::npos;
             at = t.find("<path class=\"curve\"", at + 1))
            ++paths;
        EXPECT_EQ(paths, p.curves.size()) << s.path;
        for (std::size_t c = 1; c <= p.curves.size(); ++c)
            EXPECT_NE(t.find("id=\"curve-" + std::to_string(c) + "\""), std::string::npos)
                << s.path;
        EXPECT_EQ(t.rfind("</svg>\n"), t.size() - 7) << s.path;
    }
    std::ostringstream dat;
    write_svg(layout(parse(dat2)), dat);
    EXPECT_NE(dat.str().find("id=\"curve-2\" data-style=\"PLOT+JOIN\" data-symbol=\"3P\""),
              std::string::npos);
    EXPECT_NE(dat.str().find(">\u03c7</text>"), std::string::npos);  // "C" under control G
    std::ostringstream sig;
    write_svg(layout(parse(sig1)), sig);
    EXPECT_NE(sig.str().find("transform=\"rotate(-90.00 30.00 330.00)\">\u03c3 (Mbarn)</text>"),
              std::string::npos);
    // The axis titles of chi and Fourier plot read k (Angstrom^-1) and R (Angstrom), all on the
    // line (U+00C5, U+207B, U+00B9), every CASE control applied.
    for (const auto& [s, shown] : {std::pair{chi, "k (\u00c5\u207b\u00b9)"}, {fou, "R (\u00c5)"}}) {
        const plot_file p = parse(s);
        const title& axis = p.titles.back();  // TITLE BOTTOM, the last
        const case_text r = render_case(axis.text, axis.controls);
        ASSERT_EQ(r.spans.size(), 1u) << s.path;
        EXPECT_EQ(r.spans[0].utf8, shown) << s.path;
        EXPECT_EQ(r.spans[0].shift, text_shift::none) << s.path;
        EXPECT_TRUE(r.not_applied.empty()) << s.path;
        std::ostringstream svg;
        write_svg(layout(p), svg);
        EXPECT_NE(svg.str().find(std::string(">") + shown + "</text>"), std::string::npos)
            << s.path;
        EXPECT_EQ(svg.str().find("4A515"), std::string::npos) << s.path;
    }
}

std::vector<std::string> names(const plot_file& p) {
    std::vector<std::string> n;
    for (const legend_entry& e : legend_entries(p)) n.push_back(e.name);
    return n;
}

TEST_F(PlotFiles, LegendNamesTheCurvesInTheOrderTheRunWritesThem) {
    using v = std::vector<std::string>;
    EXPECT_EQ(names(parse(dat1)), v{"final state l+1"});
    EXPECT_EQ(names(parse(dat2)), (v{"final state l-1", "final state l+1"}));
    EXPECT_EQ(names(parse(sig1)), (v{"total", "atomic", "experiment"}));
    EXPECT_EQ(names(parse(sig2)),
              (v{"total, l-1", "atomic, l-1", "total, l+1", "atomic, l+1", "experiment"}));
    // One curve besides the origin mark: nothing to tell apart.
    EXPECT_EQ(names(parse(chi)), v{});
    EXPECT_EQ(names(parse(fou)), v{});
    // A file that does not say what it holds, or holds more channels than a run writes:
    // curve N, numbered as in --data.
    EXPECT_EQ(names(parse(dat_file(dir, "other", 2, "my own data"))), (v{"curve 1", "curve 2"}));
    EXPECT_EQ(names(parse(dat_file(dir, "three_kor.dat", 3))),
              (v{"curve 1", "curve 2", "curve 3"}));

    // Drawn: one sample per entry and its name, inside the frame; none with --no-legend.
    ASSERT_EQ(plot_tool(dir, "-o with.svg '" + sig2.path + "'").status, 0);
    ASSERT_EQ(plot_tool(dir, "--no-legend -o without.svg '" + sig2.path + "'").status, 0);
    std::string a = read_file(dir / "with.svg"), b = read_file(dir / "without.svg");
    for (int c = 1; c <= 5; ++c)
        EXPECT_NE(a.find("class=\"legend\" data-curve=\"" + std::to_string(c) + "\""),
                  std::string::npos)
            << "c=" << c;
    EXPECT_NE(a.find(">atomic, l+1</text>"), std::string::npos);
    EXPECT_EQ(b.find("legend"), std::string::npos);
    EXPECT_EQ(b.find(">experiment<"), std::string::npos);
    scene sc = layout(parse(sig2));
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

TEST_F(PlotFiles, ProgramDrawsEveryFileBesideItWithTheCurvesInsideTheFrame) {
    std::string args;
    for (const sample& s : all()) args += " '" + s.path + "'";
    const test::program_run run = plot_tool(dir, args);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    for (const sample& s : all()) {
        EXPECT_EQ(
            read_file(s.path + ".svg").rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n", 0), 0u)
            << s.path;
        const plot_file p = parse(s);
        const box frame = layout(p).frame;
        const raster r = load_png(s.path + ".png");
        ASSERT_EQ(r.width, 800) << s.path;
        ASSERT_EQ(r.height, 600) << s.path;
        std::vector<int> per_curve(p.curves.size(), 0);
        int outside = 0;
        for (int y = 0; y < r.height; ++y)
            for (int x = 0; x < r.width; ++x) {
                std::uint32_t v = r.px[static_cast<std::size_t>(y * r.width + x)];
                if (!coloured(v)) continue;
                // One pixel of antialiasing on the frame line.
                outside +=
                    x < frame.x0 - 1 || x > frame.x1 + 1 || y < frame.y0 - 1 || y > frame.y1 + 1;
                for (std::size_t c = 0; c < p.curves.size(); ++c)
                    per_curve[c] += tinted_by(v, curve_colour(static_cast<int>(c) + 1));
            }
        EXPECT_EQ(outside, 0) << s.path;
        // Every curve of many points shows; a lone marker at the frame corner may not.
        for (std::size_t c = 0; c < p.curves.size(); ++c)
            EXPECT_TRUE(p.curves[c].points.size() == 1 || per_curve[c] > 100)
                << s.path << " c=" << c << ": " << per_curve[c] << " pixels";
    }
    EXPECT_EQ(plot_tool(dir, "-o chi.pdf '" + chi.path + "'").status, 0);
    EXPECT_EQ(read_file(dir / "chi.pdf").substr(0, 4), "%PDF");
}

TEST_F(PlotFiles, DataColumnsGiveBackEveryNumberExactly) {
    const test::program_run r = plot_tool(dir, "--data '" + dat2.path + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    // The tokens as the program wrote them, in their shortest form ("2.0" comes back as "2").
    const auto lines = data_lines(dat2.path);
    std::string expected;
    for (std::size_t c = 0, at = 0; c < dat2.sizes.size(); ++c) {
        if (c > 0) expected += "\n";
        expected += "# curve " + std::to_string(c + 1) + " (PLOT+JOIN, symbol " +
                    (c == 0 ? "2P" : "3P") + ") of " + dat2.path + "\n";
        for (std::size_t i = 0; i < dat2.sizes[c]; ++i, ++at)
            expected +=
                shortest_text(lines[at].first) + " " + shortest_text(lines[at].second) + "\n";
    }
    EXPECT_EQ(r.out, expected);
    const test::program_run listed = plot_tool(dir, "--data -o columns.txt '" + dat2.path + "'");
    ASSERT_EQ(listed.status, 0);
    EXPECT_EQ(listed.out, "");
    EXPECT_EQ(read_file(dir / "columns.txt"), expected);

    // The Fourier file's R = 0.0 and its origin mark " 0. 0." come back as 0.
    const std::string out = plot_tool(dir, "--data '" + fou.path + "'").out;
    EXPECT_EQ(out.find("# curve 1 (JOIN) of " + fou.path + "\n0 "), 0u) << out;
    EXPECT_EQ(out.substr(out.rfind("\n\n") + 2),
              "# curve 2 (PLOT, default symbol) of " + fou.path + "\n0 0\n");
}

TEST_F(PlotFiles, UnknownCommandWarnsWithItsLineAndStillDraws) {
    std::string text = read_file(dat1.path);
    text.insert(text.find(" SET SYMBOL"), " SET COLOUR RED\n");  // becomes line 7
    const std::string path = (dir / "warn_kor.dat").string();
    write_file(path, text);
    const test::program_run r = plot_tool(dir, "'" + path + "'");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.err.find(path + ":7: warning: unknown command \"SET COLOUR RED\""),
              std::string::npos)
        << r.err;
    raster png = load_png(path + ".png");
    EXPECT_EQ(png.width, 800);
    EXPECT_GT(count_coloured(png), 100);
}

TEST_F(PlotFiles, BrokenDataLineGivesStatusTwoAndItsLine) {
    std::string text = read_file(dat1.path);
    std::size_t at = 0;
    for (int i = 0; i < 10; ++i) at = text.find('\n', at) + 1;  // start of line 11
    text.insert(at, " 1.25 0.5x\n");
    const std::string path = (dir / "bad_kor.dat").string();
    write_file(path, text);
    test::program_run r = plot_tool(dir, "'" + path + "'");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find(path + ":11: error: malformed data line \"1.25 0.5x\""), std::string::npos)
        << r.err;
    EXPECT_FALSE(fs::exists(path + ".png"));
    r = plot_tool(dir, "--data '" + path + "'");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find(":11: error:"), std::string::npos) << r.err;
}

TEST_F(PlotFiles, UsageAndMissingFiles) {
    test::program_run r = plot_tool(dir, "none_kor.dat");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("cannot open none_kor.dat"), std::string::npos) << r.err;
    r = plot_tool(dir, ".");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("is a directory"), std::string::npos) << r.err;
    const std::string a = "'" + dat1.path + "'", b = "'" + dat2.path + "'";
    for (const std::string& args :
         {std::string(), std::string("--frobnicate x"), "-o x.png " + a + " " + b, "-o x.gif " + a})
        EXPECT_EQ(plot_tool(dir, args).status, 1) << args;
    r = plot_tool(dir, "-o no/such/dir/x.png " + a);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("cannot write"), std::string::npos) << r.err;
    // The other files are still drawn; the worst status is returned.
    EXPECT_EQ(plot_tool(dir, a + " none " + b).status, 1);
    EXPECT_TRUE(fs::exists(dat1.path + ".png") && fs::exists(dat2.path + ".svg"));
    r = plot_tool(dir, "--help");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("Usage: korva-plot [-o OUT] [--no-legend] FILE...\n", 0), 0u) << r.out;
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
        const std::string path = (dir / "h").string() + std::to_string(k) + ".dat";
        write_file(path, t);
        const int status = plot_tool(dir, "'" + path + "'").status;
        EXPECT_TRUE(status == 0 || status == 2) << "case " << k << " status " << status;
        if (status == 0) {
            const std::string svg = read_file(path + ".svg");
            EXPECT_EQ(svg.find("nan"), std::string::npos) << "case " << k;
            EXPECT_EQ(svg.find("inf"), std::string::npos) << "case " << k;
            EXPECT_EQ(load_png(path + ".png").width, 800) << "case " << k;
        }
        ++k;
    }
}

}  // namespace
}  // namespace korva::plot
