// Feeds any bytes, as a file, to the heat-log reader: it either refuses the log whole
// or loads one whose indexes all stay inside their tables.
#include "FuzzSupport.h"
#include "HeatLog.h"
#include "Materials.h"
#include "ThSys.h"

#include <cmath>
#include <cstdlib>

using namespace ferrolyt;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::ReadyOnce(fuzz::TBase::SmallDatabase, [] {
        LoadMaterialsFromLines({"@Fe C Si Mn", "Лом_важкий | 0.2 0.3 0.5", "Лом_ср | 0.2 0.3 0.5", "Кокс | 90 1 0",
                                "@ CaO SiO2", "Вапно | 90 3"},
                               "base.MAT", false, "base.MAT");
    });
    if (!LoadHeatFile(fuzz::AsFile(data, size, "fuzz.HEA")))
        return HeatLogCount == 0 && HeatColumnCount == 0 ? 0 : (std::abort(), 0);
    if (HeatColumnCount > MaxHeatColumns || HeatLogCount > MaxHeatLogRows ||
        HeatMeasurementCount > MaxHeatMeasurements || HeatSampleCount > MaxHeatSamples)
        std::abort();
    for (int r = 1; r <= HeatLogCount; ++r) {
        if (HeatLog[r].MeasurementNumber > HeatMeasurementCount || HeatLog[r].SampleNumber > HeatSampleCount)
            std::abort();
        for (int k = 1; k <= HeatColumnCount; ++k)
            if (!std::isfinite(HeatLogTotals[r].Values[k]))
                std::abort();
    }
    return 0;
}
