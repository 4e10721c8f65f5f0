// One phase held fixed and the other found in equilibrium with it, with the
// slag potential as the only unknown: the metal under a given slag and the
// slag over a given metal. Gas and inclusions take no part.

#include "ExtendedMath.h"
#include "Host.h"
#include "ThSys.h"
#include "Utils.h"

#include <cmath>

namespace ferrolyt {

namespace {

constexpr const char* NotConvergedText = "Збіжність не досягнута!";
constexpr const char* NoMetalText = "Метал у рівновазі з вихідним шлаком не існує";
constexpr const char* NoSlagText = "Шлак у рівновазі з вихідним металом не існує";

// Element masses and mass fractions of metal and slag from per-element
// quantities of each phase (amounts or mole fractions).
template <typename MetalQ, typename SlagQ>
void WriteMetalSlagMasses(TThSys& sys, MetalQ metalQ, SlagQ slagQ)
{
    sys.MetalMass = AmountFloor;
    sys.SlagMass = AmountFloor;
    for (int i = 0; i <= SystemElemLast; ++i) {
        TElementRecord& e = sys.El(i);
        e.MetalMass = e.MolarMass * metalQ(e);
        e.SlagMass = e.MolarMass * slagQ(e);
        sys.MetalMass += e.MetalMass;
        sys.SlagMass += e.SlagMass;
    }
    for (int i = 0; i <= SystemElemLast; ++i) {
        TElementRecord& e = sys.El(i);
        e.MetalFraction = e.MetalMass / sys.MetalMass;
        e.SlagFraction = e.SlagMass / sys.SlagMass;
    }
}

// The set-up puts a floor under every element's initial phase masses: a
// phase the task does not give holds nothing above the floors.
bool GivenPhase(TThSys& sys, long double TElementRecord::*mass)
{
    for (int i = 0; i <= SystemElemLast; ++i)
        if (sys.El(i).*mass > DivisorFloor)
            return true;
    return false;
}

} // namespace

void TThSys::ShowInGrid()
{
    if (beside_)
        beside_->GridAsked = true;
    else
        CurrentHost().ShowInGrid(*this);
}

bool TThSys::EquilibrateMetalWithSlag(bool fromInitial, bool showResult, bool* refused)
{
    if (refused)
        *refused = false;
    const int last = SystemElemLast;
    bool converged = false;
    const long double keptT = Temperature;
    if (fromInitial) {
        // A task without an initial slag gives no composition to start
        // from: only the floors, whose fractions are all alike.
        if (!GivenPhase(*this, &TElementRecord::InputSlagMass)) {
            if (showResult && Kind == 0)
                CurrentHost().ShowWarning(NoMetalText);
            if (refused)
                *refused = true;
            return false;
        }
        Temperature = InitialTemperature;
        SlagPotential = 2.0L;
        SlagMoles = 0;
        for (int i = 0; i <= last; ++i) {
            El(i).SlagAmount = El(i).InputSlagMass / El(i).MolarMass;
            SlagMoles += El(i).SlagAmount;
        }
        for (int i = 0; i <= last; ++i)
            El(i).SlagMoleFraction = El(i).SlagAmount / SlagMoles;
    }
    CalcStandardGibbs();
    CalcSlagActivity();

    // Metal mole fractions that the slag would hold at the present potential.
    long double sumX = 0;
    auto SlagAmountsAtPotential = [&](bool useDilute) {
        sumX = 0;
        for (int i = 0; i <= last; ++i) {
            TElementRecord& e = El(i);
            if (useDilute)
                e.LnGammaMetal = e.LnGammaInf;
            long double t = e.Valence * SlagPotential - e.SlagStdTerm - e.LnGammaMetal + e.LnGammaSlag;
            ClampAbs(t, 300.0L);
            e.MetalMoleFraction = e.SlagMoleFraction * ExpL(t);
            sumX += e.MetalMoleFraction;
        }
    };

    // The potential of an electroneutral metal at infinite dilution: there
    // the sum of the mole fractions is smallest.
    for (int it = 0; it < 101; ++it) {
        SlagAmountsAtPotential(true);
        long double f = 0, df = 0;
        for (int i = 0; i <= last; ++i) {
            const TElementRecord& e = El(i);
            f += e.Valence * e.MetalMoleFraction;
            df += e.Valence * e.Valence * e.MetalMoleFraction;
        }
        const long double step = f / df;
        SlagPotential -= step;
        if (std::fabs(step) < 1e-15L)
            break;
    }

    if (sumX <= 1.0L) {
        for (int k = 0; k < 1001 && sumX <= 1.0L; ++k) {
            SlagPotential += 0.1L;
            SlagAmountsAtPotential(true);
        }
        int it = 0;
        for (; it < 201; ++it) {
            for (int i = 0; i <= last; ++i)
                El(i).MetalMoleFraction /= sumX;
            CalcMetalActivity();
            SlagAmountsAtPotential(false);
            long double zx = 0;
            for (int i = 0; i <= last; ++i)
                zx += El(i).Valence * El(i).MetalMoleFraction;
            long double delta = (1.0L - sumX) / zx;
            ClampAbs(delta, 0.5L);
            SlagPotential += delta;
            if (std::fabs(delta) < 1e-15L)
                break;
        }
        for (int i = 0; i <= last; ++i)
            El(i).MetalAmount = MetalMoles * El(i).MetalMoleFraction;
        converged = it < 200;
        if (showResult) {
            if (!converged && Kind == 0)
                CurrentHost().ShowWarning(NotConvergedText);
            WriteMetalSlagMasses(
                *this, [](const TElementRecord& e) { return e.MetalMoleFraction; },
                [](const TElementRecord& e) { return e.SlagMoleFraction; });
            if (fromInitial)
                Temperature = keptT;
            ShowInGrid();
        }
    } else {
        // The slag cannot hold a metal that dilute.
        if (!fromInitial) {
            SlagPotential = 0;
            for (int i = 0; i <= last; ++i)
                El(i).MetalMoleFraction /= sumX;
            CalcMetalActivity();
        } else {
            if (showResult && Kind == 0)
                CurrentHost().ShowWarning(NoMetalText);
            if (refused)
                *refused = true;
        }
    }
    return converged;
}

bool TThSys::EquilibrateSlagWithMetal(bool fromInitial, bool showResult, bool* refused)
{
    if (refused)
        *refused = false;
    const int last = SystemElemLast;
    const long double keptT = Temperature;
    if (fromInitial) {
        // Without an initial metal there is nothing to equilibrate with:
        // the floors alone would give every element the same fraction.
        if (!GivenPhase(*this, &TElementRecord::InputMetalMass)) {
            if (showResult && Kind == 0)
                CurrentHost().ShowWarning(NoSlagText);
            if (refused)
                *refused = true;
            return false;
        }
        Temperature = InitialTemperature;
        MetalMoles = 0;
        for (int i = 0; i <= last; ++i) {
            El(i).MetalAmount = El(i).InputMetalMass / El(i).MolarMass;
            MetalMoles += El(i).MetalAmount;
        }
        for (int i = 0; i <= last; ++i)
            El(i).MetalMoleFraction = El(i).MetalAmount / MetalMoles;
    }
    const long double keptSlagMoles = SlagMoles;
    CalcStandardGibbs();
    CalcMetalActivity();

    auto SlagAmount = [&](const TElementRecord& e) {
        long double t = e.KMS - e.Valence * SlagPotential;
        ClampAbs(t, 300.0L);
        return e.MetalAmount * ExpL(t);
    };

    SlagPotential = 2.0L;
    SlagMoles = 0;
    for (int i = 0; i <= last; ++i) {
        TElementRecord& e = El(i);
        e.KMS = e.LnGammaMetal + e.SlagStdTerm;
        e.SlagAmount = SlagAmount(e);
        SlagMoles += e.SlagAmount;
    }

    std::array<long double, MaxElements> previous{};
    int it = 0;
    for (; it < 1001; ++it) {
        for (int i = 0; i <= last; ++i)
            El(i).SlagMoleFraction = El(i).SlagAmount / SlagMoles;
        CalcSlagActivity();
        long double a = 0, b = 0, total = 0;
        for (int i = 0; i <= last; ++i) {
            TElementRecord& e = El(i);
            // Averaging with the previous iterate damps the feedback of the
            // activity coefficients on the composition.
            if (it > 0)
                e.LnGammaSlag = (e.LnGammaSlag + previous[static_cast<std::size_t>(i)]) / 2.0L;
            previous[static_cast<std::size_t>(i)] = e.LnGammaSlag;
            e.KMS = e.LnGammaMetal + e.SlagStdTerm - e.LnGammaSlag;
            e.SlagAmount = SlagAmount(e);
            a += e.Valence * e.SlagAmount;
            b += e.Valence * e.Valence * e.SlagAmount;
            total += e.SlagAmount;
        }
        SlagMoles = total;
        long double delta = a / b;
        ClampAbs(delta, 1.0L);
        SlagPotential += delta;
        if (std::fabs(delta) < 1e-16L)
            break;
    }
    const bool converged = it < 1000;

    // The slag keeps its total amount and takes the equilibrium composition.
    for (int i = 0; i <= last; ++i) {
        TElementRecord& e = El(i);
        e.SlagMoleFraction = e.SlagAmount / SlagMoles;
        e.SlagAmount = keptSlagMoles * e.SlagMoleFraction;
    }
    SlagMoles = keptSlagMoles;

    if (Kind == 0 && showResult && !converged)
        CurrentHost().ShowWarning(NotConvergedText);
    WriteMetalSlagMasses(
        *this, [](const TElementRecord& e) { return e.MetalAmount; },
        [](const TElementRecord& e) { return e.SlagAmount; });
    if (fromInitial)
        Temperature = keptT;
    ShowInGrid();
    return converged;
}

} // namespace ferrolyt
