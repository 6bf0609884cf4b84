// Connects a plot file for writing: a new file, or an existing one overwritten from its start.
#pragma once
#include <fstream>
#include <initializer_list>
#include <ostream>
#include <string>

namespace korva {

// A plot file of the run. It is written under a unique temporary name beside its own name and
// put in place by commit(), so a run that ends early leaves neither a half-written file nor a
// file mixing two runs: an earlier file of the same name stays as it was until the new one is
// complete. A file never committed is removed when the object goes.
class plot_file : public std::ofstream {
  public:
    plot_file() = default;
    plot_file(const plot_file&) = delete;
    plot_file& operator=(const plot_file&) = delete;
    ~plot_file() override { discard(); }

    bool staged() const { return !temp_.empty(); }

    // Flushes and closes the file and moves it to its name; throws write_error when the data
    // could not all be written or the name cannot take the file. Does nothing if not staged.
    void commit();
    // Closes the file and removes it; the name keeps what it held.
    void discard() noexcept;

  private:
    friend void open(std::ostream& out, plot_file& file, const std::string& name);
    friend void commit(std::initializer_list<plot_file*> files);
    std::string name_, temp_;
};

// Puts the files in place together: only when every one of them was written whole is any of
// them moved to its name; otherwise all are removed and write_error is thrown.
void commit(std::initializer_list<plot_file*> files);

// Connects `file` to `name`, writing " ... creating new file ..." when no file of that name
// exists and " ... warning! overwriting previous version ..." when one does; either way the
// file starts empty and replaces whatever the name held only when it is committed. A file
// connected before is put in place first. Throws write_error when the name cannot be written at all
// (a directory, a file without write permission, a directory that does not exist or cannot be
// written).
void open(std::ostream& out, plot_file& file, const std::string& name);

}  // namespace korva
