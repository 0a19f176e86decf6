#pragma once
// What the tests of printed labels share: the printed document, a scratch folder for the files
// the outside tools read, and the codes zxing-cpp reads in a grey rendering of a page.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include <ZXing/ReadBarcode.h>

#include "labels/dpd_label_print.h"
#include "platform/rtl/streams.h"

namespace vgl::test {

/// The standard output of a shell command.
inline std::string RunCommand(const std::string& command) {
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buf[512];
        while (fgets(buf, sizeof buf, p))
            out += buf;
        pclose(p);
    }
    return out;
}

/// A folder of its own for one test's files, removed with it.
class TScratch {
public:
    TScratch() {
        char name[] = "/tmp/vgl_label_out_XXXXXX";
        if (mkdtemp(name))
            FPath = name;
    }
    ~TScratch() {
        if (!FPath.empty())
            RunCommand("rm -rf '" + FPath + "'");
    }
    TScratch(const TScratch&) = delete;
    TScratch& operator=(const TScratch&) = delete;
    std::string File(const std::string& name) const { return FPath + "/" + name; }

private:
    std::string FPath;
};

/// The document the module's last print left in StreamPrinted (empty without one).
inline std::string Printed(const TDMDPDLabelPrint& module) {
    auto* stream = dynamic_cast<TMemoryStream*>(module.StreamPrinted.get());
    if (!stream)
        return {};
    return std::string(stream->Bytes().begin(), stream->Bytes().end());
}

inline void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

inline std::string QpdfCheck(const std::string& path) {
    return RunCommand("qpdf --check '" + path + "' 2>&1");
}

/// Eight-bit grey pixels of an image, row by row.
struct TGrey {
    int Width = 0, Height = 0;
    std::vector<std::uint8_t> Pixels;

    /// The pixel at (x, y); white outside the image.
    std::uint8_t At(int x, int y) const {
        if (x < 0 || y < 0 || x >= Width || y >= Height)
            return 255;
        return Pixels[std::size_t(y) * std::size_t(Width) + std::size_t(x)];
    }
    /// The rectangle of the image that lies inside it.
    TGrey Crop(int left, int top, int width, int height) const {
        left = std::clamp(left, 0, Width);
        top = std::clamp(top, 0, Height);
        width = std::clamp(width, 0, Width - left);
        height = std::clamp(height, 0, Height - top);
        TGrey part;
        part.Width = width;
        part.Height = height;
        for (int y = top; y < top + height; ++y) {
            const auto row = Pixels.begin() + std::ptrdiff_t(std::size_t(y) * std::size_t(Width) + std::size_t(left));
            part.Pixels.insert(part.Pixels.end(), row, row + width);
        }
        return part;
    }
};

/// Reads a binary grey map (P5, 8 bits) as pdftoppm -gray writes it.
inline TGrey ReadPgm(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    int maxValue = 0;
    TGrey grey;
    in >> magic >> grey.Width >> grey.Height >> maxValue;
    in.get();
    if (magic != "P5" || maxValue != 255 || grey.Width <= 0 || grey.Height <= 0)
        return {};
    grey.Pixels.resize(std::size_t(grey.Width) * std::size_t(grey.Height));
    in.read(reinterpret_cast<char*>(grey.Pixels.data()), std::streamsize(grey.Pixels.size()));
    return grey;
}

/// An image file in ImageMagick's grey pixels (its first frame), as a P5 map.
inline TGrey ReadImageAsGrey(const std::string& path) {
    const std::string pgm = path + ".pgm";
    RunCommand("/usr/bin/convert '" + path + "[0]' -strip -colorspace Gray -depth 8 'pgm:" + pgm + "' 2>&1");
    TGrey grey = ReadPgm(pgm);
    std::remove(pgm.c_str());
    return grey;
}

/// The text zxing-cpp reads as a symbol of `format`, or a note that it read none.
inline std::string Decode(const TGrey& grey, ZXing::BarcodeFormat format) {
    const ZXing::ImageView view(grey.Pixels.data(), grey.Width, grey.Height, ZXing::ImageFormat::Lum);
    const ZXing::Result result = ZXing::ReadBarcode(view, ZXing::DecodeHints().setFormats(format).setTryHarder(true));
    if (!result.isValid())
        return "<no " + std::string(ZXing::ToString(format)) + ">";
    return std::string(result.bytes().begin(), result.bytes().end());
}

} // namespace vgl::test
