// Chemical elements Z = 1..92 and electron configurations of spherical atoms: the ground states
// of the NIST atomic reference data (Kotochigova, Levine, Shirley, Stiles, Clark 1997) by
// default, any configuration with fractional occupations on request.
#pragma once

#include <string>
#include <vector>

namespace korva::psgen {

constexpr int max_element = 92;

// One subshell nl with its occupation (electrons, at most 2(2l+1)).
struct subshell {
    int n;
    int l;
    double occ;
};
using configuration = std::vector<subshell>;

// "Cu" -> 29, "29" -> 29; throws psgen_error for anything that is not an element 1..92.
int parse_element(const std::string& s);
std::string element_symbol(int z);

// Ground-state configuration of the neutral atom, subshells in the order 1s 2s 2p 3s ...
configuration ground_state(int z);

// Reads "[Ar] 3d10 4s1" or "1s2 2s2 2p6 3s1.5": an optional noble-gas core, then subshells
// nl followed by the occupation. The subshells come out in the order n, then l. Throws
// psgen_error for an impossible configuration (l >= n, an occupation above 2(2l+1) or below 0,
// a subshell given twice, more electrons than z or none at all).
configuration parse_configuration(const std::string& s, int z);

// Total number of electrons.
double electron_count(const configuration& c);

// "3d" for (3, 2).
std::string subshell_label(int n, int l);

// "1s2 2s2 2p6 3s2": the occupations in shortest form.
std::string configuration_text(const configuration& c);

}  // namespace korva::psgen
