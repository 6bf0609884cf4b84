// The members one run is spread over, as the points' hand-out sees them: byte messages between
// member 0, which reads the input, prints and writes every file, and the others, which compute
// points for it. An MPI job (team/mpi_world) and a team of threads in one process
// (team/thread_team) are the two kinds; a serial run has none.
#pragma once
#include <optional>
#include <string>
#include <utility>

namespace korva {

class process_team {
  public:
    virtual ~process_team() = default;

    virtual int rank() const = 0;
    virtual int size() const = 0;

    // Collective, once per run. Member 0 passes the set-up every member starts from; the others
    // wait for it and get it back. An empty set-up tells them the run ended before the loop.
    virtual std::string share_setup(const std::string& setup) = 0;

    // A message to member `to`; the messages from one member to another arrive in the order
    // they were sent.
    virtual void send(int to, const std::string& message) = 0;
    // The next message that has arrived, and its sender, if there is one now.
    virtual std::optional<std::pair<int, std::string>> receive() = 0;

    // Ends every member at once with status 1: for a member that can no longer keep its part (an
    // exception outside any point), which would otherwise leave member 0 waiting.
    [[noreturn]] virtual void abort() = 0;
};

}  // namespace korva
