#include "report/foundation/xml_serializer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <thread>

#include "platform/graphics/bitmap.h"
#include "platform/graphics/brush.h"
#include "platform/graphics/font.h"
#include "platform/graphics/graphic.h"
#include "platform/graphics/pen.h"
#include "platform/graphics/png_image.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/property_encoding.h"
#include "platform/rtl/reflection_builder.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/variant.h"
#include "report/foundation/initialization.h"
#include "report/foundation/report_collections.h"
#include "report/foundation/utilities.h"
#include "report/foundation/xml_document.h"
#include "report/foundation/xml_item.h"

namespace vgl {

// ---- Test components -----------------------------------------------------------------------

enum TTestAlign { taLeftJ, taCenter, taRightJ };
VGL_DECLARE_ENUM(TTestAlign);

VGL_DEFINE_ENUM(TTestAlign, u"taLeftJ", u"taCenter", u"taRightJ")

// A component class that reference properties name.
class TTestSource : public TComponent {
    VGL_CLASS(TTestSource, TComponent)
    explicit TTestSource(TComponent* owner) : TComponent(owner) {}
};
VGL_DEFINE_CLASS(TTestSource) {}

// A report component with the properties of every kind the serializer handles, define-properties
// data ("Blob") and a child list. Like report objects, it is owned by its report and made a child
// of the component it is created with.
class TTestView : public TComponent, public IfrxSerializableComponent {
    VGL_CLASS(TTestView, TComponent)
    explicit TTestView(TComponent* owner) : TComponent(OwnerFor(owner)) {
        if (auto* parent = dynamic_cast<TTestView*>(owner))
            SetParentComponent(parent);
    }
    ~TTestView() override {
        for (TTestView* child : FObjects)
            child->FParent = nullptr;
        FObjects.clear();
        SetParentComponent(nullptr);
    }

    bool IsLoading() const override { return FLoading; }
    void SetIsLoading(bool value) override { FLoading = value; }
    bool IsWriting() const override { return FWriting; }
    void SetIsWriting(bool value) override { FWriting = value; }
    bool IsAncestor() const override { return FAncestor; }
    TComponent* GetParentComponent() const override { return FParent; }
    void SetParentComponent(TComponent* parent) override {
        if (FParent)
            std::erase(FParent->FObjects, this);
        FParent = dynamic_cast<TTestView*>(parent);
        if (FParent)
            FParent->FObjects.push_back(this);
    }
    int ObjectCount() const override { return int(FObjects.size()); }
    TComponent* ObjectAt(int index) const override { return FObjects.at(size_t(index)); }
    TComponent* FindObject(StringView name) const override {
        for (TTestView* child : FObjects) {
            if (SameText(child->Name(), name))
                return child;
            if (TComponent* found = child->FindObject(name))
                return found;
        }
        return nullptr;
    }
    TComponent* Report() const override {
        const TTestView* top = this;
        while (top->FParent)
            top = top->FParent;
        return top->IsReport() ? const_cast<TTestView*>(top) : nullptr;
    }
    TfrxXMLSerializer* XMLSerializer() const override { return FSerializer; }
    void Loaded() override {
        TComponent::Loaded();
        ++LoadedCount;
    }
    void DefineProperties(TFiler& filer) override {
        filer.DefineBinaryProperty(
            u"Blob",
            [this](TStream& s) {
                FBlob.resize(size_t(s.GetSize()));
                s.ReadBuffer(FBlob.data(), s.GetSize());
            },
            [this](TStream& s) { s.WriteBuffer(FBlob); }, !FBlob.empty());
    }

    TFont* GetFont() const { return FFont.get(); }
    void SetFont(TFont* f) { FFont->Assign(f); }
    TPen* GetPen() const { return FPen.get(); }
    TBrush* GetBrush() const { return FBrush.get(); }
    void SetBrush(TBrush* b) { FBrush->Assign(b); }
    TPicture* GetPicture() const { return FPicture.get(); }
    void SetPicture(TPicture* p) { FPicture->Assign(p); }
    TStrings* GetLines() const { return FLines.get(); }
    void SetLines(TStrings* lines) { FLines->Assign(*lines); }

    double FLeft = 0, FTop = 0, FWidth = 0, FHeight = 0;
    bool FVisible = true, FEnabled = true;
    TTestAlign FAlign = taLeftJ;
    TFontStyles FStyle;
    int FCount = 0;
    std::uint8_t FSmall = 0;
    std::int64_t FBig = 0;
    String FCaption;
    std::unique_ptr<TFont> FFont = std::make_unique<TFont>();
    std::unique_ptr<TPen> FPen = std::make_unique<TPen>();
    std::unique_ptr<TBrush> FBrush = std::make_unique<TBrush>();
    std::unique_ptr<TPicture> FPicture = std::make_unique<TPicture>();
    std::unique_ptr<TStringList> FLines = std::make_unique<TStringList>();
    TComponent* FLink = nullptr;
    TTestSource* FSource = nullptr;
    Variant FData;
    std::vector<std::uint8_t> FBlob;

    bool FLoading = false, FWriting = false, FAncestor = false;
    int LoadedCount = 0;
    TTestView* FParent = nullptr;
    std::vector<TTestView*> FObjects;
    TfrxXMLSerializer* FSerializer = nullptr;

private:
    static TComponent* OwnerFor(TComponent* owner) {
        auto* view = dynamic_cast<TTestView*>(owner);
        TComponent* report = view ? view->Report() : nullptr;
        return report ? report : owner;
    }
};
VGL_DEFINE_CLASS(TTestView) {
    using T = TTestView;
    b.Property(u"Left", &T::FLeft);
    b.Property(u"Top", &T::FTop);
    b.Property(u"Width", &T::FWidth);
    b.Property(u"Height", &T::FHeight);
    b.Property(u"Visible", &T::FVisible).Default(true);
    b.Property(u"Enabled", &T::FEnabled);
    b.Property(u"Align", &T::FAlign).Default(taLeftJ);
    b.Property(u"Style", &T::FStyle).Default(TFontStyles{});
    b.Property(u"Count", &T::FCount).Default(0);
    b.Property(u"Small", &T::FSmall).Default(0);
    b.Property(u"Big", &T::FBig).Default(0);
    b.Property(u"Caption", &T::FCaption);
    b.Property(u"Font", &T::GetFont, &T::SetFont);
    b.Property(u"Pen", &T::GetPen, nullptr);
    b.Property(u"Brush", &T::GetBrush, &T::SetBrush);
    b.Property(u"Picture", &T::GetPicture, &T::SetPicture);
    b.Property(u"Lines", &T::GetLines, &T::SetLines);
    b.Property(u"Link", &T::FLink);
    b.Property(u"Source", &T::FSource);
    b.Property(u"Data", &T::FData);
}

class TTestMemo : public TTestView {
    VGL_CLASS(TTestMemo, TTestView)
    explicit TTestMemo(TComponent* owner) : TTestView(owner) {}
    bool IsMemoView() const override { return true; }
    String GetMemoText() const override { return FText; }
    void SetMemoText(const String& text) override { FText = text; }
    String FText;
};
VGL_DEFINE_CLASS(TTestMemo) {}

// A view that publishes more: a property of its own, Count redeclared with another default (it
// keeps its ancestor's place), and a read-only property and an event, neither ever written.
class TTestLabel : public TTestView {
    VGL_CLASS(TTestLabel, TTestView)
    explicit TTestLabel(TComponent* owner) : TTestView(owner) {}
    int Serial() const { return 7; }
    int FAngle = 0;
    std::function<void(TObject*)> FOnClick;
};
VGL_DEFINE_CLASS(TTestLabel) {
    b.Property(u"Count", &TTestLabel::FCount).Default(5);
    b.Property(u"Angle", &TTestLabel::FAngle).Default(0);
    b.Property(u"Serial", &TTestLabel::Serial, nullptr);
    b.Property(u"OnClick", &TTestLabel::FOnClick);
}

class TTestReport : public TTestView {
    VGL_CLASS(TTestReport, TTestView)
    explicit TTestReport(TComponent* owner) : TTestView(owner) {}
    bool IsReport() const override { return true; }
};
VGL_DEFINE_CLASS(TTestReport) {}

// A holder that the name rules treat as a data module (class name "TDataModule").
class TTestModule : public TComponent {
public:
    explicit TTestModule(TComponent* owner) : TComponent(owner) {}
    String ClassName() const override { return u"TDataModule"; }
};

// A collection item that keeps its unique index in stored files.
class TTestHighlight : public TfrxCollectionItem {
    VGL_CLASS(TTestHighlight, TfrxCollectionItem)
    explicit TTestHighlight(TCollection* c) : TfrxCollectionItem(c) {}
    bool IsUniqueNameStored() const override { return true; }
    String FCondition;
    int FColor = 0;
};
VGL_DEFINE_CLASS(TTestHighlight) {
    b.Property(u"Condition", &TTestHighlight::FCondition);
    b.Property(u"Color", &TTestHighlight::FColor).Default(0);
}

namespace {

namespace fs = std::filesystem;

class Serializer : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        InitializeReportFoundation();
        RegisterClasses(
            {&TTestView::StaticClassInfo(), &TTestMemo::StaticClassInfo(), &TTestReport::StaticClassInfo()});
    }
    static void TearDownTestSuite() { FinalizeReportFoundation(); }
};

std::string Bytes(TMemoryStream& s) {
    return std::string(reinterpret_cast<const char*>(s.Memory()), size_t(s.GetSize()));
}

std::vector<String> Lines(const TStrings& list) {
    std::vector<String> lines;
    for (int i = 0; i < list.Count(); ++i)
        lines.push_back(list[i]);
    return lines;
}

// Runs xmllint --noout on the bytes; its diagnostics, empty for a well-formed document.
std::string XmlLint(const std::string& bytes) {
    const fs::path file = fs::temp_directory_path() / ("serializer_" + std::to_string(::getpid()) + ".xml");
    std::ofstream(file, std::ios::binary) << bytes;
    std::string out;
    if (FILE* pipe = ::popen(("xmllint --noout '" + file.string() + "' 2>&1").c_str(), "r")) {
        char buf[512];
        while (size_t n = fread(buf, 1, sizeof buf, pipe))
            out.append(buf, n);
        ::pclose(pipe);
    }
    fs::remove(file);
    return out;
}

// A report with a page, a band, two memos that refer to each other and the band.
struct SampleReport {
    TTestReport report{nullptr};
    TTestView* page;
    TTestView* band;
    TTestMemo* memo1;
    TTestMemo* memo2;
    SampleReport() {
        report.SetName(u"Report1");
        page = new TTestView(&report);
        page->SetName(u"Page1");
        page->FWidth = 793.7;
        band = new TTestView(page);
        band->SetName(u"Band1");
        band->FTop = 18.9;
        band->FPen->SetColor(255);
        memo1 = new TTestMemo(band);
        memo1->SetName(u"Memo1");
        memo1->FText = u"Total: [Sum]\r\n<b>\"x\" & y</b>\r\n";
        memo1->FFont->SetStyle({fsBold});
        memo1->FLink = band;
        memo2 = new TTestMemo(band);
        memo2->SetName(u"Memo2");
        memo2->FLink = memo1;
        memo2->FBlob = {0, 1, 0xFE};
        memo2->FLines->SetText(u"one\r\ntwo");
        memo2->FBig = -0x123456789AB;
    }
};

std::string SaveTree(TComponent& root) {
    TMemoryStream stream;
    TfrxXMLSerializer serializer(&stream);
    serializer.WriteRootComponent(&root);
    return Bytes(stream);
}

// ---- Writing attributes ----------------------------------------------------------------------

TEST_F(Serializer, WritesEveryKindByItsRule) {
    TTestReport report(nullptr);
    auto* other = new TTestView(&report);
    other->SetName(u"Other");
    auto* view = new TTestView(&report);
    view->FTop = 10.5;
    view->FWidth = 100;
    view->FVisible = false;
    view->FAlign = taCenter;
    view->FStyle = {fsBold, fsUnderline};
    view->FBig = 0x123456789;
    view->FCaption = u"a\"b<";
    view->FFont->SetSize(12);
    view->FFont->SetName(u"Arial Narrow");
    view->FPen->SetColor(255);
    view->FBrush->SetStyle(bsClear);
    view->FLines->SetText(u"a\r\nb\r\n");
    view->FLink = other;
    view->FBlob = {1, 2, 0xAB};
    TfrxXMLSerializer serializer;
    serializer.SetOwner(&report);
    // Left 0 (a float) is written, Count 0 (default 0) is not, an empty Caption or Variant never.
    EXPECT_EQ(serializer.ObjToXML(view),
              u" Left=\"0\" Top=\"10.5\" Width=\"100\" Height=\"0\" Visible=\"False\" Enabled=\"True\""
              u" Align=\"taCenter\" Style=\"5\" Big=\"4886718345\" Caption=\"a&#34;b&#60;\" Font.Charset=\"1\""
              u" Font.Color=\"-2147483640\" Font.Height=\"-16\" Font.Name=\"Arial Narrow\" Font.Style=\"0\""
              u" Pen.Color=\"255\" Brush.Style=\"bsClear\" Lines.Text=\"a&#13;&#10;b\""
              u" Link=\"Other\" PropData=\"04426C6F620A030000000102AB\"");
    EXPECT_FALSE(view->FWriting);

    view->FLines->Clear();
    view->FCaption.clear();
    serializer.SerializeDefaultValues = true;
    const String all = serializer.ObjToXML(view, u"P.");
    EXPECT_NE(all.find(u" P.Count=\"0\""), String::npos);
    EXPECT_NE(all.find(u" P.Lines.Text=\"\""), String::npos);
    EXPECT_EQ(all.find(u"Caption=\"\""), String::npos) << "an empty text is never written";
}

// Each class is written by its own property list, whatever was written before it and on however
// many threads at once.
TEST_F(Serializer, EachClassWritesItsOwnPropertiesOnEveryThread) {
    const auto write = [](TTestView& view) { return TfrxXMLSerializer().ObjToXML(&view); };
    TTestView view(nullptr);
    view.FCount = 5;
    TTestLabel label(nullptr);
    label.FCount = 0;
    label.FAngle = 90;
    label.FOnClick = [](TObject*) {};
    const String viewText = write(view);
    const String labelText = write(label);
    String expected = viewText;
    const size_t count = expected.find(u" Count=\"5\"");
    ASSERT_NE(count, String::npos) << StringToUtf8(viewText);
    expected.replace(count, 10, u" Count=\"0\"");
    EXPECT_EQ(labelText, expected + u" Angle=\"90\"");
    label.FCount = 5;
    EXPECT_EQ(write(label).find(u"Count="), String::npos) << "the redeclared default";

    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&] {
            TTestView ownView(nullptr);
            ownView.FCount = 5;
            TTestLabel ownLabel(nullptr);
            ownLabel.FAngle = 90;
            for (int i = 0; i < 200; ++i)
                if (write(ownView) != viewText || write(ownLabel) != labelText)
                    ++wrong;
        });
    for (std::thread& t : threads)
        t.join();
    EXPECT_EQ(wrong, 0);
}

TEST_F(Serializer, WritesOnlyWhatDiffersFromTheAncestor) {
    TTestReport report(nullptr);
    auto* target = new TTestView(&report);
    target->SetName(u"Target");
    auto* view = new TTestView(&report);
    auto* ancestor = new TTestView(&report);
    ancestor->FLeft = view->FLeft = 5;
    view->FTop = 1 + 1e-7; // within 1e-6 of the ancestor's
    ancestor->FTop = 1;
    view->FWidth = 2 + 1e-5; // not within
    ancestor->FWidth = 2;
    view->FHeight = ancestor->FHeight = 3;
    ancestor->FCaption = u"gone"; // an empty text is not written even against a non-empty one
    ancestor->FCount = view->FCount = 7;
    ancestor->FFont->SetSize(14);
    view->FFont->SetSize(14);
    view->FLines->SetText(u"same");
    ancestor->FLines->SetText(u"same");
    ancestor->FLink = target; // only the ancestor refers: nil
    ancestor->FData = Variant(1);
    view->FData = Variant(u"1"); // compares equal as a number
    TfrxXMLSerializer serializer;
    serializer.SetOwner(&report);
    EXPECT_EQ(serializer.ObjToXML(view, {}, ancestor), u" Width=\"2.00001\" Link=\"nil\"");

    view->FLink = target; // both refer to a component of that name
    EXPECT_EQ(serializer.ObjToXML(view, {}, ancestor), u" Width=\"2.00001\"");
    EXPECT_FALSE(ancestor->FWriting);

    serializer.SaveAncestorOnly = true; // the ancestor itself is written, lists without comparison
    EXPECT_EQ(serializer.ObjToXML(view, {}, ancestor), u" Lines.Text=\"same\"");
}

TEST_F(Serializer, NamesReferencesRelativeToTheOwner) {
    TTestReport report(nullptr);
    TTestModule module(nullptr);
    module.SetName(u"Form1");
    auto* comp = new TTestView(&module);
    comp->SetName(u"Comp");
    auto* view = new TTestView(&report);
    view->FLink = comp;
    TfrxXMLSerializer serializer;
    serializer.SetOwner(&report);
    const String text = serializer.ObjToXML(view);
    EXPECT_NE(text.find(u" Link=\"Form1.Comp\""), String::npos) << StringToUtf8(text);

    SetFindGlobalComponent(
        [&](StringView name) -> TComponent* { return SameText(name, u"Form1") ? &module : nullptr; });
    TTestView copy(&report);
    serializer.ReadPersistentStr(&report, copy, text);
    SetFindGlobalComponent(nullptr);
    EXPECT_EQ(copy.FLink, comp);
}

TEST_F(Serializer, WritesMemoTextAfterTheProperties) {
    TTestMemo memo(nullptr), ancestor(nullptr);
    memo.FText = u"a & b\r\nc\r\n";
    TfrxXMLSerializer serializer;
    const String text = serializer.ObjToXML(&memo);
    EXPECT_TRUE(text.ends_with(u"\" Text=\"a &#38; b&#13;&#10;c\"")) << StringToUtf8(text);
    ancestor.FText = memo.FText;
    EXPECT_EQ(serializer.ObjToXML(&memo, {}, &ancestor).find(u"Text=\"a"), String::npos);
}

// ---- Reading attributes ----------------------------------------------------------------------

TEST_F(Serializer, ReadsAttributesByKind) {
    TTestMemo memo(nullptr);
    TfrxXMLSerializer serializer;
    serializer.XMLToObj(
        u" Font.Size=\"12\" Font.Style=\"3\" Font.Color=\"255\" Align=\"2\" Visible=\"False\" Enabled=\"false\""
        u" Big=\"-81985529216486895\" Small=\"200\" Caption=\"&#60;a&#62;&#13;&#10;\""
        u" Lines.Text=\"a&#13;&#10;b\" Pen.Color=\"16711680\" Pen.Width=\"3\" Brush.Style=\"bsCross\""
        u" l=\"1.5\" t=\"2,25\" w=\"30\" h=\"40\" x=\"memo &#38; text\" Data=\"&#34;v&#34;\"",
        memo);
    EXPECT_EQ(Lines(serializer.Errors()), std::vector<String>{});
    EXPECT_EQ(memo.FFont->GetSize(), 12);
    EXPECT_EQ(memo.FFont->GetHeight(), -16);
    EXPECT_EQ(memo.FFont->GetStyle(), (TFontStyles{fsBold, fsItalic}));
    EXPECT_EQ(memo.FFont->GetColor(), clRed);
    EXPECT_EQ(memo.FAlign, taRightJ);
    EXPECT_FALSE(memo.FVisible);
    EXPECT_FALSE(memo.FEnabled);
    EXPECT_EQ(memo.FBig, -81985529216486895LL) << "all 64 bits";
    EXPECT_EQ(memo.FSmall, 200);
    EXPECT_EQ(memo.FCaption, u"<a>\r\n");
    EXPECT_EQ(Lines(*memo.FLines), (std::vector<String>{u"a", u"b"}));
    EXPECT_EQ(memo.FPen->GetColor(), 0xFF0000);
    EXPECT_EQ(memo.FPen->GetWidth(), 3);
    EXPECT_EQ(memo.FBrush->GetStyle(), bsCross);
    EXPECT_EQ(memo.FLeft, 1.5);
    EXPECT_EQ(memo.FTop, 2.25);
    EXPECT_EQ(memo.FWidth, 30);
    EXPECT_EQ(memo.FHeight, 40);
    EXPECT_EQ(memo.FText, u"memo & text");
    EXPECT_EQ(VarToStr(memo.FData), u"\"v\"");
}

// Blanks and line ends around an attribute's name are not part of it; a name of blanks alone ends
// the text.
TEST_F(Serializer, AttributeNamesAreTrimmed) {
    const std::pair<const char16_t*, int> cases[] = {
        {u"Count=\"4\"", 4},     {u" \t\r\nCount \t\r\n=\"4\"", 4}, {u"Small=\"1\"Count=\"4\"", 4},
        {u"Count \t= \"4\"", 4}, {u"  =\"4\" Count=\"3\"", 0},      {u"Co unt=\"4\"", 0},
    };
    for (const auto& [text, count] : cases) {
        TTestView view(nullptr);
        TfrxXMLSerializer serializer;
        serializer.XMLToObj(text, view);
        EXPECT_EQ(view.FCount, count) << StringToUtf8(text);
        EXPECT_EQ(Lines(serializer.Errors()), std::vector<String>{}) << StringToUtf8(text);
    }
}

TEST_F(Serializer, OldFormatMemoTextIsDecodedFromUtf8) {
    TTestMemo memo(nullptr);
    TfrxXMLSerializer serializer;
    serializer.OldFormat = true;
    // "ä" (C3 A4) read as ANSI text gives "Ã¤".
    serializer.XMLToObj(u" u=\"\u00C3\u00A4\"", memo);
    EXPECT_EQ(memo.FText, u"\u00E4");
    serializer.XMLToObj(u" x=\"\u00C3\u00A4\"", memo);
    EXPECT_EQ(memo.FText, u"\u00C3\u00A4") << "x is taken as it stands";
}

TEST_F(Serializer, BadAttributesGiveErrorLinesAndReadingGoesOn) {
    struct Case {
        const char16_t* attribute;
        const char16_t* error; // empty: ignored without an error
    };
    const Case cases[] = {
        {u"Count=\"abc\"", u"'abc' is not a valid integer value"},
        {u"Count=\"3.5\"", u"'3.5' is not a valid integer value"},
        {u"Small=\"300\"", u"Range check error"},
        {u"Align=\"taNowhere\"", u"Invalid property value"},
        {u"Visible=\"maybe\"", u"Invalid property value"},
        {u"Left=\"ten\"", u"'ten' is not a valid floating point value"},
        {u"Big=\"99999999999999999999\"", u"'99999999999999999999' is not a valid integer value"},
        {u"Caption=\"&#xyz;\"", u"'xyz' is not a valid integer value"},
        {u"Caption.Size=\"1\"", u"Cannot assign Caption.Size: Caption holds no object"},
        {u"Link.Width=\"1\"", u"Cannot assign Link.Width: Link holds no object"},
        {u"PropData=\"0G\"", u"Invalid hexadecimal data at position 1"},
        {u"Nothing=\"1\"", u""},
        {u"Font.Nothing=\"1\"", u""},
        {u"No.Such.Path=\"1\"", u""},
    };
    for (const Case& c : cases) {
        TTestView view(nullptr);
        TfrxXMLSerializer serializer;
        serializer.XMLToObj(String(u" ") + c.attribute + u" Count=\"9\"", view);
        const std::vector<String> expected = *c.error ? std::vector<String>{c.error} : std::vector<String>{};
        EXPECT_EQ(Lines(serializer.Errors()), expected) << StringToUtf8(c.attribute);
        EXPECT_EQ(view.FCount, 9) << StringToUtf8(c.attribute);
    }
}

TEST_F(Serializer, PicturesTravelAsTheirDefinedData) {
    TBitmap bitmap(3, 2);
    bitmap.SetPixel(1, 1, clRed);
    TPngImage png;
    png.Assign(bitmap);
    for (const TGraphic* graphic : std::initializer_list<const TGraphic*>{&bitmap, &png}) {
        TTestView view(nullptr), copy(nullptr);
        view.FPicture->Assign(static_cast<const TPersistent*>(graphic));
        TfrxXMLSerializer serializer;
        const String text = serializer.ObjToXML(&view);
        ASSERT_NE(text.find(u" Picture.PropData=\""), String::npos) << StringToUtf8(text);
        serializer.XMLToObj(text, copy);
        EXPECT_EQ(Lines(serializer.Errors()), std::vector<String>{});
        ASSERT_NE(copy.FPicture->GetGraphic(), nullptr);
        EXPECT_EQ(copy.FPicture->GetGraphic()->ClassName(), graphic->ClassName());
        EXPECT_EQ(copy.FPicture->GetGraphic()->SaveToBytes(), graphic->SaveToBytes());
    }
    TTestView empty(nullptr);
    EXPECT_EQ(TfrxXMLSerializer().ObjToXML(&empty).find(u"Picture"), String::npos) << "an empty picture stores nothing";
}

TEST_F(Serializer, PropDataFailuresAreReportedAndKeepWhatWasRead) {
    TTestView view(nullptr);
    TfrxXMLSerializer serializer;
    // "Blob" with two bytes, then a property name with an unknown value tag.
    serializer.XMLToObj(u" PropData=\"04426C6F620A020000000A0B014163\" Count=\"4\"", view);
    EXPECT_EQ(view.FBlob, (std::vector<std::uint8_t>{0x0A, 0x0B}));
    EXPECT_EQ(view.FCount, 4);
    ASSERT_EQ(serializer.Errors().Count(), 1);
}

TEST_F(Serializer, ResolvesReferencesReadThroughPropData) {
    TTestReport report(nullptr);
    auto* target = new TTestView(&report);
    target->SetName(u"Target");
    auto* view = new TTestView(&report);
    TMemoryStream data;
    {
        TWriter writer(data);
        writer.WritePropName(u"Link");
        writer.WriteIdent(u"Target");
    }
    TfrxXMLSerializer serializer;
    serializer.ReadPersistentStr(&report, *view, u" PropData=\"" + StreamToHexText(data) + u"\"");
    EXPECT_EQ(view->FLink, target);
    EXPECT_TRUE(serializer.Fixups().empty());
}

TEST_F(Serializer, DanglingAndNilReferences) {
    TTestReport report(nullptr);
    auto* target = new TTestView(&report);
    target->SetName(u"Target");
    auto* view = new TTestView(&report);
    view->FLink = target;
    TfrxXMLSerializer serializer;
    serializer.SetOwner(&report);
    serializer.XMLToObj(u" Link=\"Missing\"", *view);
    std::vector<TfrxFixupItem> copied;
    serializer.CopyFixupList(&copied);
    ASSERT_EQ(copied.size(), 1u);
    EXPECT_EQ(copied[0].Value, u"Missing");
    serializer.ReadPersistentStr(&report, *view, {});
    EXPECT_EQ(view->FLink, target) << "a name that finds nothing leaves the reference";
    serializer.ReadPersistentStr(&report, *view, u" Link=\"nil\"");
    EXPECT_EQ(view->FLink, nullptr) << "nil removes the reference the ancestor had";
    EXPECT_EQ(serializer.Errors().Count(), 0);

    TfrxXMLSerializer wrongClass;
    wrongClass.ReadPersistentStr(&report, *view, u" Source=\"Target\"");
    EXPECT_EQ(Lines(wrongClass.Errors()), std::vector<String>{u"Invalid property value"});
}

// ---- Trees -----------------------------------------------------------------------------------

TEST_F(Serializer, TreeSurvivesSaveLoadSave) {
    SampleReport sample;
    const std::string first = SaveTree(sample.report);
    EXPECT_EQ(XmlLint(first), "");
    EXPECT_NE(first.find("<TTestMemo Name=\"Memo1\" Left=\"0\""), std::string::npos) << first;

    TTestReport copy(nullptr);
    TMemoryStream in;
    in.WriteBuffer(first.data(), std::int64_t(first.size()));
    in.SetPosition(0);
    TfrxXMLSerializer reader(&in);
    reader.ReadRootComponent(&copy);
    EXPECT_EQ(Lines(reader.Errors()), std::vector<String>{});
    EXPECT_EQ(SaveTree(copy), first);

    auto* memo1 = dynamic_cast<TTestMemo*>(copy.FindObject(u"Memo1"));
    auto* memo2 = dynamic_cast<TTestMemo*>(copy.FindObject(u"Memo2"));
    ASSERT_TRUE(memo1 && memo2);
    EXPECT_EQ(memo1->FText, sample.memo1->FText.substr(0, sample.memo1->FText.size() - 2));
    EXPECT_EQ(memo1->FLink, copy.FindObject(u"Band1"));
    EXPECT_EQ(memo2->FLink, memo1);
    EXPECT_EQ(memo2->FBlob, sample.memo2->FBlob);
    EXPECT_EQ(memo2->FBig, sample.memo2->FBig);
    EXPECT_FALSE(memo2->FLoading);
    EXPECT_EQ(memo2->LoadedCount, 1);
    EXPECT_EQ(copy.LoadedCount, 0) << "a report is not told Loaded";
}

TEST_F(Serializer, UnregisteredClassesAreListedOnceAndSkipped) {
    const std::string xml = R"(<?xml version="1.0" encoding="utf-8" standalone="no"?>)"
                            R"(<TTestReport><TTestView Name="Page1"><TNoSuchBand Name="B1"><TTestMemo Name="M1"/>)"
                            R"(</TNoSuchBand><TNoSuchBand Name="B2"/><TOther Name="O"/><TTestMemo Name="M2"/>)"
                            R"(<TStringList Name="S"/></TTestView></TTestReport>)";
    TStringStream in(xml);
    TTestReport report(nullptr);
    TfrxXMLSerializer reader(&in);
    reader.ReadRootComponent(&report);
    EXPECT_EQ(Lines(reader.Errors()),
              (std::vector<String>{u"Cannot find class TNoSuchBand", u"Cannot find class TOther",
                                   u"Cannot find class TStringList"}));
    EXPECT_EQ(report.FindObject(u"M1"), nullptr);
    EXPECT_NE(report.FindObject(u"M2"), nullptr);
}

TEST_F(Serializer, ReadingOverExistingObjectsUpdatesAndReordersThem) {
    SampleReport sample;
    TfrxXMLDocument doc;
    TfrxXMLItem& root = *doc.Root();
    root.SetName(u"TTestReport");
    TfrxXMLItem* page = root.Add(u"inherited");
    page->SetText(u"Name=\"Page1\"");
    TfrxXMLItem* band = page->Add(u"inherited");
    band->SetText(u"Name=\"Band1\"");
    band->Add(u"inherited")->SetText(u"Name=\"Memo1\" Left=\"7\"");
    band->Add(u"TTestMemo")->SetText(u"Name=\"Memo2\" Caption=\"c\"");
    band->Add(u"inherited")->SetText(u"Name=\"Gone\"");
    band->Add(u"TTestMemo")->SetText(u"Name=\"Memo3\"");
    // An object may not be read into its own subtree.
    band->Add(u"inherited")->SetText(u"Name=\"Page1\"");
    TfrxXMLSerializer reader;
    reader.ReadRootComponent(&sample.report, &root);
    EXPECT_EQ(Lines(reader.Errors()), std::vector<String>{u"Object Page1 cannot be read inside itself"});
    EXPECT_EQ(sample.memo1->FLeft, 7);
    EXPECT_EQ(sample.memo2->FCaption, u"c");
    ASSERT_EQ(sample.band->ObjectCount(), 3);
    EXPECT_EQ(sample.band->ObjectAt(0), sample.memo2);
    EXPECT_EQ(sample.band->ObjectAt(1), sample.memo1) << "the inherited Memo1 moved behind Memo2";
    EXPECT_EQ(sample.band->ObjectAt(2)->Name(), u"Memo3");
    EXPECT_EQ(sample.page->GetParentComponent(), &sample.report);
}

TEST_F(Serializer, InheritedItemsAndCustomData) {
    SampleReport sample;
    TTestView ancestorPage(nullptr);
    ancestorPage.FWidth = 793.7;
    ancestorPage.FHeight = 5;
    sample.page->FAncestor = true;
    TfrxXMLDocument doc;
    TfrxXMLSerializer writer;
    writer.OnGetAncestor = [&](const String& name, TPersistent*& ancestor) {
        if (name == u"Page1")
            ancestor = &ancestorPage;
    };
    writer.OnSaveCustomDataEvent = [](TfrxXMLItem& item) { item.SetProp(u"Key", u"v&1"); };
    writer.WriteRootComponent(&sample.report, true, doc.Root());
    TfrxXMLItem& root = *doc.Root();
    ASSERT_EQ(root.Count(), 2);
    EXPECT_EQ(root[0]->Name(), u"inherited");
    EXPECT_EQ(root[0]->Text(), u"Name=\"Page1\" Height=\"0\"") << "only what differs from the ancestor";
    EXPECT_EQ(root[1]->Name(), u"FrxCustomData");

    String customData;
    TfrxXMLSerializer reader;
    reader.OnGetCustomDataEvent = [&](TfrxXMLItem& item) { customData = item.GetProp(u"Key"); };
    reader.ReadRootComponent(&sample.report, &root);
    EXPECT_EQ(customData, u"v&1");
    EXPECT_EQ(Lines(reader.Errors()), std::vector<String>{});
}

TEST_F(Serializer, IgnoreNameReadsEveryItemAsANewObject) {
    SampleReport sample;
    TfrxXMLDocument doc;
    TfrxXMLSerializer writer;
    writer.IgnoreName = true;
    writer.WriteRootComponent(sample.page, true, doc.Root());
    EXPECT_FALSE(doc.Root()->Items(0)->Text().starts_with(u"Name=")) << StringToUtf8(doc.Root()->Items(0)->Text());

    TTestReport other(nullptr);
    auto* page = new TTestView(&other);
    TfrxXMLSerializer reader;
    reader.IgnoreName = true;
    reader.ReadRootComponent(page, doc.Root());
    ASSERT_EQ(page->ObjectCount(), 1);
    EXPECT_EQ(dynamic_cast<TTestView*>(page->ObjectAt(0))->ObjectCount(), 2);
}

TEST_F(Serializer, MutatedDocumentsNeverCrash) {
    SampleReport sample;
    const std::string original = SaveTree(sample.report);
    // Inputs that once escaped as the wrong kind of error.
    for (const char* bytes : {"<?xml version=><TTestReport/>", "<?xml version=\"1"}) {
        TStringStream in(bytes);
        TTestReport report(nullptr);
        TfrxXMLSerializer reader(&in);
        EXPECT_NO_THROW(try { reader.ReadRootComponent(&report); } catch (const Exception&){}) << bytes;
    }
    std::mt19937 random(13);
    const std::string alphabet = "<>\"=&#;/. aZ0\x01\xC3";
    int loaded = 0;
    for (int round = 0; round < 400; ++round) {
        std::string bytes = original;
        for (int k = 1 + int(random() % 4); k > 0; --k) {
            const size_t at = random() % bytes.size();
            switch (random() % 3) {
            case 0:
                bytes[at] = alphabet[random() % alphabet.size()];
                break;
            case 1:
                bytes.erase(at, 1 + random() % 8);
                break;
            default:
                bytes.insert(at, 1, alphabet[random() % alphabet.size()]);
            }
        }
        TStringStream in(bytes);
        TTestReport report(nullptr);
        TfrxXMLSerializer reader(&in);
        try {
            reader.ReadRootComponent(&report);
            ++loaded;
        } catch (const Exception&) {
            // a document that cannot be parsed is refused as a whole
        }
    }
    EXPECT_GT(loaded, 0);
}

// ---- One component as text -------------------------------------------------------------------

TEST_F(Serializer, ComponentTextForCopyAndPaste) {
    SampleReport sample;
    TfrxXMLSerializer serializer;
    serializer.SetOwner(&sample.report);
    const String text = serializer.WriteComponentStr(sample.memo2);
    EXPECT_EQ(text.rfind(u"TTestMemo Left=\"0\"", 0), 0u) << StringToUtf8(text);

    TComponent* copy = serializer.ReadComponentStr(sample.band, text);
    auto* memo = dynamic_cast<TTestMemo*>(copy);
    ASSERT_NE(memo, nullptr);
    EXPECT_EQ(memo->GetParentComponent(), sample.band);
    EXPECT_EQ(memo->Owner(), &sample.report);
    EXPECT_EQ(memo->FLink, sample.memo1);
    EXPECT_EQ(memo->FBlob, sample.memo2->FBlob);
    EXPECT_EQ(memo->LoadedCount, 1);

    auto* unfixed = dynamic_cast<TTestMemo*>(serializer.ReadComponentStr(sample.band, text, true));
    EXPECT_EQ(unfixed->FLink, nullptr);
    EXPECT_EQ(serializer.ReadComponentStr(sample.band, u"  "), nullptr);
    EXPECT_THROW(serializer.ReadComponentStr(sample.band, u"TNoSuchView Left=\"1\""), EClassNotFound);

    // Kept as values, the same component reads back as its text followed by more attributes.
    const TfrxWrittenComponent written = serializer.WriteComponentRecord(sample.memo2);
    EXPECT_EQ(written.Str(), text);
    for (const String& more : {String(), String(u"Left=\"7\""), String(u"Left=\"7\" Left=\"9\" Tag=\"")}) {
        SCOPED_TRACE(StringToUtf8(more));
        TComponent* fromText = serializer.ReadComponentStr(sample.band, text + u" " + more);
        TComponent* fromValues = serializer.ReadComponentRecord(sample.band, written, more);
        ASSERT_NE(fromValues, nullptr);
        EXPECT_EQ(serializer.WriteComponentStr(fromValues), serializer.WriteComponentStr(fromText));
        EXPECT_EQ(dynamic_cast<TTestMemo*>(fromValues)->FLink, sample.memo1);
        EXPECT_EQ(dynamic_cast<TTestMemo*>(fromValues)->LoadedCount, 1);
    }

    TMemoryStream stream;
    TfrxXMLSerializer streamed(&stream);
    streamed.SetOwner(&sample.report);
    streamed.WriteComponent(sample.memo2);
    EXPECT_EQ(Bytes(stream), "<" + StringToUtf8(text) + "/>");
    stream.SetPosition(0);
    auto* read = dynamic_cast<TTestMemo*>(streamed.ReadComponent(sample.band));
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(read->FLines->Text(), u"one\r\ntwo\r\n");
}

// ---- Collections -----------------------------------------------------------------------------

class TTestHighlights : public TfrxCollection {
public:
    TTestHighlights() : TfrxCollection(&TTestHighlight::StaticClassInfo()) {}
    TTestHighlight* Add() { return static_cast<TTestHighlight*>(TCollection::Add()); }
    TTestHighlight* Items(int i) const { return static_cast<TTestHighlight*>(TCollection::Items(i)); }
};

TEST_F(Serializer, CollectionsInItemsKeepUniqueIndexAndInheritedName) {
    SampleReport sample;
    TTestHighlights ancestor, own;
    for (const char16_t* condition : {u"a > 1", u"b"}) {
        ancestor.Add()->FCondition = condition;
        own.Add()->FCondition = condition;
    }
    own.Items(1)->FColor = 5;
    own.Add()->FCondition = u"new";
    own.Items(2)->SetUniqueIndex(9);
    TfrxXMLItem parent;
    SaveCollectionToXML(own, u"Highlights", parent, &ancestor, sample.memo1);
    ASSERT_EQ(parent.Count(), 1);
    TfrxXMLItem& node = *parent[0];
    EXPECT_EQ(node.Name(), u"Highlights");
    ASSERT_EQ(node.Count(), 3);
    EXPECT_EQ(node[0]->Text(), u" InheritedName=\"frxUIN1\" uin=\"1\"");
    EXPECT_EQ(node[1]->Text(), u" InheritedName=\"frxUIN2\" Color=\"5\" uin=\"2\"");
    EXPECT_EQ(node[2]->Text(), u" Condition=\"new\" uin=\"9\"");

    // An inheriting object finds its entries by InheritedName and adds the new ones.
    sample.memo1->FAncestor = true;
    LoadCollectionFromXML(ancestor, node, sample.memo1);
    ASSERT_EQ(ancestor.Count(), 3);
    EXPECT_TRUE(ancestor.Items(1)->IsInherited());
    EXPECT_EQ(ancestor.Items(1)->FColor, 5);
    EXPECT_EQ(ancestor.Items(2)->UniqueIndex(), 9);
    EXPECT_EQ(ancestor.Items(2)->FCondition, u"new");

    sample.memo1->FAncestor = false;
    TTestHighlights fresh;
    node[0]->SetText(u" uin=\"x\" Condition=\"c\"");
    LoadCollectionFromXML(fresh, node, sample.memo1);
    ASSERT_EQ(fresh.Count(), 3);
    EXPECT_EQ(fresh.Items(0)->FCondition, u"c");
    EXPECT_EQ(fresh.Items(2)->UniqueIndex(), 9);
}

TEST_F(Serializer, CollectionsInDefineProperties) {
    SampleReport sample;
    TTestHighlights source;
    source.Add()->FCondition = u"x = \"1\"";
    source.Add()->FColor = 3;
    for (bool xml : {true, false}) {
        sample.memo1->FWriting = xml;
        TMemoryStream data;
        {
            TWriter writer(data);
            WriteCollectionAsXML(source, writer, sample.memo1);
        }
        data.SetPosition(0);
        EXPECT_EQ(data.Memory()[0], xml ? vaList : vaCollection);
        TTestHighlights target;
        target.Add();
        TReader reader(data);
        ReadCollectionFromReader(target, reader, sample.memo1);
        ASSERT_EQ(target.Count(), 2) << xml;
        EXPECT_EQ(target.Items(0)->FCondition, u"x = \"1\"") << xml;
        EXPECT_EQ(target.Items(1)->FColor, 3) << xml;
    }

    // Characters above 127 of old collection data: U+0001 followed by the character - 128.
    TTestHighlights old;
    old.Add()->FCondition = String(u"a\x01") + Char(0xE4 - 128);
    TMemoryStream data;
    {
        TWriter writer(data);
        writer.WriteCollection(old);
    }
    data.SetPosition(0);
    TTestHighlights target;
    TReader reader(data);
    ReadCollectionFromReader(target, reader, nullptr);
    EXPECT_EQ(target.Items(0)->FCondition, u"a\u00E4");
}

} // namespace
} // namespace vgl
