#pragma once
// The formulas of a workbook's cells, computed as the saved file shows them:
// numbers, cell references (also 'Sheet'!A1), ranges inside SUM, AVERAGE,
// MIN, MAX and COUNT, the four operators and brackets.

#include <optional>
#include <set>
#include <string>
#include <utility>

namespace ferrolyt {

class TWorkbook;
class TWorksheet;

// Cells whose formulas are being computed: a sheet and its row and column.
using TFormulaCells = std::set<std::pair<const TWorksheet*, std::pair<int, int>>>;

// The value of `formula` (its leading '=' optional) in `sheet`; none when it
// does not compute or refers to a cell in `busy`, which would be circular.
// The cells it refers to are computed through the workbook.
std::optional<double> EvaluateFormula(TWorkbook& book, TWorksheet& sheet, const std::string& formula,
                                      TFormulaCells& busy);

} // namespace ferrolyt
