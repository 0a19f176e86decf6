#include "report/model/barcode_encoder.h"

#include <algorithm>
#include <string_view>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/format.h"
#include "platform/rtl/reflection_builder.h"
#include "platform/rtl/rounding.h"
#include "platform/rtl/sysutils.h"

namespace vgl {

VGL_DEFINE_ENUM(TfrxBarcodeType, u"bcCode_2_5_interleaved", u"bcCode_2_5_industrial", u"bcCode_2_5_matrix",
                u"bcCode_ITF_14", u"bcCode39", u"bcCode39Extended", u"bcCode128", u"bcCode128A", u"bcCode128B",
                u"bcCode128C", u"bcCode93", u"bcCode93Extended", u"bcCodeMSI", u"bcCodePostNet", u"bcCodeCodabar",
                u"bcCodeEAN8", u"bcCodeEAN13", u"bcCodeUPC_A", u"bcCodeUPC_E0", u"bcCodeUPC_E1", u"bcCodeUPC_Supp2",
                u"bcCodeUPC_Supp5", u"bcCodeEAN128", u"bcCodeEAN128A", u"bcCodeEAN128B", u"bcCodeEAN128C",
                u"bcCodeUSPSIntelligentMail", u"bcCodePlessey", u"bcGS1Code128", u"bcPharmacode",
                u"bcDeutsche_Post_Identcode", u"bcDeutsche_Post_Leitcode")
VGL_DEFINE_ENUM(TfrxCheckSumMethod, u"csmNone", u"csmModulo10")

namespace {

struct TypeRow {
    const char16_t* Name;
    bool DigitsOnly;
};

constexpr TypeRow kTypes[BarcodeTypeCount] = {
    {u"2_5_interleaved", true},
    {u"2_5_industrial", true},
    {u"2_5_matrix", true},
    {u"ITF_14", true},
    {u"Code39", false},
    {u"Code39 Extended", false},
    {u"Code128", false},
    {u"Code128A", false},
    {u"Code128B", false},
    {u"Code128C", true},
    {u"Code93", false},
    {u"Code93 Extended", false},
    {u"MSI", true},
    {u"PostNet", true},
    {u"Codebar", false},
    {u"EAN8", true},
    {u"EAN13", true},
    {u"UPC_A", true},
    {u"UPC_E0", true},
    {u"UPC_E1", true},
    {u"UPC Supp2", true},
    {u"UPC Supp5", true},
    {u"EAN128", false},
    {u"EAN128A", false},
    {u"EAN128B", false},
    {u"EAN128C", true},
    {u"USPS Intelligent Mail", true},
    {u"Plessey", false},
    {u"GS1 Code128", false},
    {u"Pharmacode", true},
    {u"Deutsche Post Identcode", true},
    {u"Deutsche Post Leitcode", true},
};

[[noreturn]] void InvalidBarcode() {
    throw Exception(u"Invalid Barcode");
}

void CheckType(TfrxBarcodeType type) {
    if (int(type) < 0 || int(type) >= BarcodeTypeCount)
        throw Exception(u"TfrxBarcode: wrong BarcodeType");
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// ---- Code 128 tables ------------------------------------------------------------------------

// The six element widths (bar, space, bar, space, bar, space) of the 106 symbol values 0–105
// (ISO/IEC 15417); the stop symbol has seven.
constexpr const char* kCode128Widths[106] = {
    "212222", "222122", "222221", "121223", "121322", "131222", "122213", "122312", "132212", "221213", "221312",
    "231212", "112232", "122132", "122231", "113222", "123122", "123221", "223211", "221132", "221231", "213212",
    "223112", "312131", "311222", "321122", "321221", "312212", "322112", "322211", "212123", "212321", "232121",
    "111323", "131123", "131321", "112313", "132113", "132311", "211313", "231113", "231311", "112133", "112331",
    "132131", "113123", "113321", "133121", "313121", "211331", "231131", "213113", "213311", "213131", "311123",
    "311321", "331121", "312113", "312311", "332111", "314111", "221411", "431111", "111224", "111422", "121124",
    "121421", "141122", "141221", "112214", "112412", "122114", "122411", "142112", "142211", "241211", "221114",
    "413111", "241112", "134111", "111242", "121142", "121241", "114212", "124112", "124211", "411212", "421112",
    "421211", "212141", "214121", "412121", "111143", "111341", "131141", "114113", "114311", "411113", "411311",
    "113141", "114131", "311141", "411131", "211412", "211214", "211232"};
constexpr const char* kCode128Stop = "2331112";

constexpr int kStartA = 103, kStartB = 104, kStartC = 105;
enum class CodeSet { None, A, B, C };

// The value of a data character in code set A or B (the first matching row), or -1. Set A holds
// the characters 32–95 at values 0–63 and 0–31 at 64–95; set B holds 32–126 at 0–94 and a space
// again at 95, so DEL has no value.
int Code128CharValue(unsigned char c, CodeSet set) {
    if (set == CodeSet::A) {
        if (c < 32)
            return c + 64;
        if (c <= 95)
            return c - 32;
        return -1;
    }
    if (c >= 32 && c <= 126)
        return c - 32;
    return -1;
}

// A three-character token "&x;" at position i (the letter without regard to case); returns the
// upper-case letter or 0.
char TokenAt(const AnsiString& s, std::size_t i) {
    if (i + 2 >= s.size() || s[i] != '&' || s[i + 2] != ';')
        return 0;
    const char c = AsciiUpperChar(s[i + 1]);
    return std::string_view("ABCS1234").find(c) == std::string_view::npos ? 0 : c;
}

bool IsCodeSetToken(char t) {
    return t == 'A' || t == 'B' || t == 'C' || t == 'S';
}
bool IsFncToken(char t) {
    return t >= '1' && t <= '4';
}

bool IsFnc1Word(const AnsiString& text, std::size_t i) {
    return AsciiUpperChar(text[i]) == 'F' && AsciiUpperChar(text[i + 1]) == 'N' && AsciiUpperChar(text[i + 2]) == 'C' &&
           text[i + 3] == '1';
}

// Replaces every "&FNC1;" (without regard to case) by "&1;".
AnsiString NormaliseFnc1(const AnsiString& text) {
    AnsiString out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        if (text.size() - i >= 6 && text[i] == '&' && text[i + 5] == ';' && IsFnc1Word(text, i + 1)) {
            out += "&1;";
            i += 6;
        } else {
            out += text[i++];
        }
    }
    return out;
}

AnsiString RemoveTokens(const AnsiString& text, bool (*which)(char)) {
    AnsiString out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        char t = TokenAt(text, i);
        if (t && which(t)) {
            i += 3;
        } else {
            out += text[i++];
        }
    }
    return out;
}

bool AnyToken(char t) {
    return t != 0;
}

// ---- Character classes of the automatic code-set choice ------------------------------------

enum class CharClass { A, B, AB };

CharClass ClassOf(unsigned char c) {
    if (c >= 32 && c <= 95)
        return CharClass::AB;
    if (c >= 96 && c <= 126)
        return CharClass::B;
    return CharClass::A; // only in A (control characters) or in neither
}

// A position starts a run for code set C: a digit, at least five characters left from it and at
// least four digits in a row.
bool StartsCodeC(const AnsiString& s, std::size_t i) {
    if (i >= s.size() || !IsDigit(s[i]) || s.size() - i < 5)
        return false;
    std::size_t run = 0;
    while (i + run < s.size() && IsDigit(s[i + run]) && run < 4)
        ++run;
    return run >= 4;
}

// ---- 2 of 5 -----------------------------------------------------------------------------

constexpr bool kTwoOfFive[10][5] = {{false, false, true, true, false}, {true, false, false, false, true},
                                    {false, true, false, false, true}, {true, true, false, false, false},
                                    {false, false, true, false, true}, {true, false, true, false, false},
                                    {false, true, true, false, false}, {false, false, false, true, true},
                                    {true, false, false, true, false}, {false, true, false, true, false}};

const bool* DigitPattern(char c) {
    const bool* p = TwoOfFiveDigit(c);
    if (!p)
        InvalidBarcode();
    return p;
}

AnsiString Interleaved(const AnsiString& digits) {
    AnsiString out = "5050";
    for (std::size_t i = 0; i + 1 < digits.size(); i += 2) {
        const bool* bars = DigitPattern(digits[i]);
        const bool* spaces = DigitPattern(digits[i + 1]);
        for (int k = 0; k < 5; ++k) {
            out += bars[k] ? '6' : '5';
            out += spaces[k] ? '1' : '0';
        }
    }
    return out + "605";
}

AnsiString EncodeInterleaved(AnsiString text, bool checksum, TfrxCheckSumMethod method) {
    for (char c : text)
        DigitPattern(c);
    if (checksum && text.size() % 2 == 1)
        text = BarcodeCheckSum(text, method);
    if (text.size() % 2 == 1)
        text.insert(text.begin(), '0');
    return Interleaved(text);
}

AnsiString EncodeItf14(const AnsiString& text) {
    if (text.size() != 14)
        throw Exception(u"The length should be 14");
    if (text[0] < '1' || text[0] > '8')
        throw Exception(u"The first character must be 1-8");
    for (char c : text)
        if (!IsDigit(c))
            throw Exception(u"Only numbers are required");
    return "33333" + Interleaved(text) + "33333";
}

AnsiString EncodeIndustrial(const AnsiString& text) {
    AnsiString out = "55055050";
    for (char c : text) {
        const bool* p = DigitPattern(c);
        for (int k = 0; k < 5; ++k)
            out += p[k] ? "60" : "50";
    }
    return out + "55050550";
}

AnsiString EncodeMatrix(const AnsiString& text) {
    AnsiString out = "705050";
    for (char c : text) {
        const bool* p = DigitPattern(c);
        for (int k = 0; k < 5; ++k) {
            bool bar = k % 2 == 0;
            out += bar ? (p[k] ? '6' : '5') : (p[k] ? '1' : '0');
        }
        out += '0';
    }
    return out + "70505";
}

// ---- GS1 application identifiers ------------------------------------------------------------

struct AiRow {
    const char* Pattern; // "X" matches any character
    int MinLength;
    int MaxLength;
    bool Variable;
};

constexpr AiRow F(const char* ai, int length) {
    return {ai, length, length, false};
}
constexpr AiRow V(const char* ai, int min, int max) {
    return {ai, min, max, true};
}

// Both lists merged in ascending order of the AI text ("X" after the digits); the first row that
// matches wins, so 710–713 are found before 71X.
constexpr AiRow kAiTable[] = {
    F("00", 18),       F("01", 14),       F("02", 14),       V("10", 1, 20),    F("11", 6),       F("12", 6),
    F("13", 6),        F("15", 6),        F("16", 6),        F("17", 6),        F("20", 2),       V("21", 1, 20),
    V("22", 1, 20),    V("240", 1, 30),   V("241", 1, 30),   V("242", 1, 6),    V("243", 1, 20),  V("250", 1, 30),
    V("251", 1, 30),   V("253", 13, 30),  V("254", 1, 20),   V("255", 13, 25),  V("30", 1, 8),    F("31XX", 6),
    F("32XX", 6),      F("33XX", 6),      F("34XX", 6),      F("35XX", 6),      F("36XX", 6),     V("37", 1, 8),
    V("390X", 1, 15),  V("391X", 3, 18),  V("392X", 1, 15),  V("393X", 3, 18),  V("394X", 4, 4),  V("400", 1, 30),
    V("401", 1, 30),   V("402", 17, 17),  V("403", 1, 30),   F("41X", 13),      V("420", 1, 20),  V("421", 3, 12),
    V("422", 3, 3),    V("423", 3, 15),   V("424", 3, 3),    V("425", 3, 15),   V("426", 3, 3),   V("7001", 13, 13),
    V("7002", 1, 30),  V("7003", 10, 10), V("7004", 1, 4),   V("7005", 1, 12),  V("7006", 6, 6),  V("7007", 6, 12),
    V("7008", 1, 3),   V("7009", 1, 10),  V("7010", 1, 2),   V("7020", 1, 20),  V("7021", 1, 20), V("7022", 1, 20),
    V("7023", 1, 30),  V("703X", 3, 30),  V("710", 1, 20),   V("711", 1, 20),   V("712", 1, 20),  V("713", 1, 20),
    V("71X", 1, 20),   V("8001", 14, 14), V("8002", 1, 20),  V("8003", 14, 30), V("8004", 1, 30), V("8005", 6, 6),
    V("8006", 18, 18), V("8007", 1, 34),  V("8008", 8, 12),  V("8010", 1, 30),  V("8011", 1, 12), V("8012", 1, 20),
    V("8013", 1, 30),  V("8017", 18, 18), V("8018", 18, 18), V("8019", 1, 10),  V("8020", 1, 25), V("8110", 1, 70),
    V("8111", 4, 4),   V("8112", 1, 70),  V("8200", 1, 70),  V("90", 1, 30),    V("9X", 1, 90)};
static_assert(std::size(kAiTable) == 89);

// The AI row for "(" at position p, or nullptr: more than two characters must follow the "(",
// and the pattern may not run past the end.
const AiRow* FindAi(const AnsiString& s, std::size_t p) {
    if (p >= s.size() || s[p] != '(' || s.size() - p - 1 <= 2)
        return nullptr;
    for (const AiRow& row : kAiTable) {
        std::string_view pattern(row.Pattern);
        if (p + 1 + pattern.size() > s.size())
            continue;
        bool fits = true;
        for (std::size_t k = 0; k < pattern.size() && fits; ++k)
            fits = pattern[k] == 'X' || pattern[k] == s[p + 1 + k];
        if (fits)
            return &row;
    }
    return nullptr;
}

} // namespace

// ---- Types and element sizes ------------------------------------------------------------

String BarcodeTypeName(TfrxBarcodeType type) {
    CheckType(type);
    return kTypes[type].Name;
}

bool BarcodeTypeDigitsOnly(TfrxBarcodeType type) {
    CheckType(type);
    return kTypes[type].DigitsOnly;
}

bool BarcodeTypeIsCode128(TfrxBarcodeType type) {
    switch (type) {
    case bcCode128:
    case bcCode128A:
    case bcCode128B:
    case bcCode128C:
    case bcCodeEAN128:
    case bcCodeEAN128A:
    case bcCodeEAN128B:
    case bcCodeEAN128C:
    case bcGS1Code128:
        return true;
    default:
        return false;
    }
}

bool BarcodeTypeSupported(TfrxBarcodeType type) {
    return BarcodeTypeIsCode128(type) || type == bcCode_2_5_interleaved || type == bcCode_2_5_industrial ||
           type == bcCode_2_5_matrix || type == bcCode_ITF_14;
}

double ClampBarcodeRatio(TfrxBarcodeType type, double ratio) {
    if (type == bcCode_2_5_matrix)
        return std::clamp(ratio, 2.25, 3.0);
    switch (type) {
    case bcCode93:
    case bcCode93Extended:
    case bcCodeMSI:
    case bcCodePostNet:
    case bcCodeUSPSIntelligentMail:
    case bcCodePlessey:
    case bcPharmacode:
        return ratio;
    default:
        return BarcodeTypeIsCode128(type) ? ratio : std::clamp(ratio, 2.0, 3.0);
    }
}

TBarcodeModules BarcodeModules(int modul, double ratio) {
    int wide = int(Round((long double)modul * ratio));
    return {modul, wide, wide * 3 / 2, wide * 2};
}

TBarcodeElement BarcodePatternElement(char c) {
    if (c >= '0' && c <= '3')
        return {TBarcodeElementKind::Space, c - '0'};
    if (c >= '5' && c <= '8')
        return {TBarcodeElementKind::Bar, c - '5'};
    if (c >= 'A' && c <= 'D')
        return {TBarcodeElementKind::ShortBar, c - 'A'};
    switch (c) {
    case 'F':
        return {TBarcodeElementKind::Tracker, 0};
    case 'G':
        return {TBarcodeElementKind::Ascender, 0};
    case 'H':
        return {TBarcodeElementKind::Descender, 0};
    default:
        throw Exception(u"TfrxBarcode: internal Error");
    }
}

int BarcodePatternWidth(const AnsiString& pattern, const TBarcodeModules& modules) {
    int width = 0;
    for (char c : pattern)
        width += modules[BarcodePatternElement(c).Size];
    return width;
}

AnsiString BarcodeCheckSum(const AnsiString& text, TfrxCheckSumMethod method) {
    if (method == csmNone)
        return text;
    int sum = 0;
    int weight = 3;
    for (auto it = text.rbegin(); it != text.rend(); ++it) {
        if (!IsDigit(*it))
            InvalidBarcode();
        sum += (*it - '0') * weight;
        weight = weight == 3 ? 1 : 3;
    }
    return text + char('0' + (10 - sum % 10) % 10);
}

const bool* TwoOfFiveDigit(char digit) {
    return IsDigit(digit) ? kTwoOfFive[digit - '0'] : nullptr;
}

// ---- Code 128 ---------------------------------------------------------------------------

AnsiString Code128AutoTokens(const AnsiString& text) {
    const AnsiString s = RemoveTokens(text, IsCodeSetToken);
    const std::size_t n = s.size();
    AnsiString out;
    CodeSet current = CodeSet::None;
    std::size_t i = 0;
    while (i < n) {
        // A chunk may begin with one control token, carried along behind any set switch.
        AnsiString carried;
        if (IsFncToken(TokenAt(s, i))) {
            carried = s.substr(i, 3);
            i += 3;
        }
        if (i >= n) {
            out += carried;
            break;
        }
        if (StartsCodeC(s, i)) {
            std::size_t run = 0;
            while (i + run < n && IsDigit(s[i + run]))
                ++run;
            run -= run % 2;
            if (current != CodeSet::C)
                out += "&C;";
            current = CodeSet::C;
            out += carried + s.substr(i, run);
            i += run;
            continue;
        }
        CharClass cls = ClassOf(static_cast<unsigned char>(s[i]));
        std::size_t j = i + 1;
        while (j < n && !TokenAt(s, j) && !StartsCodeC(s, j)) {
            CharClass next = ClassOf(static_cast<unsigned char>(s[j]));
            if (next == CharClass::AB || next == cls) {
                ++j;
            } else if (cls == CharClass::AB) {
                cls = next;
                ++j;
            } else {
                break;
            }
        }
        const CodeSet set = cls == CharClass::A ? CodeSet::A : CodeSet::B;
        const AnsiString chunk = s.substr(i, j - i);
        if (chunk.size() == 1 && (current == CodeSet::A || current == CodeSet::B) && set != current) {
            out += carried + "&S;" + chunk;
        } else {
            if (set != current)
                out += set == CodeSet::A ? "&A;" : "&B;";
            current = set;
            out += carried + chunk;
        }
        i = j;
    }
    return out;
}

AnsiString Code128Tokens(TfrxBarcodeType type, const AnsiString& text, bool checksum, TfrxCheckSumMethod method) {
    AnsiString t = NormaliseFnc1(text);
    switch (type) {
    case bcCode128A:
    case bcCodeEAN128A:
        t = "&A;" + t;
        break;
    case bcCode128B:
    case bcCodeEAN128B:
        t = "&B;" + t;
        break;
    case bcCode128C:
    case bcCodeEAN128C: {
        AnsiString c;
        for (char ch : t) {
            if (ch == '(')
                c += "&1;";
            else if (ch != ')')
                c += ch;
        }
        t = "&C;" + c;
        break;
    }
    case bcGS1Code128:
        t = Code128AutoTokens(GS1ToCode128(t));
        break;
    case bcCode128:
    case bcCodeEAN128:
        t = Code128AutoTokens(t);
        break;
    default:
        throw Exception(u"TfrxBarcode: internal Error");
    }
    if (type == bcCodeEAN128 || type == bcCodeEAN128A || type == bcCodeEAN128B || type == bcCodeEAN128C) {
        if (t.size() >= 3 && TokenAt(t, 3) != '1')
            t.insert(3, "&1;");
        if (checksum) {
            AnsiString withCheck = BarcodeCheckSum(RemoveTokens(t, AnyToken), method);
            if (!withCheck.empty())
                t += withCheck.back();
        }
    }
    return t;
}

std::vector<int> Code128Values(const AnsiString& tokens) {
    std::vector<int> values;
    CodeSet set;
    switch (TokenAt(tokens, 0)) {
    case 'A':
        values.push_back(kStartA);
        set = CodeSet::A;
        break;
    case 'B':
        values.push_back(kStartB);
        set = CodeSet::B;
        break;
    case 'C':
        values.push_back(kStartC);
        set = CodeSet::C;
        break;
    default:
        InvalidBarcode();
    }
    const std::size_t n = tokens.size();
    for (std::size_t i = 3; i < n;) {
        if (char t = TokenAt(tokens, i)) {
            i += 3;
            int value = -1;
            switch (t) {
            case 'A':
                value = 101;
                set = CodeSet::A;
                break;
            case 'B':
                value = 100;
                set = CodeSet::B;
                break;
            case 'C':
                value = 99;
                set = CodeSet::C;
                break;
            case 'S': {
                // Exactly the one following character comes from the other of sets A and B.
                if (set == CodeSet::C || i >= n)
                    InvalidBarcode();
                values.push_back(98);
                value = Code128CharValue(static_cast<unsigned char>(tokens[i]),
                                         set == CodeSet::A ? CodeSet::B : CodeSet::A);
                ++i;
                break;
            }
            case '1':
                value = 102;
                break;
            case '2':
                value = set == CodeSet::C ? -1 : 97;
                break;
            case '3':
                value = set == CodeSet::C ? -1 : 96;
                break;
            case '4':
                value = set == CodeSet::A ? 101 : set == CodeSet::B ? 100 : -1;
                break;
            }
            if (value < 0)
                InvalidBarcode();
            values.push_back(value);
        } else if (set == CodeSet::C) {
            if (i + 1 >= n || !IsDigit(tokens[i]) || !IsDigit(tokens[i + 1]))
                InvalidBarcode();
            values.push_back((tokens[i] - '0') * 10 + (tokens[i + 1] - '0'));
            i += 2;
        } else {
            int value = Code128CharValue(static_cast<unsigned char>(tokens[i]), set);
            if (value < 0)
                InvalidBarcode();
            values.push_back(value);
            ++i;
        }
    }
    long long check = values[0];
    for (std::size_t k = 1; k < values.size(); ++k)
        check += (long long)k * values[k];
    values.push_back(int(check % 103));
    return values;
}

AnsiString Code128Pattern(const std::vector<int>& values) {
    AnsiString out;
    out.reserve(values.size() * 6 + 7);
    auto append = [&out](std::string_view widths) {
        for (std::size_t k = 0; k < widths.size(); ++k)
            out += char((k % 2 == 0 ? '5' : '0') + (widths[k] - '1'));
    };
    for (int v : values) {
        if (v < 0 || v > 105)
            throw Exception(u"TfrxBarcode: internal Error");
        append(kCode128Widths[v]);
    }
    append(kCode128Stop);
    return out;
}

AnsiString Code128DisplayText(const AnsiString& text) {
    return RemoveTokens(NormaliseFnc1(text), AnyToken);
}

AnsiString GS1ToCode128(const AnsiString& s) {
    if (s.size() <= 2)
        return {};
    AnsiString out = "&1;";
    std::size_t p = 0;
    while (p < s.size()) {
        const AiRow* row = FindAi(s, p);
        if (!row)
            return {};
        const std::size_t aiLength = std::string_view(row->Pattern).size();
        const std::size_t close = p + 1 + aiLength;
        if (close >= s.size() || s[close] != ')')
            return {};
        const std::size_t data = close + 1;
        if (!row->Variable) {
            if (s.size() - data < std::size_t(row->MinLength))
                return {};
            out += s.substr(p + 1, aiLength) + s.substr(data, row->MinLength);
            p = data + row->MinLength;
            continue;
        }
        std::size_t end = data;
        while (end < s.size() && !(s[end] == '(' && FindAi(s, end)))
            ++end;
        const std::size_t length = end - data;
        if (length < std::size_t(row->MinLength) || length > std::size_t(row->MaxLength))
            return {};
        out += s.substr(p + 1, aiLength) + s.substr(data, length);
        if (end < s.size())
            out += "&1;";
        p = end;
    }
    return out;
}

// ---- The whole encoding -----------------------------------------------------------------

TBarcodeEncoding EncodeBarcode(TfrxBarcodeType type, const AnsiString& text, bool checksum, TfrxCheckSumMethod method) {
    CheckType(type);
    TBarcodeEncoding result{{}, text};
    AnsiString t = text;
    if (kTypes[type].DigitsOnly) {
        std::size_t first = 0, last = t.size();
        while (first < last && static_cast<unsigned char>(t[first]) <= 32)
            ++first;
        while (last > first && static_cast<unsigned char>(t[last - 1]) <= 32)
            --last;
        t = t.substr(first, last - first);
        if (type != bcCode128C && type != bcCodeEAN128C && t.find_first_of("()") != AnsiString::npos)
            throw Exception(u"Barcode must be numeric");
    }
    if (BarcodeTypeIsCode128(type)) {
        result.Pattern = Code128Pattern(Code128Values(Code128Tokens(type, t, checksum, method)));
        return result;
    }
    switch (type) {
    case bcCode_2_5_interleaved:
        result.Pattern = EncodeInterleaved(t, checksum, method);
        break;
    case bcCode_ITF_14:
        result.Pattern = EncodeItf14(t);
        break;
    case bcCode_2_5_industrial:
        result.Pattern = EncodeIndustrial(t);
        break;
    case bcCode_2_5_matrix:
        result.Pattern = EncodeMatrix(t);
        break;
    default:
        throw Exception(Format(u"Barcode type \"%s\" is not supported", {BarcodeTypeName(type)}));
    }
    return result;
}

} // namespace vgl
