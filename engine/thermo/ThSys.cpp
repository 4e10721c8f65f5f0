#include "ThSys.h"

namespace ferrolyt {

std::array<std::unique_ptr<TThSys>, 4> ThSystems;

void TThSys::CopyWhole(const TThSys& source) { *this = source; }

void TThSys::Assign(const TThSys& source)
{
    Elems->Assign(*source.Elems);
    LnMetalSlag = source.LnMetalSlag;
    LnMetalNmi = source.LnMetalNmi;
    LnMetalGas = source.LnMetalGas;
    SlagPotential = source.SlagPotential;
    NmiPotential = source.NmiPotential;
    Temperature = source.Temperature;
    InitialTemperature = source.InitialTemperature;
    MetalPresent = source.MetalPresent;
    SlagPresent = source.SlagPresent;
    NmiSolved = source.NmiSolved;
    GasPresent = source.GasPresent;
    Basicity = source.Basicity;
    GasVolume = source.GasVolume;
    GasPressureSum = source.GasPressureSum;
    MetalMass = source.MetalMass;
    SlagMass = source.SlagMass;
    NmiMass = source.NmiMass;
    GasMass = source.GasMass;
    MetalMoles = source.MetalMoles;
    SlagMoles = source.SlagMoles;
    NmiMoles = source.NmiMoles;
    GasMoles = source.GasMoles;
    TotalMoles = source.TotalMoles;
    TotalMass = source.TotalMass;
    Heat = source.Heat;
    ElementGasTerms = source.ElementGasTerms;
    SpeciesPressures = source.SpeciesPressures;
    Kind = source.Kind;
}

void CreateSystems()
{
    for (int i = 0; i < 4; ++i) {
        if (!ThSystems[static_cast<std::size_t>(i)]) {
            ThSystems[static_cast<std::size_t>(i)] = std::make_unique<TThSys>();
            ThSystems[static_cast<std::size_t>(i)]->Kind = (i == 1) ? 1 : 0;
        }
    }
}

void RecreateSystems()
{
    for (auto& s : ThSystems)
        s.reset();
    CreateSystems();
}

TElems& SystemElems(int k)
{
    CreateSystems();
    return *ThSystems[static_cast<std::size_t>(k)]->Elems;
}

const TElems* ExistingSystemElems(int k)
{
    const auto& s = ThSystems[static_cast<std::size_t>(k)];
    return s ? s->Elems.get() : nullptr;
}

} // namespace ferrolyt
