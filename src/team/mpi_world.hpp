// The team of an MPI job: every process mpirun, mpiexec or srun started for this run. Built only
// with KORVA_MPI (Open MPI).
#pragma once
#include <memory>

#include "team/process_team.hpp"

namespace korva {

// The job's team when an MPI launcher started this process, else none: a korva started
// without one runs serially and never initialises MPI. MPI is initialised here and finalised
// when the team goes; a rank 0 that has not shared the set-up tells the others the run ended before
// the loop.
std::unique_ptr<process_team> join_mpi_world();

}  // namespace korva
