#include "codes/aztec_encoder.h"

#include <gtest/gtest.h>

#define ZX_USE_UTF8
#include <ZXing/ReadBarcode.h>

#include <random>
#include <string>
#include <vector>

#include "codes/aztec_high_level_encoder.h"
#include "tests/codes/carrier_content.h"

namespace vgl {
namespace {

using Size = TAztecCode_Size;
using Mode = TAztecCode_SymbolMode;

// Renders the symbol with a light margin and reads it with zxing-cpp.
ZXing::Result Decode(const TAztecSymbol& symbol) {
    const int margin = 4, scale = 3;
    const int pixels = (symbol.Side() + 2 * margin) * scale;
    std::vector<std::uint8_t> image(static_cast<std::size_t>(pixels) * pixels, 255);
    for (int row = 0; row < symbol.Side(); ++row)
        for (int column = 0; column < symbol.Side(); ++column)
            if (symbol.IsDark(row, column))
                for (int y = 0; y < scale; ++y)
                    for (int x = 0; x < scale; ++x)
                        image[static_cast<std::size_t>((row + margin) * scale + y) * pixels +
                              (column + margin) * scale + x] = 0;
    const ZXing::ImageView view(image.data(), pixels, pixels, ZXing::ImageFormat::Lum);
    return ZXing::ReadBarcode(view, ZXing::DecodeHints().setFormats(ZXing::BarcodeFormat::Aztec));
}

std::string DecodedBytes(const TAztecSymbol& symbol) {
    const ZXing::Result result = Decode(symbol);
    if (!result.isValid())
        return "<no decode>";
    return std::string(result.bytes().begin(), result.bytes().end());
}

// Where two byte strings first differ, for failure messages.
std::string FirstDifference(const std::string& a, const std::string& b) {
    std::size_t k = 0;
    while (k < a.size() && k < b.size() && a[k] == b[k])
        ++k;
    return "first difference at " + std::to_string(k) + " of " + std::to_string(a.size()) + "/" +
           std::to_string(b.size());
}

void ExpectDecodes(const TAztecSymbol& symbol, const std::string& expected, const std::string& context) {
    const std::string decoded = DecodedBytes(symbol);
    EXPECT_TRUE(decoded == expected) << context << ": " << FirstDifference(decoded, expected);
}

std::string Repeat(std::string_view piece, std::size_t length) {
    std::string s;
    while (s.size() < length)
        s += piece;
    s.resize(length);
    return s;
}

std::string HighBytes(std::size_t length) {
    std::string s;
    for (std::size_t k = 0; k < length; ++k)
        s += static_cast<char>(0x80 + k % 128);
    return s;
}

TEST(AztecEncoderTest, EveryCorpusEntryDecodesBackExactly) {
    struct Case {
        const char* name;
        std::string data;
        TAztecSettings settings;
    };
    TAztecSettings lowEcc;
    lowEcc.ECCLevel = 5;
    TAztecSettings noEcc;
    noEcc.ECCLevel = 0;
    TAztecSettings backToUpper;
    backToUpper.BytesAlwaysBackToUpper = true;
    TAztecSettings escapes;
    escapes.AllowEscape = true;
    TAztecSettings fullRange;
    fullRange.SymbolMode = Mode::smFullRange;
    TAztecSettings strongEcc;
    strongEcc.ECCLevel = 60;
    strongEcc.ECCCount = 10;

    const std::vector<Case> cases = {
        {"upper", "HELLO WORLD", {}},
        {"lower", "hello world", {}},
        {"mixed", std::string("\x01\x02\x07\x0b\x0c\x1b\x1c@\\^_`|~\x7f", 15), {}},
        {"punct", "!\"#$%&'()*+-/:;<=>?[]{}", {}},
        {"digit", "0123456789 ,.", {}},
        {"byte", HighBytes(128), {}},
        {"nul bytes", std::string("\0A\0\0b", 5), {}},
        {"all modes mixed",
         "Ab1!\x01"
         "cD\xe4"
         "2.5 x, y: z\r\n@MiXeD~123456789012 end.",
         {}},
        {"pairs", "A\r\nB. C, D: E\r\n\r\n. , : \r", {}},
        {"pairs in lower", "a. b, c: d\r\ne", {}},
        {"separators",
         "\x1e\x1d\x1f\x04"
         "01\x1d"
         "ABC\x1e\x04",
         {}},
        {"run of 31", HighBytes(31), {}},
        {"run of 32", HighBytes(32), {}},
        {"run of 33", HighBytes(33), {}},
        {"run of 32 from lower", "abc" + HighBytes(32) + "def", {}},
        {"run from punct and digit", "!!!" + HighBytes(40) + "123" + HighBytes(3) + "4", {}},
        {"run of 2000", HighBytes(2000), lowEcc},
        {"run longer than one header holds", HighBytes(2100), noEcc},
        {"bytes back to upper", "ABC\xe4\xf6\xfc" + HighBytes(40) + "DEF", backToUpper},
        // Runs that start in Lower or Mixed text must still be followed by Upper codes.
        {"bytes back to upper from lower",
         "ab\xe4"
         "cde",
         backToUpper},
        {"bytes back to upper from mixed",
         "@@\xe4"
         "@@",
         backToUpper},
        {"bytes back to upper, long run from lower", "abc" + HighBytes(40) + "def", backToUpper},
        // 11 padding bits after Upper/Lower text would read as a byte shift of 31 bytes.
        {"padding after lower-case text", Repeat("Parcel 42, ", 1456), {}},
        {"full range only", "A", fullRange},
        {"strong check words", "ECC 60 PERCENT", strongEcc},
        {"carrier content", test::CarrierContent(), escapes},
        {"escaped backslash", "a\\\\b\\\\", escapes},
        {"empty", "", {}},
    };
    for (const Case& c : cases) {
        const TAztecSymbol symbol = EncodeAztec(c.data, c.settings);
        ASSERT_EQ(symbol.Status, TAztecStatus::Ok) << c.name;
        std::string expected = c.data;
        if (c.settings.AllowEscape) // the escaped backslashes read as single ones
            for (std::size_t k = expected.find("\\\\"); k != std::string::npos; k = expected.find("\\\\", k + 1))
                expected.erase(k, 1);
        if (c.data.empty())
            continue; // readers report an empty symbol as nothing found
        ExpectDecodes(symbol, expected, c.name);
    }
}

// Lengths on both sides of every size boundary, with the symbol sizes picked in between.
TEST(AztecEncoderTest, DecodesOnEverySizeBoundary) {
    for (const std::string_view alphabet : {std::string_view("0123456789"), std::string_view("Parcel 42, ")}) {
        auto ordinalFor = [&](std::size_t length) {
            const TAztecSymbol symbol = EncodeAztec(Repeat(alphabet, length));
            return symbol.Status == TAztecStatus::Ok ? static_cast<int>(symbol.CurrentSize) : AztecSizeCount;
        };
        std::vector<bool> seen(AztecSizeCount, false);
        for (int ordinal = 1; ordinal < AztecSizeCount; ++ordinal) {
            // The first length whose symbol is at least this size.
            std::size_t low = 1, high = 6000;
            while (low < high) {
                const std::size_t mid = (low + high) / 2;
                if (ordinalFor(mid) >= ordinal)
                    high = mid;
                else
                    low = mid + 1;
            }
            for (std::size_t length : {low - 1, low}) {
                const std::string data = Repeat(alphabet, length);
                const TAztecSymbol symbol = EncodeAztec(data);
                ASSERT_EQ(symbol.Status, TAztecStatus::Ok) << length;
                seen[static_cast<int>(symbol.CurrentSize)] = true;
                ExpectDecodes(symbol, data,
                              "length " + std::to_string(length) + ", size " +
                                  std::to_string(static_cast<int>(symbol.CurrentSize)));
            }
        }
        // Compact sizes 2-4 layers and every full size from 4 layers on are reached in order.
        for (int ordinal : {0, 1, 2, 3, 4, 6, 7, 8, 12, 25, 26, 35})
            EXPECT_TRUE(seen[ordinal]) << alphabet << " never chose size " << ordinal;
    }
}

TEST(AztecEncoderTest, LargestContentFitsAndOneMoreIsTooLong) {
    for (const std::string_view alphabet : {std::string_view("\xe4"), std::string_view("Label 7, Dresden. ")}) {
        std::size_t low = 1, high = 8000; // the largest length that fits lies in [low, high)
        while (high - low > 1) {
            const std::size_t mid = (low + high) / 2;
            (EncodeAztec(Repeat(alphabet, mid)).Status == TAztecStatus::Ok ? low : high) = mid;
        }
        const std::string largest = Repeat(alphabet, low);
        const TAztecSymbol symbol = EncodeAztec(largest);
        ASSERT_EQ(symbol.Status, TAztecStatus::Ok);
        EXPECT_EQ(symbol.CurrentSize, Size::azSize_151);
        ExpectDecodes(symbol, largest, "largest");
        const TAztecSymbol tooLong = EncodeAztec(Repeat(alphabet, low + 1));
        EXPECT_EQ(tooLong.Status, TAztecStatus::InvalidLength);
        EXPECT_TRUE(tooLong.Matrix.empty());
    }
    // Far beyond any size: rejected by the length pre-check.
    EXPECT_EQ(EncodeAztec(std::string(100000, 'x')).Status, TAztecStatus::InvalidLength);
}

TEST(AztecEncoderTest, CompactionChoosesTheCheapestCodes) {
    struct Case {
        const char* data;
        std::vector<TAztecItem> items;
    };
    const Case cases[] = {
        {"A", {{5, 2}}},
        // Latch to Lower, then a single Upper shift beats latching back.
        {"aB", {{5, 28}, {5, 2}, {5, 28}, {5, 3}}},
        // ". " inside upper-case text: Punct shift and the pair code.
        {"A. B", {{5, 2}, {5, 0}, {5, 3}, {5, 3}}},
        {"12", {{5, 30}, {4, 3}, {4, 4}}},
        {"\r\n", {{5, 0}, {5, 2}}},
        {"\xe4", {{5, 31}, {5, 1}, {8, 0xe4}}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(AztecCompact(c.data, false, false), c.items) << c.data;

    // After a byte run the stream is back in the mode the run left (Lower: "d" is one code). When
    // every run is to return to Upper, a run is entered from Upper only (from Lower it would cost
    // a 9-bit latch first), so here the whole text is cheapest as one run.
    const std::string lowerRun = "abc\xe4"
                                 "d";
    EXPECT_EQ(AztecCompact(lowerRun, false, false),
              (std::vector<TAztecItem>{{5, 28}, {5, 2}, {5, 3}, {5, 4}, {5, 31}, {5, 1}, {8, 0xe4}, {5, 5}}));
    EXPECT_EQ(AztecCompact(lowerRun, false, true),
              (std::vector<TAztecItem>{{5, 31}, {5, 5}, {8, 'a'}, {8, 'b'}, {8, 'c'}, {8, 0xe4}, {8, 'd'}}));

    // Byte-run headers: 10 bits up to 31 bytes, 21 bits (the 16-bit long form) from 32 on.
    for (auto [length, headerBits] : {std::pair{31, 10}, {32, 21}, {33, 21}, {2078, 21}}) {
        const auto items = AztecCompact(HighBytes(length), false, false);
        EXPECT_EQ(AztecItemsToBits(items).size(), static_cast<std::size_t>(headerBits + 8 * length)) << length;
    }
    const auto long32 = AztecCompact(HighBytes(32), false, false);
    EXPECT_EQ(std::vector<TAztecItem>(long32.begin(), long32.begin() + 4),
              (std::vector<TAztecItem>{{5, 31}, {5, 0}, {6, 0}, {5, 1}}));
    // A run past 2078 bytes needs a second header.
    const auto split = AztecCompact(HighBytes(2079), false, false);
    EXPECT_EQ(AztecItemsToBits(split).size(), static_cast<std::size_t>(21 + 10 + 8 * 2079));
}

TEST(AztecEncoderTest, BitStuffing) {
    struct Case {
        std::vector<std::uint8_t> bits;
        int wordBits;
        std::vector<std::uint16_t> words;
    };
    const Case cases[] = {
        {{0, 0, 0, 1, 0}, 6, {5}},              // one pad bit
        {{}, 6, {62}},                          // nothing but padding
        {{1, 0, 1, 0, 1, 0}, 6, {42, 62}},      // ends on a word boundary
        {{0, 0, 0, 0, 0, 0, 1, 1}, 6, {1, 31}}, // 000001, the 0 goes back: 011 + padding
        {{1, 1, 1, 1, 1, 1, 0}, 6, {62, 47}},   // 111110, the 1 goes back: 10 + padding
        {{0, 0, 0, 0, 0}, 6, {1}},              // padding makes 000001
        {{1, 1, 1, 1, 1, 1, 1}, 8, {254}},      // padding makes all ones: last bit cleared
    };
    for (const Case& c : cases)
        EXPECT_EQ(AztecStuffBits(c.bits, c.wordBits), c.words);
    // Word sizes without room for a stuffed bit, or beyond a 16-bit codeword, are refused.
    for (int wordBits : {-1, 0, 1, 17})
        EXPECT_THROW(AztecStuffBits({1, 0, 1}, wordBits), EArgumentOutOfRangeException) << wordBits;
}

// The packed stream across its 64-bit word boundaries: the same bits as one element per bit, and
// the same codewords as cutting that form bit by bit, for every word size the symbol uses.
TEST(AztecEncoderTest, PackedStreamAgreesWithBitPerElement) {
    std::mt19937 random(11);
    std::vector<TAztecItem> items;
    for (int k = 0; k < 150; ++k) {
        const auto bits = static_cast<std::uint8_t>(1 + random() % 16);
        // Runs of equal bits make the stuffing fire.
        const auto value = static_cast<std::uint16_t>(k % 5 == 0 ? 0 : k % 5 == 1 ? 0xFFFF : random());
        items.push_back({bits, static_cast<std::uint16_t>(value & ((1u << bits) - 1))});
    }
    const std::vector<std::uint8_t> flat = AztecItemsToBits(items);
    const TAztecBitStream packed = AztecItemsToBitStream(items);
    ASSERT_EQ(packed.Size(), flat.size());
    for (std::size_t k = 0; k < flat.size(); ++k) {
        ASSERT_EQ(packed.Bit(k), flat[k] != 0) << k;
        std::uint32_t window = 0; // 13 bits from k, zeros past the end
        for (std::size_t j = k; j < k + 13; ++j)
            window = window << 1 | (j < flat.size() ? flat[j] : 0);
        ASSERT_EQ(packed.Read(k, 13), window) << k;
    }
    for (int wordBits : {6, 8, 10, 12}) {
        // Cut bit by bit: a word whose first wordBits - 1 bits are equal takes their complement
        // and gives its last bit back; the rest is padded with ones.
        std::vector<std::uint16_t> expected;
        const unsigned head = ((1u << wordBits) - 1) & ~1u;
        unsigned word = 0;
        int filled = 0;
        for (std::size_t k = 0; k <= flat.size(); ++k) {
            const bool end = k == flat.size();
            if (end) {
                word = (word << (wordBits - filled)) | ((1u << (wordBits - filled)) - 1);
            } else {
                word = word << 1 | flat[k];
                if (++filled < wordBits)
                    continue;
            }
            if ((word & head) == 0 || (word & head) == head) {
                word = (word & head) == 0 ? 1 : head;
                if (!end)
                    --k;
            }
            expected.push_back(static_cast<std::uint16_t>(word));
            word = 0;
            filled = 0;
        }
        EXPECT_EQ(AztecStuffBits(packed, wordBits), expected) << wordBits;
        EXPECT_EQ(AztecStuffBits(flat, wordBits), expected) << wordBits;
    }
}

TEST(AztecEncoderTest, SingleLetterGivesSmallestSymbol) {
    const TAztecSymbol symbol = EncodeAztec("A");
    ASSERT_EQ(symbol.Status, TAztecStatus::Ok);
    EXPECT_EQ(symbol.BitLength, 5);
    EXPECT_EQ(symbol.DataWords, 1);
    EXPECT_EQ(symbol.CodeWords.front(), 5);
    EXPECT_EQ(symbol.CodeWords.size(), 17u);
    EXPECT_EQ(symbol.CurrentSize, Size::azSize_15Compact);
    EXPECT_EQ(symbol.Side(), 15);
    // Fixed patterns: centre and orientation mark are dark, the finder's first ring light.
    EXPECT_EQ(symbol.Matrix[7][7], 0x81);
    EXPECT_EQ(symbol.Matrix[2][2], 0x41);
    EXPECT_EQ(symbol.Matrix[6][7] & 1, 0);
}

TEST(AztecEncoderTest, EscapeProcessing) {
    struct Case {
        const char* input;
        std::string data;
        int charCount;
        bool readerInit;
        int invalidIndex;
    };
    const Case cases[] = {
        {"a\\\\b", "a\\\\b", 3, false, 0},
        {"\\e[26]x", "\\226x", 4, false, 0},
        {"\\e[999999]", "\\6999999", 7, false, 0},
        {"a\\fb", "a\\0b", 3, false, 0},
        {"\\pAB", "AB", 2, true, 0},
        {"\\s[2,3]AB", "\\7BCAB", 9, false, 0},
        {"\\s[ 1 , 26 , ID\\,7 ]x", "\\7 ID,7 AZx", 12, false, 0},
        {"\\x", "", 0, false, 2},
        {"ab\\", "ab", 2, false, 3},
        {"\\e[1234567]", "", 0, false, 2},
        {"\\e[]", "", 0, false, 2},
        {"\\e[12", "", 0, false, 2},
        {"x\\s[1,2]", "x", 1, false, 3},    // structured append only at the start
        {"\\s[0,2]", "", 0, false, 2},      // index below 1
        {"\\s[3,2]", "", 0, false, 2},      // index beyond the count
        {"\\s[1,27]", "", 0, false, 2},     // count above 26
        {"\\s[1,2,A B]", "", 0, false, 2},  // blank inside the ID
        {"\\s[1,2,A\\f]", "", 0, false, 2}, // FNC1 inside the ID
        {"\\s[1,2", "", 0, false, 2},       // unclosed
    };
    for (const Case& c : cases) {
        const TAztecEscapeResult result = AztecProcessEscapes(c.input);
        EXPECT_EQ(result.InvalidIndex, c.invalidIndex) << c.input;
        if (c.invalidIndex != 0)
            continue;
        EXPECT_EQ(result.Data, c.data) << c.input;
        EXPECT_EQ(result.CharCount, c.charCount) << c.input;
        EXPECT_EQ(result.ReaderInit, c.readerInit) << c.input;
    }
}

TEST(AztecEncoderTest, EscapesReachTheSymbol) {
    TAztecSettings settings;
    settings.AllowEscape = true;

    // FNC1 is coded as FLG(0) from Punct mode, latched from Upper.
    EXPECT_EQ(AztecCompact("\\0", true, false), (std::vector<TAztecItem>{{5, 29}, {5, 30}, {5, 0}, {3, 0}}));

    const TAztecSymbol bad = EncodeAztec("AB\\xC", settings);
    EXPECT_EQ(bad.Status, TAztecStatus::InvalidChar);
    EXPECT_EQ(bad.InvalidIndex, 4);
    EXPECT_TRUE(bad.Matrix.empty());
    // Without escapes the same bytes are plain data.
    EXPECT_EQ(DecodedBytes(EncodeAztec("AB\\xC")), "AB\\xC");

    // ECI designators are not content: the reader returns the bytes around them.
    EXPECT_EQ(DecodedBytes(EncodeAztec("\\e[3]Gr\xfc\xdf"
                                       "e",
                                       settings)),
              "Gr\xfc\xdf"
              "e");
    EXPECT_EQ(DecodedBytes(EncodeAztec("ab\\e[26]cd", settings)), "abcd");

    const ZXing::Result programmed = Decode(EncodeAztec("\\pPROGRAM 1", settings));
    ASSERT_TRUE(programmed.isValid());
    EXPECT_TRUE(programmed.readerInit());
    EXPECT_EQ(programmed.text(), "PROGRAM 1");

    // A reader-initialisation request too long for the sizes that can carry the flag.
    EXPECT_EQ(EncodeAztec("\\p" + std::string(2000, 'x'), settings).Status, TAztecStatus::InvalidLength);
    // Data that would fit a compact symbol of two layers, which cannot carry the flag, moves on to
    // the next size that can.
    const std::string program = Repeat("abc", 21);
    EXPECT_EQ(EncodeAztec(program, settings).CurrentSize, Size::azSize_19Compact);
    const TAztecSymbol longProgram = EncodeAztec("\\p" + program, settings);
    ASSERT_EQ(longProgram.Status, TAztecStatus::Ok);
    EXPECT_EQ(longProgram.CurrentSize, Size::azSize_23);
    const ZXing::Result longResult = Decode(longProgram);
    EXPECT_TRUE(longResult.readerInit());
    EXPECT_EQ(longResult.text(), program);

    const ZXing::Result part = Decode(EncodeAztec("\\s[2,3,ID42]PART TWO", settings));
    ASSERT_TRUE(part.isValid());
    EXPECT_EQ(part.text(), "PART TWO");
    EXPECT_EQ(part.sequenceIndex(), 1);
    EXPECT_EQ(part.sequenceSize(), 3);
    EXPECT_EQ(part.sequenceId(), "ID42");
}

TEST(AztecEncoderTest, SizesAndSymbolModes) {
    struct Case {
        Size maxSize;
        Mode mode;
        Size effective;
    };
    const Case cases[] = {
        {Size::azSize_19, Mode::smNormal, Size::azSize_15Compact},
        {Size::azSize_27, Mode::smNormal, Size::azSize_23Compact},
        {Size::azSize_31, Mode::smCompact, Size::azSize_27Compact},
        {Size::azSize_151, Mode::smCompact, Size::azSize_27Compact},
        {Size::azSize_27Compact, Mode::smFullRange, Size::azSize_27},
        {Size::azSize_151, Mode::smProgram, Size::azSize_109},
        {Size::azSize_19Compact, Mode::smProgram, Size::azSize_19},
        {Size::azSize_19, Mode::smAll, Size::azSize_19},
    };
    for (const Case& c : cases)
        EXPECT_EQ(AztecEffectiveMaxSize(c.maxSize, c.mode), c.effective) << static_cast<int>(c.maxSize);

    const std::string text = Repeat("Compact or not? ", 90);
    TAztecSettings compact;
    compact.SymbolMode = Mode::smCompact;
    EXPECT_EQ(EncodeAztec(text, compact).Status, TAztecStatus::InvalidLength);
    EXPECT_EQ(EncodeAztec(text.substr(0, 40), compact).CurrentSize, Size::azSize_23Compact);

    TAztecSettings full;
    full.SymbolMode = Mode::smFullRange;
    const TAztecSymbol fullSymbol = EncodeAztec("A", full);
    EXPECT_EQ(fullSymbol.CurrentSize, Size::azSize_19);
    full.MaxSize = Size::azSize_15Compact; // no full size at or below it
    EXPECT_EQ(EncodeAztec("A", full).Status, TAztecStatus::InvalidLength);

    TAztecSettings minAboveMax;
    minAboveMax.MinSize = Size::azSize_41;
    minAboveMax.MaxSize = Size::azSize_37;
    EXPECT_EQ(EncodeAztec("A", minAboveMax).Status, TAztecStatus::InvalidLength);

    TAztecSettings startLarge;
    startLarge.MinSize = Size::azSize_67;
    const TAztecSymbol large = EncodeAztec("A", startLarge);
    EXPECT_EQ(large.CurrentSize, Size::azSize_67);
    EXPECT_EQ(DecodedBytes(large), "A");

    // With almost no check words a compact symbol would need more data words than its mode
    // message can count; the encoder moves on to a full symbol.
    TAztecSettings thin;
    thin.ECCLevel = 0;
    thin.ECCCount = 1;
    for (std::size_t length = 60; length <= 76; ++length) {
        const std::string data = HighBytes(length);
        const TAztecSymbol symbol = EncodeAztec(data, thin);
        ASSERT_EQ(symbol.Status, TAztecStatus::Ok);
        if (AztecSizeInfo(symbol.CurrentSize).Compact) {
            EXPECT_LE(symbol.DataWords, 64);
        }
        ExpectDecodes(symbol, data, std::to_string(length));
    }
}

TEST(AztecEncoderTest, PropertyRangesRaise) {
    for (int level : {0, 23, 99})
        EXPECT_NO_THROW(CheckAztecECCLevel(level));
    for (int count : {1, 3, 1663})
        EXPECT_NO_THROW(CheckAztecECCCount(count));
    for (int level : {100, 255, -1}) {
        try {
            CheckAztecECCLevel(level);
            ADD_FAILURE() << level;
        } catch (const EBarcode2DError& e) {
            EXPECT_EQ(e.Message(), u"Ungültiger Eigenschaftswert");
        }
    }
    for (int count : {0, 1664, 65535})
        EXPECT_THROW(CheckAztecECCCount(count), EBarcode2DError);

    TAztecSettings settings;
    settings.ECCLevel = 100;
    EXPECT_THROW(EncodeAztec("A", settings), EBarcode2DError);
    settings.ECCLevel = 99;
    settings.ECCCount = 1663;
    EXPECT_EQ(EncodeAztec("A", settings).Status, TAztecStatus::InvalidLength);
}

} // namespace
} // namespace vgl
