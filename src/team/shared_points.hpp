// The points of a run handed out over a process team on demand. Member 0 keeps the count of
// points handed out; every member, member 0's own computing thread among them, asks for its
// next point when it is ready for one, so the members finish together however their points
// differ in cost. Which member computes a point never changes its bits: a point's result
// depends on its own inputs only.
#pragma once
#include <functional>

#include "team/point_team.hpp"
#include "team/process_team.hpp"

namespace korva {

// Computes the points a team hands out until there are none left for it.
using point_work = std::function<void(point_team&)>;

// Member 0, once the set-up has been shared: computes its own share with `own` on a thread of
// its own, hands points 1..total to the other members as they ask, and delivers every signal
// to `deliver` in point order on the calling thread. When a delivery throws (the run ends
// there), the others get no more points, every point handed out is heard back, and the
// exception goes on.
void lead_points(process_team& team, int total, const point_work& own, const signal_sink& deliver);

// Every other member, once it is ready: computes the points member 0 hands it with `work` until
// member 0 says there are no more.
void follow_points(process_team& team, const point_work& work);

}  // namespace korva
