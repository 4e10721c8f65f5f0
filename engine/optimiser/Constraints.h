#pragma once
// The optimiser's constraints. Every limit the current task sets becomes one
// named block of rows, so that a whole limit can be released and shown to the
// user by name. BuildLinearRows turns each block into rows of LpTableau
// around the current charge, from the two systems' sensitivities.

#include "OffsetArray.h"

#include <cstdint>
#include <string>
#include <vector>

namespace ferrolyt {

class TThSys;
struct TTaskRecord;

inline constexpr int MaxConstraintBlocks = 280;
inline constexpr std::size_t ConstraintNameLength = 25; // characters

// Block kinds, in the order in which blocks are listed (6 before 2).
enum TConstraintKind : uint8_t {
    ckMetalElement = 0,  // element content of metal
    ckMetalMass = 1,
    ckSlagCompound = 2,  // compound content of slag
    ckSlagMass = 3,
    ckBasicity = 4,
    ckGasMass = 5,
    ckTemperature = 6,   // final temperature
    ckMaterialMass = 7,
    ckFixedMass = 8,
    ckMaterialShare = 9
};

// Which limit of a kind's pair a block stands for.
enum TConstraintSide : uint8_t { csLower = 0, csUpper = 1 };

struct TConstraintBlockRecord {
    uint8_t Kind = 0;
    // Element index for kinds 0 and 2, MaterialTable slot for 7, 8 and 9,
    // 1 for the others.
    int32_t Index = 0;
    int32_t FirstRow = 0; // in LpTableau
    int32_t LastRow = 0;  // FirstRow + row count - 1
    std::string Name;     // at most 25 characters
    // The lower or upper limit of the kind; the rows are built from it, so
    // they never depend on re-reading the task.
    uint8_t Side = csLower;
};

extern OffsetArray<TConstraintBlockRecord, 1, MaxConstraintBlocks> ConstraintBlocks;
extern int32_t ConstraintBlockCount;
// Counts the listings of BuildConstraintBlocks: what one run keeps for the
// next runs of the same command is not used once a task is listed again.
extern uint64_t ConstraintListing;

// Appends a block whose rows follow the rows listed so far and adds its rows
// to LpRowCount. Past the table's room the block and its rows are only
// counted (BuildConstraintBlocks then refuses the task); returns false then.
bool AddConstraintBlock(const std::string& name, uint8_t kind, int32_t index, int32_t rowCount,
                        uint8_t side = csLower);

// Lists the blocks of the current task. True when at least one row results.
// A task that would need more rows or blocks than the tableau holds, or more
// materials than it has columns, is refused with a warning: false, and no
// blocks or rows are left listed.
bool BuildConstraintBlocks();

// Rebuilds the cost row and the rows of every listed block from the current
// charge, the two systems' equilibria and their effect tables. Every
// material of the table has its column, the ones the current task does not
// list too: the programme may buy any material that no block bounds, so a
// task keeps a material out with a maximum of 0 t.
void BuildLinearRows();

// Starting metal and slag fractions and target phase masses of every
// element of both systems, from the task's initial masses and limits.
void InitialEstimateFromTargets();

// ---------------------------------------------------------------------------
// The melted charge against the task

// Margins within which a melted charge still meets a limit: the passes end
// at a small gap to their linear rows, the amounts are rounded to 0.001 t
// and the solver converges to a relative 1e-6.
inline constexpr long double MeltCheckRelative = 1e-3L; // of the limit
inline constexpr long double MeltCheckFraction = 1e-8L; // least margin of a mass fraction
inline constexpr long double MeltCheckKelvin = 0.5L;
inline constexpr long double MeltCheckTonnes = 0.001L;  // material amounts

// Whether the two systems as last solved, with the material amounts of
// MaterialTable, meet the limit of the block within the margins above, and
// within what rounding the amounts to 0.001 t moves the block's linear rows
// as LpTableau holds them. Slag limits are compared with the compound
// fractions they are given as.
bool BlockLimitMet(const TConstraintBlockRecord& block, const TThSys& lower, const TThSys& upper,
                   const TTaskRecord& task);

// The listed blocks other than `released` whose limits the systems as last
// solved break, in block order.
std::vector<int32_t> BrokenBlocks(int32_t released);

} // namespace ferrolyt
