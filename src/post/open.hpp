// Connects a plot file for writing: a new file, or an existing one overwritten from its start.
#pragma once
#include <fstream>
#include <ostream>
#include <string>

namespace korva {

// Creates `name` as a new file (" ... creating new file ...") or, when that fails, overwrites
// the existing one (" ... warning! overwriting previous version ..."); either way `file` is left
// connected to an empty file. A stream that was connected before is closed first.
// Throws read_error when the file cannot be opened for writing at all.
void open(std::ostream& out, std::ofstream& file, const std::string& name);

}  // namespace korva
