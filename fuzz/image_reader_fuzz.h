#pragma once
// The check shared by the image-format targets: load a file, decode it into a bitmap, and read
// back the form the class saves.

#include <cstdint>
#include <span>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "platform/graphics/bitmap.h"
#include "platform/rtl/streams.h"

namespace vgl::fuzz {

/// Loads the bytes as a `TImageClass` file; what loads must decode to a bitmap of its size, and
/// what the class writes must load again at that size.
template <class TImageClass> void FuzzImageReader(const std::uint8_t* data, std::size_t size) {
    Guarded([&] {
        TImageClass image;
        TBytesStream stream(std::span<const std::uint8_t>(data, size));
        image.LoadFromStream(stream);
        TBitmap decoded;
        decoded.Assign(image);
        Require(decoded.GetWidth() == image.GetWidth() && decoded.GetHeight() == image.GetHeight());
        const std::vector<std::uint8_t> saved = image.SaveToBytes();
        TImageClass again;
        try {
            again.LoadFromBytes(saved);
        } catch (const Exception&) {
            Require(false);
        }
        Require(again.GetWidth() == image.GetWidth() && again.GetHeight() == image.GetHeight());
    });
}

} // namespace vgl::fuzz
