#pragma once
// What a study borrows from the last melt. The studies solve the two systems
// again with other charges, temperatures and materials; the main window's
// display, the task editor's "result of the last melt" and the optimiser all
// read the same systems, amounts and tables afterwards. A scope keeps them
// and puts them back when it ends, however the study ends.

#include "Model.h"

#include <array>
#include <memory>

namespace ferrolyt {

class TThSys;

class TStudyScope {
public:
    TStudyScope();
    ~TStudyScope();
    TStudyScope(const TStudyScope&) = delete;
    TStudyScope& operator=(const TStudyScope&) = delete;

    // The run's own state stands: nothing is put back when the scope ends.
    void Dismiss();

private:
    struct TKept;
    std::unique_ptr<TKept> kept_;
};

} // namespace ferrolyt
