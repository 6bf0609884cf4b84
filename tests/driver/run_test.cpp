// Whole runs on small hand-made tables: the matrix-dimension stop and the experimental file.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "support/run_program.hpp"

namespace korva {
namespace {

// Eight energy points of one phase set; points 1 to 6 carry l = 0..2, points 7 and 8 l = 0..7.
std::string phase_file() {
    std::ostringstream s;
    for (int e = 1; e <= 8; ++e) {
        const double en = 0.4 + 0.1 * e;
        for (int l = 0; l <= (e <= 6 ? 2 : 7); ++l)
            s << en << ' ' << std::sqrt(en) << " -0.01 1 " << l << ' ' << 0.2 / (l + 1) << ' '
              << -0.1 / (l + 1) << '\n';
    }
    return s.str();
}

std::string sigma_file() {
    std::ostringstream s;
    for (int e = 1; e <= 8; ++e) s << e << " 0 0 0 0.5 1 0\n";
    return s.str();
}

std::string cubic_cluster(int n) {
    std::ostringstream s;
    s << n << '\n';
    for (int i = 0; i < n; ++i)
        s << 2.5 * (i % 5) << ' ' << 2.5 * ((i / 5) % 5) << ' ' << 2.5 * (i / 25) << " 1\n";
    return s.str();
}

TEST(WholeRun, MatrixTooLargeFromPointSevenStopsAtSix) {
    auto dir = test::scratch_dir("ndm");
    test::write_file(dir / "t.ps", phase_file());
    test::write_file(dir / "t.xs", sigma_file());
    // 99 atoms with Mmax 7: 9 channels each up to point 6 (891), 64 from point 7 on (6336).
    const auto r = test::run_in(dir, "t.ps\nt.xs\nnd\n" + cubic_cluster(99) +
                                         "0\n0 7 0.001 150\n2 0 0 8979 1\n0\n0 5 0.01\n0\n");
    ASSERT_EQ(r.status, 0) << r.err;
    for (int e : {7, 8}) {
        const std::string warning =
            "  *** WARNING  DIMENSION OF MATRIX GT IN PROGRAM \"KORVA\" IS NOT "
            "SUFFICIENT AT KEN=           " +
            std::to_string(e) +
            "  ***\n"
            "   *** INCREASE PARAMETER NDM_=        5000   TO        6336  AT LEAST ***\n";
        EXPECT_NE(r.out.find(warning), std::string::npos) << e;
    }
    EXPECT_NE(r.out.find("       \n   *** THE PRESENT CALCULATION WILL BE STOPPED AT KEN =         "
                         "  6\n       \n"),
              std::string::npos);
    EXPECT_NE(r.out.find(" >>>>    6   Lm="), std::string::npos);
    EXPECT_EQ(r.out.find(" >>>>    7   Lm="), std::string::npos);
}

TEST(WholeRun, ExperimentalEnergiesInKeVAndAMissingFile) {
    auto dir = test::scratch_dir("exp");
    test::write_file(dir / "t.ps", phase_file());
    test::write_file(dir / "t.xs", sigma_file());
    test::write_file(dir / "exp.dat", "8.979 2.0\n9.0 3.0\n9.1 2.5\nnot a record\n9.2 1.0\n");
    const std::string head = "t.ps\nt.xs\nex\n3\n0 0 0 1\n0 0 2.5 1\n2.5 0 0 1\n0\n0 2 0.001 6\n";
    auto r = test::run_in(dir, head + "2 1 1 8979 2\n0\nexp.dat\n0 5 0.01\n0\n");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string sig = test::read_file(dir / "ex _kor.sig");
    // 21 eV / 13.6058 = 1.54345941 Ry (nearest float 1.5434594), 2 x (3.0 - 2.0); reading stops
    // at the record that is not numeric.
    const std::string tail =
        " SET SYMBOL 6P SIZE 0.8\n 0.0 0.0\n 1.5434594 2.0\n 8.893267 1.0\n PLOT\n JOIN\n";
    ASSERT_GE(sig.size(), tail.size());
    EXPECT_EQ(sig.substr(sig.size() - tail.size()), tail);
    r = test::run_in(dir, head + "2 1 1 8979 2\n0\nnone.dat\n0 5 0.01\n0\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find(" !!! WARNING experimental data file NOT FOUND\n"), std::string::npos);
    EXPECT_EQ(test::read_file(dir / "ex _kor.sig").find("6P"), std::string::npos);
    EXPECT_NE(r.out.find(" ... warning! overwriting previous version ..."), std::string::npos);
}

}  // namespace
}  // namespace korva
