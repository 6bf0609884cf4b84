// Child processes of korva-xanes: one program run in a folder, its standard output and error
// read line by line through pipes (and kept in files), many at once, waited for by poll().
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace korva::xanes {

// One program run: what korva-xanes starts, and what its script writes for the same run.
struct command {
    std::vector<std::string> argv;  // argv[0] the program's path
    std::string dir;                // the working folder
    std::string in;                 // a file for standard input (relative to dir); empty: none
    std::string out, err;           // files for standard output and error (relative to dir)
    int threads = 0;                // OMP_NUM_THREADS for the child; 0: left as it is
};

// How a child ended: its exit status, or the signal that ended it.
struct ending {
    int status = 0;
    int signal = 0;
    std::string last_error;  // the last line it wrote on standard error, if any

    bool ok() const { return status == 0 && signal == 0; }
};

// A running child. Lines of its standard output reach `on_line` as they come.
class process {
  public:
    using line_handler = std::function<void(const std::string&)>;

    // Starts the command; throws std::runtime_error when the pipes, the files or the process
    // cannot be made (a program that cannot be executed ends with status 127 and says why).
    process(const command& c, line_handler on_line);
    ~process();
    process(const process&) = delete;
    process& operator=(const process&) = delete;

    int pid() const { return pid_; }
    bool finished() const { return out_fd_ < 0 && err_fd_ < 0; }
    std::vector<int> open_fds() const;

    // Reads what `fd` has (one of open_fds(), readable); closes it at its end.
    void take(int fd);
    // Waits for the child once both pipes are closed.
    ending wait();
    // Ends the child (SIGTERM) and waits for it: a stage elsewhere failed.
    void stop();

  private:
    int pid_ = -1;
    int out_fd_ = -1, err_fd_ = -1;
    int out_file_ = -1, err_file_ = -1;
    std::string out_buf_, err_text_;
    line_handler on_line_;
};

// Waits until one of the processes has something to read (or `ms` milliseconds pass) and hands
// it over.
void pump(const std::vector<process*>& running, int ms);

}  // namespace korva::xanes
