#pragma once
// The Aztec symbol encoder: bytes and settings in, module matrix and diagnostics out.
//
// Pipeline: escape processing and compaction (aztec_high_level_encoder.h), bit stuffing into
// codewords, choice of the smallest allowed symbol size, Reed-Solomon check words, and the layout
// of finder, orientation marks, mode message, reference grid and data layers.

#include <cstdint>
#include <string_view>
#include <vector>

#include "codes/aztec_bit_stream.h"
#include "codes/barcode2d_error.h"

namespace vgl {

/// The 36 symbol sizes, ordered by capacity (compact sizes interleaved).
enum class TAztecCode_Size : std::uint8_t {
    azSize_15Compact,
    azSize_19,
    azSize_19Compact,
    azSize_23,
    azSize_23Compact,
    azSize_27,
    azSize_27Compact,
    azSize_31,
    azSize_37,
    azSize_41,
    azSize_45,
    azSize_49,
    azSize_53,
    azSize_57,
    azSize_61,
    azSize_67,
    azSize_71,
    azSize_75,
    azSize_79,
    azSize_83,
    azSize_87,
    azSize_91,
    azSize_95,
    azSize_101,
    azSize_105,
    azSize_109,
    azSize_113,
    azSize_117,
    azSize_121,
    azSize_125,
    azSize_131,
    azSize_135,
    azSize_139,
    azSize_143,
    azSize_147,
    azSize_151
};
inline constexpr int AztecSizeCount = 36;

enum class TAztecCode_SymbolMode : std::uint8_t { smNormal, smCompact, smFullRange, smProgram, smAll };

struct TAztecSizeInfo {
    int Side;      ///< modules per side
    int CodeWords; ///< total codewords (data + check)
    int WordBits;  ///< bits per codeword: 6, 8, 10 or 12
    int Layers;
    bool Compact;
};

/// The parameters of a size. Raises EBarcode2DError for a value outside the enumeration.
const TAztecSizeInfo& AztecSizeInfo(TAztecCode_Size size);
/// True when the symbol mode allows the size.
bool AztecSizeAllowed(TAztecCode_SymbolMode mode, TAztecCode_Size size);
/// The largest size the mode allows at or below maxSize (the effective maximum).
TAztecCode_Size AztecEffectiveMaxSize(TAztecCode_Size maxSize, TAztecCode_SymbolMode mode);

/// Raise EBarcode2DError "Ungültiger Eigenschaftswert" for an ECCLevel of 100 or more (or below 0)
/// and for an ECCCount of 0 or from 1664 on.
void CheckAztecECCLevel(int value);
void CheckAztecECCCount(int value);

/// The encoder's settings with their defaults.
struct TAztecSettings {
    TAztecCode_Size MinSize = TAztecCode_Size::azSize_15Compact;
    TAztecCode_Size MaxSize = TAztecCode_Size::azSize_151;
    TAztecCode_SymbolMode SymbolMode = TAztecCode_SymbolMode::smAll;
    int ECCLevel = 23; ///< percentage of the symbol given to check words, 0..99
    int ECCCount = 3;  ///< check words added on top, 1..1663
    bool BytesAlwaysBackToUpper = false;
    bool AllowEscape = false;

    /// Raises EBarcode2DError for any value out of range.
    void Validate() const;
};

/// Module matrix [row][column]. Bit 0 of a cell is the module (1 dark); cells of 2 and more are
/// fixed patterns: 0x81 finder, 0x41 orientation mark, 0x20/0x21 reference grid, 0x10/0x11 mode message.
using TMapMatrix = std::vector<std::vector<std::uint8_t>>;

enum class TAztecStatus : std::uint8_t {
    Ok,
    InvalidChar,   ///< a bad escape; InvalidIndex tells where
    InvalidLength, ///< the data does not fit any allowed size
};

/// The encoded symbol and what the encoder found on the way.
struct TAztecSymbol {
    TAztecStatus Status = TAztecStatus::Ok;
    int InvalidIndex = 0;    ///< 1-based position in the input of the first bad escape, 0 when none
    int CharCount = 0;       ///< characters after escape processing
    bool ReaderInit = false; ///< the data asked for a reader-initialisation symbol
    int BitLength = 0;       ///< bits of the compacted stream
    TAztecCode_Size CurrentSize = TAztecCode_Size::azSize_15Compact; ///< the chosen size (when Ok)
    int DataWords = 0;                                               ///< data codewords D
    std::vector<std::uint16_t> CodeWords;                            ///< D data words followed by the check words
    TMapMatrix Matrix;                                               ///< side x side cells; empty unless Ok

    int Side() const { return static_cast<int>(Matrix.size()); }
    bool IsDark(int row, int column) const { return (Matrix[row][column] & 1) != 0; }
};

/// Encodes the bytes (each byte one character, as ISO-8859-1) into an Aztec symbol. Bad data is
/// reported in the result's Status, never raised; invalid settings raise EBarcode2DError.
TAztecSymbol EncodeAztec(std::string_view data, const TAztecSettings& settings = {});

// The stages, each usable alone.

/// Bit stuffing: the stream cut into wordBits-bit codewords; a word whose first wordBits-1 bits
/// are all 0 or all 1 takes the complement of them as its last bit and the bit goes back to the
/// stream. The last word is padded with 1 bits; a stream that ends on a word boundary gets an
/// extra word of all ones with the last bit cleared. padBits, when given, receives the number of
/// padding bits in the last word (1 .. wordBits). Raises EArgumentOutOfRangeException for a word
/// size outside 2 .. 16.
std::vector<std::uint16_t> AztecStuffBits(const TAztecBitStream& bits, int wordBits, int* padBits = nullptr);
/// The same for a stream of one element (0 or 1) per bit.
std::vector<std::uint16_t> AztecStuffBits(const std::vector<std::uint8_t>& bits, int wordBits, int* padBits = nullptr);

/// The 28 (compact) or 40 (full) bits of the mode message: layers - 1 and data words - 1 with
/// their GF(16) check words. With readerInit the data-word field carries the initialisation flag.
std::vector<std::uint8_t> AztecModeMessage(bool compact, int layers, int dataWords, bool readerInit);

/// The module matrix of a size holding the codewords (data then check words) and the mode message.
TMapMatrix AztecPlaceSymbolDots(TAztecCode_Size size, const std::vector<std::uint16_t>& codeWords,
                                const std::vector<std::uint8_t>& modeMessage);

} // namespace vgl
