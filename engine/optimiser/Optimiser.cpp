#include "Optimiser.h"

#include "Constraints.h"
#include "ForwardProblem.h"
#include "Host.h"
#include "Model.h"
#include "Settings.h"
#include "SimplexLP.h"
#include "SolvedSystems.h"
#include "SystemSetup.h"
#include "TaskList.h"
#include "ThSys.h"

#include <algorithm>
#include <cfenv>
#include <cmath>

namespace ferrolyt {

long double OptimiserTolerance() { return Settings.AccurateOptimisation ? 1e-7L : 1e-5L; }

long double ChargeCost()
{
    long double cost = 0;
    for (int j = 1; j <= MaterialCount; ++j)
        cost += MaterialTable[j].Price * MaterialTable[j].Amount;
    return cost;
}

std::vector<long double> KeptCharge()
{
    std::vector<long double> amounts;
    for (int j = 1; j <= MaterialCount; ++j)
        amounts.push_back(MaterialTable[j].Amount);
    return amounts;
}

void RestoreCharge(const std::vector<long double>& amounts)
{
    ChargeTotal = 0;
    for (int j = 1; j <= MaterialCount; ++j) {
        TMaterialRecord& m = MaterialTable[j];
        const auto k = static_cast<std::size_t>(j - 1);
        m.Amount = k < amounts.size() ? amounts[k] : 0;
        m.LpAmount = m.Amount;
        ChargeTotal += m.Amount;
    }
}

long double RelaxationWeight(int32_t pass, long double r, long double floor)
{
    if (pass == 1)
        return 0;
    return std::min(MaxRelaxationWeight, std::max(floor, 3 * r));
}

long double RoundAmount(long double amount)
{
    // Ties to even is the default rounding mode; set it in case a caller
    // changed it.
    const int mode = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const long double rounded = std::nearbyint(amount * 1000) / 1000;
    std::fesetround(mode);
    return rounded;
}

namespace {

// Rows of the least-violation programme are never given less room than
// this, so a row without terms at the current charge still has a column.
constexpr long double LeastRowSize = 1e-9L;
// The cheapest charge among those that break the rows least may break each
// by this share more, so the rounding of the first solution does not shut
// it out.
constexpr long double LeastBreakRoom = 1e-6L;

long double Settled(long double amount) { return amount < NegligibleAmount ? 0 : amount; }

} // namespace

bool TRelaxation::Step(long double tolerance)
{
    long double squares = 0;
    long double lpTotal = 0;
    long double turn = 0; // the move against the previous one
    long double lastSquares = 0;
    const int columns = std::min(MaterialCount, LpMaxColumns);
    for (int j = 1; j <= MaterialCount; ++j) {
        const TMaterialRecord& m = MaterialTable[j];
        const long double d = m.LpAmount - m.Amount;
        squares += d * d;
        lpTotal += m.LpAmount;
        if (j <= columns) {
            auto& last = lastMove_[static_cast<std::size_t>(j)];
            turn += d * last;
            lastSquares += last * last;
            last = d;
        }
    }
    const long double r = std::sqrt(squares) / (1e-6L + lpTotal);
    if (SlpPass > 1 && turn < 0) {
        // At the highest weight a swing that goes on is a jump of the rows
        // between two vertices: only shorter moves end it.
        if (floor_ >= MaxRelaxationWeight) {
            reach_ /= 2;
            reachCeiling_ = reach_;
        }
        floor_ = std::min(MaxRelaxationWeight, 2 * floor_);
    }
    if (SlpPass > 1)
        Adapt(r, turn > ApproachCosine * std::sqrt(squares * lastSquares));
    else
        bestGap_ = r;
    lastGap_ = r;
    const long double w = RelaxationWeight(SlpPass, r, floor_);
    ChargeTotal = 0;
    for (int j = 1; j <= MaterialCount; ++j) {
        TMaterialRecord& m = MaterialTable[j];
        if (j <= columns)
            before_[static_cast<std::size_t>(j)] = m.Amount;
        m.Amount = Settled(reach_ < 1 ? m.Amount + reach_ * (m.LpAmount - m.Amount) / (w + 1)
                                      : (m.LpAmount + w * m.Amount) / (w + 1));
        ChargeTotal += m.Amount;
    }
    moved_ = true;
    stepBacks_ = 0;
    // Shortened moves settle the charge between the vertices, where the
    // rows' answer still jumps: the run ends when those moves die out.
    const long double limit = tolerance * SlpPass;
    return r < limit || (reach_ < 1 && reach_ * r / (w + 1) < limit);
}

void TRelaxation::Adapt(long double r, bool sameWay)
{
    // Passes that keep the direction and close the gap are held back by
    // damping an earlier swing or step-back left behind: it is given back
    // step by step, first the share of the move, then the weight.
    approaching_ = sameWay && r < lastGap_ ? approaching_ + 1 : 0;
    if (approaching_ >= ApproachPasses) {
        approaching_ = 0;
        if (reach_ < reachCeiling_)
            reach_ = std::min(reachCeiling_, 2 * reach_);
        else
            floor_ = std::max(MinRelaxationWeight, floor_ / 2);
    }
    // A gap that stops closing is a creep or a swing among more than two
    // vertices, which neither the weight nor the turn test catches: the
    // share of the move is halved for good, so the shortened moves end the
    // run.
    if (r < StallProgress * bestGap_) {
        bestGap_ = r;
        stalled_ = 0;
    } else if (++stalled_ >= StallPasses) {
        stalled_ = 0;
        bestGap_ = r;
        reach_ /= 2;
        reachCeiling_ = reach_;
    }
}

bool TRelaxation::StepBack()
{
    if (!moved_ || stepBacks_ >= MaxStepBacks)
        return false;
    ++stepBacks_;
    floor_ = std::min(MaxRelaxationWeight, 2 * floor_);
    reach_ /= 2;
    ChargeTotal = 0;
    for (int j = 1; j <= std::min(MaterialCount, LpMaxColumns); ++j) {
        TMaterialRecord& m = MaterialTable[j];
        m.Amount = Settled((m.Amount + before_[static_cast<std::size_t>(j)]) / 2);
        ChargeTotal += m.Amount;
    }
    return true;
}

namespace {

bool IsSet(long double v) { return v != UnsetValue; }

// A released absence: the task material whose Fixed 0 mark is lifted for the
// run, and its table slot.
struct TLiftedAbsence {
    int TaskMaterial = 0;
    int Slot = 0;
};

TLiftedAbsence LiftAbsence(int32_t released)
{
    TLiftedAbsence lifted;
    if (released < 1 || released > ConstraintBlockCount || released > MaxConstraintBlocks)
        return lifted;
    const TConstraintBlockRecord& block = ConstraintBlocks[released];
    if (block.Kind != ckFixedMass || TaskList.Current < 0 || TaskList.Current >= TaskList.Count)
        return lifted;
    TTaskRecord& task = TaskList.CurrentTask();
    for (int k = 1; k <= task.NMat && k <= MaxTaskMaterials; ++k) {
        TMaterialRecord& tm = task.Materials[k];
        if (tm.TableIndex == block.Index && tm.Fixed == 0) {
            if (block.Index < 1 || block.Index > MaterialCount)
                break;
            tm.Fixed = UnsetValue;
            MaterialTable[block.Index].Fixed = UnsetValue;
            lifted.TaskMaterial = k;
            lifted.Slot = block.Index;
            break;
        }
    }
    return lifted;
}

// True when both solves converged.
bool SolveBothSystems(bool display, bool fromTargets)
{
    const auto notes = SolveBoundSystems(display, fromTargets);
    return notes[0].Converged && notes[1].Converged;
}

// The charge both systems were last solved for in this run: a pass whose
// charge has not moved since reads the equilibria it already has.
class TSolvedCharge {
public:
    bool Holds() const { return valid_ && KeptCharge() == amounts_; }
    void Solve(bool display, bool fromTargets)
    {
        SolveBothSystems(display, fromTargets);
        if (fromTargets)
            valid_ = false;
        else
            Mark();
    }
    // The systems hold the equilibria of the current charge.
    void Mark()
    {
        valid_ = true;
        amounts_ = KeptCharge();
    }

private:
    bool valid_ = false;
    std::vector<long double> amounts_;
};

// What the first pass of a run is solved from, as a digest: the elements'
// constants and given initial phases, each system's starting temperature,
// the charge with the materials' analyses and kinds, the interaction and
// gas tables and the pressure; with the options and the listing of blocks
// beside it. What the solves themselves write (the phases' amounts, the
// materials' heats) is left out: the first pass starts from the same
// equilibria whatever a run before it left there.
class TDigest {
public:
    void Add(long double v)
    {
        int exponent = 0;
        const long double mantissa = std::frexp(v, &exponent);
        Add(static_cast<int64_t>(std::ldexp(mantissa, 62)));
        Add(static_cast<int64_t>(exponent));
    }
    void Add(int64_t v)
    {
        for (int b = 0; b < 8; ++b)
            Byte(static_cast<uint8_t>(static_cast<uint64_t>(v) >> (8 * b)));
    }
    void Add(const std::string& text)
    {
        Add(static_cast<int64_t>(text.size()));
        for (const char c : text)
            Byte(static_cast<uint8_t>(c));
    }
    template <typename T, std::size_t N>
    void Add(const std::array<T, N>& values)
    {
        for (const T& v : values)
            Add(static_cast<long double>(v));
    }
    uint64_t Value() const { return hash_; }

private:
    uint64_t hash_ = 14695981039346656037ull; // FNV-1a
    void Byte(uint8_t b)
    {
        hash_ ^= b;
        hash_ *= 1099511628211ull;
    }
};

struct TFirstPassKey {
    uint64_t Listing = 0;
    TSettingsRecord Options;
    uint64_t Data = 0;
    std::vector<long double> Charge;
    bool operator==(const TFirstPassKey&) const = default;
};

void AddElement(TDigest& d, const TElementRecord& e)
{
    d.Add(e.Symbol);
    for (const long double v : {e.Valence, e.MolarMass, e.CompoundFactor, e.SlagA1, e.SlagB1, e.SlagA2, e.SlagB2,
                                e.SlagEnergy, e.MetalH, e.MetalS, e.Tolerance, e.ChargeEnthalpy, e.NmiSurfaceCoef,
                                e.InputMetalMass, e.InputSlagMass, e.InputNmiMass, e.MetalLimit, e.SlagLimit})
        d.Add(v);
    d.Add(static_cast<int64_t>(e.DirectStandard) | static_cast<int64_t>(e.MetalLimitGiven) << 1 |
          static_cast<int64_t>(e.SlagLimitGiven) << 2 | static_cast<int64_t>(e.GasLinks[0]) << 8 |
          static_cast<int64_t>(e.GasLinks[1]) << 24);
    d.Add(e.SolidEnthalpy);
    d.Add(e.LiquidEnthalpy);
}

TFirstPassKey FirstPassKey()
{
    TDigest d;
    const int elements = std::min(SystemElemLast, MaxElements - 1);
    d.Add(static_cast<int64_t>(elements));
    const TTaskRecord& task = TaskList.CurrentTask();
    for (const long double v : {task.IniTemp, task.AmbTemp, task.Energy, task.Losses, task.ExtP, task.Charge})
        d.Add(v);
    for (const auto& sys : {ThSystems[0].get(), ThSystems[1].get()}) {
        d.Add(sys->InitialTemperature);
        d.Add(sys->BaseHeatInputs);
        d.Add(static_cast<int64_t>(sys->Kind));
        for (int i = 0; i <= elements; ++i)
            AddElement(d, sys->El(i));
    }
    d.Add(static_cast<int64_t>(MaterialCount));
    for (int j = 1; j <= MaterialCount; ++j) {
        const TMaterialRecord& m = MaterialTable[j];
        for (const long double v : {m.Temperature, m.RecoveryLo, m.RecoveryHi})
            d.Add(v);
        d.Add(static_cast<int64_t>(m.Type) | static_cast<int64_t>(m.Molten) << 8 |
              static_cast<int64_t>(m.Disabled) << 9);
        d.Add(m.HeatA);
        d.Add(m.HeatB);
        d.Add(m.ChargeSign);
        for (const TCompositionTable* table : {&CompositionMin, &CompositionMax})
            for (int i = 0; i <= elements + 1; ++i)
                d.Add(static_cast<long double>((*table)[static_cast<std::size_t>(i)][j]));
    }
    for (int i = 0; i < MaxElements; ++i) {
        d.Add(InteractionEnergy[static_cast<std::size_t>(i)]);
        d.Add(WagnerMatrix[static_cast<std::size_t>(i)]);
        d.Add(SlagMatrix[static_cast<std::size_t>(i)]);
    }
    d.Add(static_cast<int64_t>(ActiveGasCount));
    for (int g = 1; g <= ActiveGasCount && g <= MaxGasSpecies; ++g)
        d.Add(ActiveGases[g].Coef);
    d.Add(TotalPressure);
    return {ConstraintListing, Settings, d.Value(), KeptCharge()};
}

// The equilibria of the first pass of a run, kept for the later runs of the
// same listing of blocks: the scan of the alternatives starts every run from
// the task's starting charge, so each run after the first starts from the
// same equilibria instead of solving them again (and from where the run
// before it happened to end). They are handed back only for the same key.
class TFirstPass {
public:
    bool Restore(const TFirstPassKey& key, TSolvedCharge& solved)
    {
        if (!kept_ || !(key == key_))
            return false;
        solvedSystems_.PutBack();
        for (int p = 0; p < 3 && MaterialCount + 1 + p <= MaterialSlotLast; ++p)
            MaterialTable[MaterialCount + 1 + p] = pseudo_[static_cast<std::size_t>(p)];
        for (int j = 1; j <= MaterialCount; ++j)
            MaterialTable[j].TempEffect = tempEffects_[static_cast<std::size_t>(j)];
        solved.Mark();
        return true;
    }
    void Store(const TFirstPassKey& key)
    {
        key_ = key;
        solvedSystems_.Take();
        for (int p = 0; p < 3 && MaterialCount + 1 + p <= MaterialSlotLast; ++p)
            pseudo_[static_cast<std::size_t>(p)] = MaterialTable[MaterialCount + 1 + p];
        for (int j = 1; j <= MaterialCount; ++j)
            tempEffects_[static_cast<std::size_t>(j)] = MaterialTable[j].TempEffect;
        kept_ = true;
    }

private:
    bool kept_ = false;
    TFirstPassKey key_;
    TSolvedSystems solvedSystems_;
    std::array<TMaterialRecord, 3> pseudo_{};
    // The materials' temperature effects, which the solves write beside
    // the systems.
    std::array<std::array<long double, 2>, LpMaxColumns + 1> tempEffects_{};
};

TFirstPass FirstPass;

// The amounts a run hands back: a set Fixed, otherwise within the
// material's own bounds (which relaxed moves approach without reaching) and
// rounded to 0.001 t.
void SettleFinalAmounts()
{
    ChargeTotal = 0;
    for (int j = 1; j <= MaterialCount; ++j) {
        TMaterialRecord& m = MaterialTable[j];
        if (IsSet(m.MaxT))
            m.Amount = std::min(m.Amount, m.MaxT);
        if (IsSet(m.MinT))
            m.Amount = std::max(m.Amount, m.MinT);
        m.Amount = IsSet(m.Fixed) ? m.Fixed : RoundAmount(m.Amount);
        ChargeTotal += m.Amount;
    }
}

// How far the rows of limits a melt broke are moved in: the linear rows
// are exact at the charge they are built around, but a charge that settles
// between two vertices of the rows can lie where the limit curves away from
// them.
class TBackOff {
public:
    void Apply() const
    {
        for (int r = 1; r <= LpRowCount; ++r)
            LpTableau[static_cast<std::size_t>(r)][0] -= shift_[static_cast<std::size_t>(r)];
    }
    // Moves the rows of the blocks in by how much the charge the rows were
    // just built around (and not yet moved) breaks them: at that charge the
    // rows are the melt's own values.
    void Widen(const std::vector<int32_t>& blocks)
    {
        for (int32_t k : blocks)
            for (int r = ConstraintBlocks[k].FirstRow; r <= ConstraintBlocks[k].LastRow && r <= LpRowCount; ++r) {
                const auto& row = LpTableau[static_cast<std::size_t>(r)];
                long double value = -row[0];
                for (int j = 1; j <= MaterialCount; ++j)
                    value += row[static_cast<std::size_t>(j)] * MaterialTable[j].Amount;
                if (value > 0)
                    shift_[static_cast<std::size_t>(r)] += value;
            }
    }

private:
    std::array<long double, LpMaxRows + 1> shift_{};
};

// Makes the last linear programme's solution, rounded as a final charge,
// the charge; false when it is the charge already.
bool TakeLpSolution()
{
    bool moved = false;
    for (int j = 1; j <= MaterialCount; ++j) {
        TMaterialRecord& m = MaterialTable[j];
        const long double x = IsSet(m.Fixed) ? m.Fixed : RoundAmount(m.LpAmount);
        moved = moved || x != m.Amount;
        m.Amount = x;
    }
    return moved;
}

// The rows of every limit but the released one, each allowed to give way
// by v times its size at the current charge, with v the programme's only
// price: its least v (`violation`) is the least break of the linearised
// limits, the largest break measured against each row's own terms, and the
// solution the cheapest charge that breaks them no more. The material rows
// stay as they are. lpMet when v is 0, lpMetReleased when the rows cannot
// all be met; the plain programme's status when even these cannot be met.
int32_t SolveLeastViolation(int32_t released, long double& violation)
{
    violation = 0;
    if (MaterialCount >= LpMaxColumns)
        return SolveLP(released); // no room for the column of v
    const auto extra = static_cast<std::size_t>(MaterialCount + 1);
    std::array<long double, LpMaxColumns + 1> prices{};
    for (int j = 1; j <= MaterialCount; ++j) {
        prices[static_cast<std::size_t>(j)] = LpTableau[0][static_cast<std::size_t>(j)];
        LpTableau[0][static_cast<std::size_t>(j)] = 0;
    }
    LpTableau[0][extra] = 1;
    for (int r = 1; r <= LpRowCount; ++r)
        LpTableau[static_cast<std::size_t>(r)][extra] = 0;
    for (int k = 1; k <= ConstraintBlockCount; ++k) {
        const TConstraintBlockRecord& b = ConstraintBlocks[k];
        if (k == released || b.Kind > ckTemperature)
            continue;
        for (int r = b.FirstRow; r <= b.LastRow && r <= LpRowCount; ++r) {
            auto& row = LpTableau[static_cast<std::size_t>(r)];
            long double size = 0;
            for (int j = 1; j <= MaterialCount; ++j)
                size += std::fabs(row[static_cast<std::size_t>(j)] * MaterialTable[j].Amount);
            row[extra] = -std::max(size, LeastRowSize);
        }
    }
    const int32_t status = SolveLPWithExtraColumn(released, violation);
    for (int j = 1; j <= MaterialCount; ++j)
        LpTableau[0][static_cast<std::size_t>(j)] = prices[static_cast<std::size_t>(j)];
    if (status != lpMet)
        return SolveLP(released);
    if (violation <= LpTolerance)
        return lpMet;
    // Many charges break the rows by that least amount; the programme alone
    // would hand back whichever vertex its exchanges reach, so the passes
    // would jump about. The cheapest of them is taken: every row moved out
    // by what the least break allows it.
    std::array<long double, LpMaxColumns + 1> leastBreaking{};
    for (int j = 1; j <= MaterialCount; ++j)
        leastBreaking[static_cast<std::size_t>(j)] = MaterialTable[j].LpAmount;
    std::array<long double, LpMaxRows + 1> shift{};
    for (int r = 1; r <= LpRowCount; ++r) {
        auto& row = LpTableau[static_cast<std::size_t>(r)];
        shift[static_cast<std::size_t>(r)] = -row[extra] * violation * (1 + LeastBreakRoom);
        row[0] += shift[static_cast<std::size_t>(r)];
    }
    const int32_t cheapest = SolveLP(released);
    for (int r = 1; r <= LpRowCount; ++r)
        LpTableau[static_cast<std::size_t>(r)][0] -= shift[static_cast<std::size_t>(r)];
    if (cheapest != lpMet)
        for (int j = 1; j <= MaterialCount; ++j)
            MaterialTable[j].LpAmount = leastBreaking[static_cast<std::size_t>(j)];
    return lpMetReleased;
}

// How far the rows of the passes that cannot be met are broken, at least.
// Passes that stop coming closer to them are far from any charge that
// meets the limits: their run gives up.
class TLeastBreak {
public:
    // A pass whose rows are met.
    void Met()
    {
        best_ = -1;
        stalls_ = 0;
    }
    // True when `violation` of a pass whose rows are not met has not fallen
    // well below the least break since the last met pass for several passes
    // in a row.
    bool Stalled(long double violation)
    {
        if (best_ < 0 || violation < StallProgress * best_) {
            best_ = violation;
            stalls_ = 0;
            return false;
        }
        return ++stalls_ >= StallPasses;
    }

    static constexpr long double StallProgress = 0.9L;

private:
    static constexpr int StallPasses = 3;
    long double best_ = -1; // none yet
    int stalls_ = 0;
};

// How the passes of a run answer rows that cannot all be met without
// releasing a block the caller did not name.
enum class TRowsUnmet {
    ReleaseOneMore, // the cheapest charge with one more block released
    LeastViolation  // the cheapest charge that breaks the limits least
};

// How a run's rows see a material's effect on the bath.
enum class TSlopes {
    Solver, // the solver's effect tables at the pass's melt
    Melted  // the melt of the charge with a little more of the material
};

// The step of a melted slope: a tenth of a tonne, a small share of a flux
// and a hair of a scrap charge, well above the solver's convergence.
constexpr long double MeltedSlopeStep = 0.1L;

// Whether the programme may move a material's amount: set by no Fixed and
// not held out by a maximum of 0 t. Charge carriers keep the solver's rows,
// whose metal part leaves their amounts out of its base point.
bool Movable(const TMaterialRecord& m)
{
    return !IsSet(m.Fixed) && !(IsSet(m.MaxT) && m.MaxT <= 0) && m.Type != mtChargeCarrier;
}

// The solver's effect tables hold each material's effect at the activity
// coefficients of the solved melt. Where the slag's composition moves an
// element's distribution strongly, rows built from them can point the wrong
// way: under the pair-energy slag model lime raises the sulphide capacity
// so much that it takes sulphur out of the metal, while the tables, which
// see only lime's own sulphur and the larger slag, put it in. Here every
// movable material is melted once more with MeltedSlopeStep more of it, and
// its columns of the effect tables (element masses in metal and slag, and
// the final temperature) become the differences to the pass's melt while
// the rows are built. The systems, the solver's tables and what the solves
// write beside them are as before afterwards.
class TMeltedRows {
public:
    // `first` names the first pass of a run from the task's charge, whose
    // slopes the earlier runs of the listing have melted already.
    void Build(const TFirstPassKey* first)
    {
        Keep();
        const TBath base = Bath();
        std::vector<int> movable;
        for (int j = 1; j <= MaterialCount && j <= LpMaxColumns; ++j)
            if (Movable(MaterialTable[j]))
                movable.push_back(j);
        const bool kept = first && FirstSlopes.Key == *first && FirstSlopes.Movable == movable;
        std::vector<std::pair<int, TBath>> melted;
        if (!kept) {
            for (const int j : movable) {
                if (StopRequested)
                    break;
                TMaterialRecord& m = MaterialTable[j];
                const long double amount = m.Amount;
                m.Amount = amount + MeltedSlopeStep;
                const bool solved = SolveBothSystems(false, false);
                m.Amount = amount;
                if (solved)
                    melted.emplace_back(j, Slope(Bath(), base));
                solved_.PutBack();
                CurrentHost().ProcessMessages();
            }
            PutBack();
            if (first && !StopRequested)
                FirstSlopes = {*first, movable, melted};
        }
        for (const auto& [j, slope] : kept ? FirstSlopes.Slopes : melted)
            for (std::size_t k = 0; k < 2; ++k) {
                for (int i = 0; i <= SystemElemLast && i < MaxElements; ++i) {
                    const auto row = static_cast<std::size_t>(i + 1);
                    MaterialEffectsOnMetal[k][row][j] = static_cast<float>(slope.Metal[k][static_cast<std::size_t>(i)]);
                    MaterialEffectsOnSlag[k][row][j] = static_cast<float>(slope.Slag[k][static_cast<std::size_t>(i)]);
                }
                MaterialTable[j].TempEffect[k] = slope.Temperature[k];
            }
        BuildLinearRows();
        PutBack();
    }

private:
    // Element masses in metal and slag and the temperature of both systems.
    struct TBath {
        std::array<std::array<long double, MaxElements>, 2> Metal{}, Slag{};
        std::array<long double, 2> Temperature{};
    };
    // The slopes last melted; kept for the first passes of the later runs of
    // the same listing, which start from the same charge and equilibria.
    struct TKeptSlopes {
        TFirstPassKey Key;
        std::vector<int> Movable;
        std::vector<std::pair<int, TBath>> Slopes;
    };
    static inline TKeptSlopes FirstSlopes;
    TSolvedSystems solved_;
    std::array<TMaterialRecord, 3> pseudo_{};
    std::array<std::array<std::array<float, 3>, MaxElements + 1>, 2> pseudoColumns_{};
    std::array<std::array<long double, 2>, LpMaxColumns + 1> tempEffects_{};

    static TBath Bath()
    {
        TBath b;
        for (std::size_t k = 0; k < 2; ++k) {
            const TThSys& sys = *ThSystems[k];
            for (int i = 0; i <= SystemElemLast && i < MaxElements; ++i) {
                b.Metal[k][static_cast<std::size_t>(i)] = sys.El(i).MetalMass;
                b.Slag[k][static_cast<std::size_t>(i)] = sys.El(i).SlagMass;
            }
            b.Temperature[k] = sys.Temperature;
        }
        return b;
    }
    static TBath Slope(const TBath& more, const TBath& base)
    {
        TBath d;
        for (std::size_t k = 0; k < 2; ++k) {
            for (std::size_t i = 0; i < MaxElements; ++i) {
                d.Metal[k][i] = (more.Metal[k][i] - base.Metal[k][i]) / MeltedSlopeStep;
                d.Slag[k][i] = (more.Slag[k][i] - base.Slag[k][i]) / MeltedSlopeStep;
            }
            d.Temperature[k] = (more.Temperature[k] - base.Temperature[k]) / MeltedSlopeStep;
        }
        return d;
    }
    // The systems and tables of the pass's melt, and what a solve writes
    // beside them: the pseudo-materials and the temperature effects.
    void Keep()
    {
        solved_.Take();
        for (int p = 0; p < 3 && MaterialCount + 1 + p <= MaterialSlotLast; ++p) {
            const auto sp = static_cast<std::size_t>(p);
            pseudo_[sp] = MaterialTable[MaterialCount + 1 + p];
            for (std::size_t row = 0; row <= MaxElements; ++row) {
                pseudoColumns_[0][row][sp] = CompositionMin[row][MaterialCount + 1 + p];
                pseudoColumns_[1][row][sp] = CompositionMax[row][MaterialCount + 1 + p];
            }
        }
        for (int j = 1; j <= MaterialCount && j <= LpMaxColumns; ++j)
            tempEffects_[static_cast<std::size_t>(j)] = MaterialTable[j].TempEffect;
    }
    void PutBack() const
    {
        solved_.PutBack();
        for (int p = 0; p < 3 && MaterialCount + 1 + p <= MaterialSlotLast; ++p) {
            const auto sp = static_cast<std::size_t>(p);
            MaterialTable[MaterialCount + 1 + p] = pseudo_[sp];
            for (std::size_t row = 0; row <= MaxElements; ++row) {
                CompositionMin[row][MaterialCount + 1 + p] = pseudoColumns_[0][row][sp];
                CompositionMax[row][MaterialCount + 1 + p] = pseudoColumns_[1][row][sp];
            }
        }
        for (int j = 1; j <= MaterialCount && j <= LpMaxColumns; ++j)
            MaterialTable[j].TempEffect = tempEffects_[static_cast<std::size_t>(j)];
    }
};

// One run from the task's starting charge: the passes, and the melts of the
// charges they settle at, until a melt meets the task or the run gives up.
class TRun {
public:
    TRun(int32_t released, TRowsUnmet unmet, TSlopes slopes = TSlopes::Solver)
        : released_(released), unmet_(unmet), slopes_(slopes)
    {
    }

    int32_t Go()
    {
        Start();
        for (int verdicts = 0;; ++verdicts) {
            const int32_t status = Passes();
            if (status == lpNotMet)
                return status;
            SettleFinalAmounts();
            // The linear rows only approximate the task around the charge
            // of each pass: the verdict is the melt of the charge handed
            // back. A stopped run has no verdict and meets nothing.
            if (StopRequested)
                return lpNotMet;
            // A release's charge is its melt's: met whatever the last rows
            // needed.
            if (SettledChargeMeetsTask(status))
                return released_ > 0 ? lpMet : status;
            // The passes go on from the settled charge, a few times before
            // the charge is given up, with the rows of each broken limit
            // moved in by what the melt broke it by.
            if (verdicts + 1 >= MaxMeltVerdicts || SlpPass >= MaxSlpPasses)
                return lpNotMet;
            MoveBrokenRowsIn();
        }
    }

private:
    int32_t released_;
    TRowsUnmet unmet_;
    TSlopes slopes_;
    bool fromTargets_ = false;
    long double tolerance_ = 0;
    TRelaxation relaxation_;
    TSolvedCharge solved_;
    TBackOff backOff_;
    TLeastBreak leastBreak_;
    bool stalled_ = false; // the passes broke the rows without coming closer

    void Start()
    {
        // Tables kept from an earlier run would be handed back where this
        // run computes them afresh, and the last bits of a pass steer which
        // vertex the rows pick: a run starts clean so it does not depend on
        // the runs before it.
        for (const auto& sys : ThSystems)
            if (sys)
                sys->InteractionTables.Clear();
        fromTargets_ = Settings.AutoInitialEstimate;
        if (fromTargets_)
            InitialEstimateFromTargets();
        else
            InitialChargeFromTask();
        tolerance_ = OptimiserTolerance();
        SlpPass = 0;
    }

    // Both systems for the pass's charge: the first pass of a run from the
    // task's charge reads what the first run of the listing solved.
    void SolveSystems()
    {
        if (SlpPass == 0 && !fromTargets_) {
            const TFirstPassKey key = FirstPassKey();
            if (!FirstPass.Restore(key, solved_)) {
                solved_.Solve(true, false);
                FirstPass.Store(key);
            }
        } else if (!solved_.Holds()) {
            solved_.Solve(SlpPass % 10 == 0, fromTargets_ && SlpPass == 0);
        }
    }

    int32_t SolveRows()
    {
        // A first pass solved from the targets holds no melt of the charge
        // to difference.
        if (slopes_ == TSlopes::Melted && solved_.Holds()) {
            if (SlpPass == 0 && !fromTargets_) {
                const TFirstPassKey key = FirstPassKey();
                TMeltedRows().Build(&key);
            } else {
                TMeltedRows().Build(nullptr);
            }
        } else {
            BuildLinearRows();
        }
        backOff_.Apply();
        int32_t status = SolveLP(released_);
        if (unmet_ == TRowsUnmet::LeastViolation && status != lpMet) {
            // At the task's charge, a release that does not lower the least
            // break well below what it is with no block released is not
            // what keeps the rows from being met.
            long double unreleased = 0;
            const bool first = SlpPass == 0 && released_ > 0;
            if (first && SolveLeastViolation(-1, unreleased) != lpMetReleased)
                unreleased = 0;
            long double violation = 0;
            status = SolveLeastViolation(released_, violation);
            stalled_ = status == lpMetReleased &&
                (leastBreak_.Stalled(violation) || (first && violation >= TLeastBreak::StallProgress * unreleased));
        }
        if (status == lpMet)
            leastBreak_.Met();
        return stalled_ ? lpNotMet : status;
    }

    // The passes until the moves settle: the status of the last programme,
    // lpNotMet when its rows could not be met even after the last move was
    // stepped back, when the least-violation passes stopped closing in on
    // them, or past the pass limit.
    int32_t Passes()
    {
        for (;;) {
            SolveSystems();
            int32_t status = SolveRows();
            ++SlpPass;
            if (SlpPass > MaxSlpPasses)
                status = lpNotMet;
            CurrentHost().ProcessMessages();
            if (status == lpNotMet) {
                if (SlpPass <= MaxSlpPasses && !stalled_ && !StopRequested && relaxation_.StepBack())
                    continue;
                return status;
            }
            if (relaxation_.Step(tolerance_) || StopRequested)
                return status;
        }
    }

    // Melts the settled charge as the window shows it and checks it against
    // the task; passes that settle between two vertices of the rows can end
    // at a charge neither of them stands for, so the last programme's own
    // solution is tried too. A run met with an automatic release may break
    // that one block.
    bool SettledChargeMeetsTask(int32_t status)
    {
        if (MeltMeetsTask(status))
            return true;
        const std::vector<long double> settled = KeptCharge();
        if (TakeLpSolution() && MeltMeetsTask(status))
            return true;
        RestoreCharge(settled);
        return false;
    }

    bool MeltMeetsTask(int32_t status)
    {
        if (!solved_.Holds())
            solved_.Solve(true, false);
        // A charge whose heat balance ends with solid metal, or far above
        // any tapping temperature, meets no task.
        if (!HeatBalanceClosesInLiquid(*ThSystems[0]) || !HeatBalanceClosesInLiquid(*ThSystems[1]))
            return false;
        const std::size_t allowed = status == lpMetReleased && released_ <= 0 ? 1 : 0;
        return BrokenBlocks(released_).size() <= allowed;
    }

    void MoveBrokenRowsIn()
    {
        if (!solved_.Holds())
            solved_.Solve(true, false);
        BuildLinearRows();
        backOff_.Widen(BrokenBlocks(released_));
    }
};

// The amounts and LP amounts a run hands back.
void HandBack(int32_t status)
{
    if (status == lpNotMet)
        SettleFinalAmounts();
    for (int j = 1; j <= MaterialCount; ++j) {
        TMaterialRecord& m = MaterialTable[j];
        m.LpAmount = status == lpNotMet ? 0 : m.Amount;
    }
}

bool TableauFits()
{
    return MaterialCount <= LpMaxColumns && ConstraintBlockCount <= MaxConstraintBlocks && LpRowCount <= LpMaxRows &&
        ThSystems[0] && ThSystems[1];
}

} // namespace

int32_t Optimise(int32_t released)
{
    // Tasks that do not fit the tableau are refused when the blocks are
    // listed; never run on a table that was not.
    if (!TableauFits())
        return lpNotMet;

    const TLiftedAbsence lifted = LiftAbsence(released);
    TRun run(released, TRowsUnmet::ReleaseOneMore);
    int32_t status = run.Go();
    // A release is listed only when met as it stands. Rows linearised far
    // from the charges that meet the rest can lead the passes into a corner
    // where they cannot all be met, whether the run then gave up, settled
    // with one more block released or at a charge whose melt breaks another
    // limit: every such run is made once more, on melted slopes, its passes
    // whose rows cannot be met moving instead towards the cheapest charge
    // that breaks the limits least.
    if (released > 0 && status != lpMet && !StopRequested)
        status = TRun(released, TRowsUnmet::LeastViolation, TSlopes::Melted).Go();
    // The task as stated that the solver's slopes meet only by dropping one
    // limit may still be met in full where they point the wrong way: it is
    // run once more on melted slopes, and that run's outcome is the answer.
    // A task they cannot meet even so is far from any charge, and is left
    // to the scan of releases.
    else if (released <= 0 && status == lpMetReleased && !StopRequested)
        status = TRun(released, TRowsUnmet::ReleaseOneMore, TSlopes::Melted).Go();
    HandBack(status);
    if (lifted.Slot > 0) {
        TaskList.CurrentTask().Materials[lifted.TaskMaterial].Fixed = 0;
        MaterialTable[lifted.Slot].Fixed = 0;
        if (MaterialTable[lifted.Slot].Amount == 0)
            status = lpNotMet;
    }
    return status;
}

} // namespace ferrolyt
