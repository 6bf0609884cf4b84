// Every message a run can end with: the deck or file that provokes it, the exact message, the
// exit status, and what is left on disk (earlier plot files exactly as they were, nothing else).
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <set>
#include <sstream>
#include <vector>

#include "support/run_program.hpp"

namespace korva {
namespace {

namespace fs = std::filesystem;

// A small valid run: a dimer, nine energy points of one phase set with l = 0..2.
struct inputs {
    std::string ps, xs;
    std::string psname = "t.ps", xsname = "t.xs", prefix = "err";
    std::vector<std::string> atoms{"0 0 0 1", "0 0 2.5 1"};
    std::string nat;  // empty: the number of atom lines
    std::string lcore = "0", p7 = "0.001 2 0.0001 150", p8 = "2 1 0 8979 1", esp = "0";
    std::string p10;  // the experimental file name, asked for when IF2 = 1
    std::string p11 = "0 5 0.01", p12 = "0";
    int cut_after = -1;  // > 0: the deck ends after this many lines
    std::string setup, stdout_to = "stdout.txt";
    std::vector<std::string> extra;  // files or directories the case adds

    std::string deck() const {
        std::vector<std::string> l{psname, xsname, prefix,
                                   nat.empty() ? std::to_string(atoms.size()) : nat};
        l.insert(l.end(), atoms.begin(), atoms.end());
        l.insert(l.end(), {lcore, p7, p8, esp});
        if (!p10.empty()) l.push_back(p10);
        l.insert(l.end(), {p11, p12});
        std::string s;
        for (std::size_t i = 0; i < l.size(); ++i)
            if (cut_after < 0 || static_cast<int>(i) < cut_after) s += l[i] + '\n';
        return s;
    }
};

std::string phase_record(double e, double k, int l, double tre, double tim, double kim = -0.01) {
    std::ostringstream s;
    s << e << ' ' << k << ' ' << kim << " 1 " << l << ' ' << tre << ' ' << tim << '\n';
    return s.str();
}

// Points first..last of the table, without the comment line.
std::string phase_points(int first, int last, int lmax = 2) {
    std::string s;
    for (int e = first; e <= last; ++e) {
        const double en = 0.5 + 0.1 * e;
        for (int l = 0; l <= lmax; ++l)
            s += phase_record(en, std::sqrt(en), l, 0.2 / (l + 1), -0.1 / (l + 1));
    }
    return s;
}

std::string phase_file(int nen, int lmax = 2) {
    return "synthetic phase shifts\n" + phase_points(1, nen, lmax);
}

std::string sigma_points(int first, int last, const std::string& factor = "1 0") {
    std::string s;
    for (int e = first; e <= last; ++e)
        s += std::to_string(0.5 + 0.1 * e) + " 0 0 0 0.5 " + factor + '\n';
    return s;
}

std::string sigma_file(int nen, const std::string& factor = "1 0") {
    return "synthetic cross sections\n" + sigma_points(1, nen, factor);
}

inputs base() {
    inputs in;
    in.ps = phase_file(9);
    in.xs = sigma_file(9);
    return in;
}

const char* const plot_ext[] = {"dat", "sig", "chi", "fou"};

struct error_row {
    const char* name;
    std::function<void(inputs&)> change;
    int status;
    std::string line;  // the whole last line of standard output, or the one line of stderr
    friend void PrintTo(const error_row& r, std::ostream* os) { *os << r.name; }
};

std::vector<error_row> catalogue() {
    return {
        {"PhaseFileMissing", [](inputs& in) { in.psname = "none.ps"; }, 1,
         "  *** ERROR PHASE SHIFT FILE NOT FOUND ***"},
        {"CrossSectionFileMissing", [](inputs& in) { in.xsname = "none.xs"; }, 1,
         "  *** ERROR CROSS-SECTION FILE NOT FOUND ***"},
        {"PrefixWithASlash", [](inputs& in) { in.prefix = "a/b"; }, 1,
         "  *** ERROR IN INPUT: THE PREFIX OF THE OUTPUT FILES HOLDS A SLASH OR A CONTROL "
         "CHARACTER ***"},
        {"PrefixWithAControlCharacter", [](inputs& in) { in.prefix = "a\tb"; }, 1,
         "  *** ERROR IN INPUT: THE PREFIX OF THE OUTPUT FILES HOLDS A SLASH OR A CONTROL "
         "CHARACTER ***"},
        {"TooManyAtoms", [](inputs& in) { in.nat = "1000000"; }, 1,
         "  DIMENSION ERROR SET NAT_  =     1000000     AT LEAST"},
        {"OneAtom", [](inputs& in) { in.atoms.pop_back(); }, 1,
         "  *** ERROR: THE STRUCTURE NEEDS AT LEAST 2 ATOMS, NUMBER OF ATOMS =           1 ***"},
        {"CoordinateNotANumber", [](inputs& in) { in.atoms[1] = "0 NaN 2.5 1"; }, 1,
         "  *** ERROR IN INPUT: COORDINATES OF ATOM           2 ARE NOT FINITE NUMBERS ***"},
        {"AtomsAtOnePlace", [](inputs& in) { in.atoms[1] = "0 0 0 1"; }, 1,
         "  *** ERROR IN INPUT: ATOMS           1 AND           2 ARE AT THE SAME PLACE ***"},
        {"DistanceOverflows",
         [](inputs& in) {
             in.atoms[0] = "1e20 0 0 1";
             in.atoms[1] = "-1e20 0 0 1";
         },
         1,
         "  *** ERROR IN INPUT: THE DISTANCE OF ATOMS           1 AND           2 IS NOT A FINITE "
         "NUMBER ***"},
        {"NegativeCoreState", [](inputs& in) { in.lcore = "-1"; }, 1,
         "  *** ERROR IN INPUT: CORE STATE ANGULAR MOMENTUM          -1 IS NEGATIVE ***"},
        {"CoreStateTooHigh", [](inputs& in) { in.lcore = "2147483647"; }, 1,
         "  *** ERROR IN INPUT: CORE STATE ANGULAR MOMENTUM  2147483647 IS TOO LARGE; FINAL STATES "
         "ABOVE L =          20 ARE NOT POSSIBLE ***"},
        {"NegativeMmax", [](inputs& in) { in.p7 = "0.001 -1 0.0001 150"; }, 1,
         "  *** ERROR IN INPUT: Mmax =          -1 IS NEGATIVE ***"},
        {"NepBelowOne", [](inputs& in) { in.p7 = "0.001 2 0.0001 0"; }, 1,
         "  *** ERROR IN INPUT: NEP =           0 MUST BE AT LEAST 1 ***"},
        {"ToleranceNotFinite", [](inputs& in) { in.p7 = "NaN 2 0.0001 150"; }, 1,
         "  *** ERROR IN INPUT: TOLL_lmax IS NOT A FINITE NUMBER ***"},
        {"FacNotFinite", [](inputs& in) { in.p8 = "2 1 0 8979 Inf"; }, 1,
         "  *** ERROR IN INPUT: FAC IS NOT A FINITE NUMBER ***"},
        {"TextInAPhaseRecord", [](inputs& in) { in.ps += "0.6 x 0 1 0 0 0\n"; }, 1,
         "  ** ERROR WHILE READING PHASE SHIFTS **"},
        {"TextInACrossSectionRecord",
         [](inputs& in) { in.xs = "comment\n0.6 0 0 0 half 1 0\n" + sigma_points(2, 9); }, 1,
         "  ** ERROR WHILE READING SIGMA0 **"},
        {"NonFinitePhaseShift",
         [](inputs& in) {
             in.ps = "c\n" + phase_record(0.6, 0.77, 0, 1e39, 0) + phase_points(2, 9);
         },
         1,
         "  *** ERROR IN PHASE SHIFT FILE: NON-FINITE VALUE IN RECORD           1 AT LINE  "
         "         2 ***"},
        {"NonFiniteCrossSection",
         [](inputs& in) { in.xs = "comment\n0.6 0 0 0 Inf 1 0\n" + sigma_points(2, 9); }, 1,
         "  *** ERROR IN CROSS-SECTION FILE: NON-FINITE VALUE IN RECORD           1 AT LINE  "
         "         2 ***"},
        {"MoreThan150EnergyPoints",
         [](inputs& in) {
             in.ps = phase_file(151, 0);
             in.xs = sigma_file(151);
         },
         1, "  ***** ERROR IN \"PSREAD\", INCREASE NER_ TO          151  IN THE CALLING PROGRAM"},
        {"EmptyPhaseFile", [](inputs& in) { in.ps = ""; }, 1,
         "  *** ERROR: THE PHASE SHIFT FILE HOLDS NO ENERGY POINT ***"},
        {"PhaseSetNotInTheFile", [](inputs& in) { in.atoms[1] = "0 0 2.5 2"; }, 1,
         "  *** ERROR IN INPUT: PHASE SET           2 OF ATOM           2 IS NOT IN THE PHASE "
         "SHIFT FILE (1 TO           1 ) ***"},
        {"DeckValueUnreadable", [](inputs& in) { in.nat = "two"; }, 2,
         "korva: input deck, prompt 4 (number of atoms) (line 4): a value cannot be read"},
        {"DeckEndsEarly", [](inputs& in) { in.cut_after = 5; }, 2,
         "korva: input deck, prompt 5 (coordinates and phase set of atom 2): standard input "
         "ended early"},
        {"CrossSectionFileShort", [](inputs& in) { in.xs = sigma_file(4); }, 2,
         "korva: cross-section file: it ends before the record of energy point 5"},
        {"CrossSectionFileEmpty", [](inputs& in) { in.xs = ""; }, 2,
         "korva: cross-section file: it holds no record"},
        {"PhaseRecordTruncated", [](inputs& in) { in.ps += "1.5 1.2 -0.01 1"; }, 2,
         "korva: phase-shift file: the last record (line 29) ends after 4 of its 7 values"},
        {"NoPointFitsTheMatrix",
         [](inputs& in) {
             in.ps = phase_file(9, 7);
             in.atoms.clear();
             for (int i = 0; i < 99; ++i)
                 in.atoms.push_back(std::to_string(2.5 * (i % 5)) + ' ' +
                                    std::to_string(2.5 * ((i / 5) % 5)) + ' ' +
                                    std::to_string(2.5 * (i / 25)) + " 1");
             in.p7 = "0 7 0.0001 150";
         },
         1, "  *** ERROR: NO ENERGY POINT FITS THE MATRIX; NOTHING TO COMPUTE ***"},
        {"ZeroWaveNumber",
         [](inputs& in) {
             std::string s = "c\n";
             for (int l = 0; l <= 2; ++l) s += phase_record(0.6, 0, l, 0.2, -0.1, 0);
             in.ps = s + phase_points(2, 9);
         },
         1,
         "  *** ERROR: THE WAVE NUMBER OF ENERGY POINT           1 IS ZERO; THE PROPAGATORS "
         "NEED K > 0 ***"},
        {"ZeroTOfTheAbsorber",
         [](inputs& in) {
             std::string s = "c\n";
             for (int l = 0; l <= 2; ++l) s += phase_record(0.6, 0.77, l, l == 1 ? 0 : 0.2, 0);
             in.ps = s + phase_points(2, 9);
         },
         1,
         "  *** ERROR: T_L OF THE ABSORBING ATOM IS ZERO FOR L =           1 AT ENERGY POINT  "
         "         1 ***"},
        {"FinalStateChannelMissing", [](inputs& in) { in.p7 = "0.001 0 0.0001 150"; }, 1,
         "  *** ERROR: CHANNEL L0 =           1 IS MISSING FROM THE ABSORBING ATOM AT ENERGY "
         "POINT           1 (ITS LMAX =           2 , MMAX =           0 ); RAISE TOLL_lmax "
         "SENSITIVITY OR Mmax ***"},
        {"RecursionOverflows",
         [](inputs& in) {
             std::string s = "c\n";
             for (int e = 1; e <= 9; ++e)
                 for (int l = 0; l <= 2; ++l)
                     s += phase_record(0.5 + 0.1 * e, std::sqrt(0.5 + 0.1 * e), l, 1e25, 1e25);
             in.ps = s;
         },
         1,
         "  *** ERROR: THE RECURSION FOR L0 =           1 M0 =           0 AT ENERGY POINT  "
         "         1 GAVE A NON-FINITE VALUE (A ZERO DENOMINATOR) ***"},
        {"SignalOverflows", [](inputs& in) { in.xs = sigma_file(9, "3e38 3e38"); }, 1,
         "  *** ERROR: THE SIGNAL OF CHANNEL           1 AT ENERGY POINT           1 IS NOT A "
         "FINITE NUMBER; CHECK THE DATA FILES ***"},
        {"MeshBoundsNotFinite", [](inputs& in) { in.p11 = "NaN 5 0.01"; }, 1,
         "  **** ERROR IN \"INTERPMESH\": KMIN, KMAX AND DK MUST BE FINITE ****"},
        {"MeshStepNotPositive", [](inputs& in) { in.p11 = "0 5 0"; }, 1,
         "  **** ERROR IN \"INTERPMESH\": DK = 0.0 MUST BE POSITIVE ****"},
        {"EdgeShiftNotFinite", [](inputs& in) { in.p12 = "Inf"; }, 1,
         "  **** ERROR IN \"INTERPMESH\": DE0 MUST BE FINITE ****"},
        {"FewerThanFourPoints", [](inputs& in) { in.p7 = "0.001 2 0.0001 3"; }, 1,
         "  **** ERROR IN \"INTERPMESH\": ONLY           3 ENERGY POINTS,           4 NEEDED FOR "
         "THE INTERPOLATION ****"},
        {"PointBelowTheShiftedEdge", [](inputs& in) { in.p12 = "-0.65"; }, 1,
         "  **** ERROR IN \"INTERPMESH\": ENERGY POINT           1 LIES BELOW THE SHIFTED EDGE "
         "(EPH + DE0 < 0) ****"},
        {"ShiftedPointWithoutFiniteK", [](inputs& in) { in.p12 = "3e38"; }, 1,
         "  **** ERROR IN \"INTERPMESH\": ENERGY POINT           1 HAS NO FINITE K ****"},
        {"WaveNumberNotIncreasing",
         [](inputs& in) {
             std::string s = "c\n", x = "c\n";
             for (int e = 9; e >= 1; --e) {
                 const double en = 0.5 + 0.1 * e;
                 for (int l = 0; l <= 2; ++l) s += phase_record(en, std::sqrt(en), l, 0.2, -0.1);
                 x += std::to_string(en) + " 0 0 0 0.5 1 0\n";
             }
             in.ps = s;
             in.xs = x;
         },
         1,
         "  **** ERROR IN \"INTERPMESH\": K OF ENERGY POINTS           1 AND           2 DOES "
         "NOT INCREASE ****"},
        {"MeshBoundsInTheWrongOrder", [](inputs& in) { in.p11 = "5 1 0.01"; }, 1,
         "  **** ERROR IN \"INTERPMESH\": KMIN = 5.0 IS NOT BELOW KMAX = 1.0 ****"},
        {"ExperimentalNameMissing",
         [](inputs& in) {
             in.p8 = "2 1 1 8979 1";
             in.p10 = "x";
             in.cut_after = 10;
         },
         2,
         "korva: input deck, prompt 10 (experimental data file name): standard input ended "
         "early"},
        {"MeshAnswerUnreadable", [](inputs& in) { in.p11 = "0 five 0.01"; }, 2,
         "korva: prompt 11 (DAI KMIN K MAX, DK SPETTRO INTERPOLATO): the value of KMAX could "
         "not be converted to a real"},
        {"EdgeShiftMissing", [](inputs& in) { in.cut_after = 11; }, 2,
         "korva: prompt 12 (DISTANZA E0 TEORICO DA SOGLIA SPERIMENTALE): the input ended before "
         "DE0 was read"},
        {"PlotNameIsADirectory", [](inputs& in) { in.extra = {"err_kor.chi/"}; }, 3,
         "korva: err_kor.chi: cannot be created or overwritten (Is a directory)"},
        {"DiskFullWhileWritingAPlot",
         [](inputs& in) {
             in.setup = "trap '' XFSZ; ulimit -f 2;";
             in.stdout_to = "/dev/null";
         },
         3, "korva: err_kor.chi: writing failed (File too large)"},
        {"StandardOutputCannotBeWritten", [](inputs& in) { in.stdout_to = "/dev/full"; }, 3,
         "korva: standard output: writing failed (No space left on device)"},
    };
}

std::string last_line(const std::string& text) {
    std::string t = text;
    while (!t.empty() && t.back() == '\n') t.pop_back();
    const auto nl = t.find_last_of('\n');
    return nl == std::string::npos ? t : t.substr(nl + 1);
}

class ErrorCatalogue : public ::testing::TestWithParam<error_row> {};

TEST_P(ErrorCatalogue, EndsWithItsMessageAndLeavesEarlierFilesAlone) {
    const error_row& row = GetParam();
    inputs in = base();
    row.change(in);
    const fs::path dir = test::scratch_dir(std::string("err_") + row.name);
    test::write_file(dir / "t.ps", in.ps);
    test::write_file(dir / "t.xs", in.xs);
    std::set<std::string> expected_names{"deck.in", "stderr.txt", "t.ps", "t.xs"};
    if (in.stdout_to == "stdout.txt") expected_names.insert("stdout.txt");
    for (const std::string& x : in.extra) {
        if (x.back() == '/') {
            fs::create_directory(dir / x.substr(0, x.size() - 1));
            expected_names.insert(x.substr(0, x.size() - 1));
        }
    }
    // Plot files of an earlier run under the names of this one.
    for (const char* ext : plot_ext) {
        const std::string name = in.prefix + "_kor." + ext;
        if (in.prefix.find('/') != std::string::npos || fs::exists(dir / name)) continue;
        test::write_file(dir / name, std::string("earlier run ") + ext + '\n');
        expected_names.insert(name);
    }

    const auto r = test::run_in(dir, in.deck(), KORVA_BINARY, in.setup, in.stdout_to);
    EXPECT_EQ(r.status, row.status) << r.err << last_line(r.out);
    // The answers of prompts 10 to 12 are checked before the first point.
    if (row.line.find("INTERPMESH") != std::string::npos ||
        row.line.find("prompt 1") != std::string::npos) {
        EXPECT_EQ(r.out.find("Signal="), std::string::npos) << r.out;
    }
    if (row.status == 1) {
        EXPECT_EQ(last_line(r.out), row.line);
        EXPECT_EQ(r.err, "");
    } else {
        EXPECT_EQ(r.err, row.line + '\n');
    }
    for (const char* ext : plot_ext) {
        const fs::path p = dir / (in.prefix + "_kor." + ext);
        if (fs::is_regular_file(p)) {
            EXPECT_EQ(test::read_file(p), std::string("earlier run ") + ext + '\n') << p;
        }
    }
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) names.insert(entry.path().filename());
    EXPECT_EQ(names, expected_names);
}

INSTANTIATE_TEST_SUITE_P(Rows, ErrorCatalogue, ::testing::ValuesIn(catalogue()),
                         [](const auto& info) { return std::string(info.param.name); });

// The base of the catalogue is a valid run: it replaces all four earlier files.
TEST(ErrorCatalogueBase, ValidRunReplacesEveryPlotFile) {
    const inputs in = base();
    const fs::path dir = test::scratch_dir("err_base");
    test::write_file(dir / "t.ps", in.ps);
    test::write_file(dir / "t.xs", in.xs);
    for (const char* ext : plot_ext)
        test::write_file(dir / (in.prefix + "_kor." + ext), "earlier run\n");
    const auto r = test::run_in(dir, in.deck());
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char* ext : plot_ext) {
        const std::string text = test::read_file(dir / (in.prefix + "_kor." + ext));
        EXPECT_EQ(text.find("earlier"), std::string::npos) << ext;
        EXPECT_GT(text.size(), 100u) << ext;
    }
    int n = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir)) ++n;
    EXPECT_EQ(n, 9);
}

}  // namespace
}  // namespace korva
