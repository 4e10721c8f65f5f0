#include "SimplexLP.h"

#include "Constraints.h"
#include "Model.h"

#include <algorithm>
#include <cmath>
#include <random>

namespace ferrolyt {

TLpTableau LpTableau{};
int32_t LpRowCount = 0;

int32_t LpExchangeLimit()
{
    return 20 * (std::max(LpRowCount, 0) + std::max(MaterialCount, 0)) + 100;
}

namespace {

// Exchanges in a row that leave the cost where it was, after which the
// prices of the columns out of the basis are perturbed. With most prices 0
// the ratio test ties at 0 on almost every exchange, and neither the most
// violated row nor the smallest-index rule then moves the cost for
// thousands of exchanges.
constexpr int DegenerateRunBeforePerturbation = 10;
// A step of the dual below this (on the scaled tableau) leaves the cost
// where it was.
constexpr double DegenerateStep = 1e-12;
// The perturbation of a reduced cost: between one and two of these, times
// one plus the reduced cost, on the scaled tableau whose largest price is
// near 1. It stays below the tolerance of the ratio test.
constexpr double PerturbationSize = 1e-7;

// A row's value on the scaled tableau that ShortRow takes for rounding
// whatever the size of its right sides.
constexpr double ShortRowFloor = 1e-9;

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
// Each row's right side on the scaled tableau, as given (its released part
// aside).
std::array<double, LpMaxRows + 1> RightSides{};
// Each material's price on the scaled tableau, as given. The exchanges may
// perturb and shift the prices in the cost row; these bring them back.
std::array<double, LpMaxColumns + 1> Prices{};
// Each column's reduced cost is a difference of prices; this is the size of
// the prices it was made of, against which it is judged.
std::array<double, LpMaxColumns + 1> CostSizes{};

// Which variable stands in each row and each column of the tableau:
// material slot j is j, the slack of row r is -r.
struct TLpLabels {
    std::array<int32_t, LpMaxRows + 1> Row{};
    std::array<int32_t, LpMaxColumns + 1> Column{};
};

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

// Passes of the geometric scaling. Each brings the smallest and the largest
// entry of every row, then of every column, to the same distance from 1;
// rows and columns in units far apart need several before the entries of a
// row no longer span more than the pivot tolerance can tell from 0.
constexpr int GeometricScalingPasses = 6;

// 1 over the geometric mean of the smallest and the largest of some
// magnitudes, as a power of two; 0 when there were none.
struct TSpread {
    double Lo = HUGE_VAL;
    double Hi = 0;
    // Without branches on the zeros, which sparse rows are full of.
    void Add(double a)
    {
        Lo = std::min(Lo, a > 0 ? a : HUGE_VAL);
        Hi = std::max(Hi, a);
    }
    long double Scale() const { return Hi > 0 ? PowerOfTwoNear(1 / (std::sqrt(Lo) * std::sqrt(Hi))) : 0; }
};

TLpScaling ChooseScaling(int rows, int columns)
{
    TLpScaling sc;
    // The passes work on the entries' magnitudes, row by row, in the work
    // table, which LoadWork fills afterwards.
    for (int r = 1; r <= rows; ++r) {
        const auto& from = LpTableau[static_cast<std::size_t>(r)];
        auto& to = Work[static_cast<std::size_t>(r)];
        for (int j = 1; j <= columns; ++j)
            to[static_cast<std::size_t>(j)] = static_cast<double>(std::fabs(from[static_cast<std::size_t>(j)]));
    }
    std::array<double, LpMaxRows + 1> rowFactor{};
    std::array<double, LpMaxColumns + 1> columnFactor{};
    rowFactor.fill(1);
    // The factors are powers of two; the passes stop once no row's factor
    // moves by more than one power, which most often is after the second.
    bool settled = false;
    for (int pass = 0; pass < GeometricScalingPasses; ++pass) {
        settled = pass > 0;
        if (pass > 0)
            for (int r = 1; r <= rows; ++r) {
                const auto& row = Work[static_cast<std::size_t>(r)];
                TSpread spread;
                for (int j = 1; j <= columns; ++j)
                    spread.Add(row[static_cast<std::size_t>(j)] * columnFactor[static_cast<std::size_t>(j)]);
                const double f = spread.Hi > 0 ? static_cast<double>(spread.Scale()) : 1;
                const double ratio = f / rowFactor[static_cast<std::size_t>(r)];
                settled = settled && ratio <= 2 && ratio >= 0.5;
                rowFactor[static_cast<std::size_t>(r)] = f;
            }
        if (settled)
            break;
        std::array<TSpread, LpMaxColumns + 1> spreads{};
        for (int r = 1; r <= rows; ++r) {
            const auto& row = Work[static_cast<std::size_t>(r)];
            const double f = rowFactor[static_cast<std::size_t>(r)];
            for (int j = 1; j <= columns; ++j)
                spreads[static_cast<std::size_t>(j)].Add(row[static_cast<std::size_t>(j)] * f);
        }
        // A column without entries never enters; 0 keeps its price out of
        // the cost row's scale.
        for (int j = 1; j <= columns; ++j)
            columnFactor[static_cast<std::size_t>(j)] = static_cast<double>(spreads[static_cast<std::size_t>(j)].Scale());
    }
    for (int j = 1; j <= columns; ++j)
        sc.Column[static_cast<std::size_t>(j)] = columnFactor[static_cast<std::size_t>(j)];
    // Last, each row's largest entry is brought to near 1.
    for (int r = 1; r <= rows; ++r) {
        const auto& row = Work[static_cast<std::size_t>(r)];
        double hi = 0;
        for (int j = 1; j <= columns; ++j)
            hi = std::max(hi, row[static_cast<std::size_t>(j)] * columnFactor[static_cast<std::size_t>(j)]);
        sc.Row[static_cast<std::size_t>(r)] = hi > 0 ? PowerOfTwoNear(1 / hi) : 1.0L;
    }
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
    long double largestPrice = 0;
    for (int j = 1; j <= columns; ++j)
        largestPrice = std::max(largestPrice, std::fabs(LpTableau[0][static_cast<std::size_t>(j)]) *
                                                  sc.Column[static_cast<std::size_t>(j)]);
    sc.Cost = largestPrice > 0 ? PowerOfTwoNear(1 / largestPrice) : 1.0L;
    for (auto& c : sc.Column)
        if (c == 0)
            c = 1;
    return sc;
}

// The scaling of the programme in Work.
TLpScaling WorkScaling;

// The working copy of the programme as LpTableau gives it, scaled.
void LoadWork(const TLpScaling& sc, int rows, int columns)
{
    WorkScaling = sc;
    for (int r = 0; r <= rows; ++r) {
        const auto& from = LpTableau[static_cast<std::size_t>(r)];
        auto& to = Work[static_cast<std::size_t>(r)];
        const long double f = r == 0 ? sc.Cost : sc.Row[static_cast<std::size_t>(r)];
        to[0] = static_cast<double>(from[0] * f);
        for (int j = 1; j <= columns; ++j)
            to[static_cast<std::size_t>(j)] =
                static_cast<double>(from[static_cast<std::size_t>(j)] * f * sc.Column[static_cast<std::size_t>(j)]);
    }
    for (int j = 1; j <= columns; ++j)
        Prices[static_cast<std::size_t>(j)] = Work[0][static_cast<std::size_t>(j)];
    for (int r = 1; r <= rows; ++r)
        RightSides[static_cast<std::size_t>(r)] = Work[static_cast<std::size_t>(r)][0];
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
    for (int j = 1; j <= std::min(columns, MaterialCount); ++j)
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
// when its score is higher by more than the tolerance, relatively. 0 when
// every row is met.
int PivotRow(int rows, int columns, const TLpLabels& labels)
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

// The dual ratio test on row p, in two passes: the first finds the longest
// step at which no column's ratio is passed by more than the tolerance
// (ratios within it are ties, so a later column never wins by less), the
// second takes, among the columns whose ratio is within that step, the one
// with the largest entry, the first of equal ones: a large pivot keeps the
// exchange accurate. A reduced cost the step takes below 0 is shifted back
// afterwards. 0 when the row has no entry that could meet it. `ratio` gets
// the step, 0 for a degenerate exchange.
int PivotColumn(int p, int columns, double& ratio)
{
    const auto& row = Work[static_cast<std::size_t>(p)];
    const auto& cost = Work[0];
    long double bound = NoRatio;
    for (int j = 1; j <= columns; ++j) {
        const long double a = row[static_cast<std::size_t>(j)];
        if (a + LpTolerance < 0)
            bound = std::min(bound, -cost[static_cast<std::size_t>(j)] / a + LpTolerance);
    }
    int s = 0;
    long double largest = 0;
    for (int j = 1; j <= columns; ++j) {
        const long double a = row[static_cast<std::size_t>(j)];
        if (a + LpTolerance < 0 && -cost[static_cast<std::size_t>(j)] / a <= bound && -a > largest) {
            largest = -a;
            s = j;
        }
    }
    ratio = s == 0 ? 0 : std::max(0.0, -cost[static_cast<std::size_t>(s)] / row[static_cast<std::size_t>(s)]);
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

// Raises the reduced cost of every column by a small random amount, which
// is the same as raising the price of the variable standing there: zero
// reduced costs, and with them steps of 0, become rare, so each exchange
// moves the cost. RestoreCosts takes the perturbation back at the end.
void PerturbCosts(int columns, std::minstd_rand& random)
{
    std::uniform_real_distribution<double> share(1, 2);
    for (int j = 1; j <= columns; ++j) {
        double& d = Work[0][static_cast<std::size_t>(j)];
        d += share(random) * PerturbationSize * (1 + std::fabs(d));
    }
}

// A reduced cost that the tolerance of the ratio test let fall below 0 is
// raised to 0, which again only changes that variable's price, so that the
// basis stays dual feasible exactly.
void ShiftCosts(int columns)
{
    for (int j = 1; j <= columns; ++j) {
        double& d = Work[0][static_cast<std::size_t>(j)];
        d = std::max(d, 0.0);
    }
}

double PriceOf(int32_t variable) { return variable > 0 ? Prices[static_cast<std::size_t>(variable)] : 0; }

// The cost row from the prices as given, for the basis at hand, which takes
// back every perturbation and shift; CostSizes gets the size of each
// column's terms.
void RestoreCosts(int rows, int columns, const TLpLabels& labels)
{
    auto& cost = Work[0];
    cost[0] = 0;
    CostSizes[0] = 0;
    for (int j = 1; j <= columns; ++j) {
        cost[static_cast<std::size_t>(j)] = PriceOf(labels.Column[static_cast<std::size_t>(j)]);
        CostSizes[static_cast<std::size_t>(j)] = std::fabs(cost[static_cast<std::size_t>(j)]);
    }
    for (int i = 1; i <= rows; ++i) {
        const double price = PriceOf(labels.Row[static_cast<std::size_t>(i)]);
        if (price == 0)
            continue;
        const auto& row = Work[static_cast<std::size_t>(i)];
        for (int j = 0; j <= columns; ++j) {
            const double term = price * row[static_cast<std::size_t>(j)];
            cost[static_cast<std::size_t>(j)] -= term;
            CostSizes[static_cast<std::size_t>(j)] += std::fabs(term);
        }
    }
}

// The column whose reduced cost is lowest against the size of the prices it
// is made of, when that is below 0 by more than the tolerance: the basis is
// then not the cheapest. The measure is the same in any units of the rows
// and columns, so a column whose price is small against the other prices
// is judged by its own. 0 when the basis is the cheapest.
int DearColumn(int columns)
{
    int s = 0;
    double worst = -LpTolerance;
    for (int j = 1; j <= columns; ++j) {
        const double d = Work[0][static_cast<std::size_t>(j)];
        const double size = CostSizes[static_cast<std::size_t>(j)];
        if (d < 0 && d < worst * size) {
            worst = d / size;
            s = j;
        }
    }
    return s;
}

// The primal ratio test for column s entering a basis whose rows are met:
// the row that first drops to its bound, the one with the largest entry
// among equal ratios. The exchange keeps every row met but for rounding.
// Released rows never bind. 0 when none does.
int PrimalPivotRow(int s, int rows)
{
    int p = 0;
    long double best = NoRatio;
    long double largest = 0;
    for (int i = 1; i <= rows; ++i) {
        const auto si = static_cast<std::size_t>(i);
        const long double a = Work[si][static_cast<std::size_t>(s)];
        if (!(a > LpTolerance) || Released[si] > LpTolerance)
            continue;
        const long double q = std::max(0.0, Work[si][0]) / a;
        if (q < best || (q == best && a > largest)) {
            best = q;
            largest = a;
            p = i;
        }
    }
    return p;
}

// One step of iterative refinement of the basic values: the exchanges
// carry rounding errors from one to the next, and after many (a
// perturbed programme may need hundreds) the rows can be off by more than
// the programme's own data justify. The residual of every row is taken
// from LpTableau in extended precision and sent back through the basis
// inverse that the tableau holds under the slack columns.
void RefineValues(int rows, int columns, const TLpLabels& labels)
{
    std::array<long double, LpMaxColumns + 1> amounts{};
    std::array<long double, LpMaxRows + 1> slacks{};
    for (int i = 1; i <= rows; ++i) {
        const int32_t v = labels.Row[static_cast<std::size_t>(i)];
        (v > 0 ? amounts[static_cast<std::size_t>(v)] : slacks[static_cast<std::size_t>(-v)]) =
            Work[static_cast<std::size_t>(i)][0];
    }
    std::array<double, LpMaxRows + 1> residuals{};
    for (int r = 1; r <= rows; ++r) {
        const auto sr = static_cast<std::size_t>(r);
        const auto& row = LpTableau[sr];
        long double used = 0;
        for (int j = 1; j <= columns; ++j)
            if (const long double x = amounts[static_cast<std::size_t>(j)]; x != 0)
                used += row[static_cast<std::size_t>(j)] * WorkScaling.Column[static_cast<std::size_t>(j)] * x;
        residuals[sr] = static_cast<double>((row[0] - used) * WorkScaling.Row[sr] - slacks[sr]);
    }
    for (int i = 1; i <= rows; ++i) {
        const auto si = static_cast<std::size_t>(i);
        const int32_t v = labels.Row[si];
        double delta = v < 0 ? residuals[static_cast<std::size_t>(-v)] : 0;
        for (int k = 1; k <= columns; ++k)
            if (const int32_t u = labels.Column[static_cast<std::size_t>(k)]; u < 0)
                delta += Work[si][static_cast<std::size_t>(k)] * residuals[static_cast<std::size_t>(-u)];
        Work[si][0] += delta;
    }
}

// The row whose value is below its bound by the most against the size of
// the right sides it is made of (the basis inverse's row times the right
// sides, term by term), when that is more than the tolerance; 0 when there
// is none. PivotRow's test is on the scaled values, where a row whose
// materials come in units far from its own can fall short by far more than
// rounding and still pass.
int ShortRow(int rows, int columns, const TLpLabels& labels)
{
    int p = 0;
    double worst = -LpTolerance;
    for (int i = 1; i <= rows; ++i) {
        const auto si = static_cast<std::size_t>(i);
        const double value = Work[si][0];
        if (!(value < 0) || Released[si] > LpTolerance)
            continue;
        const auto& row = Work[si];
        double size = labels.Row[si] < 0 ? std::fabs(RightSides[static_cast<std::size_t>(-labels.Row[si])]) : 0;
        for (int k = 1; k <= columns; ++k)
            if (const int32_t v = labels.Column[static_cast<std::size_t>(k)]; v < 0)
                size += std::fabs(row[static_cast<std::size_t>(k)] * RightSides[static_cast<std::size_t>(-v)]);
        if (value < worst * size && value < -ShortRowFloor) {
            worst = value / size;
            p = i;
        }
    }
    return p;
}

// One attempt of the dual simplex from the basis at hand, then, with the
// prices as given, primal exchanges until no column can make it cheaper.
// Returns 0 when every row is met at the lowest cost, -1 when the exchanges
// ran past the guard, else the row that cannot be met.
int RunAttempt(int rows, int columns, TLpLabels& labels)
{
    const int32_t limit = LpExchangeLimit();
    int32_t exchanges = 0;
    int degenerateRun = 0;
    // A fixed seed: the same programme is always solved the same way.
    std::minstd_rand random(4711u);
    for (;;) {
        int p = PivotRow(rows, columns, labels);
        if (p == 0) {
            RefineValues(rows, columns, labels);
            p = PivotRow(rows, columns, labels);
        }
        if (p == 0)
            p = ShortRow(rows, columns, labels);
        if (p == 0) {
            RestoreCosts(rows, columns, labels);
            const int s = DearColumn(columns);
            if (s == 0)
                return 0;
            const int q = PrimalPivotRow(s, rows);
            // Prices of at least 0 leave no direction that lowers the cost
            // without end; without a row the rounding is at fault, and the
            // basis at hand is as good as any.
            if (q == 0)
                return 0;
            if (++exchanges > limit)
                return -1;
            Exchange(q, s, rows, columns, labels);
            // A primal exchange can leave a row just outside its bound by
            // rounding; the dual exchanges that mend it need reduced costs
            // of at least 0.
            ShiftCosts(columns);
            continue;
        }
        double ratio = 0;
        const int s = PivotColumn(p, columns, ratio);
        if (s == 0)
            return p;
        if (++exchanges > limit)
            return -1;
        degenerateRun = ratio <= DegenerateStep ? degenerateRun + 1 : 0;
        if (degenerateRun >= DegenerateRunBeforePerturbation) {
            PerturbCosts(columns, random);
            degenerateRun = 0;
        }
        Exchange(p, s, rows, columns, labels);
        ShiftCosts(columns);
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

// The materials' LP amounts, and the value of the column past them when
// there is one.
void StoreSolution(const TLpLabels& labels, const TLpScaling& sc, int rows, long double& extra)
{
    extra = 0;
    for (int r = 1; r <= rows; ++r) {
        const int32_t slot = labels.Row[static_cast<std::size_t>(r)];
        if (slot <= 0)
            continue;
        const long double value = Work[static_cast<std::size_t>(r)][0] * sc.Column[static_cast<std::size_t>(slot)];
        if (slot <= MaterialCount)
            MaterialTable[slot].LpAmount = value;
        else
            extra = value;
    }
}

void ClearLpAmounts()
{
    for (int j = 1; j <= std::min(MaterialCount, MaterialSlotLast); ++j)
        MaterialTable[j].LpAmount = 0;
}

} // namespace

namespace {

// SolveLP over the material columns and, with `extraColumn`, the column
// after them, whose value goes to `extra`.
int32_t SolveProgramme(int32_t release, bool extraColumn, long double& extra)
{
    extra = 0;
    const int rows = LpRowCount;
    const int columns = MaterialCount + (extraColumn ? 1 : 0);
    // A tableau that does not fit is never solved (BuildConstraintBlocks
    // refuses such tasks before they get here).
    if (rows < 0 || rows > LpMaxRows || MaterialCount < 0 || columns > LpMaxColumns ||
        MaterialCount > MaterialSlotLast) {
        ClearLpAmounts();
        return lpNotMet;
    }
    // The dual simplex starts from prices of at least 0; with a negative one
    // the programme may have no lowest cost at all.
    for (int j = 1; j <= columns; ++j)
        if (!(LpTableau[0][static_cast<std::size_t>(j)] >= 0)) {
            ClearLpAmounts();
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
            StoreSolution(labels, scaling, rows, extra);
            long double cost = extraColumn ? LpTableau[0][static_cast<std::size_t>(columns)] * extra : 0;
            for (int j = 1; j <= MaterialCount; ++j)
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

} // namespace

int32_t SolveLP(int32_t release)
{
    long double unused = 0;
    return SolveProgramme(release, false, unused);
}

int32_t SolveLPWithExtraColumn(int32_t release, long double& value)
{
    return SolveProgramme(release, true, value);
}

} // namespace ferrolyt
