// Hydrogen-like energy law of the atomic K-shell photo-absorption cross-section above an edge.
#pragma once

namespace korva::psgen {

// f(x) = exp(-(4/sqrt x) arctan(sqrt x)) / e^{-4} / (1 + x)^4 / (1 - exp(-2 pi/sqrt x)),
// x = photon energy above the edge divided by the edge energy. f(0) = 1 (x <= 0 gives that
// limit) and f falls as x^{-7/2} at large x.
double hydrogenic_law(double x);

}  // namespace korva::psgen
