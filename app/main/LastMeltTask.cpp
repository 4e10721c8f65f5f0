#include "LastMeltTask.h"

#include "ThSys.h"

#include <algorithm>
#include <cmath>
#include <tuple>

namespace ferrolyt {

void FillLastMeltTask(TTaskRecord& task, const TTaskRecord& templ, const TThSys& s0, const TThSys& s1)
{
    task = templ;
    // Which system gives more metal or slag depends on the heat: each pair
    // is put in order, as a task the editor accepts must hold it.
    std::tie(task.IniMinMet, task.IniMaxMet) = std::minmax(s1.MetalMass, s0.MetalMass);
    std::tie(task.IniMinSlg, task.IniMaxSlg) = std::minmax(s1.SlagMass, s0.SlagMass);
    const long double t = (s0.Temperature + s1.Temperature) / 2 - KelvinOffset;
    task.IniTemp = std::round(10 * t) * 0.1L;
    if (!s0.Elems || !s1.Elems)
        return;
    const int count = std::min({s0.Elems->Count, s1.Elems->Count, MaxTaskElements});
    task.NEl = count;
    const int fe = s0.Elems->Key(keyFe);
    const int o = s0.Elems->Key(keyO);
    for (int i = 0; i < count; ++i) {
        const int e = i + 1;
        const TElementRecord& a = s0.El(i);
        const TElementRecord& b = s1.El(i);
        task.Symbols[e] = a.Symbol;
        if (i != fe)
            task.MetalSample[e] = 100 * (a.MetalFraction + b.MetalFraction) / 2;
        if (i != o)
            task.SlagSample[e] = 100 * (a.SlagCompoundFraction + b.SlagCompoundFraction) / 2;
    }
}

} // namespace ferrolyt
