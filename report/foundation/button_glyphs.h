#pragma once
// Image strips, image lists and the small glyphs of buttons and controls: a strip of tiles cut
// into an image list (with greyed copies), one image of a list as a bitmap, a bitmap drawn with
// its transparent colour left out, and filled arrow triangles and chevrons.

#include "platform/graphics/bitmap.h"
#include "platform/graphics/canvas.h"
#include "platform/graphics/image_list.h"

namespace vgl {

/// Cuts `strip` into tiles of `tileWidth` × `tileHeight`, row by row from the top and left to
/// right within a row, taking every tile whose top and left lie inside the strip (a tile that
/// reaches past the right or bottom edge is taken with its outside part black). Each tile is
/// added to `images` masked by its transparent colour; with `disabled` given, the tile is then
/// greyed (MakeDisabledBitmap) and added to it the same way. A tile side below 1 raises
/// EInvalidOperation.
void LoadImageStrip(const TBitmap& strip, int tileWidth, int tileHeight, TImageList* disabled, TImageList& images);
/// Gives `bitmap` the list's image size, fills it with `background` and draws image `index` at (0, 0).
void ImageListToBitmap(const TImageList& images, TBitmap& bitmap, int index, TColor background);
/// Draws `bitmap` at (x, y) without its pixels of its transparent colour; none draws nothing.
void DrawBitmapMasked(TCanvas& canvas, int x, int y, const TBitmap* bitmap);
/// A filled triangle in `color` centred in `rect`: base b = W − 2q made even, where
/// q = Round((W div 2) × 0.5) (halves to even) and W is the rectangle's width, height b / 2.
/// Vertical arrows point down (up when reversed), horizontal ones right (left when reversed);
/// the shape sits one pixel further left (vertical, W even) or up (horizontal, H even).
void DrawArrowTriangle(TCanvas& canvas, const TRect& rect, TColor color, bool reversed, bool vertical);
/// `count` chevrons in `color` inside `rect` shrunk by `inset`: each is two filled strokes of
/// `stroke` thickness from both ends of the near side to the middle of the far side, pointing
/// as DrawArrowTriangle does; each next chevron is 2 × `step` further against the pointing direction.
void DrawChevrons(TCanvas& canvas, const TRect& rect, TColor color, int count, int inset, int step, int stroke,
                  bool reversed, bool vertical);

} // namespace vgl
