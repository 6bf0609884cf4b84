#include "reference/matrix.hpp"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace korva::reference {
namespace {

std::vector<int> row_list(const matrix_store& m, int i) {
    std::vector<int> cols;
    for (int k = 1; k <= m.nnz(i); ++k) cols.push_back(m.jnz(i, k));
    return cols;
}

TEST(MatrixStore, StartsZeroAndGetsUnitDiagonal) {
    matrix_store m(5);
    EXPECT_EQ(m.order(), 5);
    for (int j = 1; j <= 5; ++j) {
        for (int i = 1; i <= 5; ++i) EXPECT_EQ(m.gt(i, j), cplx(0.0f, 0.0f)) << i << "," << j;
        EXPECT_EQ(m.nnz(j), 0) << "j=" << j;
    }
    m.gt(2, 3) = cplx(7.0f, -1.0f);
    m.set_unit_diagonal();
    for (int j = 1; j <= 5; ++j) {
        for (int i = 1; i <= 5; ++i) {
            const cplx want = i == j               ? cplx(1.0f, 0.0f)
                              : (i == 2 && j == 3) ? cplx(7.0f, -1.0f)
                                                   : cplx(0.0f, 0.0f);
            EXPECT_EQ(m.gt(i, j), want) << i << "," << j;
        }
    }
}

TEST(MatrixStore, RowListsFollowTheUnionRule) {
    matrix_store m(5);
    m.set_unit_diagonal();
    m.gt(1, 3) = cplx(0.0f, 2.0f);    // imaginary part alone makes an entry non-zero
    m.gt(3, 1) = cplx(-1.5f, 0.0f);   // real part alone
    m.gt(4, 1) = cplx(0.5f, 0.0f);    // gt(1, 4) = 0: listed in row 1 by the union
    m.gt(2, 5) = cplx(-0.0f, -0.0f);  // signed zeros are zeros
    m.gt(5, 2) = cplx(0.0f, -0.0f);
    m.gt(3, 3) = cplx(0.0f, 0.0f);  // a zero diagonal drops out
    m.rebuild_row_lists(5);
    EXPECT_EQ(row_list(m, 1), (std::vector<int>{1, 3, 4}));
    EXPECT_EQ(row_list(m, 2), (std::vector<int>{2}));
    EXPECT_EQ(row_list(m, 3), (std::vector<int>{1}));
    EXPECT_EQ(row_list(m, 4), (std::vector<int>{1, 4}));
    EXPECT_EQ(row_list(m, 5), (std::vector<int>{5}));

    // A rebuild forgets entries that have become zero and sees new ones.
    m.gt(4, 1) = cplx(0.0f, 0.0f);
    m.gt(5, 3) = cplx(0.0f, 1e-30f);
    m.rebuild_row_lists(5);
    EXPECT_EQ(row_list(m, 1), (std::vector<int>{1, 3}));
    EXPECT_EQ(row_list(m, 3), (std::vector<int>{1, 5}));
    EXPECT_EQ(row_list(m, 4), (std::vector<int>{4}));
    EXPECT_EQ(row_list(m, 5), (std::vector<int>{3, 5}));
}

TEST(MatrixStore, RowListsCoverOnlyTheLeadingCorner) {
    matrix_store m(6);
    m.set_unit_diagonal();
    m.gt(1, 2) = cplx(1.0f, 0.0f);
    m.gt(1, 5) = cplx(1.0f, 0.0f);  // outside the 4 x 4 corner
    m.gt(6, 3) = cplx(1.0f, 0.0f);
    m.rebuild_row_lists(6);
    EXPECT_EQ(row_list(m, 6), (std::vector<int>{3, 6}));
    m.rebuild_row_lists(4);
    EXPECT_EQ(row_list(m, 1), (std::vector<int>{1, 2}));
    EXPECT_EQ(row_list(m, 2), (std::vector<int>{1, 2}));
    EXPECT_EQ(row_list(m, 3), (std::vector<int>{3}));
    EXPECT_EQ(m.nnz(5), 0);
    EXPECT_EQ(m.nnz(6), 0);
}

// Random patterns over several sweeps of rows (the rebuild works on bands of rows), against a
// plain scan of every entry pair.
TEST(MatrixStore, RowListsMatchAPlainScanOfRandomPatterns) {
    std::mt19937 gen(20240611);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    std::bernoulli_distribution keep(0.2);
    for (int n : {1, 2, 63, 64, 65, 150}) {
        matrix_store m(n + 3);
        // Entries everywhere, also beyond the corner; a quarter of the non-zero ones have a
        // single non-zero part.
        for (int j = 1; j <= m.order(); ++j) {
            for (int i = 1; i <= m.order(); ++i) {
                if (!keep(gen)) continue;
                const float x = u(gen), y = u(gen);
                m.gt(i, j) = x > 0.5f ? cplx(0.0f, y) : x < -0.5f ? cplx(y, 0.0f) : cplx(x, y);
            }
        }
        m.rebuild_row_lists(n);
        for (int a = 1; a <= m.order(); ++a) {
            std::vector<int> want;
            for (int c = 1; a <= n && c <= n; ++c)
                if (m.gt(a, c) != cplx(0.0f, 0.0f) || m.gt(c, a) != cplx(0.0f, 0.0f))
                    want.push_back(c);
            EXPECT_EQ(row_list(m, a), want) << "n=" << n << " row " << a;
        }
    }
}

}  // namespace
}  // namespace korva::reference
