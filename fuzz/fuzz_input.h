#pragma once
// Helpers shared by the fuzz targets: reading settings from the front of an input and running a
// parser so that the project's own exceptions count as an expected outcome.

#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/ustring.h"

namespace vgl::fuzz {

/// The input as a sequence of bytes to take settings from; what is left is the payload.
class FuzzInput {
public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : FData(data, size) {}

    /// The next byte, or 0 when the input is used up.
    std::uint8_t Byte() {
        if (FData.empty())
            return 0;
        std::uint8_t b = FData.front();
        FData = FData.subspan(1);
        return b;
    }
    /// The rest of the input.
    std::span<const std::uint8_t> Rest() const { return FData; }
    std::string RestAsBytes() const { return std::string(FData.begin(), FData.end()); }
    /// The rest as UTF-16 code units (little-endian pairs, an odd last byte dropped), so every
    /// code unit, lone surrogates included, can occur.
    String RestAsUtf16() const {
        String s;
        for (std::size_t i = 0; i + 1 < FData.size(); i += 2)
            s.push_back(Char(FData[i] | (FData[i + 1] << 8)));
        return s;
    }
    /// The rest with each byte taken as the character of the same value.
    String RestAsLatin1() const { return String(FData.begin(), FData.end()); }

private:
    std::span<const std::uint8_t> FData;
};

/// Runs `body`; an exception of the project's hierarchy is a valid answer to bad input. Any
/// other exception escapes and fails the run.
template <class F> void Guarded(F&& body) {
    try {
        body();
    } catch (const Exception&) {
    }
}

/// Stops the run when an invariant of the code under test does not hold.
inline void Require(bool condition) {
    if (!condition)
        std::abort();
}

} // namespace vgl::fuzz
