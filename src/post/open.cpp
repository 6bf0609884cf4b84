#include "post/open.hpp"

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "common/errors.hpp"
#include "common/textio.hpp"

namespace korva {

namespace {

[[noreturn]] void cannot_open(const std::string& name) {
    throw read_error{"cannot create or overwrite output file '" + name + "'"};
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
        f->flush();
        const bool written = f->good();
        f->close();
        if (!written || f->fail()) {
            const std::string name = f->name_;
            for (plot_file* g : files) g->discard();
            throw read_error{"cannot write output file '" + name + "' (the disk may be full)"};
        }
    }
    for (plot_file* f : files) {
        if (f->temp_.empty()) continue;
        if (std::rename(f->temp_.c_str(), f->name_.c_str()) != 0) {
            for (plot_file* g : files) g->discard();
            cannot_open(f->name_);
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
    if (name.empty() || name.find('\0') != std::string::npos) cannot_open(name);
    // What the name holds now decides the message; it is left alone until the commit.
    struct stat old {};
    const bool exists = ::lstat(name.c_str(), &old) == 0;
    if (exists && !S_ISLNK(old.st_mode) &&
        (S_ISDIR(old.st_mode) || ::access(name.c_str(), W_OK) != 0))
        cannot_open(name);
    std::string temp = name + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) cannot_open(name);
    ::fchmod(fd, exists && S_ISREG(old.st_mode) ? (old.st_mode & 07777) : creation_mode());
    ::close(fd);
    file.temp_ = temp;
    file.open(temp, std::ios::out | std::ios::trunc);
    if (!file.is_open()) {
        file.discard();
        cannot_open(name);
    }
    if (!exists) {
        out << (record() << " ... creating new file ...");
    } else {
        out << (record() << " ... warning! overwriting previous version ...");
    }
}

}  // namespace korva
