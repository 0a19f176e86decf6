#pragma once
// Small helpers of the exports: number texts for PDF operands, a 2-D rotation that yields a PDF
// matrix, clamping and range tests, hexadecimal text, an owning object list and the Devanagari
// test.

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/ustring.h"
#include "report/foundation/utilities.h"

namespace vgl {

// ---- Number texts --------------------------------------------------------------------------

/// The value with `decimals` decimals and "." (halves away from zero), then trailing "0"s and a
/// trailing "." removed: 2.500 → "2.5", 3.000 → "3", 0.0001 with 3 decimals → "0". A value that
/// is NaN or infinite raises EConvertError: no PDF reader parses such an operand.
AnsiString FloatToTrimmedText(long double value, int decimals);
/// The value with exactly `decimals` decimals and "." (the fixed form of PDF operands); the same
/// EConvertError for a value that is not finite. Values beyond ±2147483647, the integer range PDF
/// readers take, are written as that bound (both functions).
AnsiString FloatToFixedAnsi(long double value, int decimals);
/// The trimmed x, a blank and the trimmed y.
AnsiString PointText(long double x, long double y, int decimals);
inline AnsiString PointText(const TfrxPoint& p, int decimals) {
    return PointText(p.X, p.Y, decimals);
}
/// An integer as 8-bit decimal text.
AnsiString IntToAnsi(std::int64_t value);

// ---- Rotation ------------------------------------------------------------------------------

/// A rotation about a center, with its PDF matrix text.
class TRotation2D {
public:
    /// Sinus and Cosinus of the angle, C1 := X − X·cos + Y·sin, C2 := Y − X·sin − Y·cos; the
    /// matrix text: cos, sin, −sin, cos (4 decimals) and C1, C2 (`Precision` decimals), each
    /// trimmed, separated by blanks.
    void Init(long double Radian, const TfrxPoint& Center, int Precision);
    /// The point turned about the center.
    TfrxPoint Turn(const TfrxPoint& DP) const;
    /// The turned point as two trimmed numbers of 3 decimals.
    AnsiString Turn2Str(const TfrxPoint& DP) const;
    const AnsiString& Matrix() const { return FMatrix; }

    long double Sinus = 0, Cosinus = 1, C1 = 0, C2 = 0;

private:
    TfrxPoint FCenter;
    AnsiString FMatrix;
};

// ---- Ranges --------------------------------------------------------------------------------

inline float ClampSingle(float Value, float Min, float Max) {
    return Value < Min ? Min : Value > Max ? Max : Value;
}
inline int ClampInteger(int Value, int Min, int Max) {
    return Value < Min ? Min : Value > Max ? Max : Value;
}
inline bool IsInRange(long double Value, long double Min, long double Max) {
    return Min <= Value && Value <= Max;
}

// ---- Hexadecimal text ----------------------------------------------------------------------

/// Two hexadecimal digits per byte, upper- or lower-case.
AnsiString BytesToHex(std::span<const std::uint8_t> bytes, bool upperCase);
inline AnsiString BytesToHex(const RawByteString& bytes, bool upperCase) {
    return BytesToHex({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()}, upperCase);
}

/// True when the text holds a character from U+0900 to U+097F.
bool IsHasDevanagari(StringView text);

// ---- Owning list ---------------------------------------------------------------------------

/// A list of objects that frees them when it owns them (fixed at creation). Items are never
/// copied between lists, so no object is owned twice.
template <class T> class TOwnObjList {
public:
    explicit TOwnObjList(bool AOwnsObjects = true) : FOwnsObjects(AOwnsObjects) {}
    virtual ~TOwnObjList() { Clear(); }
    TOwnObjList(const TOwnObjList&) = delete;
    TOwnObjList& operator=(const TOwnObjList&) = delete;

    /// Appends the item (taken over when the list owns its items); returns its index.
    int Add(std::unique_ptr<T> Item) {
        FItems.push_back(std::move(Item));
        return int(FItems.size()) - 1;
    }
    /// Appends an item the list does not own (a list that owns its items refuses it).
    int AddReference(T* Item) {
        if (FOwnsObjects)
            throw EInvalidOperation(u"An owning list takes its items with their ownership");
        return Add(std::unique_ptr<T>(Item));
    }
    /// Appends a non-nil item; nil leaves the list unchanged. Returns the index or -1.
    int AddNonZero(std::unique_ptr<T> Item) { return Item ? Add(std::move(Item)) : -1; }
    /// Frees every item first when the list owns them.
    void Clear() {
        if (!FOwnsObjects)
            for (auto& item : FItems)
                item.release();
        FItems.clear();
    }
    /// The item at Index; EListError "List index out of bounds (%d)" outside the list.
    T* GetItem(int Index) const {
        if (Index < 0 || Index >= Count())
            throw EListError(u"List index out of bounds (" + IntToStr(Index) + u")");
        return FItems[std::size_t(Index)].get();
    }
    T* operator[](int Index) const { return GetItem(Index); }
    int Count() const { return int(FItems.size()); }
    bool OwnsObjects() const { return FOwnsObjects; }

protected:
    /// Items of a list that does not own them are released, never freed, by Clear.
    std::vector<std::unique_ptr<T>> FItems;

private:
    bool FOwnsObjects;
};

} // namespace vgl
