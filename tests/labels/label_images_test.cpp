// The labels as images: the service's parcel label and the four additional labels printed to BMP,
// JPEG, TIFF and GIF at 300 dpi, read by ImageMagick, and the parcel label's codes read back by
// zxing-cpp from the lossless formats.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "labels/dpd_label_print.h"
#include "report/model/report.h"
#include "report/model/report_page.h"
#include "report/model/view.h"
#include "tests/labels/label_module_support.h"
#include "tests/labels/label_output_support.h"

namespace vgl {
namespace {

using test::RunCommand;
using test::TScratch;

struct TImageTarget {
    TPrintTo Target;
    const char* Suffix;
    const char* Format; // as identify names it
};

const TImageTarget ImageTargets[] = {
    {prnBMP, ".bmp", "BMP3"}, {prnJPEG, ".jpg", "JPEG"}, {prnTIFF, ".tif", "TIFF"}, {prnGIF, ".gif", "GIF"}};

std::string Identify(const std::string& path, const std::string& format) {
    return RunCommand("identify -format '" + format + "' '" + path + "' 2>&1");
}

/// The number of pixels in which two images differ, as ImageMagick's compare counts them.
std::string DifferingPixels(const std::string& a, const std::string& b) {
    return RunCommand("compare -metric AE '" + a + "' '" + b + "' null: 2>&1");
}

/// The image's pixels as 0xRRGGBB values, row by row, as ImageMagick reads them.
std::vector<std::uint32_t> Rgb(const std::string& path) {
    const std::string raw = path + ".rgb";
    RunCommand("/usr/bin/convert '" + path + "[0]' -depth 8 'rgb:" + raw + "' 2>&1");
    std::ifstream in(raw, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::remove(raw.c_str());
    std::vector<std::uint32_t> pixels;
    for (std::size_t i = 0; i + 2 < bytes.size(); i += 3)
        pixels.push_back(std::uint32_t(std::uint8_t(bytes[i])) << 16 | std::uint32_t(std::uint8_t(bytes[i + 1])) << 8 |
                         std::uint8_t(bytes[i + 2]));
    return pixels;
}

class LabelImages : public ::testing::Test {
protected:
    static void SetUpTestSuite() { test::StartLabelLibraries(); }

    test::TLabelFonts FFonts;
};

TEST_F(LabelImages, TheServiceLabelInEveryImageFormat) {
    TScratch scratch;
    std::string aztecContent;
    for (const TImageTarget& t : ImageTargets) {
        SCOPED_TRACE(t.Format);
        TDMDPDLabelPrint module;
        test::FillFixtureParcel(module);
        ASSERT_TRUE(module.PrintGeoLabel(t.Target));
        const std::string path = scratch.File(std::string("label") + t.Suffix);
        test::WriteFile(path, test::Printed(module));

        // Round(393 x 3.125) by Round(577 x 3.125) pixels: the 104 x 152.6 mm page at 300 dpi.
        EXPECT_EQ(Identify(path, "%m %w %h"), std::string(t.Format) + " 1228 1803");
        if (t.Target == prnTIFF) {
            EXPECT_EQ(Identify(path, "%x %y %U"), "300 300 PixelsPerInch");
        }
        if (t.Target == prnJPEG) {
            EXPECT_EQ(Identify(path, "%Q"), "100");
            continue;
        }

        if (std::getenv("VGL_KEEP_IMAGES"))
            RunCommand("cp " + path + " /tmp/");
        const test::TGrey page = test::ReadImageAsGrey(path);
        ASSERT_EQ(page.Width, 1228);
        const auto* picAztec = dynamic_cast<TfrxView*>(module.frxGeoLabel()->FindObject(StringView(u"picAztec")));
        const auto* reportPage = dynamic_cast<TfrxReportPage*>(module.frxGeoLabel()->Pages(1));
        ASSERT_TRUE(picAztec && reportPage);
        const double scale = 300.0 / 96;
        const int margin = 60;
        const test::TGrey aztecPart = page.Crop(
            int(reportPage->LeftMargin() * 300 / 25.4 + double(picAztec->AbsLeft()) * scale) - margin,
            int(reportPage->TopMargin() * 300 / 25.4 + double(picAztec->AbsTop()) * scale) - margin,
            int(double(picAztec->Width()) * scale) + 2 * margin, int(double(picAztec->Height()) * scale) + 2 * margin);
        const Latin1String content = module.Aztec.AsString();
        EXPECT_EQ(test::Decode(aztecPart, ZXing::BarcodeFormat::Aztec), std::string(content.begin(), content.end()));
        EXPECT_EQ(test::Decode(page, ZXing::BarcodeFormat::Code128), test::FixtureBic3);
    }

    // The TIFF holds the BMP's picture. The GIF's palette holds only some of the label's grey
    // levels of smoothed text; every pixel whose colour it holds is that colour in the GIF too.
    const std::string bmp = scratch.File("label.bmp");
    EXPECT_EQ(DifferingPixels(bmp, scratch.File("label.tif")), "0");
    const std::vector<std::uint32_t> full = Rgb(bmp), reduced = Rgb(scratch.File("label.gif"));
    ASSERT_EQ(full.size(), reduced.size());
    const std::set<std::uint32_t> palette(reduced.begin(), reduced.end());
    std::size_t held = 0, differing = 0;
    for (std::size_t i = 0; i < full.size(); ++i)
        if (palette.count(full[i])) {
            ++held;
            differing += full[i] != reduced[i] ? 1 : 0;
        }
    EXPECT_GT(held, full.size() * 9 / 10);
    EXPECT_EQ(differing, 0u);
}

TEST_F(LabelImages, TheFourAdditionalLabelsInEveryImageFormat) {
    TScratch scratch;
    struct Label {
        const char* name;
        bool (*print)(TDMDPDLabelPrint&, TPrintTo);
    };
    const Label labels[] = {
        {"limited quantity",
         [](TDMDPDLabelPrint& m, TPrintTo t) { return m.PrintLimitedQtyLabel(u"012345678901233", t); }},
        {"SWAP", [](TDMDPDLabelPrint& m, TPrintTo t) { return m.PrintSWAPLabel(t); }},
        {"receipt", [](TDMDPDLabelPrint& m, TPrintTo t) { return m.PrintReceiptLabel(t); }},
        {"return", [](TDMDPDLabelPrint& m, TPrintTo t) { return m.PrintReturnLabel(t); }},
    };
    // One module prints them all, as the service does after the parcel label.
    TDMDPDLabelPrint module;
    test::FillFixtureParcel(module);
    for (const TImageTarget& t : ImageTargets)
        for (const Label& label : labels) {
            SCOPED_TRACE(std::string(label.name) + " " + t.Format);
            ASSERT_TRUE(label.print(module, t.Target));
            const std::string path = scratch.File(std::string("label") + t.Suffix);
            test::WriteFile(path, test::Printed(module));
            // The 103.7 x 152.6 mm page at 300 dpi.
            EXPECT_EQ(Identify(path, "%m %w %h"), std::string(t.Format) + " 1225 1803");
        }
}

} // namespace
} // namespace vgl
