#include "report/foundation/gif_codec.h"
#include "report/foundation/gif_picture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <regex>
#include <string>

#include "platform/rtl/property_encoding.h"
#include "report/foundation/picture_formats.h"
#include "tests/platform/graphics/picture_test_support.h"

namespace vgl {
namespace {

using namespace test;

std::string Fixture(const char* name) {
    return std::string(VGL_TEST_DATA_DIR) + "/gif/" + name;
}

std::string WriteTemp(const char* name, const Bytes& bytes) {
    return test::WriteTempFile("_", name, bytes);
}

/// The pixels ImageMagick decodes (frame `frame`), as colours, row by row.
std::vector<TColor> Oracle(const std::string& path, int frame = 0) {
    std::string txt = Shell("convert '" + path + "[" + std::to_string(frame) + "]' txt:- 2>/dev/null");
    std::vector<TColor> out;
    std::regex line(R"(\d+,\d+: \([^)]*\)\s+#([0-9A-F]{6}))");
    for (auto it = std::sregex_iterator(txt.begin(), txt.end(), line); it != std::sregex_iterator(); ++it) {
        unsigned v = std::stoul((*it)[1].str(), nullptr, 16);
        out.push_back(RGB(int(v >> 16), int((v >> 8) & 255), int(v & 255)));
    }
    return out;
}

std::vector<TColor> Decoded(const TGif& gif, int frame = 0) {
    std::vector<TColor> out;
    for (int y = 0; y < gif.ImageHeight(frame); ++y)
        for (int x = 0; x < gif.ImageWidth(frame); ++x)
            out.push_back(gif.FrameColor(frame, gif.FramePixel(frame, x, y)));
    return out;
}

/// Hand-made GIF files.
class GifBuilder {
public:
    GifBuilder(const char* signature, int width, int height, std::vector<TColor> global = {clBlack, clWhite}) {
        for (int i = 0; i < 6; ++i)
            B.push_back(std::uint8_t(signature[i]));
        Word(width);
        Word(height);
        int code = 0;
        while ((2 << code) < int(global.size()))
            ++code;
        B.push_back(std::uint8_t(global.empty() ? 0 : 0xF0 | code));
        B.push_back(0);
        B.push_back(0);
        Table(global, code);
    }
    GifBuilder& Raw(Bytes bytes) {
        B.insert(B.end(), bytes.begin(), bytes.end());
        return *this;
    }
    GifBuilder& GraphicControl(int disposal, bool transparent, int index, int blockSize = 4) {
        return Raw({0x21, 0xF9, std::uint8_t(blockSize), std::uint8_t((disposal << 2) | (transparent ? 1 : 0)), 0, 0,
                    std::uint8_t(index), 0});
    }
    /// A frame with LZW data as given (split into sub-blocks).
    GifBuilder& Image(int left, int top, int w, int h, int minCode, const Bytes& data, std::vector<TColor> local = {},
                      bool interlaced = false) {
        B.push_back(0x2C);
        Word(left);
        Word(top);
        Word(w);
        Word(h);
        int code = 0;
        while ((2 << code) < int(local.size()))
            ++code;
        B.push_back(std::uint8_t((local.empty() ? 0 : 0x80 | code) | (interlaced ? 0x40 : 0)));
        Table(local, code);
        B.push_back(std::uint8_t(minCode));
        for (size_t at = 0; at < data.size(); at += 255) {
            size_t n = std::min<size_t>(255, data.size() - at);
            B.push_back(std::uint8_t(n));
            B.insert(B.end(), data.begin() + std::ptrdiff_t(at), data.begin() + std::ptrdiff_t(at + n));
        }
        B.push_back(0);
        return *this;
    }
    /// A frame of only Clear and End (minimum code size 2): every pixel index 0.
    GifBuilder& Empty(int left, int top, int w, int h, std::vector<TColor> local = {}) {
        return Image(left, top, w, h, 2, {0x2C}, std::move(local));
    }
    Bytes Done(bool trailer = true) {
        if (trailer)
            B.push_back(0x3B);
        return B;
    }

private:
    void Word(int v) {
        B.push_back(std::uint8_t(v & 255));
        B.push_back(std::uint8_t(v >> 8));
    }
    void Table(const std::vector<TColor>& colors, int code) {
        if (colors.empty())
            return;
        for (int i = 0; i < (2 << code); ++i) {
            TColor c = i < int(colors.size()) ? colors[size_t(i)] : 0;
            B.push_back(std::uint8_t(GetRValue(c)));
            B.push_back(std::uint8_t(GetGValue(c)));
            B.push_back(std::uint8_t(GetBValue(c)));
        }
    }
    Bytes B;
};

String Message(const std::function<void()>& f) {
    try {
        f();
    } catch (const Exception& e) {
        return e.Message();
    }
    return u"";
}

TEST(GifCodecTest, DecodesImageMagickFilesToTheirPixels) {
    for (const char* name : {"two.gif", "c16.gif", "c256.gif", "interlaced.gif"}) {
        TGif gif;
        gif.LoadFromBytes(ReadFile(Fixture(name)));
        ASSERT_EQ(gif.ImageCount(), 1) << name;
        std::vector<TColor> expected = Oracle(Fixture(name));
        ASSERT_EQ(expected.size(), size_t(gif.Width() * gif.Height())) << name;
        EXPECT_EQ(Decoded(gif), expected) << name;
    }
    TGif gif;
    gif.LoadFromBytes(ReadFile(Fixture("interlaced.gif")));
    EXPECT_TRUE(gif.ImageDescriptor(0).rInterlaced);
}

TEST(GifCodecTest, LzwDecoderKeepsTheLastCodesAndRefusesBadOnes) {
    // Clear, 0, 1, 7, End in 3-bit codes: the last code is whole in the bit buffer.
    std::vector<std::uint8_t> px(4, 9);
    GifLzwDecode(Bytes{0x44, 0x5E}, 2, 4, 1, false, px);
    EXPECT_EQ(px, (Bytes{0, 1, 1, 1}));
    // Data that runs out without an end code decodes what is there.
    px.assign(4, 9);
    GifLzwDecode(Bytes{0x04}, 2, 4, 1, false, px); // Clear, then 0 and too few bits for more
    EXPECT_EQ(px, (Bytes{0, 9, 9, 9}));
    // A first code that is no Clear, a code past the next free slot, End right after Clear.
    px.assign(4, 0);
    EXPECT_EQ(Message([&] { GifLzwDecode(Bytes{0x01}, 2, 4, 1, false, px); }), u"TGif: Invalid LZW Data Format");
    EXPECT_EQ(Message([&] {
                  GifLzwDecode(Bytes{0xC4, 0x01}, 2, 4, 1, false, px);
              }), // Clear, 0, code 7
              u"TGif: Invalid LZW Data Format");
    EXPECT_EQ(Message([&] { GifLzwDecode(Bytes{0x2C}, 2, 4, 1, false, px); }), u""); // Clear, End: nothing
    EXPECT_EQ(Message([&] { GifLzwDecode(Bytes{0x2C, 0x2C}, 2, 4, 1, false, px); }), u"");
    EXPECT_EQ(Message([&] { GifLzwDecode(Bytes{0, 0}, 12, 4, 1, false, px); }), u"TGif: Invalid LZW Code Size");
    EXPECT_EQ(Message([&] { GifLzwEncode(px, 12, 4, 1, false); }), u"TGif: Invalid LZW Code Size");
}

TEST(GifCodecTest, TwelveBitCodesAfterAFullTable) {
    // 5000 pixels of index 0 fill the table; then codes keep 12 bits without a Clear.
    const int n = 9000;
    Bytes pixels(n, 0);
    std::mt19937 rng(7);
    for (auto& p : pixels)
        p = std::uint8_t(rng() % 4);
    Bytes data = GifLzwEncode(pixels, 2, n, 1, false);
    Bytes back(n, 9);
    GifLzwDecode(data, 2, n, 1, false, back);
    EXPECT_EQ(back, pixels);
    // A hand-written stream: root codes only, the table fills at 4096 and 12-bit codes follow.
    // Codes: Clear, then 4094 times "0"; code widths grow 3..12 as the decoder adds entries.
    struct Writer {
        Bytes out;
        std::uint32_t buf = 0;
        int bits = 0;
        void Put(int code, int size) {
            buf |= std::uint32_t(code) << bits;
            bits += size;
            while (bits >= 8) {
                out.push_back(std::uint8_t(buf));
                buf >>= 8;
                bits -= 8;
            }
        }
    } w;
    int size = 3, slot = 6, codes = 0;
    w.Put(4, 3);
    w.Put(0, 3); // first code after Clear: no entry
    codes = 1;
    while (slot < 4096 + 50) { // 50 codes after the table is full
        w.Put(codes % 2, size);
        ++codes;
        if (slot < 4096) {
            ++slot;
            if (slot >= (1 << size) && size < 12)
                ++size;
        } else {
            ++slot; // only counts the codes past the full table
        }
    }
    w.Put(5, 12);
    w.Put(0, 16);
    Bytes decoded(size_t(codes), 9);
    GifLzwDecode(w.out, 2, codes, 1, false, decoded);
    for (int i = 0; i < codes; ++i)
        ASSERT_EQ(decoded[size_t(i)], i % 2) << i;
}

TEST(GifCodecTest, EncoderOutputReadsBackInImageMagick) {
    std::vector<TColor> palette(256);
    for (int i = 0; i < 256; ++i)
        palette[size_t(i)] = RGB(i, 255 - i, (i * 7) & 255);
    for (bool interlaced : {false, true}) {
        const int w = 200, h = 200;
        Bytes pixels(size_t(w * h));
        std::mt19937 rng(interlaced ? 2 : 1);
        for (auto& p : pixels)
            p = std::uint8_t(rng() % 256);
        // The pixels are in picture order; an interlaced frame takes them in pass order.
        Bytes data = GifLzwEncode(pixels, 8, w, h, interlaced);
        Bytes file = GifBuilder("GIF89a", w, h, palette).Image(0, 0, w, h, 8, data, {}, interlaced).Done();
        std::string path = WriteTemp(interlaced ? "i.gif" : "r.gif", file);
        std::vector<TColor> expected;
        for (std::uint8_t p : pixels)
            expected.push_back(palette[p]);
        EXPECT_EQ(Oracle(path), expected) << interlaced;
        TGif gif;
        gif.LoadFromBytes(file);
        EXPECT_EQ(Decoded(gif), expected);
        // Saving re-encodes the same stream.
        Bytes again = gif.SaveToBytes();
        TGif reloaded;
        reloaded.LoadFromBytes(again);
        EXPECT_EQ(Decoded(reloaded), expected);
        std::string savedPath = WriteTemp(interlaced ? "is.gif" : "rs.gif", again);
        EXPECT_EQ(Oracle(savedPath), expected) << interlaced;
        std::filesystem::remove(path);
        std::filesystem::remove(savedPath);
    }
}

TEST(GifCodecTest, WritingKeepsEveryRecord) {
    // One 1 × 1 frame of index 0, minimum code size 2, no extensions: "GIF87a" and 02 02 44 01 00.
    Bytes one = GifBuilder("GIF89a", 1, 1).Image(0, 0, 1, 1, 2, {0x44, 0x01}).Done();
    TGif gif;
    gif.LoadFromBytes(one);
    Bytes saved = gif.SaveToBytes();
    EXPECT_EQ(std::string(saved.begin(), saved.begin() + 6), "GIF87a");
    // signature 6, screen 7, table 6, descriptor 10
    EXPECT_EQ(Bytes(saved.begin() + 29, saved.end()), (Bytes{0x02, 0x02, 0x44, 0x01, 0x00, 0x3B}));

    // ImageMagick's animations: giftext lists the same blocks for the file and for our copy.
    for (const char* name : {"anim.gif", "transparent2.gif", "c256.gif"}) {
        TGif g;
        g.LoadFromBytes(ReadFile(Fixture(name)));
        Bytes copy = g.SaveToBytes();
        std::string path = WriteTemp(name, copy);
        std::string ours = Shell("giftext " + path + " | tail -n +3");
        std::string theirs = Shell("giftext " + Fixture(name) + " | tail -n +3");
        EXPECT_FALSE(ours.empty());
        EXPECT_EQ(ours, theirs) << name;
        TGif again;
        again.LoadFromBytes(copy);
        EXPECT_EQ(again.SaveToBytes(), copy) << name;
        for (int i = 0; i < g.ImageCount(); ++i)
            EXPECT_EQ(Decoded(again, i), Decoded(g, i));
        std::string sig = std::string(copy.begin(), copy.begin() + 6);
        EXPECT_EQ(sig, g.ImageCount() == 1 && g.ImageDescriptor(0).rExtensionList.empty() ? "GIF87a" : "GIF89a");
        std::filesystem::remove(path);
    }
    // A graphic-control extension makes a single frame GIF89a.
    TGif gc;
    gc.LoadFromBytes(GifBuilder("GIF87a", 1, 1).GraphicControl(0, false, 0).Image(0, 0, 1, 1, 2, {0x44, 1}).Done());
    Bytes gcSaved = gc.SaveToBytes();
    EXPECT_EQ(std::string(gcSaved.begin(), gcSaved.begin() + 6), "GIF89a");
}

TEST(GifCodecTest, ReadingCases) {
    const Bytes frame = {0x44, 0x01};
    struct Case {
        const char* name;
        Bytes file;
        String error; // empty: loads
        int frames;
    };
    const Bytes corruptSecond = GifBuilder("GIF89a", 4, 1)
                                    .Image(0, 0, 4, 1, 2, {0x44, 0x5E})
                                    .Image(0, 0, 4, 1, 2, {0xC4, 0x01}) // Clear, 0, then code 7: bad
                                    .Done();
    std::vector<Case> cases = {
        {"lower-case signature", GifBuilder("gif89a", 1, 1).Image(0, 0, 1, 1, 2, frame).Done(), u"", 1},
        {"GIF90a", GifBuilder("GIF90a", 1, 1).Image(0, 0, 1, 1, 2, frame).Done(), u"TGif: Invalid GIF Signature Code",
         0},
        {"no trailer", GifBuilder("GIF89a", 1, 1).Image(0, 0, 1, 1, 2, frame).Done(false), u"", 1},
        {"corrupt second frame", corruptSecond, u"", 2},
        {"error 5 before the first frame",
         GifBuilder("GIF89a", 1, 1).GraphicControl(0, false, 0, 5).Image(0, 0, 1, 1, 2, frame).Done(),
         u"TGif: Invalid Extension Block Size", 0},
        {"unknown extension", GifBuilder("GIF89a", 1, 1).Raw({0x21, 0xAB, 0}).Done(), u"TGif: unknown extension: 00AB",
         0},
        {"unknown block", GifBuilder("GIF89a", 1, 1).Raw({0x99}).Done(), u"TGif: Unknown Graphics Operation Code", 0},
        {"short sub-block", GifBuilder("GIF89a", 1, 1).Raw({0x21, 0xFE, 9, 1}).Done(false),
         u"TGif: Unexpected end of file", 0},
        {"no colour table", GifBuilder("GIF89a", 1, 1, {}).Image(0, 0, 1, 1, 2, frame).Done(), u"", 1},
        {"zero width then a frame", GifBuilder("GIF89a", 1, 1).Empty(0, 0, 0, 1).Empty(0, 0, 1, 1).Done(), u"", 1},
        {"bad terminator after a frame",
         GifBuilder("GIF89a", 1, 1).Image(0, 0, 1, 1, 2, frame).Raw({0x21, 0xF9, 4, 0, 0, 0, 0, 7}).Done(), u"", 1},
    };
    for (const Case& c : cases) {
        TGif gif;
        EXPECT_EQ(Message([&] { gif.LoadFromBytes(c.file); }), c.error) << c.name;
        if (c.error.empty()) {
            EXPECT_EQ(gif.ImageCount(), c.frames) << c.name;
        }
    }
    // The corrupt second frame keeps what was decoded before the fault.
    TGif gif;
    gif.LoadFromBytes(corruptSecond);
    EXPECT_EQ(gif.FramePixel(1, 0, 0), 0);
    EXPECT_EQ(Decoded(gif, 0), (std::vector<TColor>{clBlack, clWhite, clWhite, clWhite}));
    // A frame taller than the screen is cut; a wider one is not.
    gif.LoadFromBytes(GifBuilder("GIF89a", 2, 2).Empty(0, 0, 5, 9).Done());
    EXPECT_EQ(gif.ImageHeight(0), 2);
    EXPECT_EQ(gif.ImageWidth(0), 5);
    // A frame read without its colour table draws black.
    gif.LoadFromBytes(GifBuilder("GIF89a", 1, 1, {}).Image(0, 0, 1, 1, 2, frame).Done());
    EXPECT_EQ(gif.FrameColor(0, 0), clBlack);
    EXPECT_TRUE(gif.ImageDescriptor(0).rPixelList.empty());
    // Loop counts.
    const Bytes netscape = {0x21, 0xFF, 11, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 3, 1, 0, 0, 0};
    gif.LoadFromBytes(GifBuilder("GIF89a", 1, 1).Raw(netscape).Image(0, 0, 1, 1, 2, frame).Done());
    EXPECT_EQ(gif.LoopCount(), 0);
    TGif fresh;
    fresh.LoadFromBytes(GifBuilder("GIF89a", 1, 1).Image(0, 0, 1, 1, 2, frame).Done());
    EXPECT_EQ(fresh.LoopCount(), -1);
    EXPECT_EQ(Message([&] { fresh.ImageDescriptor(1); }), u"TGif: Value Out Of Range");
}

TEST(GifCodecTest, OddBlocksAreWrittenSoundly) {
    // An application extension of block size 10 is written announcing the 11 bytes it writes.
    Bytes app = {0x21, 0xFF, 10, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 2, 0xAA, 0xBB, 0};
    TGif gif;
    gif.LoadFromBytes(GifBuilder("GIF89a", 1, 1).Raw(app).Image(0, 0, 1, 1, 2, {0x44, 1}).Done());
    Bytes saved = gif.SaveToBytes();
    auto at = std::search(saved.begin(), saved.end(), app.begin(), app.begin() + 2);
    ASSERT_NE(at, saved.end());
    EXPECT_EQ(at[2], 11);
    TGif again;
    again.LoadFromBytes(saved);
    EXPECT_EQ(again.ImageCount(), 1);
    EXPECT_EQ(again.ImageDescriptor(0).rExtensionList[0].SubBlocks.size(), 1u);
    // A fresh codec writes a valid screen descriptor (no global-table bit from a colour
    // resolution of 0).
    TGif empty;
    Bytes e = empty.SaveToBytes();
    EXPECT_EQ(e[10] & 0x80, 0);

    // A transparent index shared with a later frame: the key colour stays out of the table.
    Bytes shared = GifBuilder("GIF89a", 2, 1, {clRed, clBlue})
                       .GraphicControl(0, true, 1)
                       .Image(0, 0, 2, 1, 2, GifLzwEncode(Bytes{0, 1}, 2, 2, 1, false))
                       .Image(0, 0, 2, 1, 2, GifLzwEncode(Bytes{1, 1}, 2, 2, 1, false))
                       .Done();
    gif.LoadFromBytes(shared);
    EXPECT_EQ(gif.Bitmap(0).GetPixel(1, 0), frxGifTransparentColor);
    EXPECT_TRUE(gif.Bitmap(0).GetTransparent());
    EXPECT_EQ(gif.Bitmap(1).GetPixel(0, 0), clBlue);
    EXPECT_EQ(gif.ColorTable(0).rColors[1], clBlue);
    TGif copy;
    copy.LoadFromBytes(gif.SaveToBytes());
    EXPECT_EQ(copy.FrameColor(1, 1), clBlue);
}

class GifPictureTest : public ::testing::Test {
protected:
    static std::unique_ptr<TfrxGIFGraphic> Load(const Bytes& bytes) {
        auto g = std::make_unique<TfrxGIFGraphic>();
        TBytesStream s(bytes);
        g->LoadFromStream(s);
        return g;
    }
};

TEST_F(GifPictureTest, AnimationStripAndFirstFrame) {
    auto g = Load(ReadFile(Fixture("anim.gif")));
    const TfrxGIFImage& image = g->Image();
    EXPECT_EQ(image.NumFrames(), 3);
    ASSERT_NE(image.Strip(), nullptr);
    EXPECT_EQ(image.Strip()->Width(), 30);
    EXPECT_EQ(image.Strip()->Height(), 10);
    EXPECT_EQ(image.Strip()->GetPixel(5, 5), clRed);
    EXPECT_EQ(image.Strip()->GetPixel(15, 5), clLime);
    EXPECT_EQ(image.Strip()->GetPixel(25, 5), clBlue);
    EXPECT_EQ(g->GetWidth(), 10);
    EXPECT_EQ(g->GetHeight(), 10);
    TBitmap canvas(20, 20, pf24bit);
    g->Draw(canvas.Canvas(), Rect(0, 0, 20, 20));
    EXPECT_EQ(canvas.GetPixel(19, 19), clRed);
    EXPECT_EQ(image.Frames().GetFrame(3).frWidth, 10);
    EXPECT_THROW(image.Frames().GetFrame(0), EAssertionFailed);
    EXPECT_THROW(image.Frames().GetFrame(4), EAssertionFailed);
}

TEST_F(GifPictureTest, TransparencyAndDisposal) {
    auto g = Load(ReadFile(Fixture("transparent2.gif")));
    ASSERT_TRUE(g->IsTransparent());
    const TfrxGIFStrip& strip = *g->Image().Strip();
    ASSERT_TRUE(strip.HasMask());
    // Frame 1: all red and opaque.
    EXPECT_EQ(strip.GetPixel(4, 4), clRed);
    EXPECT_FALSE(strip.IsMasked(4, 4));
    // Frame 2: its transparent pixel shows frame 1's colour; disposal 2 of frame 1 makes its area
    // transparent in the mask, except where frame 2 paints.
    EXPECT_EQ(strip.GetPixel(14, 4), clRed);
    EXPECT_TRUE(strip.IsMasked(14, 4));
    EXPECT_EQ(strip.GetPixel(13, 3), clBlue);
    EXPECT_FALSE(strip.IsMasked(13, 3));
    EXPECT_EQ(strip.GetPixel(10, 0), clRed);
    EXPECT_TRUE(strip.IsMasked(10, 0));

    // The format draws it transparently (frame 1 is opaque); the bitmap conversion gives frame 1.
    frxGraphicFormatsInstance();
    RegisterPictureFormats();
    TfrxGraphicFormats& formats = frxGraphicFormatsInstance();
    EXPECT_EQ(formats.FindByName(u"GIF", {gcConvert}), nullptr);
    EXPECT_EQ(formats.FindByGraphic(g->ClassType()), &TfrxGIFGraphicFormat::Instance());
    std::unique_ptr<TBitmap> b = formats.ConvertToBitmap(*g, pf24bit);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->GetWidth(), 10);
    EXPECT_EQ(b->GetPixel(4, 4), clRed);
    UnregisterPictureFormats();
}

TEST_F(GifPictureTest, BitmapConversionOfATransparentFirstFrame) {
    Bytes file = GifBuilder("GIF89a", 2, 1, {clRed, clBlue})
                     .GraphicControl(0, true, 1)
                     .Image(0, 0, 2, 1, 2, GifLzwEncode(Bytes{0, 1}, 2, 2, 1, false))
                     .Done();
    auto g = Load(file);
    TBitmap alpha(1, 1, pf32bit);
    alpha.Assign(*g);
    EXPECT_EQ(alpha.GetPixelFormat(), pf32bit);
    EXPECT_EQ(alpha.ScanLine(0)[3], 255);
    EXPECT_EQ(alpha.ScanLine(0)[7], 0);
    TBitmap plain;
    plain.Assign(*g);
    EXPECT_EQ(plain.GetPixel(0, 0), clRed);
    EXPECT_EQ(plain.GetPixel(1, 0), clWhite);
}

TEST_F(GifPictureTest, StripLimits) {
    auto frames = [](int w, int h, int n, bool transparent) {
        GifBuilder b("GIF89a", w, h);
        for (int i = 0; i < n; ++i) {
            if (transparent)
                b.GraphicControl(0, true, 1);
            b.Empty(0, 0, w, h);
        }
        return b.Done();
    };
    TfrxGIFImage image;
    EXPECT_EQ(Message([&] { image.LoadFromBytes(frames(5000, 5000, 3, false)); }), u"TGif: Animated GIF too large");
    EXPECT_EQ(image.Strip(), nullptr);
    EXPECT_EQ(Message([&] { image.LoadFromBytes(frames(4000, 4000, 3, true)); }), u"TGif: Animated GIF too large");
    EXPECT_EQ(Message([&] { image.LoadFromBytes(frames(4000, 4000, 3, false)); }), u"");
    EXPECT_EQ(image.Strip()->Width(), 12000);
    // The graphic hides the error; without a strip it draws nothing.
    auto g = Load(frames(5000, 5000, 3, false));
    EXPECT_EQ(g->Image().Strip(), nullptr);
    TBitmap untouched(4, 4, pf24bit);
    g->Draw(untouched.Canvas(), Rect(0, 0, 4, 4));
    EXPECT_EQ(untouched.GetPixel(2, 2), clBlack);

    // 40 frames of 1000 × 100: wider in total than any bitmap, still drawn (first frame red).
    GifBuilder wide("GIF89a", 1000, 100, {clBlue, clBlue});
    wide.Empty(0, 0, 1000, 100, {clRed, clRed});
    for (int i = 1; i < 40; ++i)
        wide.Empty(0, 0, 1000, 100);
    auto w = Load(wide.Done());
    EXPECT_EQ(w->Image().NumFrames(), 40);
    EXPECT_EQ(w->Image().Strip()->Width(), 40000);
    TBitmap canvas(100, 10, pf24bit);
    w->Draw(canvas.Canvas(), Rect(0, 0, 100, 10));
    EXPECT_EQ(canvas.GetPixel(50, 5), clRed);
    EXPECT_EQ(w->Image().Strip()->GetPixel(39999, 99), clBlue);
}

TEST_F(GifPictureTest, FramesStayInTheirBlocks) {
    // Frame 1 (red) at x = 8 is 5 wide on a 10-wide screen; frame 2 (blue) covers x 0..1.
    Bytes file = GifBuilder("GIF89a", 10, 2, {clBlack, clBlack})
                     .Empty(8, 0, 5, 2, {clRed, clRed})
                     .Empty(0, 0, 2, 2, {clBlue, clBlue})
                     .Done();
    auto g = Load(file);
    const TfrxGIFStrip& s = *g->Image().Strip();
    EXPECT_EQ(s.GetPixel(9, 1), clRed);
    EXPECT_EQ(s.GetPixel(7, 1), clBlack);
    EXPECT_EQ(s.GetPixel(10, 0), clBlue); // block 2 starts blue, not red spilled from block 1
    EXPECT_EQ(s.GetPixel(12, 0), clBlack);
    EXPECT_EQ(s.GetPixel(19, 0), clRed); // copied from the composed first frame
}

/// A filer that hands the binary property's callbacks to the test.
class CapturingFiler : public TFiler {
public:
    explicit CapturingFiler(TStream& s) : TFiler(s) {}
    void DefineProperty(const String&, const TReaderProc&, const TWriterProc&, bool) override {}
    void DefineBinaryProperty(const String& name, const TStreamProc& read, const TStreamProc& write,
                              bool hasData) override {
        Name = name;
        Read = read;
        Write = write;
        HasData = hasData;
    }
    String Name;
    TStreamProc Read, Write;
    bool HasData = false;
};

TEST_F(GifPictureTest, DataPropertyAndNonGifInput) {
    auto g = Load(ReadFile(Fixture("anim.gif")));
    TMemoryStream dummy;
    CapturingFiler filer(dummy);
    g->DefineProperties(filer);
    EXPECT_EQ(filer.Name, u"Data");
    EXPECT_TRUE(filer.HasData);
    TMemoryStream data;
    filer.Write(data);
    const Bytes gifBytes = g->SaveToBytes();
    ASSERT_EQ(data.GetSize(), std::int64_t(gifBytes.size()) + 4);
    EXPECT_EQ(data.Bytes()[0] | (data.Bytes()[1] << 8), int(gifBytes.size()));

    TfrxGIFGraphic back;
    CapturingFiler reader(dummy);
    back.DefineProperties(reader);
    data.SetPosition(0);
    reader.Read(data);
    EXPECT_EQ(back.Image().NumFrames(), 3);
    EXPECT_EQ(back.SaveToBytes(), gifBytes);
    // A length beyond the data is refused.
    Bytes cut(data.Bytes().begin(), data.Bytes().begin() + 20);
    TBytesStream shortData(cut);
    EXPECT_THROW(reader.Read(shortData), EReadError);

    // Assigning copies the frames; a non-GIF leaves an empty graphic without an error.
    TfrxGIFGraphic copy;
    copy.Assign(*g);
    EXPECT_EQ(copy.Image().NumFrames(), 3);
    EXPECT_EQ(copy.Image().Strip()->GetPixel(25, 5), clBlue);
    auto notGif = Load(Bytes{'B', 'M', 1, 2, 3, 4, 5, 6, 7, 8});
    EXPECT_TRUE(notGif->GetEmpty());

    // Signatures the format claims.
    TBytesStream lower(Bytes{'g', 'i', 'f', '8', '7', 'A'});
    EXPECT_TRUE(TfrxGIFGraphicFormat::Instance().IsSupportedFormat(lower));
    TBytesStream five(Bytes{'G', 'I', 'F', '8', '9'});
    EXPECT_FALSE(TfrxGIFGraphicFormat::Instance().IsSupportedFormat(five));
    TBytesStream gif90(Bytes{'G', 'I', 'F', '9', '0', 'a'});
    EXPECT_FALSE(TfrxGIFGraphicFormat::Instance().IsSupportedFormat(gif90));
}

} // namespace
} // namespace vgl

namespace vgl {
namespace {

TEST(GifRegistrationTest, PictureContainerKnowsGifOnlyWhileRegistered) {
    const Bytes file = ReadFile(Fixture("anim.gif"));
    RegisterPictureFormats();
    TPicture picture;
    picture.LoadFromBytes(file);
    ASSERT_NE(picture.GetGraphic(), nullptr);
    EXPECT_EQ(picture.GetGraphic()->ClassName(), u"TfrxGIFGraphic");
    EXPECT_EQ(picture.GetWidth(), 10);
    ASSERT_NE(FindGraphicClassByExtension(u".png_old"), nullptr);
    EXPECT_EQ(FindGraphicClassByExtension(u"png_old")->Create()->ClassName(), u"TPNGObject");
    UnregisterPictureFormats();
    EXPECT_EQ(FindGraphicClassByExtension(u"gif"), nullptr);
    EXPECT_EQ(FindGraphicClassByExtension(u"png_old"), nullptr);
    EXPECT_THROW(picture.LoadFromBytes(file), EInvalidGraphic);
}

} // namespace
} // namespace vgl
