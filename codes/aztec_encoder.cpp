#include "codes/aztec_encoder.h"

#include <array>
#include <cstdint>

#include "codes/aztec_high_level_encoder.h"
#include "codes/reed_solomon.h"

namespace vgl {

namespace {

constexpr std::array<TAztecSizeInfo, AztecSizeCount> SizeTable{{
    {15, 17, 6, 1, true},       {19, 21, 6, 1, false},      {19, 40, 6, 2, true},       {23, 48, 6, 2, false},
    {23, 51, 8, 3, true},       {27, 60, 8, 3, false},      {27, 76, 8, 4, true},       {31, 88, 8, 4, false},
    {37, 120, 8, 5, false},     {41, 156, 8, 6, false},     {45, 196, 8, 7, false},     {49, 240, 8, 8, false},
    {53, 230, 10, 9, false},    {57, 272, 10, 10, false},   {61, 316, 10, 11, false},   {67, 364, 10, 12, false},
    {71, 416, 10, 13, false},   {75, 470, 10, 14, false},   {79, 528, 10, 15, false},   {83, 588, 10, 16, false},
    {87, 652, 10, 17, false},   {91, 720, 10, 18, false},   {95, 790, 10, 19, false},   {101, 864, 10, 20, false},
    {105, 940, 10, 21, false},  {109, 1020, 10, 22, false}, {113, 920, 12, 23, false},  {117, 992, 12, 24, false},
    {121, 1066, 12, 25, false}, {125, 1144, 12, 26, false}, {131, 1224, 12, 27, false}, {135, 1306, 12, 28, false},
    {139, 1392, 12, 29, false}, {143, 1480, 12, 30, false}, {147, 1570, 12, 31, false}, {151, 1664, 12, 32, false},
}};

const String InvalidPropertyValue = u"Ungültiger Eigenschaftswert";

int Ordinal(TAztecCode_Size size) {
    return static_cast<int>(size);
}

TGaloisFieldParams FieldFor(int wordBits) {
    switch (wordBits) {
    case 6:
        return GF64;
    case 8:
        return GF256;
    case 10:
        return GF1024;
    default:
        return GF4096;
    }
}

// The length pre-check: a lower bound of the codewords the data needs (4 bits per character)
// against the capacity of the effective maximum size.
bool VerifyLength(int charCount, TAztecCode_Size effectiveMax, const TAztecSettings& settings) {
    if (settings.SymbolMode == TAztecCode_SymbolMode::smFullRange && Ordinal(effectiveMax) == 0)
        return false;
    const TAztecSizeInfo& info = SizeTable[Ordinal(effectiveMax)];
    const std::int64_t w = info.WordBits;
    const std::int64_t rest = 100 - settings.ECCLevel;
    const std::int64_t a = (4 * static_cast<std::int64_t>(charCount) + 5 + w - 1) / w;
    const std::int64_t b = (a * w * 100) / rest;
    const std::int64_t need = (b + w - 1) / w + (static_cast<std::int64_t>(settings.ECCCount) * 100) / rest;
    return need <= info.CodeWords;
}

} // namespace

const TAztecSizeInfo& AztecSizeInfo(TAztecCode_Size size) {
    if (Ordinal(size) >= AztecSizeCount)
        throw EBarcode2DError(InvalidPropertyValue);
    return SizeTable[Ordinal(size)];
}

bool AztecSizeAllowed(TAztecCode_SymbolMode mode, TAztecCode_Size size) {
    const int ordinal = Ordinal(size);
    if (ordinal >= AztecSizeCount)
        return false;
    const bool compact = SizeTable[ordinal].Compact;
    switch (mode) {
    case TAztecCode_SymbolMode::smNormal:
        return ordinal != 1 && ordinal != 3 && ordinal != 5;
    case TAztecCode_SymbolMode::smCompact:
        return compact;
    case TAztecCode_SymbolMode::smFullRange:
        return !compact;
    case TAztecCode_SymbolMode::smProgram:
        return ordinal == 0 || (!compact && ordinal <= 25);
    case TAztecCode_SymbolMode::smAll:
        return true;
    }
    return false;
}

TAztecCode_Size AztecEffectiveMaxSize(TAztecCode_Size maxSize, TAztecCode_SymbolMode mode) {
    int ordinal = Ordinal(maxSize);
    switch (mode) {
    case TAztecCode_SymbolMode::smNormal:
        if (ordinal == 1 || ordinal == 3 || ordinal == 5)
            --ordinal;
        break;
    case TAztecCode_SymbolMode::smCompact:
        if (ordinal >= 8)
            ordinal = 6;
        else if (ordinal % 2 == 1)
            --ordinal;
        break;
    case TAztecCode_SymbolMode::smFullRange:
        if (ordinal == 2 || ordinal == 4 || ordinal == 6)
            --ordinal;
        break;
    case TAztecCode_SymbolMode::smProgram:
        if (ordinal >= 26)
            ordinal = 25;
        else if (ordinal == 2 || ordinal == 4 || ordinal == 6)
            --ordinal;
        break;
    case TAztecCode_SymbolMode::smAll:
        break;
    }
    return static_cast<TAztecCode_Size>(ordinal);
}

void CheckAztecECCLevel(int value) {
    if (value < 0 || value >= 100)
        throw EBarcode2DError(InvalidPropertyValue);
}

void CheckAztecECCCount(int value) {
    if (value <= 0 || value >= 1664)
        throw EBarcode2DError(InvalidPropertyValue);
}

void TAztecSettings::Validate() const {
    CheckAztecECCLevel(ECCLevel);
    CheckAztecECCCount(ECCCount);
    if (Ordinal(MinSize) >= AztecSizeCount || Ordinal(MaxSize) >= AztecSizeCount ||
        static_cast<int>(SymbolMode) > static_cast<int>(TAztecCode_SymbolMode::smAll))
        throw EBarcode2DError(InvalidPropertyValue);
}

std::vector<std::uint16_t> AztecStuffBits(const TAztecBitStream& bits, int wordBits, int* padBits) {
    if (wordBits < 2 || wordBits > 16)
        throw EArgumentOutOfRangeException(u"Aztec bit stuffing: the word size must be 2 to 16 bits");
    const unsigned allOnes = (1u << wordBits) - 1;
    const unsigned headMask = allOnes & ~1u; // the first wordBits - 1 bits
    const std::size_t size = bits.Size();
    std::vector<std::uint16_t> words;
    words.reserve(size / (wordBits - 1) + 2);
    std::size_t position = 0;
    while (size - position >= static_cast<std::size_t>(wordBits)) {
        unsigned word = bits.Read(position, wordBits);
        position += wordBits;
        if ((word & headMask) == 0) {
            word = 1;
            --position; // the last bit goes back to the stream
        } else if ((word & headMask) == headMask) {
            word = allOnes & ~1u;
            --position;
        }
        words.push_back(static_cast<std::uint16_t>(word));
    }
    // Pad with 1 bits; a stream that ended on a word boundary gets a whole word of padding.
    const int filled = static_cast<int>(size - position);
    if (padBits)
        *padBits = wordBits - filled;
    unsigned word = bits.Read(position, filled);
    word = (word << (wordBits - filled)) | ((1u << (wordBits - filled)) - 1);
    if ((word & headMask) == 0)
        word = 1;
    else if ((word & headMask) == headMask)
        word = allOnes & ~1u;
    words.push_back(static_cast<std::uint16_t>(word));
    return words;
}

std::vector<std::uint16_t> AztecStuffBits(const std::vector<std::uint8_t>& bits, int wordBits, int* padBits) {
    TAztecBitStream stream;
    stream.Reserve(bits.size());
    for (std::uint8_t bit : bits)
        stream.Append(bit != 0 ? 1 : 0, 1);
    return AztecStuffBits(stream, wordBits, padBits);
}

std::vector<std::uint8_t> AztecModeMessage(bool compact, int layers, int dataWords, bool readerInit) {
    const int layerBits = compact ? 2 : 5;
    const int wordBits = compact ? 6 : 11;
    if (layers < 1 || layers > (1 << layerBits) || dataWords < 1 || dataWords > (1 << wordBits))
        throw EArgumentOutOfRangeException(u"Aztec mode message: layers or data words out of range");
    int words = dataWords;
    if (readerInit)
        words |= compact ? 32 : 1024;
    const unsigned value = (static_cast<unsigned>(layers - 1) << wordBits) | static_cast<unsigned>(words - 1);
    const int dataNibbles = compact ? 2 : 4;
    std::vector<std::uint8_t> nibbles(dataNibbles);
    for (int k = 0; k < dataNibbles; ++k)
        nibbles[k] = static_cast<std::uint8_t>((value >> (4 * (dataNibbles - 1 - k))) & 15);
    std::vector<std::uint8_t> check(compact ? 5 : 6);
    // One encoder per thread keeps its generator from one symbol to the next.
    thread_local TReedSolomon reedSolomon;
    reedSolomon.Encode(std::span<const std::uint8_t>(nibbles), std::span<std::uint8_t>(check), GF16.GaloisField,
                       GF16.PrimeModulus);
    nibbles.insert(nibbles.end(), check.begin(), check.end());
    std::vector<std::uint8_t> bits;
    bits.reserve(nibbles.size() * 4);
    for (std::uint8_t nibble : nibbles)
        for (int b = 3; b >= 0; --b)
            bits.push_back(static_cast<std::uint8_t>((nibble >> b) & 1));
    return bits;
}

TMapMatrix AztecPlaceSymbolDots(TAztecCode_Size size, const std::vector<std::uint16_t>& codeWords,
                                const std::vector<std::uint8_t>& modeMessage) {
    const TAztecSizeInfo& info = AztecSizeInfo(size);
    const bool compact = info.Compact;
    if (static_cast<int>(codeWords.size()) != info.CodeWords || modeMessage.size() != (compact ? 28u : 40u))
        throw EArgumentException(u"Aztec layout: codewords or mode message do not match the size");

    const int side = info.Side;
    const int centre = (side - 1) / 2;
    const int ring = compact ? 5 : 7;
    TMapMatrix matrix(side, std::vector<std::uint8_t>(side, 0));
    auto cell = [&](int dy, int dx) -> std::uint8_t& { return matrix[centre + dy][centre + dx]; };
    auto isGridDistance = [&](int d) { return !compact && d % 16 == 0; };

    // Reference grid: rows and columns at multiples of 16 from the centre, dark at even distances.
    if (!compact) {
        for (int line = 0; line <= centre; line += 16)
            for (int sign : {-1, 1})
                for (int along = -centre; along <= centre; ++along) {
                    const std::uint8_t v = static_cast<std::uint8_t>(0x20 | (along % 2 == 0 ? 1 : 0));
                    cell(sign * line, along) = v;
                    cell(along, sign * line) = v;
                }
    }
    // Finder: the centre and the rings at even distances up to ring - 1.
    for (int d = 0; d < ring; d += 2)
        for (int k = -d; k <= d; ++k) {
            cell(-d, k) = cell(d, k) = 0x81;
            cell(k, -d) = cell(k, d) = 0x81;
        }
    // Orientation marks.
    const int r = ring;
    for (auto [dy, dx] :
         std::array<std::pair<int, int>, 6>{{{-r, -r}, {-r, -r + 1}, {-r + 1, -r}, {-r, r}, {-r + 1, r}, {r - 1, r}}})
        cell(dy, dx) = 0x41;
    // Mode message around the finder, clockwise from the top-left, skipping the centre line.
    {
        const int span = compact ? 3 : 5;
        std::size_t bit = 0;
        auto put = [&](int dy, int dx) {
            if (!compact && (dy == 0 || dx == 0))
                return;
            cell(dy, dx) = static_cast<std::uint8_t>(0x10 | modeMessage[bit++]);
        };
        for (int x = -span; x <= span; ++x)
            put(-r, x);
        for (int y = -span; y <= span; ++y)
            put(y, r);
        for (int x = span; x >= -span; --x)
            put(r, x);
        for (int y = span; y >= -span; --y)
            put(y, -r);
    }

    // Data layers from the inside out; the codeword stream is read backwards, each word from its
    // least significant bit up.
    const int wordBits = info.WordBits;
    std::size_t word = codeWords.size(); // the word being read, from the last one back
    int bit = wordBits;                  // its next bit; wordBits: the word is used up
    auto nextBit = [&]() -> std::uint8_t {
        if (bit == wordBits) {
            if (word == 0)
                return 0;
            --word;
            bit = 0;
        }
        return static_cast<std::uint8_t>((codeWords[word] >> bit++) & 1);
    };
    auto put = [&](int dy, int dx) {
        std::uint8_t& c = cell(dy, dx);
        if (c >= 2)
            return;
        c = nextBit();
    };
    int distance = ring;
    auto nextDistance = [&]() {
        do
            ++distance;
        while (isGridDistance(distance));
        return distance;
    };
    int previous = ring;
    for (int layer = 0; layer < info.Layers; ++layer) {
        const int i = nextDistance();
        const int o = nextDistance();
        const int p = previous;
        for (int x = -p; x <= o; ++x) {
            put(-i, x);
            put(-o, x);
        }
        for (int y = -p; y <= o; ++y) {
            put(y, i);
            put(y, o);
        }
        for (int x = p; x >= -o; --x) {
            put(i, x);
            put(o, x);
        }
        for (int y = p; y >= -o; --y) {
            put(y, -i);
            put(y, -o);
        }
        previous = o;
    }
    return matrix;
}

TAztecSymbol EncodeAztec(std::string_view data, const TAztecSettings& settings) {
    settings.Validate();
    TAztecSymbol symbol;
    const TAztecCode_Size effectiveMax = AztecEffectiveMaxSize(settings.MaxSize, settings.SymbolMode);

    TAztecEscapeResult escaped;
    if (settings.AllowEscape) {
        escaped = AztecProcessEscapes(data);
    } else {
        escaped.Data.assign(data);
        escaped.CharCount = static_cast<int>(std::min<std::size_t>(data.size(), INT32_MAX));
    }
    symbol.CharCount = escaped.CharCount;
    symbol.ReaderInit = escaped.ReaderInit;

    if (!VerifyLength(escaped.CharCount, effectiveMax, settings)) {
        symbol.Status = TAztecStatus::InvalidLength;
        return symbol;
    }
    if (escaped.InvalidIndex != 0) {
        symbol.Status = TAztecStatus::InvalidChar;
        symbol.InvalidIndex = escaped.InvalidIndex;
        return symbol;
    }

    TAztecMode endMode = TAztecMode::Upper;
    const TAztecBitStream bits = AztecItemsToBitStream(
        AztecCompact(escaped.Data, settings.AllowEscape, settings.BytesAlwaysBackToUpper, &endMode));
    symbol.BitLength = static_cast<int>(bits.Size());
    // Ten or more padding ones after Upper, Lower or Mixed read as a byte shift with a length, and
    // some readers then append bytes that are not there. Where that can happen, the stream first
    // latches to Digit (Upper, Lower) or Punct (Mixed) with the code 30, whose padding reads as
    // nothing.
    const bool padNeedsGuard =
        endMode == TAztecMode::Upper || endMode == TAztecMode::Lower || endMode == TAztecMode::Mixed;
    auto stuff = [&](int wordBits) {
        int padBits = 0;
        std::vector<std::uint16_t> stuffed = AztecStuffBits(bits, wordBits, &padBits);
        if (padNeedsGuard && padBits >= 10) {
            TAztecBitStream guarded = bits;
            guarded.Append(0b11110, 5);
            stuffed = AztecStuffBits(guarded, wordBits);
        }
        return stuffed;
    };

    // The first allowed size, from MinSize up, whose codewords hold the data and its check words.
    const int rest = 100 - settings.ECCLevel;
    std::vector<std::uint16_t> words;
    int packedFor = 0;
    bool found = false;
    TAztecSizeInfo chosen{};
    for (int ordinal = Ordinal(settings.MinSize); ordinal <= Ordinal(effectiveMax); ++ordinal) {
        const auto size = static_cast<TAztecCode_Size>(ordinal);
        if (!AztecSizeAllowed(settings.SymbolMode, size))
            continue;
        // Only the sizes a reader accepts as initialisation symbols can carry that flag.
        if (escaped.ReaderInit && !AztecSizeAllowed(TAztecCode_SymbolMode::smProgram, size))
            continue;
        const TAztecSizeInfo& info = SizeTable[ordinal];
        if (info.WordBits != packedFor) {
            words = stuff(info.WordBits);
            packedFor = info.WordBits;
        }
        const std::int64_t d = static_cast<std::int64_t>(words.size());
        const std::int64_t w = info.WordBits;
        // The mode message of a compact symbol counts at most 64 data words.
        if (info.Compact && d > 64)
            continue;
        const std::int64_t need = ((d * w * 100) / rest + w - 1) / w + (settings.ECCCount * 100) / rest;
        if (need <= info.CodeWords) {
            symbol.CurrentSize = size;
            chosen = info;
            found = true;
            break;
        }
    }
    if (!found) {
        symbol.Status = TAztecStatus::InvalidLength;
        return symbol;
    }

    symbol.DataWords = static_cast<int>(words.size());
    symbol.CodeWords = words;
    symbol.CodeWords.resize(chosen.CodeWords);
    const TGaloisFieldParams field = FieldFor(chosen.WordBits);
    // One encoder per thread: symbols of the same size and data length reuse its generator.
    thread_local TReedSolomon reedSolomon;
    reedSolomon.Encode(std::span<const std::uint16_t>(words),
                       std::span<std::uint16_t>(symbol.CodeWords).subspan(words.size()), field.GaloisField,
                       field.PrimeModulus);
    symbol.Matrix =
        AztecPlaceSymbolDots(symbol.CurrentSize, symbol.CodeWords,
                             AztecModeMessage(chosen.Compact, chosen.Layers, symbol.DataWords, escaped.ReaderInit));
    return symbol;
}

} // namespace vgl
