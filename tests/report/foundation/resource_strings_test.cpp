#include "report/foundation/resource_strings.h"

#include <gtest/gtest.h>

#include <set>

#include "platform/rtl/resources.h"
#include "platform/rtl/streams.h"
#include "report/foundation/initialization.h"
#include "report/foundation/xml_document.h"

namespace vgl {
namespace {

TEST(TfrxResources, LooksUpAddsAndReplaces) {
    TfrxResources res;
    res.AddW(u"mbError", u"Error");
    res.AddW(u"bang", u"!Direct");
    EXPECT_EQ(res.Get(u"MBERROR"), u"Error");
    EXPECT_EQ(res.Get(u"nosuchkey"), u"nosuchkey");
    EXPECT_EQ(res.Get(u"!abc"), u"abc");
    EXPECT_EQ(res.Get(u"bang"), u"Direct");
    res.AddW(u"MbError", u"Fehler");
    EXPECT_EQ(res.Get(u"mbError"), u"Fehler");
    EXPECT_EQ(res.Count(), 2);
    res.AddStrings(u"a=1\r\n=2\r\nb=\r\nc\r\nd=x=y");
    EXPECT_EQ(res.Get(u"a"), u"1");
    EXPECT_EQ(res.Get(u"b"), u"b");
    EXPECT_EQ(res.Get(u"c"), u"c");
    EXPECT_EQ(res.Get(u"d"), u"x=y");
    res.Add(u"ansi", "caf\xE9");
    EXPECT_EQ(res.Get(u"ansi"), u"caf\u00e9");
}

TEST(TfrxResources, LoadsDocumentsAndRefreshesScriptMessages) {
    TfrxResources res;
    res.AddXML(R"(<?xml version="1.1" encoding="utf-8"?><Resources CodePage="1251">)"
               R"(<StrRes Name="q" Text="&#38;#34;x&#38;#34;"/><StrRes Name="SIndexRequired" Text="Index!"/>)"
               R"(<Other Name="z" Text="no"/></Resources>)");
    EXPECT_EQ(res.Get(u"q"), u"\"x\"");
    EXPECT_EQ(res.Get(u"z"), u"z");
    EXPECT_EQ(res.CP(), 1251u);
    EXPECT_EQ(fsScriptMessages().SIndexRequired, u"Index!");
    // An old-format document holds UTF-8 bytes read as ANSI text.
    res.AddXML(
        "<?xml version=\"1.0\"?><Resources CodePage=\"1252\"><StrRes Name=\"e\" Text=\"\xC3\xA9\"/></Resources>");
    EXPECT_EQ(res.Get(u"e"), u"\u00e9");
    EXPECT_THROW(res.AddXML(R"(<?xml version="1.0"?><Resources><StrRes Name="a" Text="b"/></Resources>)"),
                 EConvertError);
    EXPECT_THROW(res.AddXML("<Resources/>"), TfrxInvalidXMLException);
    res.LoadFromFile(u"/nonexistent/german.frc"); // a missing file does nothing
    fsScriptMessages() = TfsScriptMessages();
}

TEST(ReportStrings, BuiltInTableHoldsTheEngineTexts) {
    const auto bytes = FindResource(u"ReportStrings", u"XML");
    ASSERT_TRUE(bytes);
    TfrxResources table;
    table.AddXML(std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()));
    EXPECT_EQ(table.Count(), 257); // no key twice: every entry got its own text

    TStringStream stream{RawByteString(reinterpret_cast<const char*>(bytes->data()), bytes->size())};
    TfrxXMLDocument doc;
    doc.LoadFromStream(stream);
    std::set<String> keys;
    int numeric = 0;
    for (int i = 0; i < doc.Root()->Count(); ++i) {
        const String key = doc.Root()->Items(i)->GetProp(u"Name");
        keys.insert(key);
        numeric += key.find_first_not_of(u"0123456789") == String::npos;
    }
    EXPECT_EQ(keys.size(), 257u);
    EXPECT_EQ(numeric, 128);

    struct Case {
        String key, text;
    };
    const Case cases[] = {
        {u"207", u"Other"},
        {u"211", u"Order"},
        {u"poDirect", u"Direct (1-9)"},
        {u"poReverse", u"Reverse (9-1)"},
        {u"clFirstPass", u"First pass: page "},
        {u"clErrors", u"The following error(s) have occured:"},
        {u"clDSNotExist", u"Dataset \"%s\" does not exist"},
        {u"clScrError", u"Script error at %s: %s"},
        {u"xrCantFindClass", u"Cannot find class"},
        {u"SIdRedeclared", u"Identifier redeclared: "},
        {u"9", u"Enter page numbers and/or page ranges, separated by commas. For example, 1,3,5-12"},
        {u"115", u"100%"},
        {u"510", u"Printer file (*.prn)|*.prn"},
        {u"520", u""},
        {u"Code39 Extended", u"Code39 Extended"},
        {u"rave1", u"The Rave file doesn't contain TRaveReport items."},
        {u"MBERROR", u"Error"},
        {u"5000", u"5000"},
        {u"vt1", u"vt1"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(table.Get(c.key), c.text) << StringToUtf8(c.key);
}

TEST(ReportStrings, StartUpFillsTheProcessTable) {
    InitializeReportFoundation();
    EXPECT_EQ(frxResourceText(207), u"Other");
    EXPECT_EQ(frxResourcesInstance().Get(u"clUnknownVar"), u"Unknown variable or datafield:");
    EXPECT_EQ(fsScriptMessages().SStringError, u"Strings do not have properties or methods");
    EXPECT_EQ(fsScriptMessages().SComponentNotFound, u"Component with name %s not found");
    EXPECT_THROW(AddResourceDocument(u"NoSuchDocument"), EResNotFound);
    FinalizeReportFoundation();
    EXPECT_EQ(frxResourceText(207), u"207");
}

} // namespace
} // namespace vgl
