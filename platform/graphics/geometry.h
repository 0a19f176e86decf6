#pragma once
// Points and rectangles in device pixels, and the change-notification callback of graphic objects.

#include <functional>

#include "platform/rtl/object.h"

namespace vgl {

struct TPoint {
    int X = 0;
    int Y = 0;
    friend bool operator==(const TPoint&, const TPoint&) = default;
};

/// A rectangle whose right and bottom edges lie outside it (Width = Right - Left).
struct TRect {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
    int Width() const { return Right - Left; }
    int Height() const { return Bottom - Top; }
    bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
    friend bool operator==(const TRect&, const TRect&) = default;
};

inline TRect Rect(int left, int top, int right, int bottom) {
    return TRect{left, top, right, bottom};
}
inline TPoint Point(int x, int y) {
    return TPoint{x, y};
}

/// The intersection of two rectangles (an empty rectangle when they do not overlap).
inline TRect IntersectRect(const TRect& a, const TRect& b) {
    TRect r{a.Left > b.Left ? a.Left : b.Left, a.Top > b.Top ? a.Top : b.Top, a.Right < b.Right ? a.Right : b.Right,
            a.Bottom < b.Bottom ? a.Bottom : b.Bottom};
    if (r.IsEmpty())
        return TRect{};
    return r;
}

/// A change notification: called with the object that changed.
using TNotifyEvent = std::function<void(TObject* sender)>;

} // namespace vgl
