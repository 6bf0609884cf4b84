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

std::string run_place::path(const std::string& name) const {
    if (folder.empty() || name.empty() || name.front() == '/') return name;
    return folder.back() == '/' ? folder + name : folder + '/' + name;
}

void commit(std::initializer_list<plot_file*> files) {
    for (plot_file* f : files) {
        if (!f->staged()) continue;
        errno = 0;
        f->flush();
        const bool written = f->good();
        if (f->file_.is_open() && f->file_.close() == nullptr) f->setstate(std::ios::failbit);
        if (!written || f->fail()) {
            const int err = errno;
            const std::string name = f->name_;
            for (plot_file* g : files) g->discard();
            throw write_error{
                name, "writing failed (" + system_reason(err, "the disk may be full") + ")"};
        }
    }
    for (plot_file* f : files) {
        if (f->memory_) {
            f->memory_->push_back({f->name_, f->text_.str()});
            f->discard();
            continue;
        }
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
    if (file_.is_open()) file_.close();
    if (!temp_.empty()) ::unlink(temp_.c_str());
    temp_.clear();
    memory_ = nullptr;
    text_.str({});
}

void open(std::ostream& out, plot_file& file, const std::string& name, const run_place& place) {
    file.commit();
    file.clear();
    if (place.memory) {
        file.name_ = name;
        file.memory_ = place.memory;
        file.rdbuf(&file.text_);
        out << (record() << " ... creating new file ...");
        return;
    }
    const std::string path = place.path(name);
    file.name_ = path;
    if (path.empty() || path.find('\0') != std::string::npos) cannot_open(path, 0);
    // What the name holds now decides the message; it is left alone until the commit.
    struct stat old {};
    const bool exists = ::lstat(path.c_str(), &old) == 0;
    if (exists && !S_ISLNK(old.st_mode) && S_ISDIR(old.st_mode)) cannot_open(path, EISDIR);
    if (exists && !S_ISLNK(old.st_mode) && ::access(path.c_str(), W_OK) != 0)
        cannot_open(path, errno);
    std::string temp = path + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) cannot_open(path, errno);
    ::fchmod(fd, exists && S_ISREG(old.st_mode) ? (old.st_mode & 07777) : creation_mode());
    ::close(fd);
    file.temp_ = temp;
    file.file_.open(temp, std::ios::out | std::ios::trunc);
    file.rdbuf(&file.file_);
    if (!file.file_.is_open()) {
        const int err = errno;
        file.discard();
        cannot_open(path, err);
    }
    if (!exists) {
        out << (record() << " ... creating new file ...");
    } else {
        out << (record() << " ... warning! overwriting previous version ...");
    }
}

}  // namespace korva
