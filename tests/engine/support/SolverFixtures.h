#pragma once
// Charges for the solver tests: materials with their analyses put straight
// into the materials and composition tables, on top of the small systems.

#include "SmallSystems.h"
#include "TaskList.h"

#include <filesystem>
#include <initializer_list>
#include <string>
#include <utility>

namespace ferrolyt::test {

// Appends a material with the same analysis at both ends (mass fractions by
// symbol) and returns its slot. The pseudo-materials follow the last one.
inline int AddMaterial(const std::string& name, uint8_t type, long double amount,
                       std::initializer_list<std::pair<const char*, float>> analysis)
{
    const int j = ++MaterialCount;
    TMaterialRecord& m = MaterialTable[j];
    m = ZeroMaterialRecord();
    m.Name = name;
    m.Type = type;
    m.Amount = amount;
    m.RecoveryLo = m.RecoveryHi = 1;
    m.Temperature = 1600; // charged liquid, so that the heat balance has a melt to keep
    m.Molten = true;
    for (auto* table : {&CompositionMin, &CompositionMax}) {
        for (auto& row : *table)
            row[j] = 0;
        float perMolar = 0;
        for (const auto& [sym, fraction] : analysis) {
            const int i = ElementBase.IndexOfSymbol(sym);
            (*table)[Ix(i + 1)][j] = fraction;
            perMolar += fraction / static_cast<float>(ElementBase.Items[Ix(i)].MolarMass);
        }
        (*table)[0][j] = perMolar;
    }
    const char* const names[3] = {"Метал", "Шлак", "Газ"};
    for (int p = 0; p < 3; ++p) {
        TMaterialRecord& pseudo = MaterialTable[MaterialCount + 1 + p];
        pseudo = ZeroMaterialRecord();
        pseudo.Name = names[p];
        pseudo.Type = static_cast<uint8_t>(mtMetal + p);
    }
    return j;
}

// Every element's initial phases empty, and the heat terms of the charge
// computed at the system's temperature, as the set-up leaves them.
inline void PrepareCharge(TThSys& sys)
{
    // No current task: its template (every value unset) serves the solve.
    TaskList.Count = 0;
    TaskList.Current = -1;
    TaskList.Items[0] = TTaskRecord{};
    for (int i = 0; i <= SystemElemLast; ++i) {
        TElementRecord& e = sys.El(i);
        e.InputMetalMass = e.InputSlagMass = DivisorFloor;
        e.InputNmiMass = 0;
    }
    sys.CalcStandardGibbs();
    sys.InitAmounts();
    sys.CalcMaterialHeats(sys.Kind == 1 ? CompositionMax : CompositionMin, false);
}

inline bool Solve(TThSys& sys, bool display = false, bool quick = false)
{
    const std::size_t k = sys.Kind == 1 ? 1 : 0;
    return sys.SolveEquilibrium(MaterialEffectsOnMetal[k], MaterialEffectsOnSlag[k],
                                k == 1 ? CompositionMax : CompositionMin, ElementEffectsOnMetal[k],
                                ElementEffectsOnSlag[k], display, quick, false, false);
}

// Fe-C-O charged with pig iron and, optionally, an iron-oxide slag.
inline TThSys& ChargeFeCO(long double pig = 1.0L, float carbon = 0.04f, long double oxideSlag = 0)
{
    TThSys& sys = BuildFeCO();
    AddMaterial("Чавун", mtMetal, pig, {{"Fe", 1.0f - carbon - 0.0005f}, {"C", carbon}, {"O", 0.0005f}});
    AddMaterial("Окалина", mtSlag, oxideSlag, {{"Fe", 0.7773f}, {"O", 0.2227f}});
    PrepareCharge(sys);
    return sys;
}

// Fe-O-Si-Mn-Ca charged with a steel scrap and a lime-silica slag.
inline TThSys& ChargeFeOSiMnCa(long double scrap = 1.0L, long double slag = 0.1L)
{
    TThSys& sys = BuildFeOSiMnCa();
    AddMaterial("Брухт", mtMetal, scrap, {{"Fe", 0.988f}, {"Si", 0.004f}, {"Mn", 0.007f}, {"O", 0.001f}});
    AddMaterial("Шлак", mtSlag, slag,
                {{"Ca", 0.30f}, {"Si", 0.12f}, {"Fe", 0.12f}, {"Mn", 0.05f}, {"O", 0.41f}});
    PrepareCharge(sys);
    return sys;
}

// Runs the test body in an empty temporary folder (the inclusion tables are
// written into the current folder) and returns to the previous one.
class TTempFolder {
public:
    TTempFolder()
    {
        previous_ = std::filesystem::current_path();
        path_ = std::filesystem::temp_directory_path() /
            ("ferrolyt-test-" + std::to_string(reinterpret_cast<std::uintptr_t>(this)) + "-" +
             std::to_string(counter_++));
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
        std::filesystem::current_path(path_);
    }
    ~TTempFolder()
    {
        std::error_code ec;
        std::filesystem::current_path(previous_, ec);
        std::filesystem::remove_all(path_, ec);
    }
    TTempFolder(const TTempFolder&) = delete;
    TTempFolder& operator=(const TTempFolder&) = delete;
    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path previous_, path_;
    static inline int counter_ = 0;
};

} // namespace ferrolyt::test
