// Feeds any bytes, as a file, to the task file reader, then writes what it read and
// reads that again: the second reading must give the same lines.
#include "FuzzSupport.h"
#include "Materials.h"
#include "TaskList.h"

#include <cstdlib>

using namespace ferrolyt;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::ReadyOnce(fuzz::TBase::SmallDatabase, [] {
        LoadMaterialsFromLines({"@Fe C Si Mn", "Брухт | 0.2 0.3 0.5", "Чавун | 4 0.5 0.4", "@ CaO SiO2",
                                "Вапно | 90 3", "@E", "Електроенергія |"},
                               "base.MAT", false, "base.MAT");
    });
    TaskList.LoadFromFile(fuzz::AsFile(data, size, "fuzz.TSK"), static_cast<int>(size % 70) - 5);
    const auto written = TaskList.FileLines();
    TaskListEdit.LoadFromLines(written, "again.TSK", 0, "again.TSK");
    if (TaskListEdit.FileLines() != written)
        std::abort();
    return 0;
}
