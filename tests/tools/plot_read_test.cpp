// Reading plot-command lines: numbers, curve grouping by PLOT and JOIN, command arguments,
// messages with line numbers, title controls and axis choice.
#include "plot_read.hpp"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "axis.hpp"
#include "case_text.hpp"
#include "plot_number.hpp"

namespace korva::plot {
namespace {

plot_file read(const std::string& text, std::string* warnings = nullptr) {
    std::istringstream in(text);
    std::ostringstream warn;
    plot_file p = read_plot(in, "t.dat", warn);
    if (warnings) *warnings = warn.str();
    return p;
}

TEST(PlotNumber, ReadsTheFormsPlotFilesUse) {
    struct case_ {
        const char* token;
        double value;
    };
    // Values as a Fortran or C++ writer prints them; each decimal is the value of the token.
    const case_ cases[] = {{"0.", 0.0},     {".5", 0.5},      {"+.75", 0.75},
                           {"-.75", -0.75}, {"1e-05", 1e-05}, {"1.0E+02", 100.0},
                           {"2.", 2.0},     {"1.5D+00", 1.5}, {"-0.0123", -0.0123},
                           {"8.0", 8.0},    {"12", 12.0},     {"3.5e+38", 3.5e38}};
    for (const auto& c : cases) {
        double v = -999.0;
        EXPECT_TRUE(parse_real(c.token, v)) << "token=" << c.token;
        EXPECT_EQ(v, c.value) << "token=" << c.token;
    }
    const char* refused[] = {"",     "+",    ".",     "e5",  "1e",  "1.2.3", "nan", "inf",
                             "-inf", "0x10", "1e999", "1;5", "abc", "1e5x",  "--1", "1.0e+"};
    for (const char* t : refused) {
        double v = 7.0;
        EXPECT_FALSE(parse_real(t, v)) << "token=" << t;
        EXPECT_EQ(v, 7.0) << "value changed by a refused token " << t;
    }
}

TEST(PlotNumber, ShortestTextOfEverySinglePrecisionValueComesBackUnchanged) {
    // The main program writes single-precision values in their shortest form; read as double
    // and printed back shortest, the text must not change (so --data keeps every digit).
    EXPECT_EQ(shortest(2.5), "2.5");
    EXPECT_EQ(shortest(-0.0123), "-0.0123");
    EXPECT_EQ(shortest(1e-05), "1e-05");
    std::uint32_t bits = 0x00800000u;  // smallest normal float, then a stride through all
    for (int i = 0; i < 20000; ++i, bits += 0x0003f1d3u) {
        float f;
        std::memcpy(&f, &bits, sizeof f);
        if (!std::isfinite(f)) break;
        for (float v : {f, -f}) {
            char buf[32];
            auto end = std::to_chars(buf, buf + sizeof buf, v).ptr;
            std::string text(buf, end);
            double d = 0.0;
            ASSERT_TRUE(parse_real(text, d)) << text;
            EXPECT_EQ(shortest(d), text) << "bits=" << bits;
            EXPECT_EQ(static_cast<float>(d), v) << text;
        }
    }
}

TEST(PlotRead, PlotThenJoinIsOneCurveWithMarkersAndLine) {
    plot_file p = read(" SET SYMBOL 2P SIZE 0.8\n 1 2\n 3 4\n PLOT\n JOIN\n");
    ASSERT_EQ(p.curves.size(), 1u);
    const curve& c = p.curves[0];
    EXPECT_TRUE(c.markers);
    EXPECT_TRUE(c.line);
    EXPECT_EQ(c.symbol, 2);
    EXPECT_EQ(c.symbol_name, "2P");
    EXPECT_EQ(c.symbol_size, 0.8);
    EXPECT_EQ(c.first_line, 2);
    ASSERT_EQ(c.points.size(), 2u);
    EXPECT_EQ(c.points[1].x, 3.0);
    EXPECT_EQ(c.points[1].y, 4.0);
}

TEST(PlotRead, DrawingCommandsGroupPointsAsTheyShould) {
    struct case_ {
        const char* text;
        std::vector<std::pair<bool, bool>> styles;  // markers, line per curve
    };
    const case_ cases[] = {
        {" 1 2\n JOIN\n", {{false, true}}},
        {" 1 2\n PLOT\n", {{true, false}}},
        {" 1 2\n JOIN\n PLOT\n", {{true, true}}},
        // New points after a drawing command start a new curve.
        {" 1 2\n PLOT\n 3 4\n JOIN\n", {{true, false}, {false, true}}},
        // No new points and not right after a drawing command: nothing is drawn, as after
        // the last curve of a two-channel signal file.
        {" 1 2\n PLOT\n JOIN\n SET SYMBOL 3P SIZE 0.8\n PLOT\n JOIN\n", {{true, true}}},
        {" PLOT\n JOIN\n", {}},
        // Blank lines do not separate a PLOT from its JOIN.
        {" 1 2\n PLOT\n\n JOIN\n", {{true, true}}},
        // A title between them does.
        {" 1 2\n PLOT\n TITLE 1 1 SIZE 2 \"a\"\n JOIN\n", {{true, false}}},
        {" 0.  0. \n  PLOT \n", {{true, false}}},
    };
    int k = 0;
    for (const auto& c : cases) {
        plot_file p = read(c.text);
        ASSERT_EQ(p.curves.size(), c.styles.size()) << "case " << k;
        for (std::size_t i = 0; i < c.styles.size(); ++i) {
            EXPECT_EQ(p.curves[i].markers, c.styles[i].first) << "case " << k << " curve " << i;
            EXPECT_EQ(p.curves[i].line, c.styles[i].second) << "case " << k << " curve " << i;
        }
        ++k;
    }
}

TEST(PlotRead, MarkerIsTheOneInForceAtThePlot) {
    plot_file p = read(
        " SET SYMBOL 2P SIZE 0.8\n 1 2\n SET SYMBOL 6P SIZE 1.5\n PLOT\n 2 3\n PLOT\n"
        " 4 5\n JOIN\n SET SYMBOL 3P\n PLOT\n");
    ASSERT_EQ(p.curves.size(), 3u);
    EXPECT_EQ(p.curves[0].symbol, 6);
    EXPECT_EQ(p.curves[0].symbol_size, 1.5);
    EXPECT_EQ(p.curves[1].symbol, 6);
    // The SET SYMBOL line separates the last PLOT from the JOIN: that PLOT draws nothing.
    EXPECT_FALSE(p.curves[2].markers);
    EXPECT_EQ(p.curves[2].symbol_name, "");

    plot_file q = read(" SET SYMBOL 3P SIZE 0.8\n 1 2\n JOIN\n PLOT\n");
    ASSERT_EQ(q.curves.size(), 1u);
    EXPECT_TRUE(q.curves[0].markers && q.curves[0].line);
    EXPECT_EQ(q.curves[0].symbol_name, "3P");
}

TEST(PlotRead, LimitsAndWindowForms) {
    plot_file a = read(" SET LIMITS X 0 8.0 \n");
    EXPECT_TRUE(a.x.fixed);
    EXPECT_EQ(a.x.lo, 0.0);
    EXPECT_EQ(a.x.hi, 8.0);
    EXPECT_FALSE(a.y.fixed);

    plot_file b = read(" SET LIMITS Y 0. 2.25\n");
    EXPECT_FALSE(b.x.fixed);
    EXPECT_TRUE(b.y.fixed);
    EXPECT_EQ(b.y.hi, 2.25);

    plot_file c = read(" SET LIMITS X 0 17 Y -.75 +.75\n SET WINDOW X 2 12 Y 2. 8.5\n");
    EXPECT_EQ(c.x.hi, 17.0);
    EXPECT_EQ(c.y.lo, -0.75);
    EXPECT_EQ(c.y.hi, 0.75);
    EXPECT_EQ(c.frame.x0, 2.0);
    EXPECT_EQ(c.frame.y1, 8.5);

    plot_file d = read(" SET WINDOW X 1 11.5 \n");
    EXPECT_EQ(d.frame.x0, 1.0);
    EXPECT_EQ(d.frame.x1, 11.5);
    EXPECT_EQ(d.frame.y0, 2.0);  // y keeps the default
}

TEST(PlotRead, UnreadableCommandsWarnWithTheirLineAndAreSkipped) {
    struct case_ {
        const char* line;
        const char* says;
    };
    const case_ cases[] = {{" SET COLOUR RED", "unknown command \"SET COLOUR RED\""},
                           {" FRAME OFF", "unknown command"},
                           {" SET LIMITS X 5 1", "reversed X range"},
                           {" SET LIMITS Z 1 2", "cannot read the axis ranges"},
                           {" SET LIMITS X 0 abc", "cannot read a range"},
                           {" SET WINDOW X 2 40", "outside the page"},
                           {" SET SYMBOL P", "cannot read the symbol"},
                           {" TITLE 1 2 SIZE 2", "without quoted text"},
                           {" TITLE 1 SIZE 2 \"a\"", "cannot read the TITLE position"},
                           {" CASE    \"G\"", "does not follow a TITLE"}};
    for (const auto& c : cases) {
        std::string warnings;
        plot_file p = read(
            std::string(" SET SYMBOL 2P SIZE 0.8\n 1 2\n") + c.line + "\n 3 4\n JOIN\n", &warnings);
        EXPECT_NE(warnings.find("t.dat:3: warning: "), std::string::npos) << c.line << warnings;
        EXPECT_NE(warnings.find(c.says), std::string::npos) << c.line << warnings;
        EXPECT_FALSE(p.x.fixed) << c.line;
        EXPECT_EQ(p.frame.x1, 12.0) << c.line;
        ASSERT_EQ(p.curves.size(), 1u) << c.line;
        EXPECT_EQ(p.curves[0].points.size(), 2u) << c.line;
    }
}

TEST(PlotRead, MalformedDataLineStopsWithItsLineNumber) {
    const char* lines[] = {" 1.0", " 1.0 2.0 3.0", " 1.0 abc", " 1.0 nan",
                           " - 1", " 1.0 1e999",   " .5.5 1",  " 1.0 2.0 PLOT"};
    for (const char* l : lines) {
        std::istringstream in(std::string(" SET FONT DUPLEX\n\n 1 2\n") + l + "\n JOIN\n");
        std::ostringstream warn;
        try {
            read_plot(in, "t.dat", warn);
            ADD_FAILURE() << "no error for " << l;
        } catch (const plot_error& e) {
            EXPECT_EQ(e.line, 4) << l;
            EXPECT_NE(e.what.find("malformed data line"), std::string::npos) << e.what;
        }
    }
}

TEST(PlotRead, PointsNeverDrawnAreReported) {
    std::string warnings;
    plot_file p = read(" 1 2\n JOIN\n SET SYMBOL 3P\n 3 4\n 5 6\n", &warnings);
    EXPECT_EQ(p.curves.size(), 1u);
    EXPECT_NE(warnings.find("t.dat:4: warning: 2 points"), std::string::npos) << warnings;
}

TEST(PlotRead, WarningsStopAfterTwentyPerFile) {
    std::string text;
    for (int i = 0; i < 50; ++i) text += " NOT A COMMAND\n";
    std::string warnings;
    read(text + " 1 2\n", &warnings);
    std::size_t lines = 0;
    for (char c : warnings) lines += c == '\n';
    EXPECT_EQ(lines, 21u) << warnings;
    EXPECT_NE(warnings.find("t.dat:20: warning"), std::string::npos);
    EXPECT_EQ(warnings.find("t.dat:21: warning"), std::string::npos);
    // 30 more unknown commands and the points never drawn.
    EXPECT_NE(warnings.find("t.dat: 31 more warnings not shown"), std::string::npos) << warnings;
}

TEST(PlotRead, TitlesKeepPlacementSizeAngleAndControls) {
    std::string warnings;
    plot_file p = read(
        " TITLE .5 4.5 ANGLE 90 SIZE 2.5 \"S (Mbarn)\"\n"
        " CASE                  \"G        \"\n"
        "TITLE 9.5 8. SIZE 2 \"k**2.0\"\n"
        " TITLE BOTTOM SIZE 2.5 \"R1(4A515O2)\"\n"
        " TITLE TOP \"  a \"quoted\" word  \"\n",
        &warnings);
    EXPECT_EQ(warnings, "");
    ASSERT_EQ(p.titles.size(), 4u);
    EXPECT_EQ(p.titles[0].where, placement::at);
    EXPECT_EQ(p.titles[0].x, 0.5);
    EXPECT_EQ(p.titles[0].y, 4.5);
    EXPECT_EQ(p.titles[0].angle, 90.0);
    EXPECT_EQ(p.titles[0].size, 2.5);
    EXPECT_EQ(p.titles[0].text, "S (Mbarn)");
    EXPECT_EQ(p.titles[0].controls, "G        ");
    EXPECT_EQ(p.titles[1].text, "k**2.0");
    EXPECT_EQ(p.titles[1].size, 2.0);
    EXPECT_EQ(p.titles[1].controls, "");
    EXPECT_EQ(p.titles[2].where, placement::bottom);
    EXPECT_EQ(p.titles[3].where, placement::top);
    // The outermost quotes delimit the text.
    EXPECT_EQ(p.titles[3].text, "  a \"quoted\" word  ");
}

TEST(CaseText, GreekControlUnderLettersOthersAsWritten) {
    EXPECT_EQ(apply_case("C", "G"), "\u03c7");                          // chi
    EXPECT_EQ(apply_case("S (Mbarn)", "G        "), "\u03c3 (Mbarn)");  // sigma
    EXPECT_EQ(apply_case("AbZ", "GGG"), "\u03b1\u03b2\u03b6");
    EXPECT_EQ(apply_case("C1", "GG"), "\u03c71");        // G under a digit leaves it
    EXPECT_EQ(apply_case("CC", "G"), "\u03c7C");         // a short control string covers a prefix
    EXPECT_EQ(apply_case("a\tb\xc3\xa9", ""), "a?b??");  // only printable ASCII passes
}

// Raised and lowered text: script characters where Unicode has them, shifted spans elsewhere
// (the run's own axis titles are checked in plot_files_test).
TEST(CaseText, ScriptsShiftsAndRings) {
    // Subscript digits and signs; letters have no script characters and are drawn shifted.
    EXPECT_EQ(apply_case("E2+11 x", " C  C"), "E\u208a\u2081 x");
    case_text r = render_case("E0ab1/x2mA1", " C  C  CG C");
    ASSERT_EQ(r.spans.size(), 4u);
    EXPECT_EQ(r.spans[1].utf8, "ab");
    EXPECT_EQ(r.spans[1].shift, text_shift::up);
    EXPECT_EQ(r.spans[2].utf8, "/x");
    EXPECT_EQ(r.spans[3].utf8, "\u03bcA");  // G still applies below the line
    EXPECT_EQ(r.spans[3].shift, text_shift::down);
    // The ring over the middle of several marked characters, over one without a precomposed
    // form, and alone; the controls that do not fit are drawn as written and reported.
    EXPECT_EQ(apply_case("4abc5O", "C   CS"), "ab\u030ac");
    EXPECT_EQ(apply_case("4A5O", "C CS"), "\u00c5");
    EXPECT_EQ(apply_case("20O", "  S"), "20\u00b0");
    r = render_case("kV1C9x5O3", " VGC CC V");
    EXPECT_EQ(r.spans[0].utf8, "kV1C9x5O3");
    EXPECT_EQ(r.not_applied, (std::vector<std::size_t>{1, 2, 3, 5, 6, 8}));
}

TEST(CaseText, ControlsNotAppliedAreWarnedOncePerLine) {
    std::string warnings;
    read(
        " TITLE BOTTOM SIZE 2.5 \"k1(4A515O20-11)\"\n"
        " CASE                  \" U C CVUSVC  C \"\n"
        " TITLE TOP \"ab1c\"\n"
        " CASE \"Q G\"\n",
        &warnings);
    EXPECT_EQ(warnings,
              "t.dat:4: warning: CASE controls \"Q\" under \"a\" (column 1), \"G\" under \"1\" "
              "(column 3) not applied; drawn as written\n");
}

TEST(Axis, FixedRangesAreKeptWithTicksInsideThem) {
    const double ranges[][2] = {{0, 12},   {-0.5, 0.5}, {0, 8},      {0, 17},   {-0.75, 0.75},
                                {-20, 20}, {0, 4.3456}, {-0.2, 0.2}, {0, 1e-06}};
    for (const auto& r : ranges) {
        axis_scale a = choose_axis({true, r[0], r[1]}, 5.0, 6.0);
        EXPECT_EQ(a.lo, r[0]) << "range " << r[0] << " " << r[1];
        EXPECT_EQ(a.hi, r[1]) << "range " << r[0] << " " << r[1];
        ASSERT_GE(a.major.size(), 3u) << "range " << r[0] << " " << r[1];
        EXPECT_LE(a.major.size(), 12u) << "range " << r[0] << " " << r[1];
        EXPECT_EQ(a.labels.size(), a.major.size());
        double tol = (r[1] - r[0]) * 1e-9;
        for (double t : a.major) {
            EXPECT_GE(t, r[0] - tol);
            EXPECT_LE(t, r[1] + tol);
        }
    }
    // Ranges with a dividing step get labels on both edges.
    for (const auto& r : {std::pair{-0.5, 0.5}, std::pair{0.0, 8.0}, std::pair{-20.0, 20.0}}) {
        axis_scale a = choose_axis({true, r.first, r.second}, 0.0, 0.0);
        EXPECT_NEAR(a.major.front(), r.first, 1e-12);
        EXPECT_NEAR(a.major.back(), r.second, 1e-12);
    }
    EXPECT_EQ(choose_axis({true, -0.5, 0.5}, 0, 0).labels,
              (std::vector<std::string>{"-0.5", "-0.25", "0", "0.25", "0.5"}));
}

TEST(Axis, DataRangesWidenToNiceSteps) {
    const double data[][2] = {{0.6, 3.3},     {-0.25, 0.22}, {0.001, 3.0},
                              {1.2e4, 9.9e4}, {-3e-6, 7e-6}, {100.0, 100.5}};
    for (const auto& d : data) {
        axis_scale a = choose_axis({}, d[0], d[1]);
        EXPECT_LE(a.lo, d[0]) << "data " << d[0];
        EXPECT_GE(a.hi, d[1]) << "data " << d[0];
        double intervals = (a.hi - a.lo) / a.step;
        EXPECT_GE(intervals, 2.9) << "data " << d[0];
        EXPECT_LE(intervals, 8.1) << "data " << d[0];
        double mantissa = a.step / std::pow(10.0, std::floor(std::log10(a.step) + 1e-9));
        EXPECT_TRUE(std::fabs(mantissa - 1) < 1e-9 || std::fabs(mantissa - 2) < 1e-9 ||
                    std::fabs(mantissa - 5) < 1e-9)
            << "step " << a.step;
    }
    axis_scale one = choose_axis({}, 2.0, 2.0);  // a single value: a range around it
    EXPECT_LT(one.lo, 2.0);
    EXPECT_GT(one.hi, 2.0);
    axis_scale none = choose_axis({}, 1.0, -1.0);  // no data
    EXPECT_EQ(none.lo, 0.0);
    EXPECT_EQ(none.hi, 1.0);
    axis_scale huge = choose_axis({}, -1e308, 1e308);  // no overflow to Inf or NaN
    EXPECT_TRUE(std::isfinite(huge.lo) && std::isfinite(huge.hi) && std::isfinite(huge.step));
}

TEST(Axis, TickLabelsUseTheDigitsTheStepNeeds) {
    EXPECT_EQ(tick_label(0.25, 0.25, 0.5), "0.25");
    EXPECT_EQ(tick_label(-0.25, 0.25, 0.5), "-0.25");
    EXPECT_EQ(tick_label(16.0, 2.0, 16.0), "16");
    EXPECT_EQ(tick_label(1000.0, 200.0, 1000.0), "1000");
    EXPECT_EQ(tick_label(1e-05, 1e-05, 5e-05), "1e-05");
    EXPECT_EQ(tick_label(0.1 + 0.2, 0.1, 1.0), "0.3");
    EXPECT_EQ(tick_label(1e-17, 0.1, 1.0), "0");
    EXPECT_EQ(tick_label(2e6, 1e6, 5e6), "2e+06");
}

}  // namespace
}  // namespace korva::plot
