// The program's version, as the banner and `korva --version` give it.
#pragma once

namespace korva {

inline constexpr const char* korva_version = "12.2023";
inline constexpr const char* korva_edition = "C++ edition";

}  // namespace korva
