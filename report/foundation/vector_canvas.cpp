#include "report/foundation/vector_canvas.h"

#include "platform/rtl/exceptions.h"
#include "platform/rtl/sysutils.h"

namespace vgl {

namespace {

TCharacterDistance CopyDx(std::span<const int> dx, size_t count) {
    TCharacterDistance result;
    if (dx.empty())
        return result;
    result.assign(count, 0);
    for (size_t i = 0; i < count && i < dx.size(); ++i)
        result[i] = dx[i];
    return result;
}

} // namespace

TVector_ExtTextOut::TVector_ExtTextOut(int x, int y, int options, const TRect& rect, std::span<const int> dx,
                                       String str)
    : FX(x), FY(y), FOptions(options), FRect(rect), FDx(CopyDx(dx, str.size())), FStr(std::move(str)) {}

std::int64_t TVector_ExtTextOut::TextLength() const {
    std::int64_t sum = 0;
    for (std::int32_t d : FDx)
        sum += d;
    return sum;
}

String TVector_ExtTextOut::AsString() const {
    String s = u"ExtTextOutW\r\n  X, Y, Options: " + IntToStr(FX) + u", " + IntToStr(FY) + u", " + IntToStr(FOptions);
    s += u"\r\n  Rect: " + IntToStr(FRect.Left) + u" " + IntToStr(FRect.Top) + u" " + IntToStr(FRect.Right) + u" " +
         IntToStr(FRect.Bottom);
    s += u"\r\n  Text: " + FStr;
    s += u"\r\n  Dx:";
    for (std::int32_t d : FDx)
        s += u" " + IntToStr(d);
    return s;
}

TVector_ExtTextOutW::TVector_ExtTextOutW(int x, int y, int options, const TRect& rect, StringView str,
                                         std::span<const int> dx)
    : TVector_ExtTextOut(x, y, options, rect, dx, String(str)) {}

// The advances count the bytes given; a single-byte code page keeps one character per byte.
TVector_ExtTextOutA::TVector_ExtTextOutA(int x, int y, int options, const TRect& rect, std::string_view str,
                                         std::span<const int> dx)
    : TVector_ExtTextOut(x, y, options, rect, dx, AnsiToString(str)) {}

void TVectorCanvas::ExtTextOutW(int x, int y, int options, const TRect& rect, StringView str, std::span<const int> dx) {
    FItems.push_back(std::make_unique<TVector_ExtTextOutW>(x, y, options, rect, str, dx));
}

void TVectorCanvas::ExtTextOutA(int x, int y, int options, const TRect& rect, std::string_view str,
                                std::span<const int> dx) {
    FItems.push_back(std::make_unique<TVector_ExtTextOutA>(x, y, options, rect, str, dx));
}

const TObject& TVectorCanvas::Items(int index) const {
    if (index < 0 || index >= Count())
        throw EListError(u"List index out of bounds (%d)", {index});
    return *FItems[size_t(index)];
}

bool IsExtTextOutRecord(const TObject* record) {
    return dynamic_cast<const TVector_ExtTextOutW*>(record) != nullptr ||
           dynamic_cast<const TVector_ExtTextOutA*>(record) != nullptr;
}

} // namespace vgl
