// The dual simplex against an independent solver (GLPK's glpsol), and its
// own rules: the tie-breaks of its pivot choices and the release of blocks.

#include "Constraints.h"
#include "Model.h"
#include "SimplexLP.h"
#include "SolverFixtures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

using namespace ferrolyt;

namespace {

// min c·x subject to A x <= b, x >= 0, with c >= 0.
struct TestLp {
    int Rows = 0;
    int Columns = 0;
    std::vector<std::vector<long double>> A;
    std::vector<long double> B;
    std::vector<long double> C;
};

void LoadTableau(const TestLp& lp)
{
    ResetModel();
    ConstraintBlockCount = 0;
    for (auto& row : LpTableau)
        row.fill(0);
    MaterialCount = lp.Columns;
    LpRowCount = lp.Rows;
    for (int j = 1; j <= lp.Columns; ++j)
        LpTableau[0][j] = lp.C[j - 1];
    for (int r = 1; r <= lp.Rows; ++r) {
        LpTableau[r][0] = lp.B[r - 1];
        for (int j = 1; j <= lp.Columns; ++j)
            LpTableau[r][j] = lp.A[r - 1][j - 1];
    }
}

long double CostOfLpAmounts(const TestLp& lp)
{
    long double cost = 0;
    for (int j = 1; j <= lp.Columns; ++j)
        cost += lp.C[j - 1] * MaterialTable[j].LpAmount;
    return cost;
}

// Largest violation of a row or of x >= 0 by the LP amounts.
long double Violation(const TestLp& lp)
{
    long double worst = 0;
    for (int j = 1; j <= lp.Columns; ++j)
        worst = std::max(worst, -MaterialTable[j].LpAmount);
    for (int r = 0; r < lp.Rows; ++r) {
        long double s = 0;
        for (int j = 0; j < lp.Columns; ++j)
            s += lp.A[r][j] * MaterialTable[j + 1].LpAmount;
        worst = std::max(worst, s - lp.B[r]);
    }
    return worst;
}

// ---------------------------------------------------------------------------
// Random programmes in the tableau's form, integer data so that verdicts do
// not hang on rounding.

enum class Shape { Mixed, Covering, Degenerate, Infeasible, Bounds };

TestLp RandomLp(std::mt19937& rng, Shape shape, int maxRows, int maxColumns)
{
    auto uniform = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    TestLp lp;
    lp.Rows = uniform(1, maxRows);
    lp.Columns = uniform(1, maxColumns);
    lp.A.assign(lp.Rows, std::vector<long double>(lp.Columns, 0));
    lp.B.assign(lp.Rows, 0);
    lp.C.assign(lp.Columns, 0);
    for (auto& c : lp.C)
        c = shape == Shape::Degenerate ? uniform(0, 2) : uniform(0, 9);
    for (int r = 0; r < lp.Rows; ++r) {
        auto& row = lp.A[r];
        for (auto& a : row)
            if (uniform(0, 9) >= 4)
                a = shape == Shape::Covering ? -uniform(0, 6) : uniform(-9, 9);
        if (shape == Shape::Covering) {
            lp.B[r] = -uniform(0, 30);
        } else if (shape != Shape::Degenerate) {
            lp.B[r] = uniform(-30, 30);
        } else {
            lp.B[r] = uniform(0, 2) == 0 ? 0 : uniform(-10, 10);
            // Repeat an earlier row now and then, sometimes scaled.
            if (r > 0 && uniform(0, 3) == 0) {
                const int k = uniform(0, r - 1);
                const int scale = uniform(1, 3);
                for (int j = 0; j < lp.Columns; ++j)
                    row[j] = scale * lp.A[k][j];
                lp.B[r] = scale * lp.B[k];
            }
        }
    }
    if (shape == Shape::Infeasible) {
        // Either a row that no x >= 0 meets, or two rows that contradict.
        const int r = uniform(0, lp.Rows - 1);
        if (uniform(0, 1) == 0 || lp.Rows < 2) {
            for (auto& a : lp.A[r])
                a = uniform(0, 4);
            lp.B[r] = -uniform(1, 10);
        } else {
            const int r2 = (r + 1) % lp.Rows;
            for (int j = 0; j < lp.Columns; ++j)
                lp.A[r2][j] = -(lp.A[r][j] = uniform(0, 3));
            lp.B[r] = uniform(0, 5);
            lp.B[r2] = -lp.B[r] - uniform(1, 5);
        }
    }
    if (shape == Shape::Bounds) {
        // Material-like rows: lower and upper amounts and a share of the total.
        for (int r = 0; r < lp.Rows; ++r) {
            auto& row = lp.A[r];
            std::fill(row.begin(), row.end(), 0);
            const int j = uniform(0, lp.Columns - 1);
            switch (uniform(0, 3)) {
            case 0: row[j] = -1; lp.B[r] = -uniform(0, 20); break;
            case 1: row[j] = 1; lp.B[r] = uniform(0, 40); break;
            default: {
                const long double p = uniform(1, 9) / 10.0L;
                std::fill(row.begin(), row.end(), -p);
                row[j] = 1 - p;
                lp.B[r] = 0;
            }
            }
        }
        // A demand on the total so that something must be charged.
        lp.A.back().assign(lp.Columns, -1);
        lp.B.back() = -uniform(1, 50);
    }
    return lp;
}

std::string Number(long double v)
{
    std::ostringstream s;
    s.precision(21);
    s << v;
    return s.str();
}

// Writes a sum of independent programmes as one CPLEX LP file. With
// `elastic` every programme k gets a variable t_k that relaxes all its rows
// and only sum of t_k is minimised: programme k is feasible exactly when its
// t_k is 0 at the optimum (the sum is separable). Otherwise the sum of the
// costs is minimised. Variables are numbered in the objective's order.
void WriteBatch(const std::filesystem::path& file, const std::vector<const TestLp*>& lps, bool elastic)
{
    std::ofstream out(file);
    out << "Minimize\n obj:";
    for (std::size_t k = 0; k < lps.size(); ++k) {
        if (elastic)
            out << " + 1 t" << k;
        else
            for (int j = 0; j < lps[k]->Columns; ++j)
                out << " + " << Number(lps[k]->C[j]) << " x" << k << "_" << j << "\n";
    }
    out << "\nSubject To\n";
    for (std::size_t k = 0; k < lps.size(); ++k) {
        const TestLp& lp = *lps[k];
        for (int r = 0; r < lp.Rows; ++r) {
            out << " r" << k << "_" << r << ":";
            bool empty = true;
            for (int j = 0; j < lp.Columns; ++j) {
                if (const long double a = lp.A[r][j]; a != 0) {
                    out << (a < 0 ? " - " : " + ") << Number(std::fabs(a)) << " x" << k << "_" << j;
                    empty = false;
                }
            }
            if (elastic)
                out << " - 1 t" << k;
            else if (empty)
                out << " + 0 x" << k << "_0"; // a row needs a term
            out << " <= " << Number(lp.B[r]) << "\n";
        }
    }
    out << "End\n";
}

struct GlpkSolution {
    char PrimalStatus = '?';
    std::vector<long double> Columns; // values in column order
};

GlpkSolution RunGlpsol(const std::filesystem::path& lpFile)
{
    const std::filesystem::path sol = lpFile.string() + ".sol";
    const std::string command =
        std::string(FERROLYT_GLPSOL) + " --lp '" + lpFile.string() + "' -w '" + sol.string() + "' > /dev/null 2>&1";
    GlpkSolution result;
    if (std::system(command.c_str()) != 0)
        return result;
    std::ifstream in(sol);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream s(line);
        std::string tag, status;
        s >> tag;
        if (tag == "s") {
            std::string primal;
            int m = 0, n = 0;
            s >> status >> m >> n >> primal;
            result.PrimalStatus = primal.empty() ? '?' : primal[0];
        } else if (tag == "j") {
            int index = 0;
            long double value = 0;
            s >> index >> status >> value;
            result.Columns.push_back(value);
        }
    }
    return result;
}

// Verdict and optimum of every programme by glpsol: two runs per batch.
struct Reference {
    bool Feasible = false;
    long double Cost = 0;
};

std::vector<Reference> SolveWithGlpk(const std::vector<TestLp>& lps, const std::filesystem::path& folder,
                                     const std::string& tag)
{
    std::vector<const TestLp*> all;
    for (const auto& lp : lps)
        all.push_back(&lp);
    const auto phase1 = folder / (tag + "-feasibility.lp");
    WriteBatch(phase1, all, true);
    const GlpkSolution s1 = RunGlpsol(phase1);
    EXPECT_EQ(s1.PrimalStatus, 'f') << "glpsol did not solve " << phase1;
    EXPECT_GE(s1.Columns.size(), lps.size());

    std::vector<Reference> refs(lps.size());
    std::vector<const TestLp*> feasible;
    for (std::size_t k = 0; k < lps.size() && k < s1.Columns.size(); ++k) {
        // Integer data: a feasible programme relaxes by exactly 0, an
        // infeasible one by far more than glpsol's tolerance.
        refs[k].Feasible = s1.Columns[k] < 1e-7L;
        if (refs[k].Feasible)
            feasible.push_back(&lps[k]);
    }
    if (feasible.empty())
        return refs;
    const auto phase2 = folder / (tag + "-cost.lp");
    WriteBatch(phase2, feasible, false);
    const GlpkSolution s2 = RunGlpsol(phase2);
    EXPECT_EQ(s2.PrimalStatus, 'f') << "glpsol did not solve " << phase2;
    std::size_t column = 0; // the feasible programmes' columns in turn
    for (std::size_t k = 0; k < lps.size(); ++k)
        for (int j = 0; refs[k].Feasible && j < lps[k].Columns && column < s2.Columns.size(); ++j, ++column)
            refs[k].Cost += lps[k].C[j] * s2.Columns[column];
    return refs;
}

void CompareWithGlpk(Shape shape, int count, int maxRows, int maxColumns, unsigned seed, const std::string& tag)
{
    std::mt19937 rng(seed);
    std::vector<TestLp> lps;
    for (int k = 0; k < count; ++k)
        lps.push_back(RandomLp(rng, shape, maxRows, maxColumns));
    test::TTempFolder folder;
    const std::vector<Reference> refs = SolveWithGlpk(lps, folder.Path(), tag);
    ASSERT_EQ(refs.size(), lps.size());
    int feasibleCount = 0;
    for (std::size_t k = 0; k < lps.size(); ++k) {
        const TestLp& lp = lps[k];
        LoadTableau(lp);
        const int32_t status = SolveLP(0);
        SCOPED_TRACE(tag + " programme " + std::to_string(k) + " (" + std::to_string(lp.Rows) + " x " +
                     std::to_string(lp.Columns) + ")");
        if (!refs[k].Feasible) {
            EXPECT_EQ(status, lpNotMet);
            for (int j = 1; j <= lp.Columns; ++j)
                EXPECT_EQ(MaterialTable[j].LpAmount, 0);
            continue;
        }
        ++feasibleCount;
        ASSERT_EQ(status, lpMet);
        const long double cost = CostOfLpAmounts(lp);
        const long double scale = std::max(1.0L, std::fabs(refs[k].Cost));
        EXPECT_LE(std::fabs(cost - refs[k].Cost), 1e-7L * scale) << "SolveLP " << cost << ", glpsol " << refs[k].Cost;
        EXPECT_LE(std::fabs(-LpTableau[0][0] - cost), 1e-9L * scale) << "the cost row disagrees with the amounts";
        EXPECT_LE(Violation(lp), 1e-9L);
    }
    // The batch must exercise both verdicts where its shape allows.
    if (shape == Shape::Infeasible)
        EXPECT_EQ(feasibleCount, 0);
    else
        EXPECT_GT(feasibleCount, 0);
}

} // namespace

TEST(SimplexAgainstGlpk, MixedProgrammes) { CompareWithGlpk(Shape::Mixed, 150, 25, 20, 11u, "mixed"); }
TEST(SimplexAgainstGlpk, CoveringProgrammesNeedManyExchanges)
{
    CompareWithGlpk(Shape::Covering, 60, 40, 30, 23u, "covering");
}
TEST(SimplexAgainstGlpk, DegenerateProgrammes) { CompareWithGlpk(Shape::Degenerate, 100, 20, 12, 37u, "degenerate"); }
TEST(SimplexAgainstGlpk, InfeasibleProgrammes) { CompareWithGlpk(Shape::Infeasible, 60, 15, 10, 41u, "infeasible"); }
TEST(SimplexAgainstGlpk, MaterialBoundsAndShares) { CompareWithGlpk(Shape::Bounds, 60, 25, 15, 53u, "bounds"); }
TEST(SimplexAgainstGlpk, LargestTableau) { CompareWithGlpk(Shape::Covering, 4, 280, 100, 61u, "largest"); }

// ---------------------------------------------------------------------------

namespace {

// A tableau from rows given as {right side, coefficients...}.
void Tableau(std::vector<long double> prices, std::vector<std::vector<long double>> rows)
{
    TestLp lp{static_cast<int>(rows.size()), static_cast<int>(prices.size()), {}, {}, prices};
    for (auto& r : rows) {
        lp.B.push_back(r.front());
        lp.A.emplace_back(r.begin() + 1, r.end());
    }
    LoadTableau(lp);
}

} // namespace

TEST(SimplexPivotRules, RowsMetAtTheStartNeedNoExchange)
{
    Tableau({3, 4}, {{5, 1, 1}, {0, -1, 2}, {2, 0, 1}});
    const TLpTableau before = LpTableau;
    EXPECT_EQ(SolveLP(0), lpMet);
    EXPECT_EQ(MaterialTable[1].LpAmount, 0);
    EXPECT_EQ(MaterialTable[2].LpAmount, 0);
    EXPECT_EQ(LpTableau, before);
}

TEST(SimplexPivotRules, EarlierRowWinsWithinTolerance)
{
    // Which row is exchanged first decides which of two equally cheap
    // solutions comes out: x1 = 5.0000005 when row 1 goes first, x1 = 5 when
    // row 2 does.
    Tableau({2, 1, 1}, {{-5, -1, -1, 0}, {-5.0000005L, -1, 0, -1}});
    ASSERT_EQ(SolveLP(0), lpMet);
    EXPECT_NEAR(static_cast<double>(MaterialTable[1].LpAmount), 5.0000005, 1e-12);

    // Lower by more than the tolerance: row 2 goes first.
    Tableau({2, 1, 1}, {{-5, -1, -1, 0}, {-5.000002L, -1, 0, -1}});
    ASSERT_EQ(SolveLP(0), lpMet);
    EXPECT_NEAR(static_cast<double>(MaterialTable[1].LpAmount), 5, 1e-12);
}

TEST(SimplexPivotRules, EarlierColumnWinsWithinTolerance)
{
    // Ratios 1.0000005 and 1: the earlier column is kept.
    Tableau({1.0000005L, 1}, {{-5, -1, -1}});
    ASSERT_EQ(SolveLP(0), lpMet);
    EXPECT_EQ(MaterialTable[1].LpAmount, 5);
    EXPECT_EQ(MaterialTable[2].LpAmount, 0);

    // Cheaper by more than the tolerance: the later column wins.
    Tableau({1.000002L, 1}, {{-5, -1, -1}});
    ASSERT_EQ(SolveLP(0), lpMet);
    EXPECT_EQ(MaterialTable[1].LpAmount, 0);
    EXPECT_EQ(MaterialTable[2].LpAmount, 5);
}

namespace {

// Two materials; blocks 1..4 over rows 1..5:
//   1: x1 >= 1          2: x1 >= 2, x2 <= 4     3: x2 >= 6     4: x1 + x2 <= 100
// Block 3 contradicts block 2.
void OneConflictTask()
{
    Tableau({1, 1}, {{-1, -1, 0}, {-2, -1, 0}, {4, 0, 1}, {-6, 0, -1}, {100, 1, 1}});
    LpRowCount = 0;
    AddConstraintBlock("x1 >= 1", ckMaterialMass, 1, 1);
    AddConstraintBlock("x1 >= 2, x2 <= 4", ckMaterialMass, 1, 2);
    AddConstraintBlock("x2 >= 6", ckMaterialMass, 2, 1);
    AddConstraintBlock("x1 + x2 <= 100", ckMaterialShare, 1, 1);
    ASSERT_EQ(LpRowCount, 5);
}

// One-row blocks: x1 <= 3, x1 >= 5, x2 <= 1, x2 >= 2; two conflicts.
void TwoConflictTask()
{
    Tableau({1, 1}, {{3, 1, 0}, {-5, -1, 0}, {1, 0, 1}, {-2, 0, -1}});
    LpRowCount = 0;
    for (int k = 0; k < 4; ++k)
        AddConstraintBlock("block", ckMaterialMass, 1, 1);
}

} // namespace

TEST(SimplexRelease, OneConflictingBlockIsReleasedAlone)
{
    OneConflictTask();
    ASSERT_EQ(SolveLP(0), lpMetReleased);
    // Block 1 failed alone and came back (x1 >= 1 holds); block 2 is released
    // with both its rows (x2 may exceed 4); block 3 holds.
    EXPECT_EQ(MaterialTable[1].LpAmount, 1);
    EXPECT_EQ(MaterialTable[2].LpAmount, 6);
    EXPECT_EQ(LpTableau[0][0], -7);
}

TEST(SimplexRelease, ReleasedArgumentLiftsItsBlockForTheWholeCall)
{
    OneConflictTask();
    EXPECT_EQ(SolveLP(3), lpMet);
    EXPECT_EQ(MaterialTable[1].LpAmount, 2);
    EXPECT_EQ(MaterialTable[2].LpAmount, 0);
}

TEST(SimplexRelease, TwoConflictsCannotBeMet)
{
    TwoConflictTask();
    for (int j = 1; j <= 2; ++j)
        MaterialTable[j].LpAmount = 99;
    EXPECT_EQ(SolveLP(0), lpNotMet);
    EXPECT_EQ(MaterialTable[1].LpAmount, 0);
    EXPECT_EQ(MaterialTable[2].LpAmount, 0);
}

TEST(SimplexRelease, AutomaticReleaseComesOnTopOfTheReleasedArgument)
{
    // Released block 2 (x1 >= 5) settles the first conflict; the sequence then
    // tries block 1 (fails: x2 still conflicts) and block 2 again before
    // block 3 (x2 <= 1) settles the second one.
    TwoConflictTask();
    EXPECT_EQ(SolveLP(2), lpMetReleased);
    EXPECT_EQ(MaterialTable[1].LpAmount, 0);
    EXPECT_EQ(MaterialTable[2].LpAmount, 2);
}

TEST(SimplexGuards, TableauBeyondItsRoomIsNotSolved)
{
    Tableau({1}, {{-1, -1}});
    MaterialCount = LpMaxColumns + 1;
    EXPECT_EQ(SolveLP(0), lpNotMet);
    MaterialCount = 1;
    LpRowCount = LpMaxRows + 1;
    EXPECT_EQ(SolveLP(0), lpNotMet);
}

TEST(SimplexGuards, CyclingEndsAtTheExchangeLimit)
{
    // The transposed form of Beale's example: with the most violated row and
    // the first of tied ratios, the exchanges return to the starting basis
    // every six steps and never end on their own.
    Tableau({0, 0, 1}, {{-0.75L, -0.25L, -0.5L, 0}, {20, 8, 12, 0}, {-0.5L, 1, 0.5L, -1}, {6, -9, -3, 0}});
    EXPECT_EQ(SolveLP(0), lpNotMet);
    for (int j = 1; j <= 3; ++j)
        EXPECT_EQ(MaterialTable[j].LpAmount, 0);
}
