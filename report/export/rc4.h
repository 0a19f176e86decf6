#pragma once
// TfrxRC4: the RC4 stream cipher as the PDF writer's standard security handler calls it.

#include <array>
#include <cstdint>

namespace vgl {

class TfrxRC4 {
public:
    /// Runs the key schedule with the KeyLength bytes of Key. A KeyLength below 1 or above 256
    /// leaves the state as it was.
    void Start(const std::uint8_t* Key, int KeyLength);
    /// XORs Length bytes of Source with the keystream into Target (they may be the same buffer).
    /// Both keystream counters start at 0 in every call while the permutation goes on from the
    /// state the previous call left, so one Crypt after Start is plain RC4.
    void Crypt(const std::uint8_t* Source, std::uint8_t* Target, std::size_t Length);

private:
    std::array<std::uint8_t, 256> FKey = [] {
        std::array<std::uint8_t, 256> k{};
        for (int i = 0; i < 256; ++i)
            k[i] = std::uint8_t(i);
        return k;
    }();
};

} // namespace vgl
