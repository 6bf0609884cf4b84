#include "process.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

extern char** environ;

namespace korva::xanes {

namespace {

[[noreturn]] void fail(const std::string& what) {
    throw std::runtime_error(what + ": " + std::strerror(errno));
}

int open_in(const std::string& dir, const std::string& name, int flags) {
    const std::string path = name.empty()          ? "/dev/null"
                             : name.front() == '/' ? name
                                                   : dir + "/" + name;
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC, 0644);
    if (fd < 0) fail("cannot open " + path);
    return fd;
}

void write_all(int fd, const char* p, std::size_t n) {
    while (n > 0) {
        const ssize_t w = ::write(fd, p, n);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return;  // a full disk shows in the files; the run goes on
        p += w;
        n -= static_cast<std::size_t>(w);
    }
}

// What the child needs after fork, made before it: between fork and exec only
// async-signal-safe calls.
struct launch {
    std::vector<std::string> env_text;
    std::vector<char*> argv, envp;
    std::string cannot_enter, cannot_execute;
};

launch prepare(const command& c) {
    launch l;
    for (char** e = environ; *e; ++e)
        if (c.threads <= 0 || std::strncmp(*e, "OMP_NUM_THREADS=", 16) != 0)
            l.env_text.push_back(*e);
    if (c.threads > 0) l.env_text.push_back("OMP_NUM_THREADS=" + std::to_string(c.threads));
    for (std::string& e : l.env_text) l.envp.push_back(e.data());
    l.envp.push_back(nullptr);
    for (const std::string& a : c.argv) l.argv.push_back(const_cast<char*>(a.c_str()));
    l.argv.push_back(nullptr);
    l.cannot_enter = "korva-xanes: cannot enter the folder " + c.dir + "\n";
    l.cannot_execute = "korva-xanes: cannot execute " + c.argv[0] + "\n";
    return l;
}

[[noreturn]] void become(const command& c, int in_fd, int out_w, int err_w, const launch& l) {
    if (::chdir(c.dir.c_str()) != 0) {
        write_all(err_w, l.cannot_enter.data(), l.cannot_enter.size());
        _exit(127);
    }
    ::dup2(in_fd, 0);
    ::dup2(out_w, 1);
    ::dup2(err_w, 2);
    ::execve(l.argv[0], l.argv.data(), l.envp.data());
    write_all(2, l.cannot_execute.data(), l.cannot_execute.size());
    _exit(127);
}

}  // namespace

process::process(const command& c, line_handler on_line) : on_line_(std::move(on_line)) {
    const int in_fd = open_in(c.dir, c.in, O_RDONLY);
    out_file_ = open_in(c.dir, c.out, O_WRONLY | O_CREAT | O_TRUNC);
    err_file_ = open_in(c.dir, c.err, O_WRONLY | O_CREAT | O_TRUNC);
    int out_pipe[2], err_pipe[2];
    if (::pipe2(out_pipe, O_CLOEXEC) != 0 || ::pipe2(err_pipe, O_CLOEXEC) != 0)
        fail("cannot make a pipe");
    const launch l = prepare(c);
    pid_ = ::fork();
    if (pid_ < 0) fail("cannot start " + c.argv[0]);
    if (pid_ == 0) become(c, in_fd, out_pipe[1], err_pipe[1], l);
    ::close(in_fd);
    ::close(out_pipe[1]);
    ::close(err_pipe[1]);
    out_fd_ = out_pipe[0];
    err_fd_ = err_pipe[0];
}

process::~process() {
    for (int fd : {out_fd_, err_fd_, out_file_, err_file_})
        if (fd >= 0) ::close(fd);
    if (pid_ > 0) stop();
}

std::vector<int> process::open_fds() const {
    std::vector<int> v;
    for (int fd : {out_fd_, err_fd_})
        if (fd >= 0) v.push_back(fd);
    return v;
}

void process::take(int fd) {
    char buf[8192];
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) return;
    const bool out = fd == out_fd_;
    if (n <= 0) {
        ::close(fd);
        (out ? out_fd_ : err_fd_) = -1;
        if (out && !out_buf_.empty()) on_line_(out_buf_), out_buf_.clear();
        return;
    }
    write_all(out ? out_file_ : err_file_, buf, static_cast<std::size_t>(n));
    if (!out) {
        err_text_.append(buf, static_cast<std::size_t>(n));
        return;
    }
    out_buf_.append(buf, static_cast<std::size_t>(n));
    for (auto nl = out_buf_.find('\n'); nl != std::string::npos; nl = out_buf_.find('\n')) {
        on_line_(out_buf_.substr(0, nl));
        out_buf_.erase(0, nl + 1);
    }
}

ending process::wait() {
    int raw = 0;
    while (::waitpid(pid_, &raw, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
    ending e;
    if (WIFEXITED(raw)) e.status = WEXITSTATUS(raw);
    if (WIFSIGNALED(raw)) e.signal = WTERMSIG(raw);
    std::string t = err_text_;
    while (!t.empty() && (t.back() == '\n' || t.back() == '\r' || t.back() == ' ')) t.pop_back();
    e.last_error = t.substr(t.rfind('\n') == std::string::npos ? 0 : t.rfind('\n') + 1);
    return e;
}

void process::stop() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    int raw = 0;
    while (::waitpid(pid_, &raw, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
}

void pump(const std::vector<process*>& running, int ms) {
    std::vector<pollfd> fds;
    std::vector<process*> owner;
    for (process* p : running)
        for (int fd : p->open_fds()) {
            fds.push_back({fd, POLLIN, 0});
            owner.push_back(p);
        }
    if (fds.empty()) return;
    if (::poll(fds.data(), fds.size(), ms) <= 0) return;
    for (std::size_t i = 0; i < fds.size(); ++i)
        if (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) owner[i]->take(fds[i].fd);
}

}  // namespace korva::xanes
