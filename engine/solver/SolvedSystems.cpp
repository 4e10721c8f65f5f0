#include "SolvedSystems.h"

#include "ThSys.h"

namespace ferrolyt {

TSolvedSystems::TSolvedSystems() = default;
TSolvedSystems::~TSolvedSystems() = default;

void TSolvedSystems::Take()
{
    for (std::size_t k = 0; k < systems_.size(); ++k) {
        if (!systems_[k])
            systems_[k] = std::make_unique<TThSys>();
        systems_[k]->CopyWhole(*ThSystems[k]);
    }
    onMetal_ = MaterialEffectsOnMetal;
    onSlag_ = MaterialEffectsOnSlag;
    elementsOnMetal_ = ElementEffectsOnMetal;
    elementsOnSlag_ = ElementEffectsOnSlag;
}

void TSolvedSystems::PutBack() const
{
    for (std::size_t k = 0; k < systems_.size(); ++k)
        if (ThSystems[k] && systems_[k])
            ThSystems[k]->CopyWhole(*systems_[k]);
    MaterialEffectsOnMetal = onMetal_;
    MaterialEffectsOnSlag = onSlag_;
    ElementEffectsOnMetal = elementsOnMetal_;
    ElementEffectsOnSlag = elementsOnSlag_;
}

} // namespace ferrolyt
