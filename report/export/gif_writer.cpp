#include "report/export/gif_writer.h"

#include <array>
#include <cstdint>
#include <vector>

#include "platform/graphics/bitmap.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/sysutils.h"

namespace vgl {

namespace {

constexpr int HashSize = 5003;
constexpr int HashShift = 4; // 8 minus the doublings that take HashSize to 65536 or more
constexpr int InitBits = 9;
constexpr int MaxMaxCode = 4096;
constexpr int ClearCode = 256;
constexpr int EOFCode = 257;
constexpr int PacketLimit = 254;

/// The LZW encoder over an 8-bit bitmap; its output goes in sub-blocks into a byte buffer.
class TGIFEncoder {
public:
    explicit TGIFEncoder(std::vector<std::uint8_t>& out) : FOut(out) {}

    void Encode(const TBitmap& bitmap) {
        const int width = bitmap.GetWidth(), height = bitmap.GetHeight();
        FHash.fill(-1);
        int ent = bitmap.ScanLine(0)[0];
        Output(ClearCode);
        for (int y = 0; y < height; ++y) {
            const std::uint8_t* row = bitmap.ScanLine(y);
            for (int x = y == 0 ? 1 : 0; x < width; ++x) {
                const int c = row[x];
                const std::int32_t key = (std::int32_t(c) << 12) + ent;
                int i = (c << HashShift) ^ ent;
                if (FHash[std::size_t(i)] == key) {
                    ent = FCodes[std::size_t(i)];
                    continue;
                }
                if (FHash[std::size_t(i)] >= 0) {
                    const int d = i == 0 ? 1 : HashSize - i;
                    bool found = false;
                    do {
                        i -= d;
                        if (i < 0)
                            i += HashSize;
                        if (FHash[std::size_t(i)] == key) {
                            found = true;
                            break;
                        }
                    } while (FHash[std::size_t(i)] > 0);
                    if (found) {
                        ent = FCodes[std::size_t(i)];
                        continue;
                    }
                }
                Output(ent);
                if (FFreeCode < MaxMaxCode) {
                    FCodes[std::size_t(i)] = std::uint16_t(FFreeCode++);
                    FHash[std::size_t(i)] = key;
                } else {
                    FHash.fill(-1);
                    FFreeCode = ClearCode + 2;
                    FClear = true;
                    Output(ClearCode);
                }
                ent = c;
            }
        }
        Output(ent);
        Output(EOFCode);
    }

private:
    void Output(int code) {
        FAccum &= (std::uint32_t(1) << FBits) - 1;
        FAccum |= std::uint32_t(code) << FBits;
        FBits += FCodeSize;
        while (FBits >= 8) {
            PutByte(std::uint8_t(FAccum));
            FAccum >>= 8;
            FBits -= 8;
        }
        if (FFreeCode > FMaxCode || FClear) {
            if (FClear) {
                FCodeSize = InitBits;
                FMaxCode = (1 << InitBits) - 1;
                FClear = false;
            } else {
                ++FCodeSize;
                FMaxCode = FCodeSize == 12 ? MaxMaxCode : (1 << FCodeSize) - 1;
            }
        }
        if (code == EOFCode) {
            while (FBits > 0) {
                PutByte(std::uint8_t(FAccum));
                FAccum >>= 8;
                FBits -= 8;
            }
            FlushPacket();
        }
    }

    void PutByte(std::uint8_t b) {
        FPacket[std::size_t(FPacketCount++)] = b;
        if (FPacketCount >= PacketLimit)
            FlushPacket();
    }

    void FlushPacket() {
        if (FPacketCount == 0)
            return;
        FOut.push_back(std::uint8_t(FPacketCount));
        FOut.insert(FOut.end(), FPacket.begin(), FPacket.begin() + FPacketCount);
        FPacketCount = 0;
    }

    std::vector<std::uint8_t>& FOut;
    std::array<std::int32_t, HashSize> FHash{};
    std::array<std::uint16_t, HashSize> FCodes{};
    int FCodeSize = InitBits;
    int FMaxCode = (1 << InitBits) - 1;
    int FFreeCode = ClearCode + 2;
    bool FClear = false;
    std::uint32_t FAccum = 0;
    int FBits = 0;
    std::array<std::uint8_t, PacketLimit> FPacket{};
    int FPacketCount = 0;
};

void Put16(std::vector<std::uint8_t>& out, int value) {
    out.push_back(std::uint8_t(value));
    out.push_back(std::uint8_t(value >> 8));
}

} // namespace

void WriteGIFImage(TStream& stream, TBitmap& bitmap) {
    const int width = bitmap.GetWidth(), height = bitmap.GetHeight();
    if (width <= 0 || height <= 0 || width > 0xFFFF || height > 0xFFFF)
        throw EInvalidGraphicOperation(u"A GIF image holds 1 to 65535 pixels a side, not " + IntToStr(width) + u" x " +
                                       IntToStr(height));
    bitmap.SetPixelFormat(pf8bit);

    std::vector<std::uint8_t> out;
    static constexpr char Header[] = "GIF89a";
    out.insert(out.end(), Header, Header + 6);
    Put16(out, width);
    Put16(out, height);
    out.insert(out.end(), {0xE7, 0x00, 0x00});
    const std::vector<TColor>& palette = bitmap.GetPalette();
    for (std::size_t i = 0; i < 256; ++i) {
        const std::uint32_t rgb = i < palette.size() ? std::uint32_t(palette[i]) : 0;
        out.insert(out.end(), {std::uint8_t(rgb), std::uint8_t(rgb >> 8), std::uint8_t(rgb >> 16)});
    }
    out.insert(out.end(), {0x21, 0xF9, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00});
    static constexpr char Comment[] = "DudeZirare";
    out.insert(out.end(), {0x21, 0xFE, 10});
    out.insert(out.end(), Comment, Comment + 10);
    out.push_back(0x00);
    out.insert(out.end(), {0x2C, 0, 0, 0, 0});
    Put16(out, width);
    Put16(out, height);
    out.push_back(0x00);
    out.push_back(8);
    TGIFEncoder(out).Encode(bitmap);
    out.insert(out.end(), {0x00, 0x3B});
    stream.WriteBuffer(out);
}

} // namespace vgl
