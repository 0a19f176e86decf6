#pragma once
// TVectorCanvas: a recorder of the text-output calls a view makes while it draws, so that a
// vector export can emit each piece of text again with its position, clipping rectangle and
// character advances instead of pixels.

#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "platform/graphics/geometry.h"
#include "platform/rtl/object.h"
#include "platform/rtl/ustring.h"

namespace vgl {

/// Advance of each character in device units.
using TCharacterDistance = std::vector<std::int32_t>;

/// One recorded ExtTextOut call.
class TVector_ExtTextOut : public TObject {
public:
    String ClassName() const override { return u"TVector_ExtTextOut"; }

    int X() const { return FX; }
    int Y() const { return FY; }
    int Options() const { return FOptions; }
    const TRect& Rect() const { return FRect; }
    const TCharacterDistance& Dx() const { return FDx; }
    const String& Str() const { return FStr; }

    /// The sum of the advances (the text's width); 0 without advances.
    std::int64_t TextLength() const;
    /// A dump of the record in five CR LF separated lines (header, position and options,
    /// rectangle, text, advances).
    String AsString() const;

protected:
    TVector_ExtTextOut(int x, int y, int options, const TRect& rect, std::span<const int> dx, String str);

private:
    int FX, FY, FOptions;
    TRect FRect;
    TCharacterDistance FDx;
    String FStr;
};

/// A call made with UTF-16 text.
class TVector_ExtTextOutW : public TVector_ExtTextOut {
public:
    TVector_ExtTextOutW(int x, int y, int options, const TRect& rect, StringView str, std::span<const int> dx);
    String ClassName() const override { return u"TVector_ExtTextOutW"; }
};

/// A call made with 8-bit text, converted to UTF-16 through the system ANSI code page.
class TVector_ExtTextOutA : public TVector_ExtTextOut {
public:
    TVector_ExtTextOutA(int x, int y, int options, const TRect& rect, std::string_view str, std::span<const int> dx);
    String ClassName() const override { return u"TVector_ExtTextOutA"; }
};

/// The recorded calls in call order (owned).
class TVectorCanvas : public TObject {
public:
    String ClassName() const override { return u"TVectorCanvas"; }

    /// Appends a record. `dx`, when not empty, holds an advance per character of `str` (the
    /// first `str.size()` entries are kept; missing ones count as 0); empty `dx` stores none.
    void ExtTextOutW(int x, int y, int options, const TRect& rect, StringView str, std::span<const int> dx = {});
    void ExtTextOutA(int x, int y, int options, const TRect& rect, std::string_view str, std::span<const int> dx = {});

    int Count() const { return int(FItems.size()); }
    /// Raises EListError "List index out of bounds (%d)" outside 0..Count-1.
    const TObject& Items(int index) const;
    void Clear() { FItems.clear(); }

private:
    std::vector<std::unique_ptr<TObject>> FItems;
};

/// True when `record` is a recorded text call (a W or an A record); exports skip anything else.
bool IsExtTextOutRecord(const TObject* record);

} // namespace vgl
