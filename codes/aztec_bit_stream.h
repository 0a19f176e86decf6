#pragma once
// A bit stream packed 64 bits to a word, as the Aztec encoder writes its compacted data and cuts
// it into codewords.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vgl {

/// Bits in the order they were appended; the first bit of each 64-bit word is its most
/// significant bit. Bits past the end read as 0.
class TAztecBitStream {
public:
    /// Appends the low `count` bits of value (count 0 .. 32), most significant first.
    void Append(std::uint32_t value, int count) {
        if (count <= 0)
            return;
        const std::uint64_t bits = count >= 32 ? value : value & ((std::uint32_t{1} << count) - 1);
        const int used = static_cast<int>(FSize % 64);
        if (used == 0)
            FWords.push_back(0);
        const int room = 64 - used;
        if (count <= room) {
            FWords.back() |= bits << (room - count);
        } else {
            FWords.back() |= bits >> (count - room);
            FWords.push_back(bits << (64 - (count - room)));
        }
        FSize += static_cast<std::size_t>(count);
    }

    /// `count` bits (0 .. 32) from position on, the first of them most significant.
    std::uint32_t Read(std::size_t position, int count) const {
        if (count <= 0)
            return 0;
        const std::size_t index = position / 64;
        const int offset = static_cast<int>(position % 64);
        const std::uint64_t high = index < FWords.size() ? FWords[index] : 0;
        std::uint64_t window = high << offset;
        if (offset != 0 && index + 1 < FWords.size())
            window |= FWords[index + 1] >> (64 - offset);
        return static_cast<std::uint32_t>(window >> (64 - count));
    }

    bool Bit(std::size_t position) const { return Read(position, 1) != 0; }
    std::size_t Size() const { return FSize; }
    void Reserve(std::size_t bits) { FWords.reserve(bits / 64 + 1); }

private:
    std::vector<std::uint64_t> FWords;
    std::size_t FSize = 0;
};

} // namespace vgl
