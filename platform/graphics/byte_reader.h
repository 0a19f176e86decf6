#pragma once
// Internal to this folder: bounded little-endian reading and writing of the binary picture forms
// (icons, metafiles). Every read is checked against the data; a read past the end raises
// EInvalidGraphic with the offset it was made at.

#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "platform/graphics/graphic.h"
#include "platform/rtl/ustring.h"

namespace vgl::graphics_detail {

/// Raises EInvalidGraphic "<what> at offset <offset>".
[[noreturn]] inline void BadData(const char* what, std::size_t offset) {
    throw EInvalidGraphic(Utf8ToString(std::string(what) + " at offset " + std::to_string(offset)));
}

class ByteReader {
public:
    explicit ByteReader(std::span<const std::uint8_t> data) : FData(data) {}

    std::size_t Size() const { return FData.size(); }
    /// True when `count` bytes from `offset` lie inside the data (no overflow).
    bool Fits(std::size_t offset, std::size_t count) const {
        return offset <= FData.size() && count <= FData.size() - offset;
    }
    void Need(std::size_t offset, std::size_t count, const char* what = "The data ends early") const {
        if (!Fits(offset, count))
            BadData(what, offset);
    }
    std::uint8_t U8(std::size_t offset) const {
        Need(offset, 1);
        return FData[offset];
    }
    std::uint16_t U16(std::size_t offset) const {
        Need(offset, 2);
        return std::uint16_t(FData[offset] | (FData[offset + 1] << 8));
    }
    std::int16_t I16(std::size_t offset) const { return std::int16_t(U16(offset)); }
    std::uint32_t U32(std::size_t offset) const {
        Need(offset, 4);
        return std::uint32_t(FData[offset]) | (std::uint32_t(FData[offset + 1]) << 8) |
               (std::uint32_t(FData[offset + 2]) << 16) | (std::uint32_t(FData[offset + 3]) << 24);
    }
    std::int32_t I32(std::size_t offset) const { return std::int32_t(U32(offset)); }
    float F32(std::size_t offset) const {
        std::uint32_t bits = U32(offset);
        float f;
        std::memcpy(&f, &bits, 4);
        return f;
    }
    std::span<const std::uint8_t> Bytes(std::size_t offset, std::size_t count) const {
        Need(offset, count);
        return FData.subspan(offset, count);
    }

private:
    std::span<const std::uint8_t> FData;
};

class ByteWriter {
public:
    std::vector<std::uint8_t>& Data() { return FData; }
    std::size_t Size() const { return FData.size(); }
    void U8(std::uint8_t v) { FData.push_back(v); }
    void U16(std::uint16_t v) {
        FData.push_back(std::uint8_t(v));
        FData.push_back(std::uint8_t(v >> 8));
    }
    void I16(std::int16_t v) { U16(std::uint16_t(v)); }
    void U32(std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            FData.push_back(std::uint8_t(v >> (8 * i)));
    }
    void I32(std::int32_t v) { U32(std::uint32_t(v)); }
    void F32(float f) {
        std::uint32_t bits;
        std::memcpy(&bits, &f, 4);
        U32(bits);
    }
    void Bytes(std::span<const std::uint8_t> b) { FData.insert(FData.end(), b.begin(), b.end()); }
    void Zeros(std::size_t n) { FData.insert(FData.end(), n, 0); }
    void PatchU32(std::size_t offset, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            FData[offset + i] = std::uint8_t(v >> (8 * i));
    }
    void PatchU16(std::size_t offset, std::uint16_t v) {
        FData[offset] = std::uint8_t(v);
        FData[offset + 1] = std::uint8_t(v >> 8);
    }

private:
    std::vector<std::uint8_t> FData;
};

} // namespace vgl::graphics_detail
