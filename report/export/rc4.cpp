#include "report/export/rc4.h"

#include <utility>

namespace vgl {

void TfrxRC4::Start(const std::uint8_t* Key, int KeyLength) {
    if (KeyLength < 1 || KeyLength > 256)
        return;
    for (int i = 0; i < 256; ++i)
        FKey[i] = std::uint8_t(i);
    std::uint8_t j = 0;
    for (int i = 0; i < 256; ++i) {
        j = std::uint8_t(j + FKey[i] + Key[i % KeyLength]);
        std::swap(FKey[i], FKey[j]);
    }
}

void TfrxRC4::Crypt(const std::uint8_t* Source, std::uint8_t* Target, std::size_t Length) {
    std::uint8_t i = 0, j = 0;
    for (std::size_t n = 0; n < Length; ++n) {
        i = std::uint8_t(i + 1);
        j = std::uint8_t(j + FKey[i]);
        std::swap(FKey[i], FKey[j]);
        Target[n] = Source[n] ^ FKey[std::uint8_t(FKey[i] + FKey[j])];
    }
}

} // namespace vgl
