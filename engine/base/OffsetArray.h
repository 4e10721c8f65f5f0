#pragma once
// A fixed array indexed from Lo to Hi inclusive. The materials table and the
// composition tables are indexed from -1 (the heat replay's slag and metal
// slots) and every routine speaks of slots by those numbers.

#include <array>
#include <cassert>
#include <cstddef>

namespace ferrolyt {

template <typename T, int Lo, int Hi>
class OffsetArray {
    static_assert(Hi >= Lo);

public:
    static constexpr int First = Lo;
    static constexpr int Last = Hi;
    static constexpr std::size_t Size = static_cast<std::size_t>(Hi - Lo + 1);

    T& operator[](int i)
    {
        assert(i >= Lo && i <= Hi);
        return data_[static_cast<std::size_t>(i - Lo)];
    }
    const T& operator[](int i) const
    {
        assert(i >= Lo && i <= Hi);
        return data_[static_cast<std::size_t>(i - Lo)];
    }
    static constexpr bool Contains(int i) { return i >= Lo && i <= Hi; }
    void Fill(const T& value) { data_.fill(value); }
    T* begin() { return data_.data(); }
    T* end() { return data_.data() + Size; }
    const T* begin() const { return data_.data(); }
    const T* end() const { return data_.data() + Size; }

private:
    std::array<T, Size> data_{};
};

} // namespace ferrolyt
