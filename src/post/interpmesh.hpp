// Echoes the prompts of the k range, step and energy shift, puts the energy points on that k scale
// and lays a regular k mesh over them, with the first of the interpolation points of every mesh
// point.
#pragma once
#include <ostream>

#include "common/types.hpp"

namespace korva {

// Writes the prompts of the deck's answers kmin, kmax, dk (1/Angstrom) and de0 (Rydberg) on
// `out`; kmin and kmax come back narrowed to the k range of the energy points. kwave[0..nen-1] is
// overwritten with k = sqrt(13.6 (eph + de0) 0.263); kmesh, istart (1-based energy indices)
// and chimesh (zeroed) are filled for the nmesh mesh points, at most npi of them.
// Throws run_stop (after its message on `out`) for answers or energy points the mesh cannot be
// built from.
void interpmesh(std::ostream& out, real& kmin, real& kmax, real dk, real de0, int ner, int nen,
                const real* eph, real* kwave, int npi, int& nmesh, int norder, real* kmesh,
                real* chimesh, int* istart);

}  // namespace korva
