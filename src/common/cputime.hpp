// The process CPU-time clock, in seconds.
#pragma once

namespace korva {
double cpu_seconds();
}
