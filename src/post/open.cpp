#include "post/open.hpp"

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "common/errors.hpp"
#include "common/textio.hpp"

namespace korva {

namespace {

[[noreturn]] void cannot_open(const std::string& name, int err) {
    throw write_error{name, "cannot be created or overwritten (" +
                                system_reason(err, "not a writable file name") + ")"};
}

// The permissions a file created under `name` would get: 0666 less the process's mask.
mode_t creation_mode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

}  // namespace

void commit(std::initializer_list<plot_file*> files) {
    for (plot_file* f : files) {
        if (f->temp_.empty()) continue;
        errno = 0;
        f->flush();
        const bool written = f->good();
        f->close();
        if (!written || f->fail()) {
            const int err = errno;
            const std::string name = f->name_;
            for (plot_file* g : files) g->discard();
            throw write_error{
                name, "writing failed (" + system_reason(err, "the disk may be full") + ")"};
        }
    }
    for (plot_file* f : files) {
        if (f->temp_.empty()) continue;
        if (std::rename(f->temp_.c_str(), f->name_.c_str()) != 0) {
            const int err = errno;
            for (plot_file* g : files) g->discard();
            cannot_open(f->name_, err);
        }
        f->temp_.clear();
    }
}

void plot_file::commit() {
    korva::commit({this});
}

void plot_file::discard() noexcept {
    if (is_open()) close();
    if (!temp_.empty()) ::unlink(temp_.c_str());
    temp_.clear();
}

void open(std::ostream& out, plot_file& file, const std::string& name) {
    file.commit();
    file.clear();
    file.name_ = name;
    if (name.empty() || name.find('\0') != std::string::npos) cannot_open(name, 0);
    // What the name holds now decides the message; it is left alone until the commit.
    struct stat old {};
    const bool exists = ::lstat(name.c_str(), &old) == 0;
    if (exists && !S_ISLNK(old.st_mode) && S_ISDIR(old.st_mode)) cannot_open(name, EISDIR);
    if (exists && !S_ISLNK(old.st_mode) && ::access(name.c_str(), W_OK) != 0)
        cannot_open(name, errno);
    std::string temp = name + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) cannot_open(name, errno);
    ::fchmod(fd, exists && S_ISREG(old.st_mode) ? (old.st_mode & 07777) : creation_mode());
    ::close(fd);
    file.temp_ = temp;
    file.open(temp, std::ios::out | std::ios::trunc);
    if (!file.is_open()) {
        const int err = errno;
        file.discard();
        cannot_open(name, err);
    }
    if (!exists) {
        out << (record() << " ... creating new file ...");
    } else {
        out << (record() << " ... warning! overwriting previous version ...");
    }
}

}  // namespace korva
