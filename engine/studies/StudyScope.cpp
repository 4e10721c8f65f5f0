#include "StudyScope.h"

#include "RunState.h"
#include "ThSys.h"

namespace ferrolyt {

struct TStudyScope::TKept {
    // The lower- and upper-bound systems; the zone's two belong to the
    // reaction-zone window.
    std::array<std::unique_ptr<TThSys>, 2> Systems;
    TMaterialTable Materials;
    TCompositionTable Min, Max;
    std::array<TCompositionTable, 2> OnMetal, OnSlag;
    std::array<TElementEffectTable, 2> ElementOnMetal, ElementOnSlag;
    long double Charge = 0, Pressure = 0;
    int32_t Pass = 0, OuterPasses = 0;
    bool Converged = false;
};

TStudyScope::TStudyScope() : kept_(std::make_unique<TKept>())
{
    CreateSystems();
    for (std::size_t k = 0; k < kept_->Systems.size(); ++k) {
        kept_->Systems[k] = std::make_unique<TThSys>();
        kept_->Systems[k]->CopyWhole(*ThSystems[k]);
    }
    kept_->Materials = MaterialTable;
    kept_->Min = CompositionMin;
    kept_->Max = CompositionMax;
    kept_->OnMetal = MaterialEffectsOnMetal;
    kept_->OnSlag = MaterialEffectsOnSlag;
    kept_->ElementOnMetal = ElementEffectsOnMetal;
    kept_->ElementOnSlag = ElementEffectsOnSlag;
    kept_->Charge = ChargeTotal;
    kept_->Pressure = TotalPressure;
    kept_->Pass = SlpPass;
    kept_->OuterPasses = SolverPass;
    kept_->Converged = BothConverged;
}

TStudyScope::~TStudyScope()
{
    if (!kept_)
        return;
    for (std::size_t k = 0; k < kept_->Systems.size(); ++k)
        if (ThSystems[k])
            ThSystems[k]->CopyWhole(*kept_->Systems[k]);
    MaterialTable = kept_->Materials;
    CompositionMin = kept_->Min;
    CompositionMax = kept_->Max;
    MaterialEffectsOnMetal = kept_->OnMetal;
    MaterialEffectsOnSlag = kept_->OnSlag;
    ElementEffectsOnMetal = kept_->ElementOnMetal;
    ElementEffectsOnSlag = kept_->ElementOnSlag;
    ChargeTotal = kept_->Charge;
    TotalPressure = kept_->Pressure;
    SlpPass = kept_->Pass;
    SolverPass = kept_->OuterPasses;
    BothConverged = kept_->Converged;
}

void TStudyScope::Dismiss() { kept_.reset(); }

} // namespace ferrolyt
