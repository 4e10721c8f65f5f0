// The optimiser's linear programme: SolveLP against GLPK's dual simplex on
// the same tableaux, and the automatic release of a late block on a tableau
// of the shape a large task builds.

#include "Constraints.h"
#include "Model.h"
#include "SimplexLP.h"

#include <benchmark/benchmark.h>
#include <glpk.h>

#include <memory>
#include <random>
#include <vector>

using namespace ferrolyt;

namespace {

// Covering rows (every row needs some material) and material bounds, so
// that many exchanges are needed and the programme stays feasible.
TLpTableau MakeTableau(int rows, int columns)
{
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> coef(0, 9);
    TLpTableau t{};
    for (int j = 1; j <= columns; ++j)
        t[0][j] = 1 + coef(rng);
    for (int r = 1; r <= rows; ++r) {
        if (r % 5 == 0) {
            t[r][(r / 5 - 1) % columns + 1] = 1;
            t[r][0] = 50;
            continue;
        }
        for (int j = 1; j <= columns; ++j)
            t[r][j] = coef(rng) < 4 ? -coef(rng) : 0;
        t[r][0] = -(5 + coef(rng));
    }
    return t;
}

void SetUpModel(int columns)
{
    ResetModel();
    MaterialCount = columns;
    ConstraintBlockCount = 0;
}

// Times SolveLP on `start`, which must end with `expected`.
void TimeSolveLP(benchmark::State& state, const TLpTableau& start, int rows, int32_t expected)
{
    for (auto _ : state) {
        LpTableau = start;
        LpRowCount = rows;
        if (SolveLP(0) != expected) {
            state.SkipWithError("the benchmark's programme did not end as it should");
            break;
        }
        benchmark::DoNotOptimize(LpTableau[0][0]);
    }
    state.counters["cost"] = static_cast<double>(-LpTableau[0][0]);
}

void SolveLPOnTableau(benchmark::State& state)
{
    const int rows = static_cast<int>(state.range(0));
    const int columns = static_cast<int>(state.range(1));
    SetUpModel(columns);
    TimeSolveLP(state, MakeTableau(rows, columns), rows, lpMet);
}

struct GlpkProblem {
    void operator()(glp_prob* p) const { glp_delete_prob(p); }
};

// The same programme for GLPK: rows up to their right sides, columns from 0.
std::unique_ptr<glp_prob, GlpkProblem> GlpkFromTableau(const TLpTableau& t, int rows, int columns)
{
    std::unique_ptr<glp_prob, GlpkProblem> p(glp_create_prob());
    glp_set_obj_dir(p.get(), GLP_MIN);
    glp_add_rows(p.get(), rows);
    glp_add_cols(p.get(), columns);
    std::vector<int> ia{0}, ja{0};
    std::vector<double> ar{0};
    for (int r = 1; r <= rows; ++r) {
        glp_set_row_bnds(p.get(), r, GLP_UP, 0, static_cast<double>(t[r][0]));
        for (int j = 1; j <= columns; ++j)
            if (t[r][j] != 0) {
                ia.push_back(r);
                ja.push_back(j);
                ar.push_back(static_cast<double>(t[r][j]));
            }
    }
    for (int j = 1; j <= columns; ++j) {
        glp_set_col_bnds(p.get(), j, GLP_LO, 0, 0);
        glp_set_obj_coef(p.get(), j, static_cast<double>(t[0][j]));
    }
    glp_load_matrix(p.get(), static_cast<int>(ia.size()) - 1, ia.data(), ja.data(), ar.data());
    glp_term_out(GLP_OFF);
    glp_scale_prob(p.get(), GLP_SF_AUTO);
    return p;
}

void GlpkDualOnTableau(benchmark::State& state)
{
    const int rows = static_cast<int>(state.range(0));
    const int columns = static_cast<int>(state.range(1));
    const auto p = GlpkFromTableau(MakeTableau(rows, columns), rows, columns);
    glp_smcp parm;
    glp_init_smcp(&parm);
    parm.meth = GLP_DUAL;
    parm.msg_lev = GLP_MSG_OFF;
    for (auto _ : state) {
        glp_std_basis(p.get()); // from the slack basis, as SolveLP starts
        if (glp_simplex(p.get(), &parm) != 0 || glp_get_status(p.get()) != GLP_OPT) {
            state.SkipWithError("GLPK did not solve the benchmark's programme");
            break;
        }
        benchmark::DoNotOptimize(glp_get_obj_val(p.get()));
    }
    state.counters["cost"] = glp_get_obj_val(p.get());
}

BENCHMARK(SolveLPOnTableau)->Args({100, 60})->Args({280, 100})->Unit(benchmark::kMicrosecond);
BENCHMARK(GlpkDualOnTableau)->Args({100, 60})->Args({280, 100})->Unit(benchmark::kMicrosecond);

// Most prices 0, so that the dual ratio test ties at 0 on almost every
// exchange, and rows met by a known charge, many of them exactly.
TLpTableau MakeDualDegenerateTableau(int rows, int columns)
{
    std::mt19937 rng(13);
    std::uniform_int_distribution<int> digit(0, 9);
    TLpTableau t{};
    std::vector<int> charge(static_cast<std::size_t>(columns) + 1, 0);
    for (int j = 1; j <= columns; ++j) {
        t[0][j] = digit(rng) < 8 ? 0 : 1 + digit(rng);
        charge[static_cast<std::size_t>(j)] = digit(rng) < 3 ? 1 + digit(rng) / 2 : 0;
    }
    for (int r = 1; r <= rows; ++r) {
        long double used = 0;
        for (int j = 1; j <= columns; ++j)
            if (digit(rng) < 3) {
                t[r][j] = digit(rng) - digit(rng);
                used += t[r][j] * charge[static_cast<std::size_t>(j)];
            }
        t[r][0] = used + (digit(rng) < 3 ? 0 : digit(rng));
    }
    return t;
}

void SolveLPOnDualDegenerateTableau(benchmark::State& state)
{
    const int rows = static_cast<int>(state.range(0));
    const int columns = static_cast<int>(state.range(1));
    SetUpModel(columns);
    TimeSolveLP(state, MakeDualDegenerateTableau(rows, columns), rows, lpMet);
}

void GlpkDualOnDualDegenerateTableau(benchmark::State& state)
{
    const int rows = static_cast<int>(state.range(0));
    const int columns = static_cast<int>(state.range(1));
    const auto p = GlpkFromTableau(MakeDualDegenerateTableau(rows, columns), rows, columns);
    glp_smcp parm;
    glp_init_smcp(&parm);
    parm.meth = GLP_DUAL;
    parm.msg_lev = GLP_MSG_OFF;
    for (auto _ : state) {
        glp_std_basis(p.get());
        if (glp_simplex(p.get(), &parm) != 0 || glp_get_status(p.get()) != GLP_OPT) {
            state.SkipWithError("GLPK did not solve the benchmark's programme");
            break;
        }
        benchmark::DoNotOptimize(glp_get_obj_val(p.get()));
    }
    state.counters["cost"] = glp_get_obj_val(p.get());
}

BENCHMARK(SolveLPOnDualDegenerateTableau)->Args({100, 60})->Args({280, 100})->Unit(benchmark::kMicrosecond);
BENCHMARK(GlpkDualOnDualDegenerateTableau)->Args({100, 60})->Args({280, 100})->Unit(benchmark::kMicrosecond);

// A large task's tableau: 37 blocks of two dense rows (contents and phase
// masses on both systems), then 180 one-row material blocks; 254 rows over
// 60 materials. Block 179 (a lower amount) contradicts block 200 (an upper
// amount of the same material), so the automatic sequence must reach 179.
void ReleaseOfBlock179(benchmark::State& state)
{
    constexpr int columns = 60;
    SetUpModel(columns);
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> unit(0, 1);
    TLpTableau start{};
    for (int j = 1; j <= columns; ++j)
        start[0][j] = 100 + 900 * unit(rng);
    LpRowCount = 0;
    for (int b = 1; b <= 37; ++b) {
        const int first = LpRowCount + 1;
        AddConstraintBlock("dense", ckMetalElement, 1, 2);
        for (int r = first; r <= first + 1; ++r) {
            for (int j = 1; j <= columns; ++j)
                start[r][j] = unit(rng) < 0.7 ? 1 - 2 * unit(rng) : 0;
            start[r][0] = 5 + 20 * unit(rng);
        }
    }
    // A charge of at least 50 t so that the programme needs exchanges.
    for (int j = 1; j <= columns; ++j)
        start[1][j] = -1;
    start[1][0] = -50;
    for (int b = 38; b <= 217; ++b) {
        const int r = LpRowCount + 1;
        const int j = ((b == 200 ? 179 : b) - 38) % columns + 1;
        const bool lower = b == 179 || (b != 200 && b % 3 == 0);
        AddConstraintBlock(lower ? "min" : "max", ckMaterialMass, j, 1, lower ? csLower : csUpper);
        start[r][j] = lower ? -1 : 1;
        start[r][0] = b == 179 ? -6 : b == 200 ? 4 : lower ? 0 : 40;
    }
    TimeSolveLP(state, start, LpRowCount, lpMetReleased);
}
BENCHMARK(ReleaseOfBlock179)->Unit(benchmark::kMillisecond);

} // namespace
