#pragma once
// The prepared-pages store tests share a report whose current store is a real TfrxPreviewPages
// (the engine is a double), a fixture page with a page header and a data band holding a
// memo, a line, a shape and a picture, and a few checks.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <unistd.h>

#include "tests/report/model/service_doubles.h"

#include "platform/graphics/bitmap.h"
#include "platform/graphics/font_registry.h"
#include "platform/graphics/graphic.h"
#include "platform/rtl/reflection.h"
#include "report/foundation/initialization.h"
#include "report/model/bands.h"
#include "report/model/line_view.h"
#include "report/model/memo_view.h"
#include "report/model/outline.h"
#include "report/model/picture_view.h"
#include "report/model/preview_pages.h"
#include "report/model/report.h"
#include "report/model/report_model_init.h"
#include "report/model/report_page.h"
#include "report/model/shape_view.h"
#include "script/engine/initialization.h"

namespace vgl::test {

/// The engine double with the real store and outline, for the scope's lifetime.
class TStoreServices {
public:
    TStoreServices() {
        FEngine = SetEngineClass([](TfrxComponent* report) -> std::unique_ptr<TfrxCustomEngine> {
            return std::make_unique<TEngineDouble>(report);
        });
        FPreviewPages = SetPreviewPagesClass(CreateTfrxPreviewPages);
        FOutline = SetOutlineClass([](TfrxCustomPreviewPages* pages) -> std::unique_ptr<TfrxCustomOutline> {
            return std::make_unique<TfrxOutline>(pages);
        });
    }
    ~TStoreServices() {
        SetEngineClass(std::move(FEngine));
        SetPreviewPagesClass(std::move(FPreviewPages));
        SetOutlineClass(std::move(FOutline));
    }
    TStoreServices(const TStoreServices&) = delete;
    TStoreServices& operator=(const TStoreServices&) = delete;

private:
    TfrxEngineFactory FEngine;
    TfrxPreviewPagesFactory FPreviewPages;
    TfrxOutlineFactory FOutline;
};

class PreviewPagesTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        InitializeReportFoundation();
        InitializeScriptEngine();
        InitializeReportModel();
        RegisterLabelFonts(); // memos measure and draw their text
    }
    void SetUp() override {
        FServices = std::make_unique<TStoreServices>();
        FReport = std::make_unique<TfrxReport>();
    }
    void TearDown() override {
        FReport.reset();
        FServices.reset();
    }

    TfrxReport& Report() { return *FReport; }
    TfrxPreviewPages& Pages() { return dynamic_cast<TfrxPreviewPages&>(*FReport->PreviewPages()); }

    /// A label-like page: a page header and a data band with a memo, a line, a shape and a
    /// picture, all owned by the report.
    struct Fixture {
        explicit Fixture(TfrxReport& report) {
            Page = Make<TfrxReportPage>(&report, &report, u"Page1");
            Header = Make<TfrxPageHeader>(Page, Page, u"PageHeader1");
            Header->SetBounds(0, 0, Page->PaperWidth() * fr01cm, 40);
            Band = Make<TfrxMasterData>(Page, Page, u"MasterData1");
            Band->SetBounds(0, 60, Page->PaperWidth() * fr01cm, 200);
            Memo = Make<TfrxMemoView>(Band, Band, u"Memo1");
            Memo->SetBounds(10, 10, 200, 20);
            Memo->SetText(u"Parcel 0815 & <more>");
            Line = Make<TfrxLineView>(Band, Band, u"Line1");
            Line->SetBounds(10, 40, 300, 0);
            Shape = Make<TfrxShapeView>(Band, Band, u"Shape1");
            Shape->SetBounds(320, 10, 100, 50);
            Picture = Make<TfrxPictureView>(Band, Band, u"Picture1");
            Picture->SetBounds(450, 10, 40, 30);
            TBitmap bitmap;
            bitmap.SetPixelFormat(pf24bit);
            bitmap.SetSize(4, 3);
            for (int y = 0; y < 3; ++y)
                for (int x = 0; x < 4; ++x)
                    bitmap.SetPixel(x, y, TColor(0x102030 * (x + 1) + 0x050000 * y));
            Picture->Picture()->SetGraphic(&bitmap);
        }

        template <class T> static T* Make(TComponent* owner, TfrxComponent* parent, const String& name) {
            auto* c = new T(owner);
            c->SetParent(parent);
            c->SetName(name);
            return c;
        }

        /// Source page, one pass, `count` pages each holding the header and the band.
        void Run(TfrxPreviewPages& pages, int count) const {
            pages.AddSourcePage(Page);
            pages.BeginPass();
            for (int i = 0; i < count; ++i) {
                pages.AddPage(Page);
                pages.AddObject(Header);
                pages.AddObject(Band);
            }
        }

        TfrxReportPage* Page;
        TfrxPageHeader* Header;
        TfrxMasterData* Band;
        TfrxMemoView* Memo;
        TfrxLineView* Line;
        TfrxShapeView* Shape;
        TfrxPictureView* Picture;
    };

private:
    std::unique_ptr<TStoreServices> FServices;
    std::unique_ptr<TfrxReport> FReport;
};

/// Same size and the same colour in every pixel (both drawn into 24-bit bitmaps).
inline bool SamePixels(const TGraphic& a, const TGraphic& b) {
    if (a.GetWidth() != b.GetWidth() || a.GetHeight() != b.GetHeight())
        return false;
    TBitmap x, y;
    x.SetPixelFormat(pf24bit);
    y.SetPixelFormat(pf24bit);
    x.SetSize(a.GetWidth(), a.GetHeight());
    y.SetSize(b.GetWidth(), b.GetHeight());
    x.Canvas().Draw(0, 0, a);
    y.Canvas().Draw(0, 0, b);
    for (int row = 0; row < a.GetHeight(); ++row)
        for (int col = 0; col < a.GetWidth(); ++col)
            if (x.GetPixel(col, row) != y.GetPixel(col, row))
                return false;
    return true;
}

/// The result of `xmllint --xpath` over the text (its output without the final line break).
inline std::string XmlLintXPath(const std::string& bytes, const std::string& xpath) {
    char path[] = "/tmp/preview_pages_test_XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0)
        return "cannot make a temporary file";
    close(fd);
    std::ofstream(path, std::ios::binary) << bytes;
    std::string out;
    if (FILE* p = popen(("xmllint --xpath '" + xpath + "' '" + std::string(path) + "' 2>&1").c_str(), "r")) {
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, p))
            out += buffer;
        pclose(p);
    }
    std::filesystem::remove(path);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r'))
        out.pop_back();
    return out;
}

} // namespace vgl::test
