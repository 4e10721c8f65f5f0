// The look-up of a real material by name, as the task file and the task
// editor match their material lines.
#include "Model.h"
#include "Utils.h"

namespace ferrolyt {

int MaterialIndexByName(const std::string& name)
{
    const std::string key = UpperCase1251(Utf8Left(name, 25));
    for (int m = 1; m <= MaterialCount && m <= MaxMaterials; ++m)
        if (UpperCase1251(MaterialTable[m].Name) == key)
            return m;
    return -1;
}

} // namespace ferrolyt
