// The reference solver in the place of the program's streaming recursion: the point's full
// matrix, A = I + G T rebuilt entry by entry from the half store, copied into a row-list store,
// then one two-sided recursion per start through the lists.
#pragma once
#include "driver/run_state.hpp"

namespace korva::reference {

point_solver row_list_solver();

}  // namespace korva::reference
