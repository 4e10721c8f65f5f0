#include "ReactionZone.h"

#include "RunState.h"
#include "TaskList.h"
#include "ThSys.h"

#include <algorithm>
#include <array>

namespace ferrolyt {

namespace {

// The zone's oxygen and the returned phases are masses in tonnes, whatever
// unit the materials grid uses; the solves read every amount that way.
class TTonnesOnly {
public:
    TTonnesOnly() : saved_(MatsInKmoles) { MatsInKmoles = false; }
    TTonnesOnly(const TTonnesOnly&) = delete;
    TTonnesOnly& operator=(const TTonnesOnly&) = delete;
    ~TTonnesOnly() { MatsInKmoles = saved_; }

private:
    bool saved_;
};

// The task's electric energy and heat losses went into the melted heat
// once; the zone and the rest are parts of that heat and get neither again.
class TTaskEnergyHeld {
public:
    TTaskEnergyHeld() : task_(TaskList.CurrentTask()), energy_(task_.Energy), losses_(task_.Losses)
    {
        task_.Energy = UnsetValue;
        task_.Losses = UnsetValue;
    }
    TTaskEnergyHeld(const TTaskEnergyHeld&) = delete;
    TTaskEnergyHeld& operator=(const TTaskEnergyHeld&) = delete;
    ~TTaskEnergyHeld()
    {
        task_.Energy = energy_;
        task_.Losses = losses_;
    }

private:
    TTaskRecord& task_;
    long double energy_, losses_;
};

TThSys& Heat() { return *ThSystems[0]; }
TThSys& FinalSystem() { return *ThSystems[2]; }
TThSys& Zone() { return *ThSystems[3]; }

} // namespace

int PrepareReactionZone(const TReactionZoneShares& shares)
{
    CreateSystems();
    const TThSys& heat = Heat();
    TThSys& zone = Zone();
    TThSys& rest = FinalSystem();
    zone.Assign(heat);
    rest.Assign(heat);

    // A negative or unreadable oxygen mass charges none.
    const long double oxygen = shares.Oxygen > 0 ? shares.Oxygen : 0;
    const int slot = MaterialIndexByName(ReactionZoneOxygenName);
    for (int j = 1; j <= MaterialCount; ++j)
        MaterialTable[j].Amount = (j == slot) ? oxygen : 0;

    const long double kMet = shares.MetalToZone;
    const long double kSlg = shares.SlagToZone;
    for (int i = 0; i <= SystemElemLast; ++i) {
        const TElementRecord& e = heat.El(i);
        TElementRecord& z = zone.El(i);
        TElementRecord& f = rest.El(i);
        z.InputMetalMass = e.MetalMass * kMet;
        z.InputSlagMass = e.SlagMass * kSlg;
        f.InputMetalMass = e.MetalMass * (1 - kMet) + e.GasMass;
        f.InputSlagMass = e.SlagMass * (1 - kSlg);
        // The heat's charged inclusions already sit in its solved metal; as
        // a separate input they would be counted once more in each system.
        z.InputNmiMass = 0;
        f.InputNmiMass = 0;
    }
    return slot;
}

bool SolveZone()
{
    const TTonnesOnly tonnes;
    const TTaskEnergyHeld energy;
    TThSys& zone = Zone();
    // The zone's own heat content: the copy carries none, and without it
    // the heat balance would cool the zone to the floor.
    zone.InitAmounts();
    zone.CalcMaterialHeats(CompositionMin, false);
    return zone.SolveEquilibrium(MaterialEffectsOnMetal[0], MaterialEffectsOnSlag[0], CompositionMin,
                                 ElementEffectsOnMetal[0], ElementEffectsOnSlag[0], false, false, false, false);
}

void ChargeZonePhases(const TReactionZoneShares& shares)
{
    const TThSys& zone = Zone();
    for (int j = 1; j <= MaterialCount; ++j)
        MaterialTable[j].Amount = 0;
    const std::array<long double, 3> mass{zone.MetalMass * shares.MetalBack, zone.SlagMass * shares.SlagBack,
                                          zone.GasMass * shares.GasBack};
    for (int p = 0; p < 3; ++p) {
        const int j = MaterialCount + 1 + p;
        for (int i = 0; i <= SystemElemLast; ++i) {
            const TElementRecord& e = zone.El(i);
            const long double fraction = p == 0 ? e.MetalFraction : (p == 1 ? e.SlagFraction : e.GasFraction);
            CompositionMin[static_cast<std::size_t>(i + 1)][j] = static_cast<float>(fraction);
        }
        TMaterialRecord& m = MaterialTable[j];
        m.Temperature = zone.Temperature - KelvinOffset;
        m.Amount = std::max(mass[static_cast<std::size_t>(p)], DivisorFloor);
    }
}

bool SolveFinalSystem()
{
    const TTonnesOnly tonnes;
    const TTaskEnergyHeld energy;
    return FinalSystem().SolveEquilibrium(MaterialEffectsOnMetal[0], MaterialEffectsOnSlag[0], CompositionMin,
                                          ElementEffectsOnMetal[0], ElementEffectsOnSlag[0], false, false, false,
                                          true);
}

TReactionZoneResult SolveReactionZone(const TReactionZoneShares& shares)
{
    TReactionZoneResult r;
    r.OxygenSlot = PrepareReactionZone(shares);
    r.ZoneConverged = SolveZone();
    ChargeZonePhases(shares);
    r.FinalConverged = SolveFinalSystem();
    return r;
}

} // namespace ferrolyt
