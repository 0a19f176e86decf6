#include "codes/aztec_high_level_encoder.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cassert>
#include <limits>

namespace vgl {

// ---------------------------------------------------------------------------------------------
// Escape processing

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && s.front() == ' ')
        s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ')
        s.remove_suffix(1);
    return s;
}

// A decimal number of 1..maxDigits digits and nothing else; -1 otherwise.
int ParseNumber(std::string_view s, std::size_t maxDigits) {
    if (s.empty() || s.size() > maxDigits)
        return -1;
    int value = 0;
    for (char c : s) {
        if (!IsDigit(c))
            return -1;
        value = value * 10 + (c - '0');
    }
    return value;
}

struct EscapeProcessor {
    std::string_view in;
    bool idMode; // inside a structured-append message ID: FNC1, \p and \s are not allowed
    TAztecEscapeResult result;

    // Parses "\s[index,count(,id)]" at the start; returns the position after "]" or 0 on error.
    std::size_t StructuredAppend() {
        std::size_t pos = 2;
        if (pos >= in.size() || in[pos] != '[')
            return 0;
        ++pos;
        std::vector<std::string> items(1);
        bool closed = false;
        while (pos < in.size()) {
            const char c = in[pos];
            if (c == '\\' && pos + 1 < in.size()) {
                const char next = in[pos + 1];
                if (next == ',' || next == '[' || next == ']') {
                    items.back() += next;
                } else {
                    // Any other escape belongs to the message ID and is processed with it.
                    items.back() += c;
                    items.back() += next;
                }
                pos += 2;
                continue;
            }
            ++pos;
            if (c == ']') {
                closed = true;
                break;
            }
            if (c == ',')
                items.emplace_back();
            else
                items.back() += c;
        }
        if (!closed || items.size() < 2 || items.size() > 3)
            return 0;
        const int index = ParseNumber(TrimBlanks(items[0]), 2);
        const int count = ParseNumber(TrimBlanks(items[1]), 2);
        // An index beyond the count names a part that cannot exist; readers reject such a set.
        if (index < 1 || index > 26 || count < 2 || count > 26 || index > count)
            return 0;
        std::string header = "\\7";
        int idCount = 0;
        if (items.size() == 3) {
            const std::string_view id = TrimBlanks(items[2]);
            if (id.find(' ') != std::string_view::npos)
                return 0;
            if (!id.empty()) {
                EscapeProcessor idProcessor{id, true, {}};
                idProcessor.Run();
                if (idProcessor.result.InvalidIndex != 0)
                    return 0;
                header += ' ';
                header += idProcessor.result.Data;
                header += ' ';
                idCount = idProcessor.result.CharCount;
            }
        }
        header += static_cast<char>('A' + index - 1);
        header += static_cast<char>('A' + count - 1);
        result.Data += header;
        result.CharCount += idCount + 7;
        return pos;
    }

    void Run() {
        std::size_t i = 0;
        while (i < in.size()) {
            const char c = in[i];
            if (c != '\\') {
                result.Data += c;
                ++result.CharCount;
                ++i;
                continue;
            }
            if (i + 1 >= in.size()) {
                result.InvalidIndex = static_cast<int>(i) + 1;
                return;
            }
            const int badPosition = static_cast<int>(i) + 2; // the character after the backslash, 1-based
            switch (in[i + 1]) {
            case '\\':
                result.Data += "\\\\";
                ++result.CharCount;
                i += 2;
                break;
            case 'e': {
                const std::size_t close = in.find(']', i + 2);
                if (i + 2 >= in.size() || in[i + 2] != '[' || close == std::string_view::npos) {
                    result.InvalidIndex = badPosition;
                    return;
                }
                const std::string_view digits = in.substr(i + 3, close - (i + 3));
                if (ParseNumber(digits, 6) < 0) {
                    result.InvalidIndex = badPosition;
                    return;
                }
                result.Data += '\\';
                result.Data += static_cast<char>('0' + digits.size());
                result.Data += digits;
                result.CharCount += static_cast<int>(digits.size()) + 1;
                i = close + 1;
                break;
            }
            case 'f':
                if (idMode) {
                    result.InvalidIndex = badPosition;
                    return;
                }
                result.Data += "\\0";
                ++result.CharCount;
                i += 2;
                break;
            case 'p':
                if (idMode) {
                    result.InvalidIndex = badPosition;
                    return;
                }
                result.ReaderInit = true;
                i += 2;
                break;
            case 's': {
                const std::size_t after = (i == 0 && !idMode) ? StructuredAppend() : 0;
                if (after == 0) {
                    result.InvalidIndex = badPosition;
                    return;
                }
                i = after;
                break;
            }
            default:
                result.InvalidIndex = badPosition;
                return;
            }
        }
    }
};

} // namespace

TAztecEscapeResult AztecProcessEscapes(std::string_view data) {
    EscapeProcessor processor{data, false, {}};
    processor.Run();
    return std::move(processor.result);
}

// ---------------------------------------------------------------------------------------------
// Compaction

namespace {

enum Mode { U, L, M, P, D, B, ModeCount };

constexpr int CodeLength[ModeCount] = {5, 5, 5, 5, 4, 8};
constexpr int Unreachable = std::numeric_limits<int>::max() / 4;
// The longest byte run one header can announce: 31 + the 11-bit extension.
constexpr int MaxRunLength = 31 + 2047;

enum ItemKind : std::uint8_t { CodeItem, ByteItem, RunItem };

struct SearchItem {
    std::uint8_t bits;
    std::uint16_t value;
    ItemKind kind = CodeItem;
};

constexpr SearchItem RunPlaceholder{5, 0, RunItem};

struct Sequence {
    int cost = -1; // -1: no transition
    int count = 0;
    std::array<SearchItem, 4> items{};
};

constexpr Sequence Seq(int cost, std::initializer_list<SearchItem> items) {
    Sequence s;
    s.cost = cost;
    for (const SearchItem& item : items)
        s.items[s.count++] = item;
    return s;
}

constexpr SearchItem C5(int v) {
    return {5, static_cast<std::uint16_t>(v), CodeItem};
}
constexpr SearchItem C4(int v) {
    return {4, static_cast<std::uint16_t>(v), CodeItem};
}

// Latches between the five text modes and into a byte run; the diagonal is "stay".
constexpr Sequence LatchTable[5][ModeCount] = {
    // from Upper
    {Seq(0, {}), Seq(5, {C5(28)}), Seq(5, {C5(29)}), Seq(10, {C5(29), C5(30)}), Seq(5, {C5(30)}),
     Seq(10, {C5(31), RunPlaceholder})},
    // from Lower
    {Seq(9, {C5(30), C4(14)}), Seq(0, {}), Seq(5, {C5(29)}), Seq(10, {C5(29), C5(30)}), Seq(5, {C5(30)}),
     Seq(10, {C5(31), RunPlaceholder})},
    // from Mixed
    {Seq(5, {C5(29)}), Seq(5, {C5(28)}), Seq(0, {}), Seq(5, {C5(30)}), Seq(10, {C5(29), C5(30)}),
     Seq(10, {C5(31), RunPlaceholder})},
    // from Punct
    {Seq(5, {C5(31)}), Seq(10, {C5(31), C5(28)}), Seq(10, {C5(31), C5(29)}), Seq(0, {}), Seq(10, {C5(31), C5(30)}),
     Seq(15, {C5(31), C5(31), RunPlaceholder})},
    // from Digit
    {Seq(4, {C4(14)}), Seq(9, {C4(14), C5(28)}), Seq(9, {C4(14), C5(29)}), Seq(14, {C4(14), C5(29), C5(30)}),
     Seq(0, {}), Seq(14, {C4(14), C5(31), RunPlaceholder})},
};

// One-character shifts [from][to]; cost -1 where none exists.
constexpr Sequence ShiftTable[5][5] = {
    {Seq(-1, {}), Seq(-1, {}), Seq(-1, {}), Seq(5, {C5(0)}), Seq(-1, {})},
    {Seq(5, {C5(28)}), Seq(-1, {}), Seq(-1, {}), Seq(5, {C5(0)}), Seq(-1, {})},
    {Seq(-1, {}), Seq(-1, {}), Seq(-1, {}), Seq(5, {C5(0)}), Seq(-1, {})},
    {Seq(-1, {}), Seq(-1, {}), Seq(-1, {}), Seq(-1, {}), Seq(-1, {})},
    {Seq(4, {C4(15)}), Seq(-1, {}), Seq(-1, {}), Seq(4, {C4(0)}), Seq(-1, {})},
};

struct CharTable {
    std::array<std::array<std::int8_t, 256>, ModeCount> value{};
    CharTable() {
        for (auto& row : value)
            row.fill(-1);
        value[U][' '] = value[L][' '] = value[M][' '] = value[D][' '] = 1;
        for (int c = 'A'; c <= 'Z'; ++c)
            value[U][c] = static_cast<std::int8_t>(c - 'A' + 2);
        for (int c = 'a'; c <= 'z'; ++c)
            value[L][c] = static_cast<std::int8_t>(c - 'a' + 2);
        for (int c = 1; c <= 13; ++c)
            value[M][c] = static_cast<std::int8_t>(c + 1);
        for (int c = 27; c <= 31; ++c)
            value[M][c] = static_cast<std::int8_t>(c - 12);
        const char mixed[] = {'@', '\\', '^', '_', '`', '|', '~'};
        for (int k = 0; k < 7; ++k)
            value[M][static_cast<unsigned char>(mixed[k])] = static_cast<std::int8_t>(20 + k);
        value[M][127] = 27;
        value[P]['\r'] = 1;
        for (int c = 33; c <= 47; ++c)
            value[P][c] = static_cast<std::int8_t>(c - 27);
        for (int c = 58; c <= 63; ++c)
            value[P][c] = static_cast<std::int8_t>(c - 37);
        value[P]['['] = 27;
        value[P][']'] = 28;
        value[P]['{'] = 29;
        value[P]['}'] = 30;
        for (int c = '0'; c <= '9'; ++c)
            value[D][c] = static_cast<std::int8_t>(c - '0' + 2);
        value[D][','] = 12;
        value[D]['.'] = 13;
    }
};

const CharTable& Chars() {
    static const CharTable table;
    return table;
}

// The cost of a latch from a text mode (for Byte: the mode the run returns to) to each mode, as
// the search counts it, without and with every byte run returning to Upper.
using LatchCostTable = std::array<std::array<int, ModeCount>, 5>;

constexpr LatchCostTable MakeLatchCosts(bool bytesAlwaysBackToUpper) {
    LatchCostTable costs{};
    for (int row = 0; row < 5; ++row)
        for (int target = 0; target < ModeCount; ++target) {
            // A byte run returns to the mode its shift was given in. When every run is to return
            // to Upper, a run is entered from Lower or Mixed through an Upper latch, so that
            // readers and the search agree on the mode after the run.
            const bool throughUpper = target == B && bytesAlwaysBackToUpper && (row == L || row == M);
            costs[row][target] =
                throughUpper ? LatchTable[row][U].cost + LatchTable[U][B].cost : LatchTable[row][target].cost;
        }
    return costs;
}

constexpr std::array<LatchCostTable, 2> LatchCosts{MakeLatchCosts(false), MakeLatchCosts(true)};

// One item of a search path; paths share their prefixes through the parent links.
struct PathNode {
    int parent;
    SearchItem item;
};

// Above what one step of the search can append: 30 latches of at most 3 items each, then codes of
// one character in up to 5 modes with up to 4 shifted variants of 2 items, bytes with a run split,
// or an ECI of 8 items.
constexpr std::size_t MaxNodesPerStep = 256;

class Compactor {
public:
    Compactor(bool allowEscape, bool bytesAlwaysBackToUpper, std::vector<PathNode>& storage);

    std::vector<TAztecItem> Run(std::string_view data, TAztecMode* endMode);

private:
    struct State {
        int cost = Unreachable;
        int path = -1;    // last node of the item sequence, -1 = empty
        int trailing = 0; // byte items at the end of the sequence
    };
    using States = std::array<State, ModeCount>;

    // The store has room for a whole step before it starts, so appending checks nothing.
    void ReserveStep() {
        if (FCount + MaxNodesPerStep > FStorage.size()) {
            FStorage.resize(std::max(FStorage.size() * 2, FCount + MaxNodesPerStep));
            FNodes = FStorage.data();
        }
    }
    int Append(int path, const SearchItem* items, int count) {
        for (int k = 0; k < count; ++k) {
            assert(FCount < FStorage.size()); // MaxNodesPerStep bounds a step
            // Field by field: a node built whole on the stack and copied stalls on the store.
            PathNode& node = FNodes[FCount];
            node.parent = path;
            node.item.bits = items[k].bits;
            node.item.value = items[k].value;
            node.item.kind = items[k].kind;
            path = static_cast<int>(FCount++);
        }
        return path;
    }
    int Append(int path, const Sequence& seq) { return Append(path, seq.items.data(), seq.count); }
    int Append(int path, SearchItem item) { return Append(path, &item, 1); }

    static void Offer(State* states, int mode, const State& candidate) {
        if (candidate.cost < states[mode].cost)
            states[mode] = candidate;
    }

    void LatchStep();
    // Byte mode continues with the given bytes; a run that reaches its longest length is closed
    // and a new one opened from the mode the run returns to.
    State AppendBytes(State b, const unsigned char* bytes, int count);
    void Code(State* next, int mode, int extraCost, const SearchItem* items, int count);
    void ThroughShiftInto(State* next, int target, const SearchItem* items, int count);
    std::size_t ItemStep(std::string_view data, std::size_t pos, State* next);

    bool FAllowEscape;
    bool FBytesAlwaysBackToUpper;
    // The states of the position reached; they and those of the next position are two arrays
    // that swap roles after each step.
    State* FCost = nullptr;
    int FReturnMode = U; // the mode a byte run returns to
    const LatchCostTable& FLatchCost;
    std::vector<PathNode>& FStorage;
    PathNode* FNodes = nullptr;
    std::size_t FCount = 0;
};

Compactor::Compactor(bool allowEscape, bool bytesAlwaysBackToUpper, std::vector<PathNode>& storage)
    : FAllowEscape(allowEscape), FBytesAlwaysBackToUpper(bytesAlwaysBackToUpper),
      FLatchCost(LatchCosts[bytesAlwaysBackToUpper ? 1 : 0]), FStorage(storage) {}

void Compactor::LatchStep() {
    for (int source = 0; source < ModeCount; ++source) {
        const int sourceCost = FCost[source].cost;
        if (sourceCost >= Unreachable)
            continue;
        const int row = source == B ? FReturnMode : source;
        const auto& latchCost = FLatchCost[row];
        // The targets this source improves, compared all at once: a latch from one source does
        // not change what the same source offers another target.
        unsigned improves = 0;
        for (int target = 0; target < ModeCount; ++target)
            improves |= static_cast<unsigned>(sourceCost + latchCost[target] < FCost[target].cost) << target;
        improves &= ~(1u << source);
        while (improves != 0) {
            const int target = std::countr_zero(improves);
            improves &= improves - 1;
            const State& from = FCost[source];
            const Sequence& latch = LatchTable[row][target];
            const bool throughUpper = target == B && FBytesAlwaysBackToUpper && (row == L || row == M);
            const int path = throughUpper ? Append(Append(from.path, LatchTable[row][U]), LatchTable[U][B])
                                          : Append(from.path, latch);
            FCost[target] = {sourceCost + latchCost[target], path, latch.count == 0 ? from.trailing : 0};
            if (target == B)
                FReturnMode = (FBytesAlwaysBackToUpper || source == P || source == D) ? U : source;
        }
    }
}

Compactor::State Compactor::AppendBytes(State b, const unsigned char* bytes, int count) {
    for (int k = 0; k < count; ++k) {
        if (b.trailing == MaxRunLength) {
            const Sequence& latch = LatchTable[FReturnMode][B];
            b.path = Append(b.path, latch);
            b.cost += latch.cost;
            b.trailing = 0;
        }
        b.path = Append(b.path, SearchItem{8, bytes[k], ByteItem});
        b.cost += 8;
        // The 32nd byte of a run switches its header to the long, 16-bit form.
        if (++b.trailing == 32)
            b.cost += 11;
    }
    return b;
}

void Compactor::Code(State* next, int mode, int extraCost, const SearchItem* items, int count) {
    const State& from = FCost[mode];
    if (from.cost >= Unreachable)
        return;
    const int candidate = from.cost + extraCost;
    if (candidate < next[mode].cost)
        next[mode] = {candidate, Append(from.path, items, count), 0};
}

void Compactor::ThroughShiftInto(State* next, int target, const SearchItem* items, int count) {
    // Only Upper and Punct can be shifted into for one character.
    if (target != U && target != P)
        return;
    int itemCost = 0;
    for (int k = 0; k < count; ++k)
        itemCost += items[k].bits;
    for (int j = U; j <= D; ++j) {
        if (j == target || FCost[j].cost >= Unreachable)
            continue;
        const Sequence& shift = ShiftTable[j][target];
        if (shift.cost < 0)
            continue;
        const int candidate = FCost[j].cost + shift.cost + itemCost;
        if (candidate < next[j].cost) {
            const int path = Append(FCost[j].path, shift);
            next[j] = {candidate, Append(path, items, count), 0};
        }
    }
}

// Consumes the item at pos and offers every way to code it; returns the characters consumed.
std::size_t Compactor::ItemStep(std::string_view data, std::size_t pos, State* next) {
    const auto c = static_cast<unsigned char>(data[pos]);
    const bool hasNext = pos + 1 < data.size();
    const unsigned char c2 = hasNext ? static_cast<unsigned char>(data[pos + 1]) : 0;

    if (FAllowEscape && c == '\\' && hasNext) {
        if (c2 == '0') {
            const SearchItem fnc1[] = {C5(0), SearchItem{3, 0}};
            Code(next, P, 8, fnc1, 2);
            return 2;
        }
        if (c2 >= '1' && c2 <= '6') {
            const std::size_t digits = c2 - '0';
            bool wellFormed = pos + 2 + digits <= data.size();
            for (std::size_t k = 0; wellFormed && k < digits; ++k)
                wellFormed = IsDigit(data[pos + 2 + k]);
            if (wellFormed) {
                const State& from = FCost[P];
                if (from.cost < Unreachable) {
                    int path = Append(from.path, C5(0));
                    path = Append(path, SearchItem{3, static_cast<std::uint16_t>(digits)});
                    for (std::size_t k = 0; k < digits; ++k)
                        path = Append(path, C4(data[pos + 2 + k] - '0' + 2));
                    Offer(next, P, {from.cost + 8 + 4 * static_cast<int>(digits), path, 0});
                }
                return 2 + digits;
            }
        } else if (c2 == '7') {
            const SearchItem structuredAppend[] = {C5(29), C5(29)};
            Code(next, U, 10, structuredAppend, 2);
            return 2;
        }
        // "\\\\" is a literal backslash: coded as the ordinary character below, both bytes consumed.
    }

    const bool literalBackslash = FAllowEscape && c == '\\' && c2 == '\\' && hasNext;
    if (!literalBackslash) {
        const unsigned char pair[] = {c, c2};
        if (c == '\r' && c2 == '\n' && hasNext) {
            const SearchItem punct = C5(2);
            const SearchItem mixed[] = {C5(14), C5(11)};
            Code(next, P, 5, &punct, 1);
            ThroughShiftInto(next, P, &punct, 1);
            Code(next, M, 10, mixed, 2);
            if (FCost[B].cost < Unreachable)
                Offer(next, B, AppendBytes(FCost[B], pair, 2));
            return 2;
        }
        if ((c == '.' || c == ',' || c == ':') && c2 == ' ' && hasNext) {
            const SearchItem punct = C5(c == '.' ? 3 : c == ',' ? 4 : 5);
            Code(next, P, 5, &punct, 1);
            ThroughShiftInto(next, P, &punct, 1);
            if (c != ':') {
                const SearchItem digit[] = {C4(c == '.' ? 13 : 12), C4(1)};
                Code(next, D, 8, digit, 2);
            }
            if (FCost[B].cost < Unreachable)
                Offer(next, B, AppendBytes(FCost[B], pair, 2));
            return 2;
        }
    }

    const CharTable& chars = Chars();
    for (int i = 0; i < B; ++i) {
        const int value = chars.value[i][c];
        if (value < 0)
            continue;
        const SearchItem item{static_cast<std::uint8_t>(CodeLength[i]), static_cast<std::uint16_t>(value)};
        Code(next, i, CodeLength[i], &item, 1);
        ThroughShiftInto(next, i, &item, 1);
    }
    if (FCost[B].cost < Unreachable)
        Offer(next, B, AppendBytes(FCost[B], &c, 1));
    return literalBackslash ? 2 : 1;
}

std::vector<TAztecItem> Compactor::Run(std::string_view data, TAztecMode* endMode) {
    States current, following;
    FCost = current.data();
    State* next = following.data();
    FCost[U].cost = 0;
    FReturnMode = U;
    FCount = 0;
    FNodes = FStorage.data();

    std::size_t pos = 0;
    while (pos < data.size()) {
        ReserveStep();
        LatchStep();
        for (int mode = 0; mode < ModeCount; ++mode)
            next[mode] = State{};
        pos += ItemStep(data, pos, next);
        std::swap(FCost, next);
    }

    int best = U;
    for (int mode = 1; mode < ModeCount; ++mode)
        if (FCost[mode].cost < FCost[best].cost)
            best = mode;
    if (endMode)
        *endMode = static_cast<TAztecMode>(best == B ? FReturnMode : best);

    std::vector<SearchItem> items;
    for (int node = FCost[best].path; node >= 0; node = FNodes[node].parent)
        items.push_back(FNodes[node].item);
    std::reverse(items.begin(), items.end());

    // Each run placeholder becomes the length of the byte items that follow it.
    std::vector<TAztecItem> result;
    result.reserve(items.size() + 8);
    for (std::size_t k = 0; k < items.size(); ++k) {
        const SearchItem& item = items[k];
        if (item.kind != RunItem) {
            result.push_back({item.bits, item.value});
            continue;
        }
        int count = 0;
        for (std::size_t j = k + 1; j < items.size() && items[j].kind == ByteItem; ++j)
            ++count;
        if (count < 32) {
            result.push_back({5, static_cast<std::uint16_t>(count)});
        } else {
            const int extra = count - 31;
            result.push_back({5, 0});
            result.push_back({6, static_cast<std::uint16_t>(extra >> 5)});
            result.push_back({5, static_cast<std::uint16_t>(extra & 31)});
        }
    }
    return result;
}

} // namespace

std::vector<TAztecItem> AztecCompact(std::string_view data, bool allowEscape, bool bytesAlwaysBackToUpper,
                                     TAztecMode* endMode) {
    // The node store is kept per thread: its memory is reused from one symbol to the next.
    thread_local std::vector<PathNode> nodes;
    Compactor compactor(allowEscape, bytesAlwaysBackToUpper, nodes);
    std::vector<TAztecItem> items = compactor.Run(data, endMode);
    if (nodes.size() > (std::size_t{1} << 20)) // do not hold on to the memory of a huge input
        std::vector<PathNode>().swap(nodes);
    return items;
}

TAztecBitStream AztecItemsToBitStream(const std::vector<TAztecItem>& items) {
    std::size_t total = 0;
    for (const TAztecItem& item : items)
        total += item.Bits;
    TAztecBitStream bits;
    bits.Reserve(total);
    for (const TAztecItem& item : items)
        bits.Append(item.Value, item.Bits);
    return bits;
}

std::vector<std::uint8_t> AztecItemsToBits(const std::vector<TAztecItem>& items) {
    std::vector<std::uint8_t> bits;
    for (const TAztecItem& item : items)
        for (int b = item.Bits - 1; b >= 0; --b)
            bits.push_back(static_cast<std::uint8_t>((item.Value >> b) & 1));
    return bits;
}

} // namespace vgl
