// The graphics, forms, dialog and ini-file modules: what they register, in which order, and how
// their members answer before their handler branches exist.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/controls/controls.h"
#include "platform/graphics/font.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/ini_files.h"
#include "report/foundation/initialization.h"
#include "report/model/report_model_init.h"
#include "script/bindings/bindings.h"
#include "script/bindings/event_kinds.h"
#include "script/bindings/forms_bindings.h"
#include "script/bindings/graphics_bindings.h"
#include "script/engine/initialization.h"
#include "script/engine/script_tools.h"
#include "script/engine/script_xml.h"

namespace vgl {

namespace {

void StartUp() {
    static const bool done = (InitializeReportFoundation(), InitializeScriptEngine(), InitializeReportModel(),
                              InitializeScriptBindings(), true);
    (void)done;
}

// The script's contents tree as XML text, checked by xmllint.
std::string ContentsOf(const TfsScript& script) {
    TfsXMLDocument doc;
    doc.Root()->SetName(u"contents");
    fsBuildContentsTree(script, *doc.Root(), false);
    const std::string path = "/tmp/vgl_registration_contents_" + std::to_string(::getpid()) + ".xml";
    doc.SaveToFile(String(path.begin(), path.end()));
    EXPECT_EQ(std::system(("xmllint --noout " + path).c_str()), 0);
    std::stringstream text;
    text << std::ifstream(path).rdbuf();
    std::remove(path.c_str());
    return text.str();
}

struct Bound {
    Bound() : Script(nullptr) {
        StartUp();
        Script.AddRTTI();
    }
    TfsCustomHelper* Member(const char16_t* cls, const char16_t* member, const Variant& self) {
        TfsClassVariable* c = Script.FindClass(cls);
        EXPECT_NE(c, nullptr) << StringToUtf8(cls);
        TfsCustomHelper* h = c ? c->Find(member) : nullptr;
        EXPECT_NE(h, nullptr) << StringToUtf8(member);
        h->ParentValue = self;
        h->Prog = &Script;
        return h;
    }
    Variant Value(const char16_t* name) { return Script.GetVariables(name); }
    std::string Contents() { return ContentsOf(Script); }
    TfsScript Script;
};

// Each text found in `xml`, each after the one before it.
void ExpectInOrder(const std::string& xml, std::initializer_list<const char*> texts) {
    size_t at = 0;
    for (const char* text : texts) {
        const size_t found = xml.find(text, at);
        EXPECT_NE(found, std::string::npos) << text << " missing or out of order";
        if (found != std::string::npos)
            at = found + 1;
    }
}

size_t Occurrences(const std::string& xml, const std::string& text) {
    size_t n = 0;
    for (size_t at = xml.find(text); at != std::string::npos; at = xml.find(text, at + 1))
        ++n;
    return n;
}

} // namespace

TEST(RegistrationBindings, ConstantValues) {
    Bound b;
    const struct {
        const char16_t* Name;
        int Value;
    } cases[] = {
        {u"clRed", 255},
        {u"clWhite", 16777215},
        {u"clNone", 536870911},
        {u"clBtnFace", -16777201},
        {u"clScrollBar", -16777216},
        {u"clDefault", 0x20000000},
        {u"clMenuBar", -16777186},
        {u"clMedGray", 0xA4A0A0},
        {u"mrYesToAll", 14},
        {u"mrAll", 12},
        {u"crSize", -22},
        {u"crSizeAll", -22},
        {u"crHandPoint", -21},
        {u"bsSizeToolWin", 5},
        {u"VK_RETURN", 13},
        {u"VK_F12", 123},
        {u"VK_RBUTTON", 2},
        {u"VK_F1", 112},
        {u"VK_SCROLL", 145},
        {u"VK_NUMPAD9", 105},
        {u"taCenter", 2},
        {u"fsStrikeout", 8},
        {u"psInsideFrame", 6},
        {u"pmNotXor", 15},
        {u"akBottom", 8},
        {u"caMinimize", 3},
        {u"poDesktopCenter", 5},
        // The dialog sets: split at commas and trimmed, so uneven blanks leave clean names.
        {u"ofNoChangeDir", 8},
        {u"ofExtensionDifferent", 128},
        {u"ofEnableSizing", 524288},
        {u"fdNoVectorFonts", 1024},
        {u"fdApplyButton", 32768},
        {u"mbHelp", 1024},
        {u"mtCustom", 4},
    };
    for (const auto& c : cases)
        EXPECT_EQ(b.Value(c.Name), Variant(c.Value)) << StringToUtf8(c.Name);
    // A system colour constant still names the platform's system colour.
    EXPECT_EQ(ColorToRGB(b.Value(u"clBtnFace").AsInteger()), ColorToRGB(clBtnFace));
    EXPECT_EQ(fs_graphics::ScriptColor(clRed), clRed);
}

TEST(RegistrationBindings, SetMemberCounts) {
    Bound b;
    const std::string xml = b.Contents();
    // The types group lists each set's members, split at commas and trimmed.
    auto members = [&xml](const std::string& type) {
        const size_t at = xml.find("text=\"" + type + ": (");
        if (at == std::string::npos)
            return size_t(0);
        const std::string list = xml.substr(at + type.size() + 9, xml.find(')', at) - at - type.size() - 9);
        EXPECT_EQ(list.find(' '), std::string::npos) << list;
        return size_t(std::count(list.begin(), list.end(), ',') + 1);
    };
    EXPECT_EQ(members("TOpenOptions"), 20u);
    EXPECT_EQ(members("TFontDialogOptions"), 16u);
    EXPECT_EQ(members("TMsgDlgButtons"), 11u);
    EXPECT_EQ(members("TFontStyles"), 4u);
    EXPECT_EQ(members("TShiftState"), 7u);
}

TEST(RegistrationBindings, PublishedPropertiesThroughTheHelpers) {
    Bound b;
    TFont font;
    const Variant f = Variant::FromObject(&font);
    b.Member(u"TFont", u"Style", f)->SetValue(b.Value(u"fsBold").AsInteger() + b.Value(u"fsItalic").AsInteger());
    EXPECT_EQ(font.GetStyle(), (TFontStyles{fsBold, fsItalic}));
    EXPECT_EQ(b.Member(u"TFont", u"Style", f)->GetValue(), Variant(3));
    b.Member(u"TFont", u"Color", f)->SetValue(b.Value(u"clRed"));
    EXPECT_EQ(font.GetColor(), clRed);

    TButton button(nullptr);
    const Variant c = Variant::FromObject(&button);
    b.Member(u"TButton", u"Anchors", c)->SetValue(b.Value(u"akLeft").AsInteger() + b.Value(u"akRight").AsInteger());
    EXPECT_EQ(button.Anchors(), (TAnchors{akLeft, akRight}));
    EXPECT_EQ(b.Member(u"TButton", u"Anchors", c)->GetValue(), Variant(5));
}

TEST(RegistrationBindings, ApplicationIsOneObjectForEveryScript) {
    Bound first, second;
    EXPECT_EQ(first.Value(u"Application").AsObject(), &Application());
    EXPECT_EQ(second.Value(u"Application").AsObject(), first.Value(u"Application").AsObject());
}

TEST(RegistrationBindings, ContentsTreeListsTheClassesWithTheirMembersInOrder) {
    Bound b;
    const std::string xml = b.Contents();
    // The script's index lists classes by name; each class's members keep their order.
    auto members = [&xml](const std::string& cls) {
        const size_t at = xml.find("text=\"" + cls + " = class(");
        EXPECT_NE(at, std::string::npos) << cls;
        const size_t next = at == std::string::npos ? at : xml.find(" = class(", at + cls.size() + 9);
        return at == std::string::npos ? std::string() : xml.substr(at, next - at);
    };
    const struct {
        const char* Class;
        std::initializer_list<const char*> Members;
    } cases[] = {
        {"TFont",
         {"(TPersistent)", "property Color: Integer", "property Style: TFontStyles", "function Create: Constructor"}},
        {"TCanvas",
         {"(TPersistent)", "function Create: Constructor", "procedure Draw(X, Y: Integer; Graphic: TGraphic)",
          "procedure Ellipse(", "procedure LineTo(", "procedure MoveTo(", "procedure Rectangle(",
          "procedure RoundRect(", "procedure StretchDraw(", "function TextHeight(", "procedure TextOut(",
          "function TextWidth(", "index property Pixels("}},
        {"TGraphic",
         {"(TPersistent)", "procedure LoadFromFile(", "procedure SaveToFile(", "property Height: Integer",
          "property Width: Integer"}},
        {"TPicture", {"(TPersistent)", "procedure LoadFromFile(", "property Height: Integer"}},
        {"TMetafileCanvas",
         {"(TCanvas)", "function Create(AMetafile: TMetafile; ReferenceDevice: Integer): Constructor"}},
        {"TBitmap", {"(TGraphic)", "property Canvas: TCanvas"}},
        {"TControl",
         {"(TComponent)", "property Anchors: TAnchors", "property Parent: TWinControl", "procedure Hide",
          "procedure Show", "procedure SetBounds(ALeft, ATop, AWidth, AHeight: Integer)", "event OnCanResize",
          "event OnClick", "event OnDblClick", "event OnMouseDown", "event OnMouseMove", "event OnMouseUp",
          "event OnResize"}},
        {"TWinControl", {"(TControl)", "procedure SetFocus", "procedure Invalidate", "event OnEnter", "event OnKeyUp"}},
        {"TCustomComboBox",
         {"(TWinControl)", "property DroppedDown: Boolean", "property ItemIndex: Integer", "event OnChange",
          "event OnDropDown", "event OnCloseUp"}},
        {"TCustomListBox", {"(TWinControl)", "property ItemIndex", "property SelCount", "index property Selected("}},
        {"TCustomForm",
         {"(TScrollingWinControl)", "procedure Close", "procedure Hide", "procedure Show",
          "function ShowModal: Integer", "event OnActivate", "event OnClose", "event OnCloseQuery", "event OnCreate",
          "event OnShow", "property Canvas: TCanvas", "property ModalResult: Integer"}},
        {"TApplication",
         {"(TComponent)", "procedure Minimize", "procedure ProcessMessages", "procedure Restore",
          "property ExeName: String"}},
        {"TScrollBox", {"(TScrollingWinControl)"}},
        {"TCommonDialog", {"(TComponent)", "function Execute: Boolean"}},
        {"TPrinterSetupDialog", {"(TCommonDialog)"}},
        {"TCustomIniFile",
         {"(TObject)", "function Create(const FileName: String): Constructor", "function ReadInteger(",
          "procedure WriteTime(", "function ReadBinaryStream(",
          "procedure WriteTStrings(const Section :String; Value :TStrings", "function ReadTStrings(",
          "property FileName: String"}},
        {"TMemIniFile",
         {"(TCustomIniFile)", "function Create(", "procedure WriteString(", "function ReadString(",
          "procedure ReadSectionValuesEx(", "procedure EraseSection(", "procedure Clear", "procedure GetStrings(",
          "procedure SetStrings(", "procedure SaveIniFileToStream(", "procedure LoadIniFileFromStream("}},
        {"TIniFile",
         {"(TCustomIniFile)", "procedure WriteString(", "procedure EraseSection(", "procedure SaveIniFileToStream("}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Class);
        ExpectInOrder(members(c.Class), c.Members);
    }
    EXPECT_EQ(members("TIniFile").find("procedure Clear"), std::string::npos);
    // The report module's picture walk meets TBitmap again and leaves it as it was.
    EXPECT_EQ(Occurrences(xml, "TBitmap = class("), 1u);
    EXPECT_EQ(Occurrences(xml, "TMetafile = class("), 1u);
    for (const char* f : {"function MessageDlg(", "function InputBox(", "function InputQuery("})
        EXPECT_NE(xml.find(f), std::string::npos) << f;
    EXPECT_EQ(Occurrences(xml, "text=\"cl"), 53u); // the 52 colours and the report module's clTransparent
}

TEST(RegistrationBindings, RegisteringOnFirstUseGivesWhatRegisteringAtOnceGives) {
    // A fresh script registers every module when it is first used; one that holds an item at
    // AddRTTI registers at once. Both show the same entries in the same order, with the same
    // members, and the same contents tree.
    Bound later;
    TfsScript atOnce(nullptr);
    atOnce.AddVariable(u"zzOwn", u"Integer", 0);
    atOnce.AddRTTI();
    atOnce.Remove(atOnce.FindLocal(u"zzOwn")).reset();
    ASSERT_GT(atOnce.Count(), 800);
    ASSERT_EQ(later.Script.Count(), atOnce.Count());
    for (int i = 0; i < atOnce.Count(); ++i) {
        ASSERT_EQ(later.Script.GetItemName(i), atOnce.GetItemName(i)) << i;
        ASSERT_EQ(later.Script.GetItem(i)->ClassName(), atOnce.GetItem(i)->ClassName()) << i;
        if (const auto* a = dynamic_cast<const TfsClassVariable*>(atOnce.GetItem(i))) {
            const auto* b = static_cast<const TfsClassVariable*>(later.Script.GetItem(i));
            EXPECT_EQ(b->Ancestor(), a->Ancestor()) << i;
            EXPECT_EQ(b->MembersCount(), a->MembersCount()) << i;
            EXPECT_EQ(b->Program, &later.Script);
        }
    }
    EXPECT_EQ(later.Contents(), ContentsOf(atOnce));
}

namespace {

// Every entry of `script` with its kind and, for a class item, its members with their kinds:
// what two registrations must agree on.
std::vector<std::string> Signature(const TfsScript& script) {
    std::vector<std::string> lines;
    for (int i = 0; i < script.Count(); ++i) {
        const TObject* item = script.GetItem(i);
        std::string line = StringToUtf8(script.GetItemName(i)) + " " + StringToUtf8(item->ClassName());
        if (const auto* v = dynamic_cast<const TfsCustomVariable*>(item))
            line += " " + std::to_string(int(v->Typ)) + " " + StringToUtf8(v->TypeName) + " " +
                    std::to_string(v->Count()) + (v->IsReadOnly ? " ro" : "");
        if (const auto* c = dynamic_cast<const TfsClassVariable*>(item)) {
            for (int j = 0; j < c->MembersCount(); ++j) {
                const TfsCustomHelper* m = c->GetMembers(j);
                line += " | " + StringToUtf8(m->Name) + " " + std::to_string(int(m->Typ)) + " " +
                        std::to_string(m->Count()) + (m->IsReadOnly ? " ro" : "");
            }
        }
        lines.push_back(std::move(line));
    }
    return lines;
}

} // namespace

TEST(RegistrationBindings, EightThreadsRegisterAndFreeEveryModuleAlike) {
    StartUp();
    std::vector<std::string> expected;
    {
        TfsScript reference(nullptr);
        reference.AddRTTI();
        expected = Signature(reference);
    }
    ASSERT_GT(expected.size(), 800u);
    std::vector<int> mismatches(8, 0);
    std::vector<std::thread> threads;
    for (size_t t = 0; t < mismatches.size(); ++t)
        threads.emplace_back([&expected, &mismatches, t] {
            for (int round = 0; round < 6; ++round) {
                TfsScript s(nullptr);
                s.AddRTTI();
                if (Signature(s) != expected)
                    ++mismatches[t];
            }
        });
    for (auto& t : threads)
        t.join();
    for (size_t t = 0; t < mismatches.size(); ++t)
        EXPECT_EQ(mismatches[t], 0) << t;
}

TEST(RegistrationBindings, EventsNameTheirAdapterKinds) {
    Bound b;
    const struct {
        const char16_t* Class;
        const char16_t* Event;
        TClass Kind;
    } cases[] = {
        {u"TControl", u"OnClick", &TfsNotifyEvent::StaticClassInfo()},
        {u"TControl", u"OnMouseMove", &TfsMouseMoveEvent::StaticClassInfo()},
        {u"TWinControl", u"OnKeyPress", &TfsKeyPressEvent::StaticClassInfo()},
        {u"TCustomForm", u"OnCloseQuery", &TfsCloseQueryEvent::StaticClassInfo()},
    };
    for (const auto& c : cases) {
        auto* e = dynamic_cast<TfsEventHelper*>(b.Script.FindClass(c.Class)->Find(c.Event));
        ASSERT_NE(e, nullptr) << StringToUtf8(c.Event);
        EXPECT_EQ(e->Event, c.Kind) << StringToUtf8(c.Event);
    }
}

TEST(RegistrationBindings, MembersWithoutBranchRaiseAndUnknownNamesGiveZero) {
    Bound b;
    TForm form(nullptr);
    const Variant f = Variant::FromObject(&form);
    TMemIniFile ini(u"/nonexistent/settings.ini");
    const Variant i = Variant::FromObject(&ini);
    try {
        b.Member(u"TForm", u"ShowModal", f)->GetValue();
        ADD_FAILURE() << "ShowModal answered";
    } catch (const ENotSupportedException& e) {
        EXPECT_EQ(e.Message(), u"TCustomForm.ShowModal is not available in this system yet");
    }
    EXPECT_THROW(b.Member(u"TForm", u"ModalResult", f)->SetValue(1), ENotSupportedException);
    EXPECT_THROW(b.Member(u"TForm", u"Canvas", f)->GetValue(), ENotSupportedException);
    EXPECT_THROW(b.Member(u"TMemIniFile", u"ReadString", i)->GetValue(), ENotSupportedException);
    EXPECT_THROW(b.Member(u"TMemIniFile", u"FileName", i)->GetValue(), ENotSupportedException);
    auto* selected = b.Member(u"TListBox", u"Selected", f);
    selected->GetParam(0)->SetValue(0);
    EXPECT_THROW(selected->GetValue(), ENotSupportedException);
    auto* input = dynamic_cast<TfsMethodHelper*>(b.Script.Find(u"InputBox"));
    ASSERT_NE(input, nullptr);
    input->Prog = &b.Script;
    EXPECT_THROW(input->GetValue(), ENotSupportedException);
    // A class token's constructor raises too, rather than handing out a half-made object.
    TfsClassVariable* font = b.Script.FindClass(u"TFont");
    EXPECT_THROW(b.Member(u"TFont", u"Create", font->GetValue())->GetValue(), ENotSupportedException);

    fs_forms::TFunctions* forms = nullptr;
    for (int n = 0; n < b.Script.Count() && !forms; ++n)
        forms = dynamic_cast<fs_forms::TFunctions*>(b.Script.GetItem(n));
    ASSERT_NE(forms, nullptr);
    const TClass customForm = &TCustomForm::StaticClassInfo();
    EXPECT_EQ(forms->MethodHandler(&form, customForm, u"NOSUCHMETHOD", nullptr), Variant(0));
    EXPECT_EQ(forms->PropertyGetter(&form, customForm, u"NOSUCHPROPERTY"), Variant(0));
    EXPECT_EQ(forms->MethodHandler(&form, &TButton::StaticClassInfo(), u"SHOWMODAL", nullptr), Variant(0));
    EXPECT_EQ(forms->MethodHandler(nullptr, nullptr, u"NOSUCHFUNCTION", nullptr), Variant(0));
    EXPECT_NO_THROW(forms->PropertySetter(&form, customForm, u"NOSUCHPROPERTY", 1));
}

} // namespace vgl
