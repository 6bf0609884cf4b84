#include "post/open.hpp"

#include <fcntl.h>
#include <unistd.h>

#include "common/errors.hpp"
#include "common/textio.hpp"

namespace korva {

void open(std::ostream& out, std::ofstream& file, const std::string& name) {
    if (file.is_open()) file.close();
    file.clear();
    // The standard streams cannot refuse an existing file, so the exclusive creation goes
    // through the system call; the stream then opens the file it made.
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666);
    const bool created = fd >= 0;
    if (created) ::close(fd);
    // Truncation drops every byte of an older, longer version.
    file.open(name, std::ios::out | std::ios::trunc);
    if (!file.is_open()) {
        throw read_error{"cannot create or overwrite output file '" + name + "'"};
    }
    if (created) {
        out << (record() << " ... creating new file ...");
    } else {
        out << (record() << " ... warning! overwriting previous version ...");
    }
}

}  // namespace korva
