#pragma once
// The check shared by the metafile targets: any bytes load or raise the graphics layer's errors;
// what loads plays, and written again (in its own form, when that form holds it) loads to the
// same number of records, which then save to the same bytes.

#include <cstdint>
#include <span>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "platform/graphics/bitmap.h"
#include "platform/graphics/metafile.h"

namespace vgl::fuzz {

inline void FuzzMetafile(const std::uint8_t* data, std::size_t size) {
    Guarded([&] {
        TMetafile mf;
        mf.LoadFromBytes(std::span<const std::uint8_t>(data, size));
        Require(mf.SaveToBytes() == std::vector<std::uint8_t>(data, data + size));
        TBitmap target(32, 24, pf24bit);
        mf.Draw(target.Canvas(), Rect(0, 0, 32, 24));
        mf.SetWidth(mf.GetWidth()); // changed: saved by the writer from now on
        std::vector<std::uint8_t> written;
        try {
            written = mf.SaveToBytes();
        } catch (const EInvalidGraphicOperation&) {
            return; // what the placeable form cannot hold
        }
        TMetafile again;
        again.LoadFromBytes(written);
        again.SetWidth(again.GetWidth());
        Require(again.GetWidth() == mf.GetWidth() && again.GetHeight() == mf.GetHeight());
        Require(again.SaveToBytes() == written);
    });
}

} // namespace vgl::fuzz
