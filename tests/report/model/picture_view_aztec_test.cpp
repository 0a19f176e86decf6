// The Aztec picture of a parcel drawn through a picture view as the label draws it, read back.
#include <gtest/gtest.h>

#include <ZXing/ReadBarcode.h>

#include "codes/dpd_aztec.h"
#include "platform/graphics/bitmap.h"
#include "platform/graphics/canvas.h"
#include "report/foundation/initialization.h"
#include "report/model/picture_view.h"

namespace vgl {
namespace {

TEST(PictureViewAztec, ParcelCodeDrawnAt300DpiDecodesToItsContent) {
    InitializeReportFoundation();
    TDPDAztec aztec;
    aztec.ISO_DestZipCode()->SetFieldValue(u"01067");
    aztec.ISO_DestCountryCode()->SetFieldValue(u"276");
    aztec.ISO_ParcelNumber()->SetFieldValue(u"01234567890123");
    aztec.ISO_RecStreet()->SetFieldValue(u"Ostra-Allee 18");
    aztec.ISO_RecTown()->SetFieldValue(u"Dresden");
    aztec.ISO_RecCompName1()->SetFieldValue(u"Muster GmbH");
    aztec.ISO_DeclaredWeight()->SetFieldValue(u"0250");
    const std::string content = aztec.AsString();
    TImage& image = aztec.AsImage();

    // The label's box: 33.9 x 33.9 mm, centred, proportions kept.
    TfrxPictureView view(nullptr);
    view.SetCenter(true);
    view.SetKeepAspectRatio(true);
    const long double box = 33.9L * 3.77953L;
    view.SetBounds(20, 20, box, box);
    view.Picture()->Assign(&image.Picture());
    ASSERT_EQ(view.GraphicWidth(), 600);

    const long double scale = 300.0L / 96.0L;
    TBitmap page(int(scale * (box + 40)), int(scale * (box + 40)));
    TCanvas canvas(&page);
    canvas.Brush().SetData({clWhite, bsSolid});
    canvas.FillRect(Rect(0, 0, page.GetWidth(), page.GetHeight()));
    view.Draw(canvas, scale, scale, 0, 0);

    std::vector<std::uint8_t> gray(std::size_t(page.GetWidth()) * page.GetHeight());
    for (int y = 0; y < page.GetHeight(); ++y)
        for (int x = 0; x < page.GetWidth(); ++x)
            gray[std::size_t(y) * page.GetWidth() + x] = std::uint8_t(page.GetPixel(x, y) & 0xFF);
    const ZXing::ImageView pixels(gray.data(), page.GetWidth(), page.GetHeight(), ZXing::ImageFormat::Lum);
    const ZXing::Result result =
        ZXing::ReadBarcode(pixels, ZXing::DecodeHints().setFormats(ZXing::BarcodeFormat::Aztec));
    ASSERT_TRUE(result.isValid());
    EXPECT_EQ(std::string(result.bytes().begin(), result.bytes().end()), content);
}

} // namespace
} // namespace vgl
