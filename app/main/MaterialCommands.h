#pragma once
// The materials grid's popup commands without widgets: allowing, forbidding,
// fixing and bounding one material for the current task, allowing all,
// and taking the grid's masses as the recommended charge. Each works on the
// task's material record and the material's MaterialTable slot together;
// the window passes the mass cells of the grid's column 2 and shows what
// comes back.

#include "Model.h"
#include "TaskList.h"

#include <optional>
#include <string>
#include <vector>

namespace ferrolyt {

// The number in a mass cell; 0 when it is not a number.
long double MassCellValue(const std::string& text);

// Position (1..NMat) of the task material named `name`, or NMat + 1.
int TaskMaterialPosition(const TTaskRecord& task, const std::string& name);

// The task material at `position`; a material the task does not list
// (position NMat + 1) is appended first with its name and slot. Null when
// the task already lists its 30 materials.
TMaterialRecord* TaskMaterialAt(TTaskRecord& task, int position, int slot);

// Captions of the per-material items for a material row.
struct TMaterialPopupTexts {
    std::string Enable;
    std::string Fix;
    bool FixEnabled = false;
};
TMaterialPopupTexts MaterialPopupTexts(const TMaterialRecord& slot, const std::string& massCell);

// Forbids an enabled slot or allows a disabled one; the disabled flag flips.
// Returns the text the mass cell takes: empty when forbidding, the proposal
// when allowing with one above 1e-10; none when the cell stays as it is.
std::optional<std::string> EnableMaterial(TMaterialRecord& taskMaterial, TMaterialRecord& slot);

// The allowing steps for every disabled material of the task; massCells[j]
// is row j's cell (slot j).
void EnableAllMaterials(TTaskRecord& task, TMaterialTable& table, std::vector<std::string>& massCells);

// Unfixes a fixed material (its fixed mass becomes the recommended one) or
// fixes it at the mass cell's value; the slot is enabled either way.
void FixMaterial(TMaterialRecord& taskMaterial, TMaterialRecord& slot, const std::string& massCell);

// The field a bound item sets: 0 recommended, 1 min t, 2 max t, 3 min %, 4 max %.
long double& MaterialBoundField(TMaterialRecord& m, int tag);
// The query's proposal: the slot's value, general format, 3 digits; empty when unset.
std::string MaterialBoundProposal(TMaterialRecord& slot, int tag);
// The query's caption: the item's caption with a blank and the name put
// before its first ','.
std::string MaterialBoundCaption(const std::string& itemCaption, const std::string& name);
// An empty answer unsets the bound, a number above 0 sets it; anything else
// changes nothing (false).
bool ApplyMaterialBound(const std::string& answer, TMaterialRecord& taskMaterial, TMaterialRecord& slot, int tag);

// The grid's masses (rows 1..MaterialCount) as the task's recommended
// charge; true when at least one material got a recommended mass.
bool CurrentMassesAsRecommended(TTaskRecord& task, TMaterialTable& table, const std::vector<std::string>& massCells);

} // namespace ferrolyt
