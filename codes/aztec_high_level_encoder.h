#pragma once
// Aztec text to bits: escape processing and the compaction of bytes into the six Aztec modes
// (Upper, Lower, Mixed, Punct, Digit, Byte) by a cheapest-path search.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "codes/aztec_bit_stream.h"

namespace vgl {

/// The data after escape processing, in the form the compaction reads.
struct TAztecEscapeResult {
    std::string Data;  ///< bytes with the internal escape forms ("\\\\", "\\0", "\\1".."\\6" + digits, "\\7")
    int CharCount = 0; ///< the character count the length pre-check uses
    bool ReaderInit = false;
    int InvalidIndex = 0; ///< 1-based position of the first bad escape in the input, 0 when none
};

/// Escape processing of the input bytes: "\\\\" a backslash, "\\e[n]" an ECI (n = 0..999999),
/// "\\f" FNC1, "\\p" reader initialisation, "\\s[index,count(,id)]" a structured-append header
/// (only at the very start). Any other escape, or a backslash at the end, sets InvalidIndex to the
/// position of the character after the backslash (of the final backslash) and stops.
TAztecEscapeResult AztecProcessEscapes(std::string_view data);

/// One code of the compacted stream: `Bits` bits (at most 16) holding `Value`.
struct TAztecItem {
    std::uint8_t Bits;
    std::uint16_t Value;
    friend bool operator==(const TAztecItem&, const TAztecItem&) = default;
};

/// The modes of the compaction, in the order the search prefers them on equal cost.
enum class TAztecMode : std::uint8_t { Upper, Lower, Mixed, Punct, Digit, Byte };

/// The cheapest item sequence for the data (byte runs already resolved into their length headers).
/// With allowEscape, the internal escape forms of AztecProcessEscapes are read as FNC1, ECI,
/// structured append and literal backslash. With bytesAlwaysBackToUpper, every byte run is
/// entered as if from Upper mode. Runs longer than the longest length a header can hold (2078
/// bytes) are split into several runs. endMode, when given, receives the text mode the stream ends in
/// (after a final byte run: the mode the run returns to).
std::vector<TAztecItem> AztecCompact(std::string_view data, bool allowEscape, bool bytesAlwaysBackToUpper,
                                     TAztecMode* endMode = nullptr);

/// The items as a bit stream, most significant bit of each item first.
TAztecBitStream AztecItemsToBitStream(const std::vector<TAztecItem>& items);
/// The same stream, one element (0 or 1) per bit.
std::vector<std::uint8_t> AztecItemsToBits(const std::vector<TAztecItem>& items);

} // namespace vgl
