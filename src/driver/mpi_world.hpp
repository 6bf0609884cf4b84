// The team of an MPI job: every process mpirun, mpiexec or srun started for this run. Built only
// with KORVA_MPI (Open MPI).
#pragma once
#include <memory>

#include "driver/mpi_team.hpp"

namespace korva {

// The job's team when an MPI launcher started this process, else none: a korva started
// without one runs serially and never initialises MPI. MPI is initialised here and finalised
// when the team goes; rank 0's team tells the others the run is over first, if it has not.
std::unique_ptr<process_team> join_mpi_world();

}  // namespace korva
