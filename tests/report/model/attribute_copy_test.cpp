// Copies made through attributes kept as values (TfrxAttributeStore) against the text route:
// the same attribute text, the same objects read back, the same errors.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "platform/rtl/reflection_builder.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/string_list.h"
#include "platform/rtl/sysutils.h"
#include "report/foundation/initialization.h"
#include "report/foundation/xml_item.h"
#include "report/foundation/xml_serializer.h"
#include "report/model/bands.h"
#include "report/model/barcode_view.h"
#include "report/model/line_view.h"
#include "report/model/memo_view.h"
#include "report/model/picture_view.h"
#include "report/model/report.h"
#include "report/model/report_model_init.h"
#include "report/model/report_page.h"
#include "report/model/shape_view.h"
#include "script/engine/initialization.h"
#include "tests/report/model/model_test_support.h"

namespace vgl {
namespace {

class AttributeCopy : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        InitializeReportFoundation();
        InitializeScriptEngine();
        InitializeReportModel();
        for (TClass cls :
             {&TfrxDataBand::StaticClassInfo(), &TfrxMemoView::StaticClassInfo(), &TfrxPictureView::StaticClassInfo(),
              &TfrxLineView::StaticClassInfo(), &TfrxShapeView::StaticClassInfo(), &TfrxBarCodeView::StaticClassInfo()})
            if (!GetClass(cls->Name())) {
                RegisterClass(cls);
                FRegistered.push_back(cls);
            }
    }
    static void TearDownTestSuite() {
        for (TClass cls : FRegistered)
            UnRegisterClass(cls);
        FRegistered.clear();
    }
    static inline std::vector<TClass> FRegistered;

    /// A page with what a label carries: a band holding memos (quotes, markup characters, line
    /// ends, a literal "&quot;", a tab, a NUL, a lone surrogate and a pair), a memo with formats
    /// (written as nested items), a picture, a line, a shape and a barcode; and a memo on the page.
    static TfrxReportPage* MakePage(TfrxReport& report) {
        report.EngineOptions()->SetNewSilentMode(simSilent);
        auto* page = new TfrxReportPage(&report);
        page->SetName(u"Page1");
        auto* band = new TfrxDataBand(page);
        band->SetName(u"Band1");
        band->SetBounds(0, 20.5L, 700, 300);
        const std::vector<String> texts = {
            u"plain",
            u"\"A&B\" <c>\r\nline 2 &quot; &amp;",
            String(u"tab\there nul") + Char(0) + u"end",
            String(u"lone ") + Char(0xD800) + u" pair " + Char(0xD83D) + Char(0xDE00),
        };
        for (std::size_t i = 0; i < texts.size(); ++i) {
            auto* memo = new TfrxMemoView(band);
            memo->SetName(u"Memo" + IntToStr(int(i) + 1));
            memo->SetBounds(1.0L / 3 + i, 2.0L / 7, 100.123456789123L, 18);
            memo->SetText(texts[i]);
            memo->Font().SetName(u"Arial \"Narrow\" & <b>");
            memo->Font().SetSize(7 + int(i));
            memo->SetDataField(u"Field&" + IntToStr(int(i)));
        }
        auto* formatted = new TfrxMemoView(band);
        formatted->SetName(u"Formatted");
        formatted->Formats()->Add();
        formatted->Formats()->Add();
        auto* picture = new TfrxPictureView(band);
        picture->SetName(u"Picture1");
        picture->SetBounds(10, 10, 40, 30);
        {
            std::ifstream in(VGL_TEST_DATA_DIR "/view_fixture_1.png", std::ios::binary);
            const std::vector<char> png{std::istreambuf_iterator<char>(in), {}};
            TMemoryStream stream;
            stream.WriteBuffer(png.data(), std::int64_t(png.size()));
            stream.SetPosition(0);
            picture->LoadPictureFromStream(stream, true);
        }
        auto* line = new TfrxLineView(band);
        line->SetName(u"Line1");
        line->SetBounds(0, 50, 200, 0);
        auto* shape = new TfrxShapeView(band);
        shape->SetName(u"Shape1");
        shape->SetBounds(5, 6, 7, 8);
        auto* barcode = new TfrxBarCodeView(band);
        barcode->SetName(u"BarCode1");
        barcode->SetBounds(20, 60, 120, 40);
        auto* loose = new TfrxMemoView(page);
        loose->SetName(u"Loose");
        loose->SetText(u"on the page");
        return page;
    }

    /// Writes `c` as SaveTo does for a copy, with or without a store.
    static void Write(TfrxComponent& c, TfrxXMLItem& item, TfrxAttributeStore* store) {
        TfrxXMLSerializer serializer;
        serializer.HandleNestedProperties = true;
        serializer.SerializeDefaultValues = true;
        serializer.SetOwner(c.GetReport());
        serializer.Attributes = store;
        serializer.WriteRootComponent(&c, true, &item);
    }

    /// Reads `item` into `c`; the errors met.
    static std::vector<String> Read(TfrxComponent& c, TfrxXMLItem& item, TfrxAttributeStore* store) {
        TfrxXMLSerializer serializer;
        serializer.HandleNestedProperties = true;
        serializer.SetOwner(c.GetReport());
        serializer.Attributes = store;
        serializer.ReadRootComponent(&c, &item);
        std::vector<String> errors;
        for (int i = 0; i < serializer.Errors().Count(); ++i)
            errors.push_back(serializer.Errors()[i]);
        return errors;
    }
};

// Every item's own text followed by its kept attributes is the text the text route writes.
TEST_F(AttributeCopy, KeptAttributesMakeTheSameText) {
    TfrxReport report;
    TfrxReportPage* page = MakePage(report);
    TfrxXMLItem kept, text;
    TfrxAttributeStore store;
    Write(*page, kept, &store);
    Write(*page, text, nullptr);
    int listed = 0;
    const std::function<void(TfrxXMLItem&, TfrxXMLItem&)> compare = [&](TfrxXMLItem& a, TfrxXMLItem& b) {
        ASSERT_EQ(a.Name(), b.Name());
        String joined = a.Text();
        if (const TfrxItemAttributes* attributes = store.Find(&a)) {
            joined += attributes->Text();
            ++listed;
        }
        EXPECT_EQ(joined, b.Text()) << StringToUtf8(a.Name());
        ASSERT_EQ(a.Count(), b.Count());
        for (int i = 0; i < a.Count(); ++i)
            compare(*a.Items(i), *b.Items(i));
    };
    compare(kept, text);
    EXPECT_EQ(listed, store.Count());
    EXPECT_GE(listed, 12);
}

// Assign and AssignAll (the kept-attribute route) give what saving and loading gives, object by
// object and for the whole page.
TEST_F(AttributeCopy, CopiesEqualTheStoredFormRoute) {
    TfrxReport report;
    TfrxReportPage* page = MakePage(report);
    const auto throughStream = [](TfrxComponent& from, TfrxComponent& to, bool children) {
        TMemoryStream stream;
        from.SaveToStream(stream, children, true);
        stream.SetPosition(0);
        to.LoadFromStream(stream);
    };
    // The copies live in other reports, so reading a tree finds none of the originals by name.
    TfrxReport viaAssign, viaStream;
    viaAssign.EngineOptions()->SetNewSilentMode(simSilent);
    viaStream.EngineOptions()->SetNewSilentMode(simSilent);
    for (TfrxComponent* original : page->AllObjects()) {
        auto* a = dynamic_cast<TfrxComponent*>(&original->ClassInfo().CreateComponent(viaAssign));
        auto* b = dynamic_cast<TfrxComponent*>(&original->ClassInfo().CreateComponent(viaStream));
        ASSERT_TRUE(a && b);
        a->Assign(original);
        throughStream(*original, *b, false);
        EXPECT_EQ(test::Saved(*a, false), test::Saved(*b, false)) << StringToUtf8(original->Name());
    }
    auto* pageA = new TfrxReportPage(&viaAssign);
    auto* pageB = new TfrxReportPage(&viaStream);
    pageA->AssignAll(page);
    throughStream(*page, *pageB, true);
    EXPECT_EQ(pageA->AllObjects().size(), page->AllObjects().size());
    EXPECT_EQ(test::Saved(*pageA), test::Saved(*pageB));
    EXPECT_EQ(viaAssign.Errors().Count(), viaStream.Errors().Count());
    EXPECT_EQ(viaAssign.Errors().Count(), 0) << StringToUtf8(viaAssign.Errors().Text());
}

// A copied number is the value its text reads back as, bit for bit, and not the original's when
// that does not survive 15 digits (a third); ordinals and enumerations, sub-objects included.
TEST_F(AttributeCopy, CopiedValuesAreTheTextsReadBack) {
    TfrxReport report;
    TfrxReportPage* page = MakePage(report);
    TfrxReport viaAssign, viaStream;
    viaAssign.EngineOptions()->SetNewSilentMode(simSilent);
    viaStream.EngineOptions()->SetNewSilentMode(simSilent);
    int floats = 0;
    const std::function<void(TObject&, TObject&, const String&)> same = [&](TObject& a, TObject& b,
                                                                            const String& path) {
        for (const PropInfo* prop : a.ClassType()->Properties()) {
            if (!prop->Readable())
                continue;
            const String name = path + prop->Name;
            switch (prop->Kind()) {
            case tkFloat:
                EXPECT_EQ(GetFloatProp(a, *prop), GetFloatProp(b, *prop)) << StringToUtf8(name);
                ++floats;
                break;
            case tkInteger:
            case tkChar:
            case tkWChar:
            case tkEnumeration:
            case tkSet:
            case tkInt64:
                EXPECT_EQ(GetOrdProp(a, *prop), GetOrdProp(b, *prop)) << StringToUtf8(name);
                break;
            case tkClass: {
                TObject* subA = GetObjectProp(a, *prop);
                TObject* subB = GetObjectProp(b, *prop);
                if (subA && subB && !dynamic_cast<TComponent*>(subA))
                    same(*subA, *subB, name + u".");
                break;
            }
            default:
                break;
            }
        }
    };
    for (TfrxComponent* original : page->AllObjects()) {
        auto* a = dynamic_cast<TfrxComponent*>(&original->ClassInfo().CreateComponent(viaAssign));
        auto* b = dynamic_cast<TfrxComponent*>(&original->ClassInfo().CreateComponent(viaStream));
        ASSERT_TRUE(a && b);
        a->Assign(original);
        TMemoryStream stream;
        original->SaveToStream(stream, false, true);
        stream.SetPosition(0);
        b->LoadFromStream(stream);
        same(*a, *b, original->Name() + u".");
    }
    EXPECT_GT(floats, 100);
    TfrxComponent* memo = page->FindObject(String(u"Memo1"));
    auto* copy = dynamic_cast<TfrxComponent*>(&memo->ClassInfo().CreateComponent(viaAssign));
    copy->Assign(memo);
    EXPECT_NE(copy->Left(), memo->Left());
    EXPECT_EQ(copy->Left(), StrToFloat(FloatToStr(memo->Left())));
}

// An object of another class than the writer's reads the kept attributes by name, as it reads
// the text: the same values, the same errors.
TEST_F(AttributeCopy, AnotherClassReadsThemByName) {
    TfrxReport report;
    TfrxReportPage* page = MakePage(report);
    TfrxComponent* sources[] = {page->FindObject(String(u"Memo2")), page->FindObject(String(u"Picture1")),
                                page->FindObject(String(u"BarCode1"))};
    for (TfrxComponent* source : sources) {
        ASSERT_NE(source, nullptr);
        TfrxXMLItem kept, text;
        TfrxAttributeStore store;
        Write(*source, kept, &store);
        Write(*source, text, nullptr);
        TfrxReport other;
        other.EngineOptions()->SetNewSilentMode(simSilent);
        auto* a = new TfrxShapeView(&other);
        auto* b = new TfrxShapeView(&other);
        const std::vector<String> errorsA = Read(*a, kept, &store);
        const std::vector<String> errorsB = Read(*b, text, nullptr);
        EXPECT_EQ(errorsA, errorsB) << StringToUtf8(source->Name());
        EXPECT_EQ(test::Saved(*a), test::Saved(*b)) << StringToUtf8(source->Name());
    }
}

} // namespace
} // namespace vgl
