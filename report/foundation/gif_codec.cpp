#include "report/foundation/gif_codec.h"

#include <algorithm>
#include <cstring>

#include "platform/rtl/format.h"
#include "platform/rtl/sysutils.h"

namespace vgl {

namespace {

const char16_t* const kErrorTexts[] = {u"no error",
                                       u"Invalid GIF Signature Code",
                                       u"No Local or Global Color Table for Image",
                                       u"Unknown Graphics Extension Type",
                                       u"Unknown Graphics Operation Code",
                                       u"Invalid Extension Block Size",
                                       u"[special message]",
                                       u"Invalid Extension Block Terminator",
                                       u"Invalid Integer Size",
                                       u"No GIF Terminator Found",
                                       u"Extension Block Out-Of-Order With Image Data",
                                       u"Invalid Image Descriptor Index",
                                       u"Invalid LZW Code Size",
                                       u"Invalid LZW Data Format",
                                       u"LZW Code Overflow",
                                       u"Value Out Of Range",
                                       u"NIL Pointer assigned",
                                       u"Invalid Color Table Size",
                                       u"No Image Description",
                                       u"Invalid Bitmap Image",
                                       u"Invalid Color Table Index",
                                       u"Invalid Interlace Pass",
                                       u"Invalid Bitmap",
                                       u"Too Many Colors In Bitmap",
                                       u"Unexpected end of file",
                                       u"Animated GIF too large",
                                       u"Zero width or height",
                                       u"next message"};

constexpr int kMaxCodes = 4096;

/// Bits of a colour table's size code: 0 for up to 2 entries ... 7 above 128.
int SizeCode(int size) {
    int code = 0;
    while (code < 7 && (2 << code) < size)
        ++code;
    return code;
}

} // namespace

String GifErrorText(int code) {
    if (code < 0 || code > 27)
        return u"";
    return kErrorTexts[code];
}

void GifError(int code, int label) {
    String text = code == 6 ? u"unknown extension: " + IntToHex(label, 4) : GifErrorText(code);
    throw EInvalidGraphicOperation(u"TGif: " + text);
}

// ---- pixel cursor ----

void TGifPixelCursor::Advance() {
    if (++FX < FWidth)
        return;
    FX = 0;
    if (!FInterlaced) {
        ++FY;
        return;
    }
    FY += FPass <= 2 ? 8 : FPass == 3 ? 4 : 2;
    // A pass that starts below the frame is skipped; pass 1 always starts at row 0.
    while (FY >= FHeight) {
        FPass = FPass == 4 ? 1 : FPass + 1;
        FY = FPass == 1 ? 0 : FPass == 2 ? 4 : FPass == 3 ? 2 : 1;
        if (FPass == 1)
            break;
    }
}

// ---- LZW ----

namespace {

class BitReader {
public:
    explicit BitReader(std::span<const std::uint8_t> data) : FData(data) {}
    /// The next code of `bits` bits, least significant first; false when fewer bits remain.
    bool Read(int bits, int& code) {
        if (std::int64_t(FData.size()) * 8 - FPos < bits)
            return false;
        code = 0;
        for (int i = 0; i < bits; ++i, ++FPos)
            code |= ((FData[size_t(FPos >> 3)] >> (FPos & 7)) & 1) << i;
        return true;
    }

private:
    std::span<const std::uint8_t> FData;
    std::int64_t FPos = 0;
};

class BitWriter {
public:
    void Write(int code, int bits) {
        FBuffer |= std::uint32_t(code) << FBits;
        FBits += bits;
        while (FBits >= 8) {
            FOut.push_back(std::uint8_t(FBuffer & 0xFF));
            FBuffer >>= 8;
            FBits -= 8;
        }
    }
    std::vector<std::uint8_t> Finish() {
        if (FBits > 0)
            FOut.push_back(std::uint8_t(FBuffer & 0xFF));
        FBits = 0;
        FBuffer = 0;
        return std::move(FOut);
    }

private:
    std::vector<std::uint8_t> FOut;
    std::uint32_t FBuffer = 0;
    int FBits = 0;
};

} // namespace

void GifLzwDecode(std::span<const std::uint8_t> data, int minCodeSize, int width, int height, bool interlaced,
                  std::span<std::uint8_t> pixels) {
    if (minCodeSize < 0 || minCodeSize + 1 > 12)
        GifError(12);
    const int clearCode = 1 << minCodeSize, endCode = clearCode + 1, highCode = clearCode - 1;
    std::vector<std::uint16_t> prefix(kMaxCodes), suffix(kMaxCodes);
    std::vector<std::uint8_t> stack(kMaxCodes + 1);
    const std::int64_t total = std::int64_t(width) * height;
    std::int64_t placed = 0;
    TGifPixelCursor cursor(width, height, interlaced);
    auto put = [&](std::uint8_t v) {
        std::int64_t at = cursor.Position();
        if (at >= 0 && at < std::int64_t(pixels.size()))
            pixels[size_t(at)] = v;
        cursor.Advance();
        ++placed;
    };
    // The string of a code, first pixel first; returns its length in `stack` (reversed there).
    auto expand = [&](int code) {
        int n = 0;
        while (code > highCode && n < kMaxCodes) {
            stack[size_t(n++)] = std::uint8_t(suffix[size_t(code)]);
            code = prefix[size_t(code)];
        }
        stack[size_t(n++)] = std::uint8_t(code);
        return n;
    };
    auto output = [&](int n) {
        for (int i = n - 1; i >= 0 && placed < total; --i)
            put(stack[size_t(i)]);
    };

    BitReader in(data);
    int curSize = minCodeSize + 1, curSlot = endCode + 1, topSlot = 1 << curSize;
    bool full = false;
    int code;
    if (!in.Read(curSize, code) || code == endCode)
        return;
    if (code != clearCode)
        GifError(13);
    int old = 0;
    bool afterClear = true;
    while (placed < total) {
        if (afterClear) {
            curSize = minCodeSize + 1;
            curSlot = endCode + 1;
            topSlot = 1 << curSize;
            full = false;
            do {
                if (!in.Read(curSize, code))
                    return;
            } while (code == clearCode);
            if (code == endCode) // an empty frame (Clear, End), as every reader takes it
                return;
            if (code >= curSlot)
                code = 0;
            output(expand(code));
            old = code;
            afterClear = false;
            continue;
        }
        if (!in.Read(curSize, code) || code == endCode)
            return;
        if (code == clearCode) {
            afterClear = true;
            continue;
        }
        int n;
        if (code < curSlot) {
            n = expand(code);
            if (!full) {
                prefix[size_t(curSlot)] = std::uint16_t(old);
                suffix[size_t(curSlot)] = stack[size_t(n - 1)];
                ++curSlot;
            }
        } else {
            if (code != curSlot)
                GifError(13);
            const int m = expand(old);
            const std::uint8_t first = stack[size_t(m - 1)];
            if (!full) {
                prefix[size_t(curSlot)] = std::uint16_t(old);
                suffix[size_t(curSlot)] = first;
                ++curSlot;
            }
            // Old's string followed by its first pixel: shift the reversed string up by one.
            std::memmove(stack.data() + 1, stack.data(), size_t(m));
            stack[0] = first;
            n = m + 1;
        }
        if (!full && curSlot >= topSlot) {
            if (curSize < 12) {
                ++curSize;
                topSlot <<= 1;
            } else {
                full = true;
            }
        }
        output(n);
        old = code;
    }
}

std::vector<std::uint8_t> GifLzwEncode(std::span<const std::uint8_t> pixels, int minCodeSize, int width, int height,
                                       bool interlaced) {
    if (minCodeSize < 0 || minCodeSize + 1 > 12)
        GifError(12);
    const int clearCode = 1 << minCodeSize, endCode = clearCode + 1, firstSlot = clearCode + 2;
    const int mask = clearCode - 1 > 255 ? 255 : clearCode - 1;
    const std::int64_t total = std::int64_t(width) * height;
    std::int64_t taken = 0;
    TGifPixelCursor cursor(width, height, interlaced);
    auto take = [&]() -> int {
        std::int64_t at = cursor.Position();
        int v = at >= 0 && at < std::int64_t(pixels.size()) ? pixels[size_t(at)] : 0;
        cursor.Advance();
        ++taken;
        return v & mask; // an index the code size cannot hold would read as a special code
    };
    // Entry (prefix, pixel) → its code; entries are unique, so a direct table finds the lowest.
    std::vector<std::uint16_t> child(size_t(kMaxCodes) * 256, 0);
    std::vector<std::uint32_t> used;
    used.reserve(kMaxCodes);
    BitWriter out;
    int curSize = 0, nextSlot = 0;
    auto reset = [&] {
        for (std::uint32_t key : used)
            child[key] = 0;
        used.clear();
        curSize = minCodeSize + 1;
        nextSlot = firstSlot;
    };
    reset();
    out.Write(clearCode, curSize);
    if (total <= 0) {
        out.Write(endCode, curSize);
        return out.Finish();
    }
    int previous = take();
    out.Write(previous, curSize);
    int pushedBack = -1;
    while (taken < total || pushedBack >= 0) {
        int c = pushedBack >= 0 ? pushedBack : take();
        pushedBack = -1;
        const std::uint32_t key = std::uint32_t(previous) * 256 + std::uint32_t(c);
        child[key] = std::uint16_t(nextSlot);
        used.push_back(key);
        ++nextSlot;
        const bool full = nextSlot >= kMaxCodes;
        if (!full && nextSlot > (1 << curSize))
            ++curSize;
        int current = c;
        while (taken < total) {
            int d = take();
            std::uint16_t found = child[std::uint32_t(current) * 256 + std::uint32_t(d)];
            if (found == 0) {
                pushedBack = d;
                break;
            }
            current = found;
        }
        out.Write(current, curSize);
        previous = current;
        if (full && (taken < total || pushedBack >= 0)) {
            out.Write(clearCode, curSize);
            reset();
            previous = pushedBack >= 0 ? pushedBack : take();
            pushedBack = -1;
            out.Write(previous, curSize);
        }
    }
    out.Write(endCode, curSize);
    return out.Finish();
}

// ---- reading ----

class TGifReader {
public:
    explicit TGifReader(std::span<const std::uint8_t> data) : FData(data) {}
    /// The next byte; 0 past the end.
    int Byte() { return FPos < FData.size() ? FData[FPos++] : (FPos++, 0); }
    int Word() {
        int lo = Byte();
        return lo | (Byte() << 8);
    }
    void Skip(size_t n) { FPos += n; }
    /// One sub-block into `block`; false at the terminator. Error 24 when it is short.
    bool SubBlock(TGifSubBlock& block) {
        const int n = Byte();
        if (n == 0)
            return false;
        if (FPos + size_t(n) > FData.size())
            GifError(24);
        block.rSize = n;
        std::memcpy(block.rData.data(), FData.data() + FPos, size_t(n));
        FPos += size_t(n);
        return true;
    }
    void SubBlocks(std::vector<TGifSubBlock>& list) {
        TGifSubBlock b;
        while (SubBlock(b))
            list.push_back(b);
    }
    /// Concatenated data sub-blocks.
    void Data(std::vector<std::uint8_t>& out) {
        while (true) {
            const int n = Byte();
            if (n == 0)
                return;
            if (FPos + size_t(n) > FData.size())
                GifError(24);
            out.insert(out.end(), FData.begin() + std::ptrdiff_t(FPos), FData.begin() + std::ptrdiff_t(FPos + n));
            FPos += size_t(n);
        }
    }

private:
    std::span<const std::uint8_t> FData;
    size_t FPos = 0;
};

TGif::TGif() {
    FreeImage();
}

TGif::~TGif() = default;

std::unique_ptr<TGif> TGif::CreateCopy(const TGif& gif) {
    auto copy = std::make_unique<TGif>();
    copy->LoadFromBytes(gif.SaveToBytes());
    return copy;
}

void TGif::FreeImage() {
    std::fill(std::begin(FSignature), std::end(FSignature), u'-');
    FScreenDescriptor = TGifScreenDescriptor();
    FImageDescriptorList.clear();
    FColorTableList.clear();
    FExtension.clear();
}

String TGif::Signature() const {
    return String(FSignature, 6);
}

void TGif::ReadColorTable(TGifReader& r, int size) {
    TGifColorTable t;
    t.rSize = size;
    for (int i = 0; i < size; ++i) {
        int red = r.Byte(), green = r.Byte(), blue = r.Byte();
        t.rColors[size_t(i)] = RGB(red, green, blue);
    }
    FColorTableList.push_back(t);
}

void TGif::ReadExtension(TGifReader& r) {
    TGifExtension e;
    e.eLabel = std::uint8_t(r.Byte());
    switch (e.eLabel) {
    case GifLabelGraphicControl: {
        e.gcBlockSize = r.Byte();
        if (e.gcBlockSize != 4)
            GifError(5);
        const int packed = r.Byte();
        e.gcDisposal = (packed >> 2) & 7;
        e.gcUserInput = (packed & 2) != 0;
        e.gcTransparent = (packed & 1) != 0;
        e.gcDelay = r.Word();
        e.gcTransparentIndex = r.Byte();
        if (r.Byte() != 0)
            GifError(7);
        break;
    }
    case GifLabelComment:
        r.SubBlocks(e.SubBlocks);
        break;
    case GifLabelPlainText:
        e.ptBlockSize = r.Byte();
        if (e.ptBlockSize != 12)
            GifError(5);
        e.ptLeft = r.Word();
        e.ptTop = r.Word();
        e.ptWidth = r.Word();
        e.ptHeight = r.Word();
        e.ptCellWidth = r.Byte();
        e.ptCellHeight = r.Byte();
        e.ptForeground = r.Byte();
        e.ptBackground = r.Byte();
        r.SubBlocks(e.SubBlocks);
        break;
    case GifLabelApplication:
        e.apBlockSize = r.Byte();
        if (e.apBlockSize == 11) {
            for (auto& b : e.apIdentifier)
                b = std::uint8_t(r.Byte());
            for (auto& b : e.apAuthentication)
                b = std::uint8_t(r.Byte());
            r.SubBlocks(e.SubBlocks);
            static const std::uint8_t netscape[8] = {'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E'};
            if (std::equal(e.apIdentifier.begin(), e.apIdentifier.end(), netscape) && !e.SubBlocks.empty() &&
                e.SubBlocks[0].rSize == 3)
                FLoopCount = e.SubBlocks[0].rData[1] | (e.SubBlocks[0].rData[2] << 8);
        } else {
            r.Skip(size_t(e.apBlockSize));
            r.SubBlocks(e.SubBlocks);
        }
        break;
    default:
        GifError(6, e.eLabel);
    }
    FExtension.push_back(std::move(e));
}

void TGif::ReadImage(TGifReader& r, std::int64_t& pixelsLeft) {
    FImageDescriptorList.push_back(std::make_unique<TGifImageDescriptor>());
    TGifImageDescriptor& d = *FImageDescriptorList.back();
    d.rIndex = int(FImageDescriptorList.size()) - 1;
    d.rExtensionList = std::move(FExtension);
    FExtension.clear();
    d.rLeft = r.Word();
    d.rTop = r.Word();
    d.rWidth = r.Word();
    d.rHeight = r.Word();
    if (d.rHeight > FScreenDescriptor.rHeight)
        d.rHeight = FScreenDescriptor.rHeight;
    const int packed = r.Byte();
    d.rLocalColorValid = (packed & 0x80) != 0;
    d.rInterlaced = (packed & 0x40) != 0;
    d.rSorted = (packed & 0x20) != 0;
    if (d.rLocalColorValid) {
        d.rLocalColorSize = 2 << (packed & 7);
        ReadColorTable(r, d.rLocalColorSize);
        d.rLocalColorTable = int(FColorTableList.size()) - 1;
    } else if (FScreenDescriptor.rGlobalColorTable >= 0) {
        d.rLocalColorTable = FScreenDescriptor.rGlobalColorTable;
    } else {
        GifError(2);
    }
    d.rLZWSize = r.Byte();
    std::vector<std::uint8_t> data;
    r.Data(data);
    const std::int64_t count = std::int64_t(d.rWidth) * d.rHeight;
    if (count == 0)
        GifError(26);
    if (count > pixelsLeft)
        GifError(25);
    pixelsLeft -= count;
    d.rPixelList.assign(size_t(count), 0);
    d.rPixelCount = count;
    GifLzwDecode(data, d.rLZWSize, d.rWidth, d.rHeight, d.rInterlaced, d.rPixelList);
}

void TGif::LoadFromStream(TStream& source) {
    TMemoryStream copy;
    const std::int64_t size = source.GetSize() - source.GetPosition();
    if (size > 0)
        copy.CopyFrom(source, size);
    LoadFromBytes(copy.Bytes());
}

void TGif::LoadFromBytes(std::span<const std::uint8_t> bytes) {
    FreeImage();
    TGifReader r(bytes);
    String upper;
    for (int i = 0; i < 6; ++i) {
        FSignature[i] = char16_t(r.Byte());
        upper += FSignature[i];
    }
    upper = UpperCase(upper);
    if (upper != u"GIF87A" && upper != u"GIF89A")
        GifError(1);
    TGifScreenDescriptor& s = FScreenDescriptor;
    s.rWidth = r.Word();
    s.rHeight = r.Word();
    const int packed = r.Byte();
    s.rGlobalColorValid = (packed & 0x80) != 0;
    s.rColorResolution = ((packed >> 4) & 7) + 1;
    s.rSorted = (packed & 8) != 0;
    s.rGlobalColorSize = 2 << (packed & 7);
    s.rBackgroundIndex = r.Byte();
    s.rAspectRatio = r.Byte();
    if (s.rGlobalColorValid) {
        ReadColorTable(r, s.rGlobalColorSize);
        s.rGlobalColorTable = int(FColorTableList.size()) - 1;
    }
    std::int64_t pixelsLeft = MaxGraphicPixels;
    try {
        while (true) {
            const int introducer = r.Byte();
            if (introducer == 0x2C)
                ReadImage(r, pixelsLeft);
            else if (introducer == 0x21)
                ReadExtension(r);
            else if (introducer == 0x3B || introducer == 0x00)
                break;
            else
                GifError(4);
        }
    } catch (const EInvalidGraphicOperation&) {
        if (FImageDescriptorList.empty())
            throw;
        // Once a frame exists the file ends at the fault; what was read stays.
    }
    FExtension.clear();
}

// ---- writing ----

namespace {

void PutWord(std::vector<std::uint8_t>& out, int v) {
    out.push_back(std::uint8_t(v & 0xFF));
    out.push_back(std::uint8_t((v >> 8) & 0xFF));
}

void PutTable(std::vector<std::uint8_t>& out, const TGifColorTable* table, int size) {
    const int entries = 2 << SizeCode(size);
    for (int i = 0; i < entries; ++i) {
        TColor c = table && i < 256 ? table->rColors[size_t(i)] : 0;
        out.push_back(std::uint8_t(GetRValue(c)));
        out.push_back(std::uint8_t(GetGValue(c)));
        out.push_back(std::uint8_t(GetBValue(c)));
    }
}

void PutSubBlocks(std::vector<std::uint8_t>& out, const std::vector<TGifSubBlock>& blocks) {
    for (const TGifSubBlock& b : blocks) {
        const int n = std::clamp(b.rSize, 0, 255);
        if (n == 0)
            continue;
        out.push_back(std::uint8_t(n));
        out.insert(out.end(), b.rData.begin(), b.rData.begin() + n);
    }
    out.push_back(0);
}

void PutExtension(std::vector<std::uint8_t>& out, const TGifExtension& e) {
    out.push_back(0x21);
    out.push_back(e.eLabel);
    switch (e.eLabel) {
    case GifLabelGraphicControl:
        out.push_back(4);
        out.push_back(std::uint8_t(((e.gcDisposal & 7) << 2) | (e.gcUserInput ? 2 : 0) | (e.gcTransparent ? 1 : 0)));
        PutWord(out, e.gcDelay);
        out.push_back(std::uint8_t(e.gcTransparentIndex));
        out.push_back(0);
        break;
    case GifLabelComment:
        PutSubBlocks(out, e.SubBlocks);
        break;
    case GifLabelPlainText:
        out.push_back(12);
        PutWord(out, e.ptLeft);
        PutWord(out, e.ptTop);
        PutWord(out, e.ptWidth);
        PutWord(out, e.ptHeight);
        out.push_back(std::uint8_t(e.ptCellWidth));
        out.push_back(std::uint8_t(e.ptCellHeight));
        out.push_back(std::uint8_t(e.ptForeground));
        out.push_back(std::uint8_t(e.ptBackground));
        PutSubBlocks(out, e.SubBlocks);
        break;
    case GifLabelApplication:
        // Always the 11 bytes that follow, whatever block size was read.
        out.push_back(11);
        out.insert(out.end(), e.apIdentifier.begin(), e.apIdentifier.end());
        out.insert(out.end(), e.apAuthentication.begin(), e.apAuthentication.end());
        PutSubBlocks(out, e.SubBlocks);
        break;
    default:
        GifError(6, e.eLabel);
    }
}

} // namespace

std::vector<std::uint8_t> TGif::SaveToBytes() const {
    std::vector<std::uint8_t> out;
    const bool gif87 = FImageDescriptorList.size() == 1 && FImageDescriptorList[0]->rExtensionList.empty();
    for (char c : std::string(gif87 ? "GIF87a" : "GIF89a"))
        out.push_back(std::uint8_t(c));
    const TGifScreenDescriptor& s = FScreenDescriptor;
    PutWord(out, s.rWidth);
    PutWord(out, s.rHeight);
    out.push_back(std::uint8_t((s.rGlobalColorValid ? 0x80 : 0) | (((s.rColorResolution - 1) & 7) << 4) |
                               (s.rSorted ? 8 : 0) | SizeCode(s.rGlobalColorSize)));
    out.push_back(std::uint8_t(s.rBackgroundIndex));
    out.push_back(std::uint8_t(s.rAspectRatio));
    if (s.rGlobalColorValid)
        PutTable(out,
                 s.rGlobalColorTable >= 0 && s.rGlobalColorTable < ColorTableCount()
                     ? &FColorTableList[size_t(s.rGlobalColorTable)]
                     : nullptr,
                 s.rGlobalColorSize);
    for (const auto& image : FImageDescriptorList) {
        const TGifImageDescriptor& d = *image;
        for (const TGifExtension& e : d.rExtensionList)
            PutExtension(out, e);
        out.push_back(0x2C);
        PutWord(out, d.rLeft);
        PutWord(out, d.rTop);
        PutWord(out, d.rWidth);
        PutWord(out, d.rHeight);
        out.push_back(std::uint8_t((d.rLocalColorValid ? 0x80 : 0) | (d.rInterlaced ? 0x40 : 0) |
                                   (d.rSorted ? 0x20 : 0) | SizeCode(d.rLocalColorSize)));
        if (d.rLocalColorValid)
            PutTable(out,
                     d.rLocalColorTable >= 0 && d.rLocalColorTable < ColorTableCount()
                         ? &FColorTableList[size_t(d.rLocalColorTable)]
                         : nullptr,
                     d.rLocalColorSize);
        out.push_back(std::uint8_t(d.rLZWSize));
        // A frame whose pixels were never read is written empty (Clear, End): readers show it as
        // index 0 too, and its size cannot make the encoder run over pixels that do not exist.
        std::vector<std::uint8_t> data =
            d.rPixelList.empty() ? GifLzwEncode({}, d.rLZWSize, 0, 0, d.rInterlaced)
                                 : GifLzwEncode(d.rPixelList, d.rLZWSize, d.rWidth, d.rHeight, d.rInterlaced);
        for (size_t at = 0; at < data.size(); at += 255) {
            const size_t n = std::min<size_t>(255, data.size() - at);
            out.push_back(std::uint8_t(n));
            out.insert(out.end(), data.begin() + std::ptrdiff_t(at), data.begin() + std::ptrdiff_t(at + n));
        }
        out.push_back(0);
    }
    out.push_back(0x3B);
    return out;
}

void TGif::SaveToStream(TStream& destination) const {
    const std::vector<std::uint8_t> bytes = SaveToBytes();
    constexpr size_t chunk = size_t(1) << 20;
    for (size_t at = 0; at < bytes.size(); at += chunk)
        destination.WriteBuffer(bytes.data() + at, std::int64_t(std::min(chunk, bytes.size() - at)));
}

// ---- properties ----

const TGifImageDescriptor& TGif::ImageDescriptor(int image) const {
    if (image < 0 || image >= ImageCount())
        GifError(15);
    return *FImageDescriptorList[size_t(image)];
}

const TGifColorTable& TGif::ColorTable(int table) const {
    if (table < 0 || table >= ColorTableCount())
        GifError(15);
    return FColorTableList[size_t(table)];
}

namespace {

const TGifExtension* GraphicControl(const TGifImageDescriptor& d) {
    for (const TGifExtension& e : d.rExtensionList)
        if (e.eLabel == GifLabelGraphicControl)
            return &e;
    return nullptr;
}

} // namespace

int TGif::ImageDelay(int image) const {
    const TGifExtension* gc = GraphicControl(ImageDescriptor(image));
    return gc && gc->gcDelay > 0 ? gc->gcDelay : 1;
}

int TGif::ImageDisposal(int image) const {
    const TGifExtension* gc = GraphicControl(ImageDescriptor(image));
    return gc ? gc->gcDisposal & 3 : 0;
}

int TGif::TransparentIndex(int image) const {
    const TGifExtension* gc = GraphicControl(ImageDescriptor(image));
    return gc && gc->gcTransparent ? gc->gcTransparentIndex : -1;
}

int TGif::ImageDepth(int image) const {
    const TGifImageDescriptor& d = ImageDescriptor(image);
    return d.rLocalColorTable >= 0 && d.rLocalColorTable < ColorTableCount()
               ? FColorTableList[size_t(d.rLocalColorTable)].rSize
               : 0;
}

bool TGif::Transparent() const {
    for (const auto& d : FImageDescriptorList)
        if (const TGifExtension* gc = GraphicControl(*d); gc && gc->gcTransparent)
            return true;
    return false;
}

TColor TGif::FrameColor(int image, int v) const {
    const TGifImageDescriptor& d = ImageDescriptor(image);
    if (d.rLocalColorTable < 0 || d.rLocalColorTable >= ColorTableCount() || v < 0 || v > 255)
        return clBlack;
    return FColorTableList[size_t(d.rLocalColorTable)].rColors[size_t(v)];
}

int TGif::FramePixel(int image, int x, int y) const {
    const TGifImageDescriptor& d = ImageDescriptor(image);
    const std::int64_t at = std::int64_t(y) * d.rWidth + x;
    return at >= 0 && at < std::int64_t(d.rPixelList.size()) ? d.rPixelList[size_t(at)] : 0;
}

void TGif::MakeBitmaps() const {
    for (int i = 0; i < ImageCount(); ++i) {
        const TGifImageDescriptor& d = *FImageDescriptorList[size_t(i)];
        if (d.rBitmap)
            continue;
        // A copy of the table: the key colour must not leak into other frames or the saved file.
        TGifColorTable table;
        if (d.rLocalColorTable >= 0 && d.rLocalColorTable < ColorTableCount())
            table = FColorTableList[size_t(d.rLocalColorTable)];
        const int ti = TransparentIndex(i);
        const bool key = ti >= 0 && ti < table.rSize;
        if (key)
            table.rColors[size_t(ti)] = frxGifTransparentColor;
        auto bmp = std::make_unique<TBitmap>(d.rWidth, d.rHeight, pf24bit);
        for (int y = 0; y < d.rHeight; ++y) {
            std::uint8_t* row = bmp->ScanLine(y);
            for (int x = 0; x < d.rWidth; ++x) {
                const TColor c = table.rColors[size_t(FramePixel(i, x, y))];
                row[x * 3] = std::uint8_t(GetBValue(c));
                row[x * 3 + 1] = std::uint8_t(GetGValue(c));
                row[x * 3 + 2] = std::uint8_t(GetRValue(c));
            }
        }
        if (key) {
            bmp->SetTransparentColor(frxGifTransparentColor);
            bmp->SetTransparent(true);
        }
        d.rBitmap = std::move(bmp);
    }
}

const TBitmap& TGif::Bitmap(int image) const {
    ImageDescriptor(image);
    MakeBitmaps();
    return *FImageDescriptorList[size_t(image)]->rBitmap;
}

} // namespace vgl
