// The first-call coefficient tables of the three propagator builders, owned by the run.
#pragma once
#include "propagator/prop1.hpp"
#include "propagator/prop2.hpp"
#include "propagator/prop3.hpp"

namespace korva {

struct prop_tables {
    prop1_table p1;
    prop2_table p2;
    prop3_table p3;
};

}  // namespace korva
