// The reference solver in the place of the program's streaming recursion: the point's matrix
// copied into a row-list store, then one recursion per channel through the lists.
#pragma once
#include "driver/run_state.hpp"

namespace korva::reference {

point_solver row_list_solver();

}  // namespace korva::reference
