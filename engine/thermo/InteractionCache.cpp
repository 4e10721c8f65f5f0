#include "ExtendedMath.h"
#include "InteractionCache.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace ferrolyt {

namespace {
std::size_t Idx(int i) { return static_cast<std::size_t>(i); }

// a and b hold the same value bit for bit. Compared as integers: the x87
// unit loads extended values slowly, and the check runs at every build of
// the tables. (Unlike ==, equal NaNs match and the zeros of two signs do not;
// neither changes what is built from them.)
bool SameBits(const long double& a, const long double& b)
{
    uint64_t ma = 0, mb = 0;
    uint16_t ea = 0, eb = 0;
    std::memcpy(&ma, &a, sizeof ma);
    std::memcpy(&mb, &b, sizeof mb);
    std::memcpy(&ea, reinterpret_cast<const unsigned char*>(&a) + sizeof ma, sizeof ea);
    std::memcpy(&eb, reinterpret_cast<const unsigned char*>(&b) + sizeof mb, sizeof eb);
    return ma == mb && ea == eb;
}
} // namespace

long double EntropyShare(const TElementRecord& e)
{
    const long double s = e.LiquidEnthalpy[2];
    return s > 0 ? std::min(s, 1.0L) : 0.0L; // a NaN counts as none
}

long double MetalPairEntropyShare(const TElementRecord& a, const TElementRecord& b)
{
    return (EntropyShare(a) + EntropyShare(b)) / 2;
}

bool TInteractionCache::Fits(const TEntry& e, long double temperature, uint8_t slagModel,
                             const TElems& elems, int count) const
{
    if (!e.Used || e.Temperature != temperature || e.SlagModel != slagModel || e.Count != count)
        return false;
    for (int i = 0; i < count; ++i) {
        const TElementRecord& r = elems.Items[Idx(i)];
        if (r.Index != e.Index[Idx(i)] || r.SlagEnergy != e.SlagEnergy[Idx(i)] || EntropyShare(r) != e.Share[Idx(i)])
            return false;
    }
    std::size_t k = 0;
    for (int i = 0; i < count; ++i) {
        const std::size_t di = elems.Items[Idx(i)].Index;
        for (int j = 0; j < i; ++j, ++k) {
            const std::size_t dj = elems.Items[Idx(j)].Index;
            if (di >= MaxElements || dj >= MaxElements)
                return false;
            if (InteractionEnergy[di][dj] != e.PairEnergy[k] || SlagMatrix[di][dj] != e.PairSlag[k])
                return false;
        }
    }
    return true;
}

bool TInteractionCache::Restore(long double temperature, uint8_t slagModel, const TElems& elems,
                                int count, TInteractionTable& metal, TInteractionTable& slag,
                                TElementColumn& lnMetalFirst)
{
    for (std::size_t n = 0; n < EntryCount; ++n) {
        const std::size_t at = (lastHit_ + n) % EntryCount;
        const TEntry& e = entries_[at];
        if (!Fits(e, temperature, slagModel, elems, count))
            continue;
        lastHit_ = at;
        const std::size_t size = Idx(count);
        for (std::size_t i = 0; i < size; ++i) {
            std::copy_n(e.Metal.begin() + static_cast<std::ptrdiff_t>(i * size), size, metal[i].begin());
            std::copy_n(e.Slag.begin() + static_cast<std::ptrdiff_t>(i * size), size, slag[i].begin());
        }
        std::copy_n(e.LnMetalFirst.begin(), size, lnMetalFirst.begin());
        return true;
    }
    return false;
}

void TInteractionCache::Store(long double temperature, uint8_t slagModel, const TElems& elems,
                              int count, const TInteractionTable& metal,
                              const TInteractionTable& slag, const TElementColumn& lnMetalFirst)
{
    TEntry& e = entries_[next_];
    lastHit_ = next_;
    next_ = (next_ + 1) % EntryCount;
    e.Used = false;
    for (int i = 0; i < count; ++i)
        if (elems.Items[Idx(i)].Index >= MaxElements)
            return; // such a list never fits, see Fits
    e.Temperature = temperature;
    e.SlagModel = slagModel;
    e.Count = count;
    e.Index.resize(Idx(count));
    e.SlagEnergy.resize(Idx(count));
    e.Share.resize(Idx(count));
    e.LnMetalFirst.resize(Idx(count));
    const std::size_t pairs = Idx(count) * Idx(count > 0 ? count - 1 : 0) / 2;
    e.PairEnergy.resize(pairs);
    e.PairSlag.resize(pairs);
    e.Metal.resize(Idx(count) * Idx(count));
    e.Slag.resize(Idx(count) * Idx(count));
    std::size_t k = 0;
    for (int i = 0; i < count; ++i) {
        const TElementRecord& r = elems.Items[Idx(i)];
        e.Index[Idx(i)] = r.Index;
        e.SlagEnergy[Idx(i)] = r.SlagEnergy;
        e.Share[Idx(i)] = EntropyShare(r);
        e.LnMetalFirst[Idx(i)] = lnMetalFirst[Idx(i)];
        for (int j = 0; j < i; ++j, ++k) {
            const std::size_t dj = elems.Items[Idx(j)].Index;
            e.PairEnergy[k] = InteractionEnergy[r.Index][dj];
            e.PairSlag[k] = SlagMatrix[r.Index][dj];
        }
        const auto row = static_cast<std::ptrdiff_t>(Idx(i) * Idx(count));
        std::copy_n(metal[Idx(i)].begin(), count, e.Metal.begin() + row);
        std::copy_n(slag[Idx(i)].begin(), count, e.Slag.begin() + row);
    }
    e.Used = true;
}

const TInteractionCache::TPairGroups* TInteractionCache::Groups(uint8_t slagModel, const TElems& elems,
                                                                 int count)
{
    for (int i = 0; i < count; ++i)
        if (elems.Items[Idx(i)].Index >= MaxElements)
            return nullptr;
    TGroupKey& key = groupKey_;
    bool same = key.Used && key.SlagModel == slagModel && key.Count == count;
    for (int i = 0; i < count && same; ++i) {
        const TElementRecord& r = elems.Items[Idx(i)];
        same = r.Index == key.Index[Idx(i)] && r.SlagEnergy == key.SlagEnergy[Idx(i)] &&
               EntropyShare(r) == key.Share[Idx(i)];
    }
    std::size_t k = 0;
    for (int i = 0; i < count && same; ++i) {
        const std::size_t di = elems.Items[Idx(i)].Index;
        for (int j = 0; j < i && same; ++j, ++k) {
            const std::size_t dj = elems.Items[Idx(j)].Index;
            same = SlagMatrix[di][dj] == key.PairSlag[k] && SameBits(InteractionEnergy[di][dj], key.PairEnergy[k]);
        }
    }
    if (same)
        return &groups_;

    source_.Valid = false;
    key.Used = true;
    key.SlagModel = slagModel;
    key.Count = count;
    key.Index.clear();
    key.SlagEnergy.clear();
    key.Share.clear();
    key.PairEnergy.clear();
    key.PairSlag.clear();
    groups_ = TPairGroups{};
    for (int i = 0; i < count; ++i) {
        const TElementRecord& r = elems.Items[Idx(i)];
        key.Index.push_back(r.Index);
        key.SlagEnergy.push_back(r.SlagEnergy);
        key.Share.push_back(EntropyShare(r));
        for (int j = 0; j < i; ++j) {
            const TElementRecord& q = elems.Items[Idx(j)];
            const long double energy = InteractionEnergy[r.Index][q.Index];
            const int32_t pair = SlagMatrix[r.Index][q.Index];
            key.PairEnergy.push_back(energy);
            key.PairSlag.push_back(pair);

            // Equal energies and shares give equal exponents bit for bit (a
            // NaN stays alone).
            const long double share = MetalPairEntropyShare(r, q);
            std::size_t metal = 0;
            while (metal < groups_.MetalEnergy.size() &&
                   !(groups_.MetalEnergy[metal] == energy && groups_.MetalShare[metal] == share))
                ++metal;
            groups_.MetalGroup.push_back(static_cast<int32_t>(metal));
            if (metal == groups_.MetalEnergy.size()) {
                groups_.MetalEnergy.push_back(energy);
                groups_.MetalShare.push_back(share);
            }

            // Model 0: c·d·d is the same for d and -d, so pairs group by |d|.
            // Model 1: by the pair value.
            std::size_t slag = 0;
            if (slagModel == 0) {
                const long double d = r.SlagEnergy - q.SlagEnergy;
                while (slag < groups_.SlagDifference.size() &&
                       !(std::fabs(groups_.SlagDifference[slag]) == std::fabs(d)))
                    ++slag;
                if (slag == groups_.SlagDifference.size())
                    groups_.SlagDifference.push_back(d);
            } else {
                while (slag < groups_.SlagPair.size() && groups_.SlagPair[slag] != pair)
                    ++slag;
                if (slag == groups_.SlagPair.size())
                    groups_.SlagPair.push_back(pair);
            }
            groups_.SlagGroup.push_back(static_cast<int32_t>(slag));
        }
    }
    for (std::size_t g = 0; g < groups_.MetalEnergy.size(); ++g) {
        const long double b = -groups_.MetalEnergy[g] / GasConstant, share = groups_.MetalShare[g];
        groups_.MetalScale.push_back(share == 0 ? b : b * (1 - share));
        groups_.MetalConstant.push_back(share == 0 ? 0.0L : b * share / InteractionTemperature);
    }
    if (slagModel == 0) {
        for (const long double d : groups_.SlagDifference)
            groups_.SlagScale.push_back(-1000.0L * d * d / GasConstant);
    } else if (slagModel == 1) {
        for (const int32_t pair : groups_.SlagPair)
            groups_.SlagScale.push_back(-1000.0L * static_cast<long double>(pair) / GasConstant);
    }
    long double largest = 0;
    bool finite = true;
    for (const auto* scales : {&groups_.MetalScale, &groups_.SlagScale})
        for (const long double b : *scales) {
            finite = finite && std::isfinite(b);
            largest = std::max(largest, std::fabs(b));
        }
    groups_.LargestScale = finite ? largest : std::numeric_limits<long double>::quiet_NaN();
    return &groups_;
}

long double TInteractionCache::TKeptLogs::Get(int i, long double argument)
{
    if (i < 0 || i >= static_cast<int>(MaxElements))
        return LogL(argument);
    const std::size_t k = Idx(i);
    // A NaN argument never compares equal and is simply recomputed.
    if (!kept_[k] || argument_[k] != argument) {
        argument_[k] = argument;
        value_[k] = LogL(argument);
        kept_[k] = true;
    }
    return value_[k];
}

void TInteractionCache::Clear()
{
    for (TEntry& e : entries_)
        e.Used = false;
    next_ = 0;
    lastHit_ = 0;
    percentLogs_.Clear();
    fractionLogs_.Clear();
    groupKey_.Used = false;
    source_.Valid = false;
}

} // namespace ferrolyt
