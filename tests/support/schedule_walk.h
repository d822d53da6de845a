#pragma once

#include "scheduler/schedule_rules.h"

namespace vantiro::test {

// The conflict test done the plain way: every day of the candidate's range in turn, reading the
// row's dates and times only on a day whose weekday both share. The fast test must agree with it.
bool conflictByDailyWalk(const ScheduleCandidate &candidate, const ScheduleRowTimes &row);

} // namespace vantiro::test
