#pragma once
// The materials file (*.MAT): the charge materials of a project with their
// analyses over columns of chemical formulas. Loading it builds the systems'
// element list, MaterialTable with the three pseudo-materials behind the
// real ones, the composition tables, the active gas species and the template
// task. ElementBase and GasBase must be loaded first.
//
// A file is taken whole or not at all: it is parsed into a fresh state that
// replaces the model only when every line was accepted, so a refused file
// leaves the previous materials as they were.

#include <filesystem>
#include <string>
#include <vector>

namespace ferrolyt {

inline constexpr int MaxMaterialColumns = 50; // besides the balance column
inline constexpr std::size_t MaxFormulaLength = 15;
inline constexpr std::size_t MaterialNameLength = 25;

// The main window's command "LoadMaterials" delegates to this. keepAmounts
// keeps the material grid's amounts when the results are cleared.
bool LoadMaterials(const std::string& fileName, bool keepAmounts);
// The same from lines decoded to UTF-8; `file` is the path whose name the
// project stores.
bool LoadMaterialsFromLines(const std::vector<std::string>& lines, const std::string& fileName,
                            bool keepAmounts, const std::filesystem::path& file);

// Widens a point analysis of a ferroalloy (ferromanganese, ferrosilicon,
// silicomanganese, told by the material's name) to its grade's usual
// range. Only called when Settings.WidenFerroalloys is set.
void CompleteFerroalloyComposition(const std::string& name, const std::string& columnFormula, long double& lo,
                                   long double& hi);

} // namespace ferrolyt
