#pragma once
// Reed-Solomon check words over GF(2^m), as the Aztec symbol needs them for its data codewords
// (6- to 12-bit words) and its mode message (4-bit words).

#include <cstdint>
#include <span>
#include <vector>

#include "platform/rtl/object.h"

namespace vgl {

/// The Galois-field parameters of the Aztec symbol: field size and primitive polynomial (with its top bit).
struct TGaloisFieldParams {
    int GaloisField;
    int PrimeModulus;
};
inline constexpr TGaloisFieldParams GF16{16, 19};       // x^4 + x + 1
inline constexpr TGaloisFieldParams GF64{64, 67};       // x^6 + x + 1
inline constexpr TGaloisFieldParams GF256{256, 301};    // x^8 + x^5 + x^3 + x^2 + 1
inline constexpr TGaloisFieldParams GF1024{1024, 1033}; // x^10 + x^3 + 1
inline constexpr TGaloisFieldParams GF4096{4096, 4201}; // x^12 + x^6 + x^5 + x^3 + 1

/// Systematic Reed-Solomon encoder. The generator polynomial has the roots alpha^1 .. alpha^n
/// (alpha = 2). A field's log and power tables are made once per process and shared (read only)
/// by every object; an object keeps its last generator polynomial, with the products the
/// division needs, until the field or the number of check words changes, so one object serves
/// repeated encodings of the same shape without rebuilding anything. An object is not meant to be
/// used by two threads at once.
class TReedSolomon : public TObject {
    VGL_CLASS(TReedSolomon, TObject)

    /// Writes edccWords.size() check words for dataWords into edccWords, first transmitted word
    /// first. The data words are only read. No check words requested: nothing is written.
    /// Raises EArgumentException when galoisField is not a power of two in 16 .. 4096 or
    /// primeModulus is not a primitive polynomial of that degree, and
    /// EArgumentOutOfRangeException when a data word is not an element of the field.
    void Encode(std::span<const std::uint16_t> dataWords, std::span<std::uint16_t> edccWords, int galoisField,
                int primeModulus);
    /// The same for 8-bit words; the field must then have at most 256 elements.
    void Encode(std::span<const std::uint8_t> dataWords, std::span<std::uint8_t> edccWords, int galoisField,
                int primeModulus);

    int GaloisField() const { return FGaloisField; }
    int PrimeModulus() const { return FPrimeModulus; }

private:
    struct TFieldTables;
    /// The tables of a field, made on first use; raises EArgumentException for a bad field.
    static const TFieldTables& FieldTables(int galoisField, int primeModulus);
    void PrepareGenerator(int galoisField, int primeModulus, std::size_t checkCount);
    template <typename Word>
    void EncodeWords(std::span<const Word> dataWords, std::span<Word> edccWords, int galoisField, int primeModulus);

    const TFieldTables* FField = nullptr;
    int FGaloisField = 0;
    int FPrimeModulus = 0;
    std::size_t FCheckCount = 0; // check words of the generator below (0: none built)
    int FPieces = 0;             // pieces a field element is cut into for the products (1 or 2)
    int FPieceBits = 0;          // bits of a piece
    // The generator's coefficients below x^n, highest first, multiplied by every value of each
    // piece of a field element: row (piece << FPieceBits) + value holds
    // coefficient[k] * (value << piece * FPieceBits).
    std::vector<std::uint16_t> FProducts;
    std::vector<std::uint16_t> FWork; // scratch: the long division's data and remainder
};

} // namespace vgl
