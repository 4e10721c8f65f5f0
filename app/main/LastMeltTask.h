#pragma once
// The task that holds the result of the last melt (TaskList item 61): the
// two systems' metal and slag as known initial masses, their mean
// temperature and their mean compositions as the metal and slag samples.
// The task editor starts a new task from it ("За результатом проплавлення").

#include "TaskList.h"

namespace ferrolyt {

class TThSys;

// task := the template, then filled from the lower-bound system s0 and the
// upper-bound system s1 as they stand; the known initial masses are the
// smaller and the larger of the two systems' masses.
void FillLastMeltTask(TTaskRecord& task, const TTaskRecord& templ, const TThSys& s0, const TThSys& s1);

} // namespace ferrolyt
