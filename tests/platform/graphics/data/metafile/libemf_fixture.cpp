// Draws libemf.emf through libEMF (Debian libemf-dev), an enhanced-metafile producer written
// independently of this project: g++ libemf_fixture.cpp -lEMF && ./a.out
// A picture of 100 x 75 units at 96 dpi: a red rectangle (10, 10)-(40, 30) without outline, a
// blue ellipse (50, 10)-(90, 40), a green polygon (10, 45), (40, 45), (25, 70) and a black line
// from (50, 60) to (90, 60).
#include <libEMF/emf.h>

int main() {
    RECT frame = {0, 0, 2645, 1983}; // 0.01 mm: 100 x 75 pixels at 96 dpi
    HDC dc = CreateEnhMetaFileA(0, "libemf.emf", &frame, const_cast<char*>("vgl\0fixture\0"));
    SetMapMode(dc, MM_ANISOTROPIC);
    SetWindowExtEx(dc, 100, 75, nullptr);
    SetViewportExtEx(dc, GetDeviceCaps(dc, HORZRES) * 2645 / (GetDeviceCaps(dc, HORZSIZE) * 100),
                     GetDeviceCaps(dc, VERTRES) * 1983 / (GetDeviceCaps(dc, VERTSIZE) * 100), nullptr);
    SelectObject(dc, GetStockObject(NULL_PEN));
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    SelectObject(dc, red);
    Rectangle(dc, 10, 10, 40, 30);
    HBRUSH blue = CreateSolidBrush(RGB(0, 0, 255));
    SelectObject(dc, blue);
    Ellipse(dc, 50, 10, 90, 40);
    HBRUSH green = CreateSolidBrush(RGB(0, 255, 0));
    SelectObject(dc, green);
    POINT triangle[] = {{10, 45}, {40, 45}, {25, 70}};
    Polygon(dc, triangle, 3);
    HPEN black = CreatePen(PS_SOLID, 1, RGB(0, 0, 0));
    SelectObject(dc, black);
    MoveToEx(dc, 50, 60, nullptr);
    LineTo(dc, 90, 60);
    DeleteEnhMetaFile(CloseEnhMetaFile(dc));
    return 0;
}
