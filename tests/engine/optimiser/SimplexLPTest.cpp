// The dual simplex against an independent solver (GLPK: its glpsol for
// batches of small programmes, its library one by one for large ones), and
// its own rules: the tie-breaks of its pivot choices and the release of
// blocks.

#include "Constraints.h"
#include "Model.h"
#include "SimplexLP.h"
#include "SolverFixtures.h"

#include <glpk.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
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

enum class Shape { Mixed, Covering, Degenerate, Infeasible, Bounds, Contents };

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
    if (shape == Shape::Contents) {
        // A charge of 20..60 t, each material at most 25 t, and the contents
        // of trace elements (0..3 ppm in each material) held to limits of
        // 0.5, 1, 1.5 or 2 ppm. Written in half-ppm so that the data are whole;
        // the tests scale the rows down to tonnes per tonne.
        for (int r = 0; r < lp.Rows; ++r) {
            auto& row = lp.A[r];
            const int limit = uniform(1, 4);
            for (auto& a : row)
                a = uniform(0, 6) - limit;
            lp.B[r] = 0;
        }
        for (int j = 0; j < lp.Columns; ++j) {
            std::vector<long double> bound(lp.Columns, 0);
            bound[j] = 1;
            lp.A.push_back(bound);
            lp.B.push_back(25);
        }
        lp.A.push_back(std::vector<long double>(lp.Columns, -1));
        lp.B.push_back(-uniform(20, 60));
        lp.A.push_back(std::vector<long double>(lp.Columns, 1));
        lp.B.push_back(60);
        lp.Rows = static_cast<int>(lp.A.size());
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

// Verdict and optimum of one programme by GLPK's library: its dual simplex
// from the slack basis, and with `exact` then its exact (rational) simplex
// from the basis found, which settles what rounding could blur. One
// programme at a time: the large ones, batched, take glpsol minutes.
struct GlpkProblem {
    void operator()(glp_prob* p) const { glp_delete_prob(p); }
};

Reference SolveOneWithGlpk(const TestLp& lp, bool exact)
{
    std::unique_ptr<glp_prob, GlpkProblem> p(glp_create_prob());
    glp_set_obj_dir(p.get(), GLP_MIN);
    glp_add_rows(p.get(), lp.Rows);
    glp_add_cols(p.get(), lp.Columns);
    std::vector<int> ia{0}, ja{0};
    std::vector<double> ar{0};
    for (int r = 0; r < lp.Rows; ++r) {
        glp_set_row_bnds(p.get(), r + 1, GLP_UP, 0, static_cast<double>(lp.B[r]));
        for (int j = 0; j < lp.Columns; ++j)
            if (lp.A[r][j] != 0) {
                ia.push_back(r + 1);
                ja.push_back(j + 1);
                ar.push_back(static_cast<double>(lp.A[r][j]));
            }
    }
    for (int j = 0; j < lp.Columns; ++j) {
        glp_set_col_bnds(p.get(), j + 1, GLP_LO, 0, 0);
        glp_set_obj_coef(p.get(), j + 1, static_cast<double>(lp.C[j]));
    }
    glp_load_matrix(p.get(), static_cast<int>(ia.size()) - 1, ia.data(), ja.data(), ar.data());
    glp_term_out(GLP_OFF);
    glp_smcp parm;
    glp_init_smcp(&parm);
    parm.msg_lev = GLP_MSG_OFF;
    parm.meth = GLP_DUALP;
    Reference ref;
    EXPECT_EQ(glp_simplex(p.get(), &parm), 0);
    if (exact) {
        EXPECT_EQ(glp_exact(p.get(), &parm), 0);
    }
    const int status = glp_get_status(p.get());
    EXPECT_TRUE(status == GLP_OPT || status == GLP_NOFEAS) << "GLPK status " << status;
    ref.Feasible = status == GLP_OPT;
    ref.Cost = ref.Feasible ? glp_get_obj_val(p.get()) : 0;
    return ref;
}

// Factors by which a test writes the same programme in other units: row r
// of the tableau times Row[r], column j (its entries and its price) times
// Column[j], and every price times Cost. The amounts found are then
// Column[j] times smaller and the cost Cost times larger.
struct Units {
    std::vector<long double> Row, Column;
    long double Cost = 1;
};

Units SameUnits(const TestLp& lp)
{
    return {std::vector<long double>(lp.Rows, 1), std::vector<long double>(lp.Columns, 1), 1};
}

void LoadTableau(const TestLp& lp, const Units& u)
{
    LoadTableau(lp);
    for (int j = 1; j <= lp.Columns; ++j)
        LpTableau[0][j] *= u.Cost * u.Column[j - 1];
    for (int r = 1; r <= lp.Rows; ++r) {
        LpTableau[r][0] *= u.Row[r - 1];
        for (int j = 1; j <= lp.Columns; ++j)
            LpTableau[r][j] *= u.Row[r - 1] * u.Column[j - 1];
    }
}

using UnitsOf = Units (*)(const TestLp&, std::mt19937&);

Units NoChange(const TestLp& lp, std::mt19937&) { return SameUnits(lp); }

// What SolveLP got wrong in a batch: a verdict other than GLPK's, or a
// feasible programme left at a dearer vertex; and how many GLPK found
// feasible.
struct Misses {
    int WrongVerdicts = 0;
    int DearerOptima = 0;
    int Feasible = 0;
};

// `arbitrate`, when given, solves a programme again where SolveLP and the
// reference disagree, and that answer stands.
Misses CompareWithReferences(const std::vector<TestLp>& lps, const std::vector<Reference>& refs, std::mt19937& rng,
                             const std::string& tag, UnitsOf unitsOf, Reference (*arbitrate)(const TestLp&) = nullptr)
{
    Misses misses;
    EXPECT_EQ(refs.size(), lps.size());
    if (refs.size() != lps.size())
        return misses;
    for (std::size_t k = 0; k < lps.size(); ++k) {
        const TestLp& lp = lps[k];
        const Units units = unitsOf(lp, rng);
        LoadTableau(lp, units);
        const int32_t status = SolveLP(0);
        SCOPED_TRACE(tag + " programme " + std::to_string(k) + " (" + std::to_string(lp.Rows) + " x " +
                     std::to_string(lp.Columns) + ")");
        const long double shownCost = -LpTableau[0][0] / units.Cost;
        for (int j = 1; j <= lp.Columns; ++j)
            MaterialTable[j].LpAmount *= units.Column[j - 1];
        const long double cost = CostOfLpAmounts(lp);
        auto tolerance = [](const Reference& ref) { return 1e-7L * std::max(1.0L, std::fabs(ref.Cost)); };
        auto agrees = [&](const Reference& ref) {
            return ref.Feasible ? status == lpMet && std::fabs(cost - ref.Cost) <= tolerance(ref) : status == lpNotMet;
        };
        const Reference ref = agrees(refs[k]) || arbitrate == nullptr ? refs[k] : arbitrate(lp);
        if (!ref.Feasible) {
            EXPECT_EQ(status, lpNotMet);
            misses.WrongVerdicts += status != lpNotMet;
            for (int j = 1; j <= lp.Columns; ++j)
                EXPECT_EQ(MaterialTable[j].LpAmount, 0);
            continue;
        }
        ++misses.Feasible;
        EXPECT_EQ(status, lpMet);
        if (status != lpMet) {
            ++misses.WrongVerdicts;
            continue;
        }
        EXPECT_LE(std::fabs(cost - ref.Cost), tolerance(ref)) << "SolveLP " << cost << ", GLPK " << ref.Cost;
        misses.DearerOptima += cost - ref.Cost > tolerance(ref);
        const long double scale = std::max(1.0L, std::fabs(ref.Cost));
        EXPECT_LE(std::fabs(shownCost - cost), 1e-9L * scale) << "the cost row disagrees with the amounts";
        EXPECT_LE(Violation(lp), 1e-9L * scale);
    }
    return misses;
}

void CompareWithGlpk(Shape shape, int count, int maxRows, int maxColumns, unsigned seed, const std::string& tag,
                     UnitsOf unitsOf = NoChange)
{
    std::mt19937 rng(seed);
    std::vector<TestLp> lps;
    for (int k = 0; k < count; ++k)
        lps.push_back(RandomLp(rng, shape, maxRows, maxColumns));
    test::TTempFolder folder;
    const std::vector<Reference> refs = SolveWithGlpk(lps, folder.Path(), tag);
    const int feasibleCount = CompareWithReferences(lps, refs, rng, tag, unitsOf).Feasible;
    // The batch must exercise both verdicts where its shape allows.
    if (shape == Shape::Infeasible)
        EXPECT_EQ(feasibleCount, 0);
    else
        EXPECT_GT(feasibleCount, 0);
}

// Every row, every column and the prices in units from 1e-6 to 1e6 apart.
Units MixedUnits(const TestLp& lp, std::mt19937& rng)
{
    std::uniform_int_distribution<int> power(-6, 6);
    Units u = SameUnits(lp);
    for (auto& f : u.Row)
        f = std::pow(10.0L, power(rng));
    for (auto& f : u.Column)
        f = std::pow(10.0L, power(rng));
    u.Cost = std::pow(10.0L, power(rng));
    return u;
}

template <int Power>
Units AllScaled(const TestLp& lp, std::mt19937&)
{
    const long double f = std::pow(10.0L, Power);
    return {std::vector<long double>(lp.Rows, f), std::vector<long double>(lp.Columns, f), f};
}

// The content rows in tonnes per tonne (half-ppm × 5e-7); the bounds stay in
// tonnes.
Units ContentsInTonnes(const TestLp& lp, std::mt19937&)
{
    Units u = SameUnits(lp);
    for (int r = 0; r < lp.Rows - lp.Columns - 2; ++r)
        u.Row[r] = 5e-7L;
    return u;
}

// Programmes of the optimiser's size, feasible by construction: the right
// sides are met by a known charge of a few materials, many of them exactly,
// so that both the primal and (with most prices 0) the dual are degenerate.
TestLp LargeLp(std::mt19937& rng, int zeroPricePercent)
{
    auto uniform = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    TestLp lp;
    lp.Rows = uniform(100, LpMaxRows);
    lp.Columns = uniform(20, LpMaxColumns);
    lp.A.assign(lp.Rows, std::vector<long double>(lp.Columns, 0));
    lp.B.assign(lp.Rows, 0);
    lp.C.assign(lp.Columns, 0);
    for (auto& c : lp.C)
        c = uniform(1, 100) <= zeroPricePercent ? 0 : uniform(1, 9);
    std::vector<int> charge(lp.Columns, 0);
    for (auto& x : charge)
        x = uniform(0, 2) == 0 ? uniform(1, 5) : 0;
    for (int r = 0; r < lp.Rows; ++r) {
        const int density = uniform(1, 5);
        long double used = 0;
        for (int j = 0; j < lp.Columns; ++j)
            if (uniform(0, 9) < density) {
                lp.A[r][j] = uniform(-9, 9);
                used += lp.A[r][j] * charge[j];
            }
        lp.B[r] = used + (uniform(0, 2) == 0 ? 0 : uniform(0, 10));
    }
    return lp;
}

// A seeded batch of programmes made by `make`, compared with GLPK one by
// one in the units `unitsOf` gives.
template <typename Make>
Misses CompareEachWithGlpk(Make make, int count, unsigned seed, const std::string& tag, UnitsOf unitsOf)
{
    std::mt19937 rng(seed);
    std::vector<TestLp> lps;
    std::vector<Reference> refs;
    for (int k = 0; k < count; ++k) {
        lps.push_back(make(rng));
        refs.push_back(SolveOneWithGlpk(lps.back(), false));
    }
    return CompareWithReferences(lps, refs, rng, tag, unitsOf,
                                 [](const TestLp& lp) { return SolveOneWithGlpk(lp, true); });
}

} // namespace

TEST(SimplexAgainstGlpk, DualDegenerateProgrammesReachTheirOptimum)
{
    // Most prices 0: the dual ratio test ties at 0 on almost every exchange.
    const Misses m = CompareEachWithGlpk([](std::mt19937& rng) { return LargeLp(rng, 85); }, 300, 101u,
                                         "dual-degenerate", NoChange);
    EXPECT_EQ(m.Feasible, 300);
    EXPECT_EQ(m.WrongVerdicts, 0);
    EXPECT_EQ(m.DearerOptima, 0);
}

TEST(SimplexAgainstGlpk, ProgrammesInUnitsFarApartReachTheirOptimum)
{
    // Rows, columns and prices 10^-6..10^6 apart: a column's reduced cost
    // can be small against the other columns' prices but not against its own.
    auto shaped = [](Shape shape, int maxRows) {
        return [shape, maxRows](std::mt19937& rng) { return RandomLp(rng, shape, maxRows, 30); };
    };
    // Among these are programmes that no charge meets, short of a row by a
    // whole unit, which on the scaled tableau is less than the tolerance.
    const Misses covering = CompareEachWithGlpk(shaped(Shape::Covering, 60), 720, 5001u, "covering", MixedUnits);
    EXPECT_GT(covering.Feasible, 500);
    EXPECT_EQ(covering.WrongVerdicts, 0);
    EXPECT_EQ(covering.DearerOptima, 0);
    const Misses mixed = CompareEachWithGlpk(shaped(Shape::Mixed, 30), 300, 300u, "mixed", MixedUnits);
    EXPECT_GT(mixed.Feasible, 100);
    EXPECT_EQ(mixed.WrongVerdicts, 0);
    EXPECT_EQ(mixed.DearerOptima, 0);
    const Misses large = CompareEachWithGlpk([](std::mt19937& rng) { return LargeLp(rng, 60); }, 100, 103u,
                                             "large", MixedUnits);
    EXPECT_EQ(large.Feasible, 100);
    EXPECT_EQ(large.WrongVerdicts, 0);
    EXPECT_EQ(large.DearerOptima, 0);
}

TEST(SimplexAgainstGlpk, MixedProgrammes) { CompareWithGlpk(Shape::Mixed, 150, 25, 20, 11u, "mixed"); }
TEST(SimplexAgainstGlpk, CoveringProgrammesNeedManyExchanges)
{
    CompareWithGlpk(Shape::Covering, 60, 40, 30, 23u, "covering");
}
TEST(SimplexAgainstGlpk, DegenerateProgrammes) { CompareWithGlpk(Shape::Degenerate, 100, 20, 12, 37u, "degenerate"); }
TEST(SimplexAgainstGlpk, InfeasibleProgrammes) { CompareWithGlpk(Shape::Infeasible, 60, 15, 10, 41u, "infeasible"); }
TEST(SimplexAgainstGlpk, MaterialBoundsAndShares) { CompareWithGlpk(Shape::Bounds, 60, 25, 15, 53u, "bounds"); }
TEST(SimplexAgainstGlpk, LargestTableau) { CompareWithGlpk(Shape::Covering, 4, 280, 100, 61u, "largest"); }

TEST(SimplexAgainstGlpk, ContentLimitsOfAFewPpm)
{
    CompareWithGlpk(Shape::Contents, 80, 4, 8, 67u, "contents", ContentsInTonnes);
}

TEST(SimplexAgainstGlpk, VerdictAndCostDoNotDependOnUnits)
{
    CompareWithGlpk(Shape::Mixed, 60, 25, 20, 71u, "mixed-units", MixedUnits);
    CompareWithGlpk(Shape::Bounds, 40, 25, 15, 73u, "bounds-units", MixedUnits);
    CompareWithGlpk(Shape::Infeasible, 30, 15, 10, 79u, "infeasible-units", MixedUnits);
    CompareWithGlpk(Shape::Covering, 30, 40, 30, 83u, "small-units", AllScaled<-6>);
    CompareWithGlpk(Shape::Covering, 30, 40, 30, 89u, "large-units", AllScaled<6>);
}

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

    // Lower by clearly more than the tolerance: row 2 goes first.
    Tableau({2, 1, 1}, {{-5, -1, -1, 0}, {-5.00002L, -1, 0, -1}});
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

TEST(SimplexPivotRules, EachColumnIsJudgedByItsOwnPrice)
{
    // At least 1 t of the first two materials, priced 1.02 and 1, and at
    // least 1 t of a third priced 1e14. Against the third price the first
    // two differ by 2e-16, far inside any tolerance; against their own
    // they differ by 2 %, and the second is the cheaper.
    Tableau({1.02L, 1, 1e14L}, {{-1, -1, -1, 0}, {-1, 0, 0, -1}});
    ASSERT_EQ(SolveLP(0), lpMet);
    EXPECT_EQ(MaterialTable[1].LpAmount, 0);
    EXPECT_NEAR(static_cast<double>(MaterialTable[2].LpAmount), 1, 1e-12);
    EXPECT_LT(std::fabs(-LpTableau[0][0] - (1e14L + 1)), 1e-3L); // in extended precision
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

TEST(SimplexRelease, FirstBlockWhoseReleaseAloneMeetsTheRowsIsTheOneReleased)
{
    // Random programmes cut into blocks of one and two rows: the automatic
    // sequence must end at the first block that, released alone, lets the
    // rest be met, with the cost of that release.
    std::mt19937 rng(97);
    int released = 0;
    for (int k = 0; k < 300; ++k) {
        const TestLp lp = RandomLp(rng, k % 2 == 0 ? Shape::Mixed : Shape::Infeasible, 30, 12);
        auto cut = [&lp] {
            LoadTableau(lp);
            LpRowCount = 0;
            for (int r = 0; r < lp.Rows; r += 2)
                AddConstraintBlock("block", ckMaterialMass, 1, std::min(2, lp.Rows - r));
        };
        cut();
        if (SolveLP(0) == lpMet)
            continue;
        int first = 0;
        long double firstCost = 0;
        for (int b = 1; b <= ConstraintBlockCount && first == 0; ++b) {
            cut();
            if (SolveLP(b) == lpMet) {
                first = b;
                firstCost = -LpTableau[0][0];
            }
        }
        cut();
        const int32_t status = SolveLP(0);
        SCOPED_TRACE("programme " + std::to_string(k));
        if (first == 0) {
            EXPECT_EQ(status, lpNotMet);
            continue;
        }
        ++released;
        ASSERT_EQ(status, lpMetReleased);
        EXPECT_NEAR(static_cast<double>(-LpTableau[0][0]), static_cast<double>(firstCost),
                    1e-9 * std::max(1.0, static_cast<double>(firstCost)));
    }
    EXPECT_GT(released, 20);
}

TEST(SimplexRelease, PassOfTheScrapOnlyTaskIsMetByTheReleaseGlpkFinds)
{
    // A programme of the optimiser's shape where a release that went on from
    // the failed attempt's basis once stalled on rounding. GLPK's exact
    // simplex (glp_exact) meets it after the same automatic release at a
    // cost of 32870.3617328025.
    std::ifstream in(std::filesystem::path(FERROLYT_FIXTURES) / "linear-programmes" / "scrap-only-pass.txt");
    std::string line;
    std::getline(in, line); // the description
    std::string tag;
    int rows = 0, columns = 0, blocks = 0, release = 0;
    in >> tag >> rows >> columns >> blocks >> release;
    ASSERT_EQ(tag, "LP");
    ResetModel();
    for (auto& row : LpTableau)
        row.fill(0);
    MaterialCount = columns;
    ConstraintBlockCount = 0;
    LpRowCount = 0;
    for (int b = 0; b < blocks; ++b) {
        int first = 0, last = 0;
        in >> first >> last;
        ASSERT_EQ(first, LpRowCount + 1);
        AddConstraintBlock("block", ckMaterialMass, 1, last - first + 1);
    }
    ASSERT_EQ(LpRowCount, rows);
    for (int r = 0; r <= rows; ++r)
        for (int j = 0; j <= columns; ++j)
            in >> LpTableau[r][j];
    ASSERT_TRUE(in);
    ASSERT_EQ(SolveLP(release), lpMetReleased);
    EXPECT_NEAR(static_cast<double>(-LpTableau[0][0]), 32870.3617328025, 1e-7 * 32870.36);
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

TEST(SimplexGuards, BealesCyclingExampleEndsAtItsOptimumInEveryOrder)
{
    // The dual form of Beale's example (E. M. L. Beale, "Cycling in the dual
    // simplex algorithm", Naval Research Logistics Quarterly 2 (1955) 269):
    // with the most violated row and the first of tied ratios the exchanges
    // come back to the starting basis every six steps in half of the orders
    // of its rows and columns. Its lowest cost is 1.25.
    const std::vector<long double> prices{0, 0, 1};
    const std::vector<std::vector<long double>> rows{
        {-0.75L, -0.25L, -0.5L, 0}, {20, 8, 12, 0}, {-0.5L, 1, 0.5L, -1}, {6, -9, -3, 0}};
    std::vector<int> rowOrder{0, 1, 2, 3};
    int orders = 0;
    do {
        std::vector<int> columnOrder{0, 1, 2};
        do {
            std::vector<long double> p;
            for (int j : columnOrder)
                p.push_back(prices[static_cast<std::size_t>(j)]);
            std::vector<std::vector<long double>> t;
            for (int r : rowOrder) {
                const auto& row = rows[static_cast<std::size_t>(r)];
                t.push_back({row[0]});
                for (int j : columnOrder)
                    t.back().push_back(row[static_cast<std::size_t>(j) + 1]);
            }
            Tableau(p, t);
            SCOPED_TRACE("order " + std::to_string(orders));
            ASSERT_EQ(SolveLP(0), lpMet);
            EXPECT_NEAR(static_cast<double>(-LpTableau[0][0]), 1.25, 1e-12);
            ++orders;
        } while (std::next_permutation(columnOrder.begin(), columnOrder.end()));
    } while (std::next_permutation(rowOrder.begin(), rowOrder.end()));
    EXPECT_EQ(orders, 144);
}

TEST(SimplexGuards, NegativePriceIsNeverReportedAsMet)
{
    // x1 >= 1 at a price of -1: the more of it, the cheaper, without end.
    Tableau({-1, 2}, {{-1, -1, 0}, {-2, 0, -1}});
    MaterialTable[1].LpAmount = 7;
    EXPECT_EQ(SolveLP(0), lpNotMet);
    EXPECT_EQ(MaterialTable[1].LpAmount, 0);
    EXPECT_EQ(MaterialTable[2].LpAmount, 0);
}
