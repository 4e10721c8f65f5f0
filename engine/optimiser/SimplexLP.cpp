#include "SimplexLP.h"

#include "Constraints.h"
#include "Model.h"

#include <algorithm>
#include <cmath>

namespace ferrolyt {

TLpTableau LpTableau{};
int32_t LpRowCount = 0;

int32_t LpExchangeLimit()
{
    return 20 * (std::max(LpRowCount, 0) + std::max(MaterialCount, 0)) + 100;
}

namespace {

// Degenerate exchanges in a row after which the pivots follow the smallest
// index, which cannot cycle, until an exchange makes progress again.
constexpr int DegenerateRunBeforeSmallestIndex = 10;

// The ratio of a column that cannot enter.
constexpr long double NoRatio = 1e100L;

// The exchanges work on a scaled copy of the tableau in double precision,
// several times quicker than extended precision on the exchanges' long
// loops; the scaling keeps the entries near 1, where double precision is
// ample for the tolerances.
using TLpWork = std::array<std::array<double, LpMaxColumns + 1>, LpMaxRows + 1>;
TLpWork Work{};
// The released part of the right sides: row r's right side is
// Work[r][0] + t·Released[r] for a t beyond any bound, so that released rows
// never bind. Kept apart, the finite parts lose nothing to it, and a release
// can be made or undone in the basis at hand.
std::array<double, LpMaxRows + 1> Released{};
// Each row's steepest-edge weight (EdgeWeight) as last computed, and whether
// an exchange has changed the row since.
std::array<double, LpMaxRows + 1> EdgeWeights{};
std::array<bool, LpMaxRows + 1> EdgeStale{};

// Which variable stands in each row and each column of the tableau:
// material slot j is j, the slack of row r is -r.
struct TLpLabels {
    std::array<int32_t, LpMaxRows + 1> Row{};
    std::array<int32_t, LpMaxColumns + 1> Column{};
};

// A fixed order of all variables for the smallest-index rule.
int32_t Order(int32_t variable) { return variable > 0 ? variable : LpMaxColumns - variable; }

// Powers of two that bring the rows, the columns and the cost row to a
// common size, so that the tolerances mean the same whatever units the
// programme was written in. Powers of two scale exactly.
struct TLpScaling {
    std::array<long double, LpMaxRows + 1> Row{};
    std::array<long double, LpMaxColumns + 1> Column{};
    long double Cost = 1;
};

long double PowerOfTwoNear(long double x)
{
    int exponent = 0;
    const long double mantissa = std::frexp(x, &exponent); // in [0.5, 1)
    return std::ldexp(1.0L, mantissa < 0.70710678L ? exponent - 1 : exponent);
}

TLpScaling ChooseScaling(int rows, int columns)
{
    TLpScaling sc;
    for (int j = 1; j <= columns; ++j) {
        long double lo = 0;
        long double hi = 0;
        for (int r = 1; r <= rows; ++r) {
            const long double a = std::fabs(LpTableau[static_cast<std::size_t>(r)][static_cast<std::size_t>(j)]);
            if (a > 0) {
                lo = lo > 0 ? std::min(lo, a) : a;
                hi = std::max(hi, a);
            }
        }
        // A column without entries never enters; 0 keeps its price out of
        // the cost row's scale.
        sc.Column[static_cast<std::size_t>(j)] = hi > 0 ? PowerOfTwoNear(1 / std::sqrt(lo * hi)) : 0;
    }
    auto rowScale = [&](int r) {
        long double hi = 0;
        for (int j = 1; j <= columns; ++j)
            hi = std::max(hi, std::fabs(LpTableau[static_cast<std::size_t>(r)][static_cast<std::size_t>(j)]) *
                                  sc.Column[static_cast<std::size_t>(j)]);
        return hi > 0 ? PowerOfTwoNear(1 / hi) : 1.0L;
    };
    for (int r = 1; r <= rows; ++r)
        sc.Row[static_cast<std::size_t>(r)] = rowScale(r);
    // A row and the columns can trade a common factor; it goes where it
    // brings the right sides near 1, so the amounts are near 1 too.
    long double logSum = 0;
    int count = 0;
    for (int r = 1; r <= rows; ++r) {
        const long double b = std::fabs(LpTableau[static_cast<std::size_t>(r)][0]);
        if (b > 0) {
            logSum += std::log(b * sc.Row[static_cast<std::size_t>(r)]);
            ++count;
        }
    }
    const long double common = count > 0 ? PowerOfTwoNear(std::exp(logSum / count)) : 1;
    for (int r = 1; r <= rows; ++r)
        sc.Row[static_cast<std::size_t>(r)] /= common;
    for (int j = 1; j <= columns; ++j)
        sc.Column[static_cast<std::size_t>(j)] *= common;
    sc.Cost = rowScale(0);
    for (auto& c : sc.Column)
        if (c == 0)
            c = 1;
    return sc;
}

// The working copy of the programme as LpTableau gives it, scaled.
void LoadWork(const TLpScaling& sc, int rows, int columns)
{
    for (int r = 0; r <= rows; ++r) {
        const auto& from = LpTableau[static_cast<std::size_t>(r)];
        auto& to = Work[static_cast<std::size_t>(r)];
        const long double f = r == 0 ? sc.Cost : sc.Row[static_cast<std::size_t>(r)];
        to[0] = static_cast<double>(from[0] * f);
        for (int j = 1; j <= columns; ++j)
            to[static_cast<std::size_t>(j)] =
                static_cast<double>(from[static_cast<std::size_t>(j)] * f * sc.Column[static_cast<std::size_t>(j)]);
    }
}

// Releases (sign +1) or restores (sign -1) the rows of a block in the
// current basis: the right sides move along the column of the basis inverse
// that belongs to each row's slack.
void ReleaseBlock(int32_t block, int sign, const TLpLabels& labels, int rows, int columns)
{
    if (block < 1 || block > ConstraintBlockCount || block > MaxConstraintBlocks)
        return;
    const TConstraintBlockRecord& b = ConstraintBlocks[block];
    // The first and the last row, each once.
    for (int r : {b.FirstRow, b.LastRow == b.FirstRow ? 0 : b.LastRow}) {
        if (r < 1 || r > rows)
            continue;
        for (int i = 1; i <= rows; ++i)
            if (labels.Row[static_cast<std::size_t>(i)] == -r)
                Released[static_cast<std::size_t>(i)] += sign;
        for (int k = 1; k <= columns; ++k)
            if (labels.Column[static_cast<std::size_t>(k)] == -r)
                for (int i = 1; i <= rows; ++i) {
                    const auto si = static_cast<std::size_t>(i);
                    Released[si] += sign * Work[si][static_cast<std::size_t>(k)];
                }
    }
}

void ResetAttempt(TLpLabels& labels, int32_t release, int rows, int columns)
{
    for (int r = 0; r <= rows; ++r)
        labels.Row[static_cast<std::size_t>(r)] = -r;
    for (int j = 0; j <= columns; ++j)
        labels.Column[static_cast<std::size_t>(j)] = j;
    for (int j = 1; j <= columns; ++j)
        MaterialTable[j].LpAmount = 0;
    Released.fill(0);
    EdgeWeights.fill(1); // the slack basis is its own inverse
    EdgeStale.fill(false);
    if (release > 0)
        ReleaseBlock(release, 1, labels, rows, columns);
}

// Sum over j of mask[j]·v[j]², in four running sums so that the additions
// need not wait for one another.
double MaskedSquares(const double* v, const double* mask, int n)
{
    std::array<double, 4> sum{};
    int j = 0;
    for (; j + 4 <= n; j += 4)
        for (int k = 0; k < 4; ++k)
            sum[static_cast<std::size_t>(k)] += mask[j + k] * v[j + k] * v[j + k];
    for (; j < n; ++j)
        sum[0] += mask[j] * v[j] * v[j];
    return (sum[0] + sum[1]) + (sum[2] + sum[3]);
}

// The squared norm of row r's row of the basis inverse: its entries under
// the slack columns, and 1 for its own basic slack. These are the dual
// simplex's steepest edges.
double EdgeWeight(int r, int columns, const TLpLabels& labels, const std::array<double, LpMaxColumns + 1>& slack)
{
    return (labels.Row[static_cast<std::size_t>(r)] < 0 ? 1 : 0) +
           MaskedSquares(Work[static_cast<std::size_t>(r)].data(), slack.data(), columns + 1);
}

// The row that is most violated for its weight (the steepest edge of the
// dual), rows violated by their released part first; a later row wins only
// when its score is higher by more than the tolerance, relatively. With
// `smallestIndex`, the violated row of the first variable. 0 when every row
// is met.
int PivotRow(int rows, int columns, const TLpLabels& labels, bool smallestIndex)
{
    std::array<double, LpMaxColumns + 1> slack{}; // 1 under the slack columns
    bool slackKnown = false;
    long double best = 0;
    bool beyondBound = false; // the best row is violated by its released part
    int p = 0;
    for (int r = 1; r <= rows; ++r) {
        const auto sr = static_cast<std::size_t>(r);
        const long double released = Released[sr];
        const long double rhs = Work[sr][0];
        // The released part is a sum of entries of the basis inverse, and
        // is 0 within the tolerance of those entries.
        const bool beyond = released + LpTolerance < 0;
        if (!beyond && (released > LpTolerance || !(rhs + LpTolerance < 0)))
            continue;
        if (smallestIndex) {
            if (p == 0 || Order(labels.Row[sr]) < Order(labels.Row[static_cast<std::size_t>(p)]))
                p = r;
            continue;
        }
        if (beyondBound && !beyond)
            continue;
        if (EdgeStale[sr]) {
            if (!slackKnown)
                for (int j = 1; j <= columns; ++j)
                    slack[static_cast<std::size_t>(j)] = labels.Column[static_cast<std::size_t>(j)] < 0 ? 1 : 0;
            slackKnown = true;
            EdgeWeights[sr] = EdgeWeight(r, columns, labels, slack);
            EdgeStale[sr] = false;
        }
        const long double v = beyond ? released : rhs;
        const long double score = v * v / EdgeWeights[sr];
        if ((beyond && !beyondBound) || score > best * (1 + LpTolerance)) {
            best = score;
            p = r;
            beyondBound = beyond;
        }
    }
    return p;
}

// The dual ratio test on row p; 0 when the row has no entry that could
// meet it. A later column wins only by more than the tolerance, or with
// `smallestIndex` the first variable among the tied ratios. `ratio` gets
// the step, which is 0 for a degenerate exchange.
int PivotColumn(int p, int columns, const TLpLabels& labels, bool smallestIndex, long double& ratio)
{
    const auto& row = Work[static_cast<std::size_t>(p)];
    long double best = NoRatio;
    int s = 0;
    for (int j = 1; j <= columns; ++j) {
        const long double a = row[static_cast<std::size_t>(j)];
        if (a + LpTolerance < 0) {
            const long double q = -Work[0][static_cast<std::size_t>(j)] / a;
            if (q + LpTolerance < best) {
                best = q;
                s = j;
            }
        }
    }
    if (smallestIndex && s != 0)
        for (int j = 1; j <= columns; ++j) {
            const long double a = row[static_cast<std::size_t>(j)];
            if (a + LpTolerance < 0 && -Work[0][static_cast<std::size_t>(j)] / a <= best + LpTolerance &&
                Order(labels.Column[static_cast<std::size_t>(j)]) < Order(labels.Column[static_cast<std::size_t>(s)]))
                s = j;
        }
    ratio = best;
    return s;
}

// The exchange of the basic variable of row p with the variable of column s.
void Exchange(int p, int s, int rows, int columns, TLpLabels& labels)
{
    const auto sp = static_cast<std::size_t>(p);
    const int n = columns + 1;
    std::swap(labels.Row[sp], labels.Column[static_cast<std::size_t>(s)]);
    double* __restrict pivotRow = Work[sp].data();
    const double inverse = 1 / pivotRow[s];
    pivotRow[s] = 1;
    for (int j = 0; j < n; ++j)
        pivotRow[j] *= inverse;
    Released[sp] *= inverse;
    EdgeStale[sp] = true;
    // A sparse pivot row updates only its own columns.
    std::array<int, LpMaxColumns + 1> used{};
    int usedCount = 0;
    for (int j = 0; j < n; ++j)
        if (pivotRow[j] != 0 || j == s)
            used[static_cast<std::size_t>(usedCount++)] = j;
    const bool sparse = 2 * usedCount < n;
    for (int i = 0; i <= rows; ++i) {
        if (i == p)
            continue;
        double* __restrict row = Work[static_cast<std::size_t>(i)].data();
        const double old = row[s];
        // Rows of sparse material bounds mostly skip here.
        if (old == 0)
            continue;
        row[s] = 0;
        if (sparse)
            for (int k = 0; k < usedCount; ++k) {
                const int j = used[static_cast<std::size_t>(k)];
                row[j] -= pivotRow[j] * old;
            }
        else
            for (int j = 0; j < n; ++j)
                row[j] -= pivotRow[j] * old;
        if (i > 0) {
            Released[static_cast<std::size_t>(i)] -= Released[sp] * old;
            EdgeStale[static_cast<std::size_t>(i)] = true;
        }
    }
}

// One attempt of the dual simplex from the basis at hand. Returns 0 when
// every row is met, -1 when the exchanges ran past the guard, else the row
// that cannot be met.
int RunAttempt(int rows, int columns, TLpLabels& labels)
{
    const int32_t limit = LpExchangeLimit();
    int32_t exchanges = 0;
    int degenerateRun = 0;
    for (;;) {
        const bool smallestIndex = degenerateRun >= DegenerateRunBeforeSmallestIndex;
        const int p = PivotRow(rows, columns, labels, smallestIndex);
        if (p == 0)
            return 0;
        long double ratio = 0;
        const int s = PivotColumn(p, columns, labels, smallestIndex, ratio);
        if (s == 0)
            return p;
        if (++exchanges > limit)
            return -1;
        degenerateRun = ratio <= LpTolerance ? degenerateRun + 1 : 0;
        Exchange(p, s, rows, columns, labels);
    }
}

// Row p that cannot be met is a sum of the original rows with weights of at
// least 0 (the weight of row r sits where its slack stands) whose material
// entries are all at least 0 and whose right side is below 0. Releasing a
// block that the sum leaves out cannot help: the same sum still proves the
// rows cannot be met, so that attempt would fail too.
using TLpProof = std::array<long double, LpMaxRows + 1>;

TLpProof ProofWeights(int p, int rows, int columns, const TLpLabels& labels)
{
    TLpProof y{};
    const auto& row = Work[static_cast<std::size_t>(p)];
    if (const int32_t v = labels.Row[static_cast<std::size_t>(p)]; v < 0)
        y[static_cast<std::size_t>(-v)] = 1;
    for (int k = 1; k <= columns; ++k)
        if (const int32_t v = labels.Column[static_cast<std::size_t>(k)]; v < 0)
            y[static_cast<std::size_t>(-v)] = row[static_cast<std::size_t>(k)];
    long double largest = 1;
    for (int r = 1; r <= rows; ++r)
        largest = std::max(largest, y[static_cast<std::size_t>(r)]);
    // Weights at the level of rounding noise count as none.
    for (int r = 1; r <= rows; ++r)
        if (y[static_cast<std::size_t>(r)] <= 1e-14L * largest)
            y[static_cast<std::size_t>(r)] = 0;
    return y;
}

bool ProofUsesBlock(const TLpProof& y, int32_t block, int rows)
{
    const TConstraintBlockRecord& b = ConstraintBlocks[block];
    for (int r : {b.FirstRow, b.LastRow})
        if (r >= 1 && r <= rows && y[static_cast<std::size_t>(r)] > 0)
            return true;
    return false;
}

void StoreSolution(const TLpLabels& labels, const TLpScaling& sc, int rows)
{
    for (int r = 1; r <= rows; ++r) {
        const int32_t slot = labels.Row[static_cast<std::size_t>(r)];
        if (slot > 0)
            MaterialTable[slot].LpAmount =
                Work[static_cast<std::size_t>(r)][0] * sc.Column[static_cast<std::size_t>(slot)];
    }
}

void ClearLpAmounts(int columns)
{
    for (int j = 1; j <= std::min(columns, MaterialSlotLast); ++j)
        MaterialTable[j].LpAmount = 0;
}

} // namespace

int32_t SolveLP(int32_t release)
{
    const int rows = LpRowCount;
    const int columns = MaterialCount;
    // A tableau that does not fit is never solved (BuildConstraintBlocks
    // refuses such tasks before they get here).
    if (rows < 0 || rows > LpMaxRows || columns < 0 || columns > LpMaxColumns || columns > MaterialSlotLast) {
        ClearLpAmounts(columns);
        return lpNotMet;
    }
    // The dual simplex starts from prices of at least 0; with a negative one
    // the programme may have no lowest cost at all.
    for (int j = 1; j <= columns; ++j)
        if (!(LpTableau[0][static_cast<std::size_t>(j)] >= 0)) {
            ClearLpAmounts(columns);
            return lpNotMet;
        }

    int32_t status = lpMet;
    int32_t released = 0; // blocks of the automatic sequence tried so far
    const TLpScaling scaling = ChooseScaling(rows, columns);
    LoadWork(scaling, rows, columns);
    TLpLabels labels;
    ResetAttempt(labels, release, rows, columns);

    for (;;) {
        int p = RunAttempt(rows, columns, labels);
        if (p < 0 && released > 0) {
            // Rounding can stall an attempt that goes on from an earlier
            // basis: it is made again from the slack basis.
            LoadWork(scaling, rows, columns);
            ResetAttempt(labels, release, rows, columns);
            ReleaseBlock(released, 1, labels, rows, columns);
            p = RunAttempt(rows, columns, labels);
        }
        if (p == 0) {
            StoreSolution(labels, scaling, rows);
            long double cost = 0;
            for (int j = 1; j <= columns; ++j)
                cost += LpTableau[0][static_cast<std::size_t>(j)] * MaterialTable[j].LpAmount;
            LpTableau[0][0] -= cost;
            return status;
        }
        if (p < 0)
            break;
        // Row p cannot be met: try the next block of the sequence alone,
        // passing over those that cannot help. Moving right sides keeps the
        // basis dual feasible, so the attempt goes on from where this one
        // stopped.
        const TLpProof proof = ProofWeights(p, rows, columns, labels);
        const int32_t previous = released;
        do
            ++released;
        while (released <= ConstraintBlockCount && released <= MaxConstraintBlocks &&
               !ProofUsesBlock(proof, released, rows));
        if (released > ConstraintBlockCount || released > MaxConstraintBlocks)
            break;
        status = lpMetReleased;
        ReleaseBlock(previous, -1, labels, rows, columns);
        ReleaseBlock(released, 1, labels, rows, columns);
    }
    ResetAttempt(labels, 0, rows, columns);
    return lpNotMet;
}

} // namespace ferrolyt
