// A team of threads in one process, with the messages of a process team: each member runs as an
// MPI rank would, from its own copy of the set-up, so a normal build exercises the points'
// hand-out that an MPI job uses.
#pragma once
#include <functional>

#include "team/process_team.hpp"

namespace korva {

// Runs `member` once per member, members 1..size-1 on threads of their own and member 0 on the
// calling thread; returns when all have returned. What member 0 throws goes on after the
// others have ended; a member other than 0 must not throw.
void run_thread_team(int size, const std::function<void(process_team&)>& member);

}  // namespace korva
