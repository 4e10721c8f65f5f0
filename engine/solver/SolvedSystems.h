#pragma once
// The solved state of the lower- and upper-bound systems: the systems
// themselves and the effect tables their solves wrote. Whoever solves them
// again for a while (a study, the optimiser's later runs) keeps a copy and
// puts it back, so that what reads them afterwards finds the same answer.

#include "Model.h"

#include <array>
#include <memory>

namespace ferrolyt {

class TThSys;

class TSolvedSystems {
public:
    TSolvedSystems();
    ~TSolvedSystems();
    TSolvedSystems(const TSolvedSystems&) = delete;
    TSolvedSystems& operator=(const TSolvedSystems&) = delete;

    // Copies ThSystems[0..1] and the four effect tables.
    void Take();
    // Copies them back; the systems must exist.
    void PutBack() const;

private:
    std::array<std::unique_ptr<TThSys>, 2> systems_;
    std::array<TCompositionTable, 2> onMetal_{}, onSlag_{};
    std::array<TElementEffectTable, 2> elementsOnMetal_{}, elementsOnSlag_{};
};

} // namespace ferrolyt
