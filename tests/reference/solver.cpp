#include "reference/solver.hpp"

#include <sstream>

#include "reference/haykor.hpp"
#include "reference/matrix.hpp"

namespace korva::reference {

point_solver row_list_solver() {
    return [](const tile_store& g, const std::vector<recursion_start>& starts, real eps, int iout,
              std::vector<std::string>& lines) {
        const int n = g.order();
        matrix_store m(n);
        for (int j = 1; j <= n; ++j)
            for (int i = 1; i <= n; ++i) m.gt(i, j) = g.gt(i, j);
        m.rebuild_row_lists(n);
        std::vector<haykor_result> out;
        lines.clear();
        for (const recursion_start& st : starts) {
            std::ostringstream text;
            out.push_back(haykor(m, n, st, MINLEV_, MAXLEV_, eps, iout, text));
            lines.push_back(text.str());
        }
        return out;
    };
}

}  // namespace korva::reference
