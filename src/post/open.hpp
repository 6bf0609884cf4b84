// Connects a plot file for writing: a new file, or an existing one overwritten from its start;
// or, for an in-process caller, a text kept in memory.
#pragma once
#include <fstream>
#include <initializer_list>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

namespace korva {

// One plot file of a run that keeps its plots in memory: its name and its whole text.
struct plot_text {
    std::string name;
    std::string text;
};

// Where a run finds the files its deck names and puts its plot files.
struct run_place {
    // The folder the deck's file names are relative to and the plot files go in; empty: the
    // working directory. A caller in the same process gives it instead of changing directory.
    std::string folder;
    // When set, no plot file is made: each plot's text is appended here when the run commits
    // it (an in-process caller that wants the plots as data).
    std::vector<plot_text>* memory = nullptr;

    // `name` within the folder: unchanged when the folder is empty, the name is empty or
    // absolute.
    std::string path(const std::string& name) const;
};

// A plot file of the run. It is written under a unique temporary name beside its own name and
// put in place by commit(), so a run that ends early leaves neither a half-written file nor a
// file mixing two runs: an earlier file of the same name stays as it was until the new one is
// complete. A file never committed is removed when the object goes. A plot kept in memory is
// handed over at the commit the same way, or not at all.
class plot_file : public std::ostream {
  public:
    plot_file() : std::ostream(nullptr) {}
    plot_file(const plot_file&) = delete;
    plot_file& operator=(const plot_file&) = delete;
    ~plot_file() override { discard(); }

    bool staged() const { return !temp_.empty() || memory_ != nullptr; }

    // Flushes and closes the file and moves it to its name; throws write_error when the data
    // could not all be written or the name cannot take the file. Does nothing if not staged.
    void commit();
    // Closes the file and removes it; the name keeps what it held.
    void discard() noexcept;

  private:
    friend void open(std::ostream& out, plot_file& file, const std::string& name,
                     const run_place& place);
    friend void commit(std::initializer_list<plot_file*> files);
    std::filebuf file_;
    std::stringbuf text_;                       // a plot kept in memory
    std::vector<plot_text>* memory_ = nullptr;  // where it goes at the commit
    std::string name_, temp_;
};

// Puts the files in place together: only when every one of them was written whole is any of
// them moved to its name; otherwise all are removed and write_error is thrown.
void commit(std::initializer_list<plot_file*> files);

// Connects `file` to `name` (in `place`'s folder), writing " ... creating new file ..." when
// no file of that name exists and " ... warning! overwriting previous version ..." when one
// does; either way the file starts empty and replaces whatever the name held only when it is
// committed. A file connected before is put in place first. Throws write_error when the name
// cannot be written at all (a directory, a file without write permission, a directory that
// does not exist or cannot be written). A plot kept in memory is new: it gets the first line.
void open(std::ostream& out, plot_file& file, const std::string& name, const run_place& place = {});

}  // namespace korva
