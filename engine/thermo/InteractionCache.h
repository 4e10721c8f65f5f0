#pragma once
// The pair tables of the metal and slag solution models depend only on the
// temperature, the system's elements and the databases. The solver evaluates
// them again and again at the same few temperatures (a Newton run at a fixed
// temperature, the heat balance at T and T ± δ), so the tables computed
// there are kept and handed back while nothing they depend on has changed;
// tables at temperatures close to a computed one are derived from it. The
// logarithms the standard terms take of the tables and of the molar masses
// are kept with them, and so is the grouping of the pairs whose table
// entries share one exponential, which a table build at a new temperature
// uses.

#include "Model.h"

#include <array>
#include <cstdint>
#include <vector>

namespace ferrolyt {

using TInteractionTable = std::array<std::array<long double, MaxElements>, MaxElements>;
using TElementColumn = std::array<long double, MaxElements>;

// The metal model's pair energies are E = -R T0 ln x of interaction
// coefficients measured at T0 (1600 °C): Gibbs energies there. How much of
// each is enthalpy the coefficients do not say; the constants file may give
// each element the share that is entropy, as the third value of its liquid
// enthalpy set. A pair takes the mean of its two elements' shares s, and its
// term is exp(-E ((1 - s)/T + s/T0)/R): s = 0 (a file without the value)
// makes the whole energy enthalpy, exp(-E/RT); s = 1 keeps the term of T0 at
// every temperature, so that mixing brings no heat of its own.
constexpr long double InteractionTemperature = 1873.15L;
long double EntropyShare(const TElementRecord& e);
long double MetalPairEntropyShare(const TElementRecord& a, const TElementRecord& b);

class TInteractionCache {
public:
    // Copies the tables built for these inputs into metal and slag (elements
    // 0..count-1, both triangles and the diagonal) and ln metal[i][0] into
    // lnMetalFirst, and returns true; returns false and leaves them alone
    // when no kept entry fits. The inputs compared are the temperature, the
    // slag model, each element's database index and slag energy, and the
    // database pair values the tables use.
    bool Restore(long double temperature, uint8_t slagModel, const TElems& elems, int count,
                 TInteractionTable& metal, TInteractionTable& slag, TElementColumn& lnMetalFirst);

    // Keeps the tables just built for these inputs, replacing the oldest entry.
    void Store(long double temperature, uint8_t slagModel, const TElems& elems, int count,
               const TInteractionTable& metal, const TInteractionTable& slag, const TElementColumn& lnMetalFirst);

    // Pairs (lower triangle j < i, row by row) that share the exponent of a
    // table: one exponential serves the whole group. Metal groups share a
    // pair energy; slag groups the size of the slag-energy difference
    // (model 0) or the pair value (model 1).
    struct TPairGroups {
        std::vector<int32_t> MetalGroup, SlagGroup; // group of each pair
        std::vector<long double> MetalEnergy;       // E of each metal group
        std::vector<long double> SlagDifference;    // e_i - e_j of a pair of each slag group (model 0)
        std::vector<int32_t> SlagPair;              // the pair value of each slag group (model 1)
        // b of each group, whose value is exp(b/T + c): -E (1 - s)/R for the
        // metal; -1000 d²/R (model 0) or -1000 pair/R (model 1) for the slag,
        // none for other models. c is -E s/(R T0) for the metal, 0 for the slag.
        std::vector<long double> MetalShare; // s of each metal group
        std::vector<long double> MetalScale, SlagScale;
        std::vector<long double> MetalConstant;
        // The largest |b|; NaN when any b is not finite.
        long double LargestScale = 0;
    };
    // The groups of these elements, formed again only when an input they
    // depend on has changed; null when a database index is out of range.
    const TPairGroups* Groups(uint8_t slagModel, const TElems& elems, int count);

    // Every group value is exp(b/T + c) for constant b and c, so a table at T
    // follows from one at a nearby T0 as exp(b/T0) · exp(b (T0 - T)/(T T0)),
    // the second factor a short series. The source is the last set of
    // group values computed with exponentials, for the current groups; it
    // is forgotten whenever the groups are formed anew.
    struct TGroupSource {
        bool Valid = false;
        long double Temperature = 0;
        std::vector<long double> Metal, Slag; // value of each group
        TElementColumn LnMetalFirst{};        // ln metal[i][0] at Temperature
    };
    TGroupSource& Source() { return source_; }

    // std::log(argument) for slot i (an element index), computed again only
    // when the slot last saw another argument.
    long double KeptLog(int i, long double argument) { return percentLogs_.Get(i, argument); }
    // The same for the logarithm of element i's mole fraction in the metal,
    // which the heat balance's three evaluations share.
    long double KeptFractionLog(int i, long double argument) { return fractionLogs_.Get(i, argument); }

    // Forgets every entry.
    void Clear();

private:
    struct TEntry {
        bool Used = false;
        long double Temperature = 0;
        uint8_t SlagModel = 0;
        int Count = 0;
        std::vector<uint16_t> Index;
        std::vector<long double> SlagEnergy;
        std::vector<long double> Share; // EntropyShare of each element
        // Lower triangles (j < i), row by row.
        std::vector<long double> PairEnergy;
        std::vector<int32_t> PairSlag;
        // Whole count × count tables, row by row, copied back a row at a time.
        std::vector<long double> Metal;
        std::vector<long double> Slag;
        std::vector<long double> LnMetalFirst;
    };

    bool Fits(const TEntry& e, long double temperature, uint8_t slagModel, const TElems& elems,
              int count) const;

    static constexpr std::size_t EntryCount = 4;
    std::array<TEntry, EntryCount> entries_{};
    std::size_t next_ = 0;
    std::size_t lastHit_ = 0; // looked at first: runs of calls at one temperature

    class TKeptLogs {
    public:
        long double Get(int i, long double argument);
        void Clear() { kept_.fill(false); }

    private:
        std::array<long double, MaxElements> argument_{};
        std::array<long double, MaxElements> value_{};
        std::array<bool, MaxElements> kept_{};
    };
    TKeptLogs percentLogs_, fractionLogs_;

    // The inputs the groups were formed for.
    struct TGroupKey {
        bool Used = false;
        uint8_t SlagModel = 0;
        int Count = 0;
        std::vector<uint16_t> Index;
        std::vector<long double> SlagEnergy;
        std::vector<long double> Share;
        std::vector<long double> PairEnergy;
        std::vector<int32_t> PairSlag;
    };
    TGroupKey groupKey_;
    TPairGroups groups_;
    TGroupSource source_;
};

} // namespace ferrolyt
