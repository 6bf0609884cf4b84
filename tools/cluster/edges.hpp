// Absorption-edge energies of the elements: K (1s) and L3 (2p3/2) binding energies, eV.
#pragma once

namespace korva::cluster {

enum class edge { k, l3 };

// The edge energy in eV for atomic number z, or 0 when the table has none (z outside 3..92, or
// an L3 edge below Z = 10).
double edge_energy(int z, edge e);

}  // namespace korva::cluster
