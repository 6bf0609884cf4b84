// The processes one run is spread over, as the energy loop sees them: byte messages between
// rank 0, which reads the input, prints and writes every file, and the other ranks, which
// compute points for it. A serial run has no team; driver/mpi_world gives the one of an MPI
// job. Every wait sleeps between polls, so a waiting rank leaves its core to the others.
#pragma once
#include <optional>
#include <string>

namespace korva {

class process_team {
  public:
    virtual ~process_team() = default;

    virtual int rank() const = 0;
    virtual int size() const = 0;

    // Collective, once per run. Rank 0 passes the set-up every rank starts from; the others
    // wait for it and get it back. An empty set-up tells them the run ended before the loop.
    virtual std::string share_setup(const std::string& setup) = 0;

    // Not rank 0: a message to rank 0; it arrives after the rank's earlier messages.
    virtual void send(const std::string& message) = 0;
    // Rank 0: the next message that has arrived from any rank, if there is one now.
    virtual std::optional<std::string> receive() = 0;

    // Rank 0: tells every other rank the run is over; before share_setup, that the run ended
    // before the loop. Calls after the first do nothing.
    virtual void end() = 0;
    // Not rank 0: whether rank 0 has said the run is over; with `wait`, waits until it has.
    virtual bool ended(bool wait) = 0;

    // Ends every process of the team at once with status 1: for a rank that can no longer
    // keep its part (an exception outside any point), which would otherwise leave rank 0
    // waiting.
    [[noreturn]] virtual void abort() = 0;
};

}  // namespace korva
