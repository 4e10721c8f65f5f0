#pragma once
// The pair tables of the metal and slag solution models depend only on the
// temperature, the system's elements and the databases. The solver evaluates
// them again and again at the same few temperatures (a Newton run at a fixed
// temperature, the heat balance at T and T ± δ), so the tables built there
// are kept and handed back while nothing they depend on has changed.

#include "Model.h"

#include <array>
#include <cstdint>
#include <vector>

namespace ferrolyt {

using TInteractionTable = std::array<std::array<long double, MaxElements>, MaxElements>;

class TInteractionCache {
public:
    // Copies the tables built for these inputs into metal and slag (elements
    // 0..count-1, both triangles and the diagonal) and returns true; returns
    // false and leaves the tables alone when no kept entry fits. The inputs
    // compared are the temperature, the slag model, each element's database
    // index and slag energy, and the database pair values the tables use.
    bool Restore(long double temperature, uint8_t slagModel, const TElems& elems, int count,
                 TInteractionTable& metal, TInteractionTable& slag) const;

    // Keeps the tables just built for these inputs, replacing the oldest entry.
    void Store(long double temperature, uint8_t slagModel, const TElems& elems, int count,
               const TInteractionTable& metal, const TInteractionTable& slag);

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
        // Lower triangles (j < i), row by row.
        std::vector<long double> PairEnergy;
        std::vector<int32_t> PairSlag;
        std::vector<long double> Metal;
        std::vector<long double> Slag;
    };

    bool Fits(const TEntry& e, long double temperature, uint8_t slagModel, const TElems& elems,
              int count) const;

    static constexpr std::size_t EntryCount = 4;
    std::array<TEntry, EntryCount> entries_{};
    std::size_t next_ = 0;
};

} // namespace ferrolyt
