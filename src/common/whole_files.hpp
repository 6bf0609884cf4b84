// Writes a set of text files so that either all of them are in place or none is changed.
#pragma once
#include <string>
#include <utility>
#include <vector>

namespace korva {

// Each (name, text): a regular file (or a name not yet taken) gets its text under a temporary
// name beside it, renamed only when every file is written; a symbolic link is followed, so the
// file it points to is replaced and not the link. Anything else under a name (a device such as
// /dev/null, a pipe) is written in place. On a failure the temporary files are removed and
// write_error names the file and the system's reason.
void write_whole_files(const std::vector<std::pair<std::string, std::string>>& files);

}  // namespace korva
