// The stored values of the label templates read by the report classes that exist: the report's
// own attributes and the barcode and shape views, through the report engine's XML serializer.

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "labels/label_templates.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/sysutils.h"
#include "report/foundation/initialization.h"
#include "report/foundation/xml_document.h"
#include "report/foundation/xml_item.h"
#include "report/foundation/xml_serializer.h"
#include "report/model/barcode_view.h"
#include "report/model/report.h"
#include "report/model/report_model_init.h"
#include "report/model/shape_view.h"
#include "script/engine/initialization.h"
#include "tests/report/model/model_test_support.h"
#include "tests/report/model/service_doubles.h"

namespace vgl {
namespace {

class TemplateLoading : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        InitializeReportFoundation();
        InitializeScriptEngine();
        InitializeReportModel();
        // The report makes its layout engine and prepared pages on creation; none exist yet
        // outside the report-model tests' doubles.
        FDoubles = std::make_unique<test::TServiceDoubles>();
    }
    static void TearDownTestSuite() { FDoubles.reset(); }
    static inline std::unique_ptr<test::TServiceDoubles> FDoubles;

    static std::unique_ptr<TfrxXMLDocument> Load(const String& name) {
        auto doc = std::make_unique<TfrxXMLDocument>();
        TBytesStream stream(LabelTemplate(name));
        doc->LoadFromStream(stream);
        return doc;
    }

    /// The attribute names of an item, in order.
    static std::vector<String> AttributeNames(const TfrxXMLItem& item) {
        std::vector<String> names;
        const String& text = item.Text();
        size_t pos = 0;
        for (;;) {
            const size_t eq = text.find(u"=\"", pos);
            if (eq == String::npos)
                return names;
            size_t start = eq;
            while (start > 0 && text[start - 1] != u' ')
                --start;
            names.push_back(text.substr(start, eq - start));
            pos = text.find(u'"', eq + 2) + 1;
        }
    }

    /// True when the dotted attribute name reaches a published property of `obj` (the serializer
    /// ignores other attributes without a word, so a misspelt name would pass unnoticed).
    static bool NamesAProperty(TObject& obj, const String& name) {
        TObject* target = &obj;
        String rest = name;
        for (size_t dot; (dot = rest.find(u'.')) != String::npos; rest.erase(0, dot + 1)) {
            const PropInfo* prop = target->ClassType()->FindProperty(rest.substr(0, dot));
            if (!prop || prop->Kind() != tkClass || !(target = GetObjectProp(*target, *prop)))
                return false;
        }
        if (dynamic_cast<TStrings*>(target) && rest == u"Text")
            return true;
        return target->ClassType()->FindProperty(rest) != nullptr;
    }

    /// Loads the item's attributes into `obj` and checks that each names a property and that the
    /// serializer reports nothing; `skip` lists prefixes left out.
    static void Read(const TfrxXMLItem& item, TObject& obj, TPersistent& target, const std::string& where,
                     std::initializer_list<const char16_t*> skip = {}) {
        TfrxXMLItem copy;
        copy.SetText(item.Text());
        for (const String& name : AttributeNames(item)) {
            bool skipped = false;
            for (const char16_t* prefix : skip)
                skipped = skipped || name.starts_with(prefix);
            if (skipped)
                copy.DeleteProp(name);
            else
                EXPECT_TRUE(NamesAProperty(obj, name)) << where << ": " << StringToUtf8(name);
        }
        TfrxXMLSerializer serializer;
        serializer.XMLToObj(copy.Text(), target);
        EXPECT_EQ(serializer.Errors().Text(), u"") << where;
    }
};

TEST_F(TemplateLoading, ReportAttributesReadWithoutErrors) {
    for (const String& name : LabelTemplateNames()) {
        SCOPED_TRACE(StringToUtf8(name));
        auto doc = Load(name);
        TfrxReport report;
        report.SetShowProgress(true);
        // The option objects are not stored properties of the report class yet.
        Read(*doc->Root(), report, report, StringToUtf8(name), {u"PreviewOptions.", u"PrintOptions."});
        EXPECT_EQ(report.Version(), u"2022.2.7");
        EXPECT_EQ(report.IniFile(), u"\\Software\\Zavu Vuzovaz");
        EXPECT_EQ(report.ScriptLanguage(), u"DoveziVorude");
        EXPECT_EQ(report.ScriptText().Text(), u"begin\r\n\r\nend.\r\n");
        EXPECT_FALSE(report.ShowProgress());
        EXPECT_FALSE(report.DotMatrixReport());
    }
}

TEST_F(TemplateLoading, BarcodeAndShapeViewsReadAndWriteTheirStoredValues) {
    int checked = 0;
    for (const String& name : LabelTemplateNames()) {
        auto doc = Load(name);
        TfrxXMLItem& report = *doc->Root();
        TfrxXMLItem& page = *report[report.Count() - 1];
        for (int i = 0; i < page.Count(); ++i) {
            const TfrxXMLItem& item = *page[i];
            std::unique_ptr<TfrxView> view, copy;
            if (item.Name() == u"TfrxBarCodeView") {
                view = std::make_unique<TfrxBarCodeView>(nullptr);
                copy = std::make_unique<TfrxBarCodeView>(nullptr);
            } else if (item.Name() == u"TfrxShapeView") {
                view = std::make_unique<TfrxShapeView>(nullptr);
                copy = std::make_unique<TfrxShapeView>(nullptr);
            } else {
                continue;
            }
            const std::string where = StringToUtf8(name + u"." + item.Prop(u"Name"));
            Read(item, *view, *view, where);
            EXPECT_EQ(view->Name(), item.Prop(u"Name")) << where;
            EXPECT_EQ(view->Left(), StrToFloat(item.Prop(u"Left"))) << where;
            EXPECT_EQ(view->Height(), StrToFloat(item.Prop(u"Height"))) << where;
            // What the view writes reads back to the same text.
            TfrxXMLSerializer serializer;
            const String written = serializer.ObjToXML(view.get());
            serializer.XMLToObj(written, *copy);
            EXPECT_EQ(serializer.ObjToXML(copy.get()), written) << where;
            EXPECT_EQ(serializer.Errors().Text(), u"") << where;
            ++checked;
        }
    }
    EXPECT_EQ(checked, 8); // the routing barcode and seven shapes

    auto doc = Load(u"frxGeoLabel");
    TfrxXMLItem& page = *(*doc->Root())[1];
    const int index = page.Find(u"TfrxBarCodeView");
    ASSERT_GE(index, 0);
    TfrxBarCodeView barcode(nullptr);
    TfrxXMLSerializer serializer;
    serializer.XMLToObj(page[index]->Text(), barcode);
    EXPECT_EQ(barcode.Name(), u"BarCode128Rout");
    EXPECT_EQ(barcode.BarType(), bcCode128);
    EXPECT_EQ(barcode.Zoom(), 1.5L);
    EXPECT_FALSE(barcode.ShowText());
    EXPECT_EQ(barcode.HAlign(), haCenter);
    EXPECT_EQ(barcode.TagStr(), u"ROUTING");
    EXPECT_EQ(barcode.Frame()->Typ(), TfrxFrameTypes{ftTop});
    EXPECT_EQ(barcode.Font().GetName(), u"Arial");
    EXPECT_EQ(barcode.Font().GetHeight(), -12);
    EXPECT_EQ(barcode.Font().GetCharset(), DEFAULT_CHARSET);
}

// Every template read into a report, by the report's own load and by the stored-form route (the
// component base's read, every stored value taken as read), leaves Errors empty and an xmllint-clean
// save; save, load and save again gives the same bytes. The stored-form route keeps the
// template's ShowProgress False, the report's load the program's True.
TEST_F(TemplateLoading, EveryTemplateLoadsIntoAReportAndSavesUnchanged) {
    const auto save = [](TfrxReport& report) {
        TMemoryStream stream;
        report.SaveToStream(stream);
        const auto* p = reinterpret_cast<const char*>(stream.Memory());
        return std::string(p, p + stream.GetSize());
    };
    const auto load = [](TfrxReport& report, std::span<const std::uint8_t> bytes, bool storedForm) {
        TBytesStream stream(bytes);
        if (storedForm)
            report.TfrxComponent::LoadFromStream(stream);
        else
            report.LoadFromStream(stream);
    };
    for (const String& name : LabelTemplateNames()) {
        for (const bool storedForm : {true, false}) {
            SCOPED_TRACE(StringToUtf8(name) + (storedForm ? " (stored form)" : " (report load)"));
            TfrxReport report;
            report.EngineOptions()->SetNewSilentMode(simSilent);
            load(report, LabelTemplate(name), storedForm);
            EXPECT_EQ(report.Errors().Text(), u"");
            EXPECT_EQ(report.ShowProgress(), !storedForm);
            EXPECT_GE(report.PagesCount(), 2);
            const std::string first = save(report);
            EXPECT_EQ(test::XmlLint(first), "");

            TfrxReport again;
            again.EngineOptions()->SetNewSilentMode(simSilent);
            const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(first.data()),
                                                      first.size());
            load(again, bytes, storedForm);
            EXPECT_EQ(again.Errors().Text(), u"");
            EXPECT_EQ(save(again), first);
        }
    }
}

} // namespace
} // namespace vgl
