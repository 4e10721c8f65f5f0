#include "SimplexLP.h"

#include "Constraints.h"
#include "Model.h"

#include <algorithm>

namespace ferrolyt {

TLpTableau LpTableau{};
TLpTableau LpTableauCopy{};
int32_t LpRowCount = 0;

int32_t LpExchangeLimit()
{
    return 20 * (std::max(LpRowCount, 0) + std::max(MaterialCount, 0)) + 100;
}

namespace {

// Which variable stands in each row and each column of the tableau: 0 for a
// slack, else the material slot.
struct TLpLabels {
    std::array<int32_t, LpMaxRows + 1> Row{};
    std::array<int32_t, LpMaxColumns + 1> Column{};
};

void ReleaseBlock(int32_t block)
{
    if (block < 1 || block > ConstraintBlockCount || block > MaxConstraintBlocks)
        return;
    const TConstraintBlockRecord& b = ConstraintBlocks[block];
    for (int r : {b.FirstRow, b.LastRow})
        if (r >= 1 && r <= LpRowCount)
            LpTableau[static_cast<std::size_t>(r)][0] = LpReleasedRight;
}

void ResetAttempt(TLpLabels& labels, int32_t release, int columns)
{
    labels.Row.fill(0);
    for (int j = 0; j <= LpMaxColumns; ++j)
        labels.Column[static_cast<std::size_t>(j)] = j;
    for (int j = 1; j <= columns; ++j)
        MaterialTable[j].LpAmount = 0;
    if (release > 0)
        ReleaseBlock(release);
}

// The most violated row; a later row wins only when lower by more than the
// tolerance. 0 when every row is met.
int PivotRow(int rows)
{
    long double m = 0;
    int p = 0;
    for (int r = 1; r <= rows; ++r) {
        const long double rhs = LpTableau[static_cast<std::size_t>(r)][0];
        if (rhs + LpTolerance < m) {
            m = rhs;
            p = r;
        }
    }
    return p;
}

// The dual ratio test on row p; 0 when the row has no entry that could
// meet it.
int PivotColumn(int p, int columns)
{
    const auto& row = LpTableau[static_cast<std::size_t>(p)];
    long double best = LpReleasedRight;
    int s = 0;
    for (int j = 1; j <= columns; ++j) {
        const long double a = row[static_cast<std::size_t>(j)];
        if (a + LpTolerance < 0) {
            const long double q = -LpTableau[0][static_cast<std::size_t>(j)] / a;
            if (q + LpTolerance < best) {
                best = q;
                s = j;
            }
        }
    }
    return s;
}

void Exchange(int p, int s, int rows, int columns, TLpLabels& labels)
{
    const auto sp = static_cast<std::size_t>(p);
    const auto ss = static_cast<std::size_t>(s);
    auto& pivotRow = LpTableau[sp];
    const long double a = pivotRow[ss];
    for (int j = 0; j <= columns; ++j)
        if (j != s)
            pivotRow[static_cast<std::size_t>(j)] /= a;
    pivotRow[ss] = 1 / a;
    for (int i = 0; i <= rows; ++i) {
        if (i == p)
            continue;
        auto& row = LpTableau[static_cast<std::size_t>(i)];
        const long double old = row[ss];
        // Rows of sparse material bounds mostly skip here.
        if (old == 0)
            continue;
        for (int j = 0; j <= columns; ++j)
            if (j != s)
                row[static_cast<std::size_t>(j)] -= pivotRow[static_cast<std::size_t>(j)] * old;
        row[ss] = -old / a;
    }
    std::swap(labels.Row[sp], labels.Column[ss]);
}

void StoreSolution(const TLpLabels& labels, int rows)
{
    for (int r = 1; r <= rows; ++r) {
        const int32_t slot = labels.Row[static_cast<std::size_t>(r)];
        if (slot > 0)
            MaterialTable[slot].LpAmount = LpTableau[static_cast<std::size_t>(r)][0];
    }
}

void SaveRows(TLpTableau& to, const TLpTableau& from, int rows, int columns)
{
    for (int r = 0; r <= rows; ++r)
        std::copy_n(from[static_cast<std::size_t>(r)].begin(), columns + 1,
                    to[static_cast<std::size_t>(r)].begin());
}

} // namespace

int32_t SolveLP(int32_t release)
{
    const int rows = LpRowCount;
    const int columns = MaterialCount;
    TLpLabels labels;
    // A tableau that does not fit is never solved (BuildConstraintBlocks
    // refuses such tasks before they get here).
    if (rows < 0 || rows > LpMaxRows || columns < 0 || columns > LpMaxColumns ||
        columns > MaterialSlotLast) {
        for (int j = 1; j <= std::min(columns, MaterialSlotLast); ++j)
            MaterialTable[j].LpAmount = 0;
        return lpNotMet;
    }

    int32_t status = lpMet;
    int32_t released = 0; // blocks of the automatic sequence tried so far
    SaveRows(LpTableauCopy, LpTableau, rows, columns);
    ResetAttempt(labels, release, columns);
    const int32_t limit = LpExchangeLimit();
    int32_t exchanges = 0;

    for (;;) {
        const int p = PivotRow(rows);
        if (p == 0) {
            StoreSolution(labels, rows);
            return status;
        }
        const int s = PivotColumn(p, columns);
        if (s != 0) {
            if (++exchanges > limit) {
                ResetAttempt(labels, 0, columns);
                return lpNotMet;
            }
            Exchange(p, s, rows, columns, labels);
            continue;
        }
        // Row p cannot be met: try the next block of the sequence alone.
        if (released >= ConstraintBlockCount) {
            ResetAttempt(labels, 0, columns);
            return lpNotMet;
        }
        status = lpMetReleased;
        SaveRows(LpTableau, LpTableauCopy, rows, columns);
        ++released;
        ReleaseBlock(released);
        ResetAttempt(labels, release, columns);
        exchanges = 0;
    }
}

} // namespace ferrolyt
