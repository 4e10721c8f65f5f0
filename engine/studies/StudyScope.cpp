#include "StudyScope.h"

#include "RunState.h"
#include "SolvedSystems.h"
#include "ThSys.h"

namespace ferrolyt {

struct TStudyScope::TKept {
    // The lower- and upper-bound systems; the zone's two belong to the
    // reaction-zone window.
    TSolvedSystems Solved;
    TMaterialTable Materials;
    TCompositionTable Min, Max;
    long double Charge = 0, Pressure = 0;
    int32_t Pass = 0, OuterPasses = 0;
    bool Converged = false;
};

TStudyScope::TStudyScope() : kept_(std::make_unique<TKept>())
{
    CreateSystems();
    kept_->Solved.Take();
    kept_->Materials = MaterialTable;
    kept_->Min = CompositionMin;
    kept_->Max = CompositionMax;
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
    kept_->Solved.PutBack();
    MaterialTable = kept_->Materials;
    CompositionMin = kept_->Min;
    CompositionMax = kept_->Max;
    ChargeTotal = kept_->Charge;
    TotalPressure = kept_->Pressure;
    SlpPass = kept_->Pass;
    SolverPass = kept_->OuterPasses;
    BothConverged = kept_->Converged;
}

void TStudyScope::Dismiss() { kept_.reset(); }

} // namespace ferrolyt
