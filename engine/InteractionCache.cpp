#include "InteractionCache.h"

namespace ferrolyt {

namespace {
std::size_t Idx(int i) { return static_cast<std::size_t>(i); }
} // namespace

bool TInteractionCache::Fits(const TEntry& e, long double temperature, uint8_t slagModel,
                             const TElems& elems, int count) const
{
    if (!e.Used || e.Temperature != temperature || e.SlagModel != slagModel || e.Count != count)
        return false;
    for (int i = 0; i < count; ++i) {
        const TElementRecord& r = elems.Items[Idx(i)];
        if (r.Index != e.Index[Idx(i)] || r.SlagEnergy != e.SlagEnergy[Idx(i)])
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
                                int count, TInteractionTable& metal, TInteractionTable& slag) const
{
    for (const TEntry& e : entries_) {
        if (!Fits(e, temperature, slagModel, elems, count))
            continue;
        std::size_t k = 0;
        for (int i = 0; i < count; ++i) {
            metal[Idx(i)][Idx(i)] = 1.0L;
            slag[Idx(i)][Idx(i)] = 1.0L;
            for (int j = 0; j < i; ++j, ++k) {
                metal[Idx(i)][Idx(j)] = metal[Idx(j)][Idx(i)] = e.Metal[k];
                slag[Idx(i)][Idx(j)] = slag[Idx(j)][Idx(i)] = e.Slag[k];
            }
        }
        return true;
    }
    return false;
}

void TInteractionCache::Store(long double temperature, uint8_t slagModel, const TElems& elems,
                              int count, const TInteractionTable& metal,
                              const TInteractionTable& slag)
{
    TEntry& e = entries_[next_];
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
    const std::size_t pairs = Idx(count) * Idx(count > 0 ? count - 1 : 0) / 2;
    e.PairEnergy.resize(pairs);
    e.PairSlag.resize(pairs);
    e.Metal.resize(pairs);
    e.Slag.resize(pairs);
    std::size_t k = 0;
    for (int i = 0; i < count; ++i) {
        const TElementRecord& r = elems.Items[Idx(i)];
        e.Index[Idx(i)] = r.Index;
        e.SlagEnergy[Idx(i)] = r.SlagEnergy;
        for (int j = 0; j < i; ++j, ++k) {
            const std::size_t dj = elems.Items[Idx(j)].Index;
            e.PairEnergy[k] = InteractionEnergy[r.Index][dj];
            e.PairSlag[k] = SlagMatrix[r.Index][dj];
            e.Metal[k] = metal[Idx(i)][Idx(j)];
            e.Slag[k] = slag[Idx(i)][Idx(j)];
        }
    }
    e.Used = true;
}

void TInteractionCache::Clear()
{
    for (TEntry& e : entries_)
        e.Used = false;
    next_ = 0;
}

} // namespace ferrolyt
